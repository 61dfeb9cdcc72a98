#pragma once

#include "pages/ParamPage.h"

#include <QWidget>

#include <memory>

class CEditListCtrl;
class CSysData;
class QMenu;

// The window of one parameter page: the page logic of its window registry entry, its list in an
// editable table and the right-click menu where the page has one. Every parameter page, bus
// panels included, is this one class driven by its registry entry. An object's help comes in a
// message box.
class CParamPageView : public QWidget
{
    Q_OBJECT

public:
    CParamPageView(CSysData& sys, const CWindowInfo& page, QWidget* parent = nullptr);
    ~CParamPageView() override;

    CParamPage& page() { return *m_page; }
    CEditListCtrl* list() const { return m_list; }
    QString title() const;

    // WM_PAGE_CONTROL to the page (0 called up, 1 closing, 2 connection back, 3 save, 4 restore).
    void SendPageControl(int action);
    QSize sizeHint() const override;
    // The size within room (the page window's share for its view) that shows whole rows and
    // every column: never narrower than the columns, never taller than the rows need.
    QSize FitSize(const QSize& room) const;

    // The right-click menu for the current selection; null on pages without one.
    QMenu* CreateContextMenu();
    void CommandAdd();
    void CommandDelete();
    void CommandHelp();

protected:
    void changeEvent(QEvent* event) override;

private:
    // Grey text, and the time of the last answer as the tooltip, for values no longer current.
    void SetStaleText();
    bool AcceptValue(int row, const QString& text);
    int TakeFocusedSelection();
    QSize SizeForRows(int rows, bool scrollBar) const;
    void ShowContextMenu(const QPoint& position);

    CSysData& m_sys;
    CWindowInfo m_spec;
    std::unique_ptr<CParamPage> m_page;
    CEditListCtrl* m_list;
};
