#pragma once

#include "PageHost.h"
#include "PageListModel.h"
#include "comm/MessageLayer.h"
#include "units/UnitTable.h"
#include "windows/WindowRegistry.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// What a page writes into the project when the project is saved.
enum class ProjectSave
{
    ListAndPlacement, // its rows and its window placement
    PlacementOnly,    // the window placement alone
};
ProjectSave ProjectSaveFor(const CWindowInfo& page);

// The right-click menu of a page ("add", "del", "help") for the current selection.
struct CPageMenuState
{
    bool shown = false; // whether the page has the menu at all
    bool addEnabled = false;
    bool deleteEnabled = false;
    bool helpEnabled = false;
};
CPageMenuState PageMenuState(const CWindowInfo& page, bool anyRowSelected);

// The behaviour shared by the parameter pages, without any widget: owns the page's list model
// and window handle, runs read passes (one read outstanding, the next sent on the answer),
// shows values, aborts ("????") and strings read by segments, writes edited cells, and adds,
// deletes and explains rows. A widget page shows the model and forwards the operator's commands;
// the selection is the widget's, handed in as arguments (or through focusedSelectionHook).
class CParamPage : public CMessageReceiver
{
public:
    // Page actions of WM_PAGE_CONTROL.
    enum Action
    {
        ActionActivate = 0,
        ActionClose = 1,
        ActionReload = 2,
        ActionSave = 3,
        ActionRestore = 4,
        ActionLinkState = 6 // the connection opened or closed; the page looks at connected
    };

    // page is a parameter page or bus panel of the window registry.
    CParamPage(CPageHost& sys, const CWindowInfo& page);
    ~CParamPage() override;

    // Builds the list and starts the first read pass. restoreHook, when set, may fill the list
    // from the project store; the page file is loaded when the list is still empty.
    void Create(const std::function<bool(CPageListModel&)>& restoreHook = {});

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

    // Commands of the pop-up menu.
    void CommandAdd(); // asks the main frame for the dictionary browser
    void CommandDelete(const QVector<int>& selectedRows);
    // Help text of the row that has the focus among the selected ones (-1: none, empty text).
    QString CommandHelp(int focusedSelectedRow) const;

    // The unit names the row's unit cell offers: each unit's label (its name when it has none)
    // in order, a "DEC" label moved to the end; "DEC" alone for an object without units.
    QStringList GetUnitChoices(int row) const;
    static QStringList UnitChoices(const QVector<CUnitRecord>* records);

    // Why a value text cannot be written to a row in the row's unit (the accepted range, in
    // that unit), or empty when it can: the same check the write itself makes, without writing.
    QString WriteRefusal(int row, const QString& text) const;

    // What the page writes into the project on action 3.
    ProjectSave projectSave() const { return ProjectSaveFor(m_spec); }

    HWND hwnd() const { return m_handle.hwnd(); }
    CPageListModel& list() { return m_list; }
    const CWindowInfo& spec() const { return m_spec; }
    QString pageName() const;
    int readCursor() const { return m_readCursor; }
    bool active() const { return m_active != 0; }

    // Project save and restore of action 3 and 4 (supplied by the project store later).
    std::function<void(CParamPage&)> saveHook;
    std::function<bool(CPageListModel&)> restoreHook;
    // The row an added object goes above: the focused one among the selected rows, -1 when
    // none (the object is appended). The view clears its selection when asked.
    std::function<int()> focusedSelectionHook;

private:
    void SetUpDriverPropertyList();
    // Whether the page's list lives in the project page store.
    bool KeepsListInProject() const;
    void StartReadPassIfConnected();
    void ReadNext();
    void OnValue(uint32_t raw, uint32_t key);
    // A refused (answered) or unanswered exchange: "????" with the reason as the row's note.
    void MarkUnknown(uint32_t key, const QString& why, bool answered);
    void ShowUnknown(int row, const QString& why);
    // The line is lost: no value is current any more, and live rows cannot follow the drive.
    void MarkLineLost();
    void OnUpload(uint32_t key);
    bool IsStringRow(int row, const QString& dataType) const;
    void OnCellEdited(int row, int column);
    void OnAddObject(uint32_t key);
    void OnPageControl(uint32_t action);
    void Relabel();

    CPageHost& m_sys;
    CWindowInfo m_spec;
    CPageListModel m_list;
    CWindowHandle m_handle;
    int m_readCursor = 0;
    int m_active = 0;
    QSet<uint32_t> m_unconfirmedWrites; // keys whose read-back after a write is awaited
    QString m_restoreStamp;
};
