#pragma once

#include "comm/MessageLayer.h"
#include "windows/WindowRegistry.h"

#include <QMdiSubWindow>

// A page window: a fixed-size MDI child with caption, system menu and minimise, but neither
// maximise nor sizing border. It hosts one window's view; on close it tells the view
// (WM_PAGE_CONTROL 1) unless it is the communication mode window, and the main frame forgets it.
// Its own handle takes WM_MOVE_PAGE, with which the project file places a page that is open.
class CChildFrame : public QMdiSubWindow, public CMessageReceiver
{
    Q_OBJECT

public:
    // window is a registry entry (which outlives every frame); size is the whole window as the
    // registry gives it; the view gets what the frame leaves.
    CChildFrame(const CWindowInfo& window, QWidget* view, const QString& title, const QSize& size,
                QWidget* parent = nullptr);

    const CWindowInfo& window() const { return m_window; }
    QWidget* view() const { return widget(); }
    HWND hwnd() const { return m_handle.hwnd(); }
    HWND viewHandle() const;
    // Sends WM_PAGE_CONTROL (code) to the view, when it has a handle.
    void SendPageControl(unsigned code);

    // WM_MOVE_PAGE (wParam left, lParam top in the window area): a window with a project page
    // number moves there, shows, is called up (WM_PAGE_CONTROL 0) and becomes the active one;
    // other windows ignore it.
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

signals:
    void closing(CommandId command);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    const CWindowInfo& m_window;
    CWindowHandle m_handle{this};
    bool m_closed = false;
};
