#include "MdiArea.h"

#include "Icons.h"

#include <QPainter>

CMdiArea::CMdiArea(QWidget* parent) : QMdiArea(parent), m_picture(Icons::BackgroundPicture({}))
{
    setObjectName(QStringLiteral("mdiArea"));
    // Page windows have a fixed size: where they do not all fit (tiled, or moved away), the area
    // scrolls. Without scroll bars, tiling would grow the main window past the screen instead.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void CMdiArea::paintEvent(QPaintEvent*)
{
    // The whole area at every repaint: a stretched picture has no part that stays put on resize.
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(viewport()->rect(), m_picture);
}
