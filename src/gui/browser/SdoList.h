#pragma once

#include "browse/BrowseList.h"

#include <QWidget>

class CBrowseModel;
class CSysData;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QTableView;

// The object dictionary browser: every dictionary object with index, subindex and name, sorted by
// index or name, narrowed by a filter, searched with find next; the selected object's description
// in a pane beside the list. A double-click hands the object to the window that last asked for
// one (WM_ADD_OBJECT) and closes the browser.
class CSdoList : public QWidget
{
    Q_OBJECT

public:
    explicit CSdoList(CSysData& sys, QWidget* parent = nullptr);

    // Find next with the search field's text; the row found (selected and shown), or a
    // CBrowseFind code ("Not Found!!" is reported).
    int FindNext();
    // Hands the row's object to the requester and closes the browser's window.
    void Choose(int row);
    int SelectedRow() const;
    QString description() const;
    CBrowseModel* model() const { return m_model; }

    // Find next carries on across browsers of one run.
    static CBrowseFind& findState();

private:
    // Selects and shows the row; focus moves the keyboard focus to the list (a search hit).
    void SelectRow(int row, bool focus);
    void ShowDescription(int row);
    void ApplyFilter();

    CSysData& m_sys;
    CBrowseModel* m_model;
    QComboBox* m_order;
    QLineEdit* m_search;
    QLineEdit* m_filter;
    QCheckBox* m_mappable;
    QTableView* m_table;
    QPlainTextEdit* m_description;
};
