#include "ChildFrame.h"

#include "Icons.h"
#include "PageCommands.h"
#include "PageFactory.h"
#include "PageViews.h"
#include "comm/MessageLayer.h"

#include <QCloseEvent>
#include <QMenu>
#include <QStyle>

CChildFrame::CChildFrame(const CPageCommand& page, QWidget* view, const QString& title,
                         const QSize& size, QWidget* parent)
    : QMdiSubWindow(parent), m_page(page)
{
    setObjectName(QStringLiteral("child_%1").arg(page.command));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(title);
    setWindowIcon(Icons::AppIcon());
    setWidget(view);

    // The system menu without the entries a fixed-size window has no use for.
    auto* menu = new QMenu(this);
    menu->addAction(tr("还原"), this, [this] { showNormal(); });
    menu->addAction(tr("最小化"), this, [this] { showMinimized(); });
    menu->addSeparator();
    menu->addAction(tr("关闭"), this, [this] { close(); });
    setSystemMenu(menu);

    // The page table sizes the whole window; a parameter page fits it to whole rows and all of
    // its columns. A fixed size leaves no border to drag.
    const int frame = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, this);
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const QSize room(qMax(1, size.width() - 2 * frame), qMax(1, size.height() - caption - frame));
    const QSize fitted = PageViewFitSize(view, room);
    view->setFixedSize(fitted);
    setFixedSize(fitted + QSize(2 * frame, caption + frame));
}

HWND CChildFrame::viewHandle() const
{
    return PageViewHandle(widget());
}

void CChildFrame::SendPageControl(unsigned code)
{
    const HWND hwnd = viewHandle();
    if (hwnd != kNoWindow)
        SendMessage(hwnd, WM_PAGE_CONTROL, code, 0);
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        if (m_page.kind != CPageCommand::Kind::CommMode)
            SendPageControl(1);
        emit closing(m_page.command);
    }
    QMdiSubWindow::closeEvent(event);
}
