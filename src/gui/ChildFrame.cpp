#include "ChildFrame.h"

#include "Icons.h"
#include "PageFactory.h"
#include "PageViews.h"
#include "comm/MessageLayer.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>
#include <QStyle>

CChildFrame::CChildFrame(const CWindowInfo& window, QWidget* view, const QString& title,
                         const QSize& size, QWidget* parent)
    : QMdiSubWindow(parent), m_window(window)
{
    setObjectName(QStringLiteral("child_%1").arg(int(window.command)));
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

    // The registry sizes the whole window; a parameter page fits it to whole rows and all of its
    // columns. A fixed size leaves no border to drag.
    const int frame = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, this);
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const QSize room(qMax(1, size.width() - 2 * frame), qMax(1, size.height() - caption - frame));
    // A view whose texts need more room at this density and in this language gets it: a window
    // grows rather than clip them.
    const QSize fitted = PageViewFitSize(view, room).expandedTo(view->minimumSizeHint());
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

void CChildFrame::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (message != WM_MOVE_PAGE || m_window.projectPage == 0)
        return;
    if (isMinimized())
        showNormal();
    // The position travels as two unsigned words; a page may stand left of or above the area.
    move(int(int32_t(wParam)), int(int32_t(lParam)));
    show();
    SendPageControl(0);
    if (QMdiArea* area = mdiArea())
        area->setActiveSubWindow(this);
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        if (m_window.kind != WindowKind::CommMode)
            SendPageControl(1);
        emit closing(m_window.command);
    }
    QMdiSubWindow::closeEvent(event);
}
