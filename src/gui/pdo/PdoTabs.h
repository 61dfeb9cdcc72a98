#pragma once

#include "comm/MessageLayer.h"
#include "pdo/PdoMapping.h"

#include <QWidget>

#include <array>
#include <functional>

class CPdoMappingEditor;
class CSysData;
class QTabBar;

// The eight PDOs of one direction as tabs. Each tab holds the PDO's bus panel (the parameter
// page of its page file, "RPDO1" ... "TPDO8") beside its mapping editor, both made the first
// time the tab is shown, so that opening the window reads only the first PDO; switching tabs
// hides and shows them.
class CPdoTabsDialog : public QWidget
{
    Q_OBJECT

public:
    CPdoTabsDialog(CSysData& sys, Pdo::Direction direction, QWidget* parent = nullptr);
    ~CPdoTabsDialog() override;

    QTabBar* tabs() const { return m_tabs; }
    // The panel and editor of tab n (1 to 8); null until the tab was first shown.
    QWidget* panel(int n) const;
    CPdoMappingEditor* editor(int n) const;
    int panelsCreated() const;
    // Shows tab n's panel, creating it on first use.
    void ShowPanel(int n);
    // The connection came back (2) or changed (6): the panels made so far hear it as every
    // page does, and the editors read their mapping again.
    void ForwardPageControl(unsigned action);

private:
    void TabChanged(int index);

    CSysData& m_sys;
    Pdo::Direction m_direction;
    QTabBar* m_tabs;
    QWidget* m_area;
    struct Slot
    {
        QWidget* page = nullptr; // panel and editor side by side
        QWidget* panel = nullptr;
        CPdoMappingEditor* editor = nullptr;
    };
    std::array<Slot, Pdo::kPdosPerDirection> m_slots{};
};

// The receive PDOs' inner dialog.
class CRPDO_Dlg : public CPdoTabsDialog
{
    Q_OBJECT
public:
    explicit CRPDO_Dlg(CSysData& sys, QWidget* parent = nullptr);
};

// The transmit PDOs' inner dialog.
class CTPDO_Dlg : public CPdoTabsDialog
{
    Q_OBJECT
public:
    explicit CTPDO_Dlg(CSysData& sys, QWidget* parent = nullptr);
};

// The window around the tabs: owns the inner dialog and an active flag; WM_PAGE_CONTROL 0 and
// 1 set and clear it, 3 hands the window to the project store under the project page number;
// 2 and 6 go on to the panels already made.
class CPdoTabsView : public QWidget, public CMessageReceiver
{
    Q_OBJECT

public:
    CPdoTabsView(CPdoTabsDialog* dialog, int projectPage, QWidget* parent = nullptr);
    ~CPdoTabsView() override;

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;
    HWND hwnd() const { return m_handle.hwnd(); }
    CPdoTabsDialog* dialog() const { return m_dialog; }
    bool active() const { return m_active; }
    int projectPage() const { return m_projectPage; }

    // Action 3: the project store writes the window's placement and active flag.
    std::function<void(const CPdoTabsView& view)> saveHook;

private:
    CPdoTabsDialog* m_dialog;
    int m_projectPage;
    bool m_active = true;
    CWindowHandle m_handle;
};

// The receive PDO window (project page 49).
class CTagFormViewRPD : public CPdoTabsView
{
    Q_OBJECT
public:
    explicit CTagFormViewRPD(CSysData& sys, QWidget* parent = nullptr);
};

// The transmit PDO window (project page 48).
class CTagFormView : public CPdoTabsView
{
    Q_OBJECT
public:
    explicit CTagFormView(CSysData& sys, QWidget* parent = nullptr);
};
