#pragma once

#include "comm/Messages.h"

#include <QMdiSubWindow>

class CSysData;
struct CPageCommand;

// A page window: a fixed-size MDI child with caption, system menu and minimise, but neither
// maximise nor sizing border. It hosts one page view; on close it tells the view (WM_PAGE_CONTROL
// 1) unless it is the communication mode window, and the main frame forgets it.
class CChildFrame : public QMdiSubWindow
{
    Q_OBJECT

public:
    // size is the whole window as the page table gives it; the view gets what the frame leaves.
    CChildFrame(const CPageCommand& page, QWidget* view, const QString& title, const QSize& size,
                QWidget* parent = nullptr);

    const CPageCommand& pageCommand() const { return m_page; }
    QWidget* view() const { return widget(); }
    HWND viewHandle() const;
    // Sends WM_PAGE_CONTROL (code) to the view, when it has a handle.
    void SendPageControl(unsigned code);

signals:
    void closing(int command);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    const CPageCommand& m_page;
    bool m_closed = false;
};
