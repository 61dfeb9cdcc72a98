#pragma once

#include "TransferRowModel.h"
#include "comm/LinkHold.h"
#include "comm/MessageLayer.h"

#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class CSysData;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableView;
class QVBoxLayout;

// What the export and import views share: a row of buttons, three status lines, the list of
// rows, and the control link held for this window alone. The view holds the link from the moment
// it is called up (WM_PAGE_CONTROL 0); a run or store holds it for itself while it goes and
// hands it back to the view when it ends. The link goes back to the other windows on every way
// out: the window closes, a run is cancelled or loses the drive; then the open pages are told to
// read again, since they could not while it was held.
class CTransferView : public QWidget, public CMessageReceiver
{
    Q_OBJECT

public:
    // One list column: field, heading and width in pixels on a screen of 96 dots per inch and on
    // any other.
    struct Column
    {
        CTransferRowModel::Field field;
        QString heading;
        int width96;
        int widthOther;
    };

    ~CTransferView() override;

    HWND hwnd() const { return m_handle.hwnd(); }
    // The view itself holds the link (not a run of it).
    bool linkHeld() const { return m_hold.has_value(); }
    QTableView* list() const { return m_list; }
    CTransferRowModel* model() const { return m_model; }

    // WM_PAGE_CONTROL: 0 takes the link, 1 (the window closes) stops and gives it back, 6 with
    // the connection closed gives it back.
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

signals:
    // A run or store ended (finished, cancelled or failed).
    void jobEnded();

protected:
    CTransferView(CSysData& sys, const QVector<Column>& columns, CTransferRowModel::Rows rows,
                  QWidget* parent);

    // The window goes: stop what runs at once, without asking the drive for anything more.
    virtual void StopForClose() = 0;
    // Whether the window may close now; a view that must ask first asks and answers false.
    virtual bool MayClose() { return true; }

    // The list shows the rows; called once the rows' owner (the run) exists.
    void ShowRows();
    QPushButton* AddButton(const QString& text, const char* name);
    QLabel* AddStatusLine(const char* name);

    // Starts a run or store (start gives false with the operator's text when it cannot): the
    // view lends it the link for as long as it goes.
    bool StartJob(const std::function<bool(QString& refusal)>& start);
    // The job ended: the view takes the link back, unless the job was cancelled or lost the
    // drive, when it goes to the other windows.
    void JobEnded(bool givesLinkBack);
    // Stops and gives the link back, once. The window's close tells the pages to read again; a
    // view destroyed without closing (its main window goes) tells nobody.
    void Leave(bool tellPages);
    // Closes the page window that hosts the view (or the view where it has none).
    void CloseWindow();

    // Where the open dialogs start: the shipped object list sys/default.cdo.
    QString DefaultListPath() const;

    CSysData& m_sys;
    CTransferRowModel* m_model;
    QTableView* m_list;

private:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void SetColumnWidths();
    void FitColumns();
    bool Claim();
    void GiveBack();

    QVector<Column> m_columns;
    QHBoxLayout* m_buttons;
    QVBoxLayout* m_statusLines;
    CWindowHandle m_handle{this};
    std::optional<CLinkHold> m_hold;
    // Whether the view wants the link between jobs (called up and not given back since).
    bool m_wantsLink = false;
    // A job had the link since the view last gave it back: the pages are to read again.
    bool m_lent = false;
    bool m_left = false;
    QPointer<QMdiSubWindow> m_watchedFrame;
    QTimer m_fit;
};
