#pragma once

#include "PageHost.h"
#include "PageListModel.h"
#include "PageTable.h"
#include "comm/MessageLayer.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The behaviour shared by the parameter pages, without any widget: owns the page's list model
// and window handle, runs read passes (one read outstanding, the next sent on the answer),
// shows values, aborts ("????") and strings read by segments, writes edited cells, and adds,
// deletes and explains rows. A widget page shows the model and forwards the operator's commands.
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
        ActionRestore = 4
    };

    CParamPage(CPageHost& sys, const CPageSpec& spec, const QString& panelName = QString());
    ~CParamPage() override;

    // Builds the list and starts the first read pass. restoreHook, when set, may fill the list
    // from the project store; the page file is loaded when the list is still empty.
    void Create(const std::function<bool(CPageListModel&)>& restoreHook = {});

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

    // Commands of the pop-up menu.
    void CommandAdd(); // asks the main frame for the dictionary browser
    void CommandDelete();
    // Help text of the focused selected row (empty when none); clears the selection.
    QString CommandHelp();

    HWND hwnd() const { return m_handle.hwnd(); }
    CPageListModel& list() { return m_list; }
    const CPageSpec& spec() const { return m_spec; }
    QString pageName() const;
    int readCursor() const { return m_readCursor; }
    bool active() const { return m_active != 0; }

    // Project save and restore of action 3 and 4 (supplied by the project store later).
    std::function<void(CParamPage&)> saveHook;
    std::function<bool(CPageListModel&)> restoreHook;

private:
    void SetUpDriverPropertyList();
    // Whether the page's list lives in the project page store.
    bool KeepsListInProject() const;
    void StartReadPassIfConnected();
    void ReadNext();
    void OnValue(uint32_t raw, uint32_t key);
    void OnAbort(uint32_t key);
    void OnSegment(uint32_t key);
    void OnCellEdited(int row, int column);
    void OnAddObject(uint32_t key);
    void OnPageControl(uint32_t action);
    // Walks the selected rows, clears them and returns the focused one (-1 when none).
    int TakeFocusedSelection();
    void Relabel();

    CPageHost& m_sys;
    CPageSpec m_spec;
    QString m_panelName;
    CPageListModel m_list;
    CWindowHandle m_handle;
    int m_readCursor = 0;
    int m_active = 0;
    QString m_restoreStamp;
    QByteArray m_stringAccumulator;
    uint8_t m_segmentCommand = 0x60;
};
