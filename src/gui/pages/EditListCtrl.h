#pragma once

#include "comm/Messages.h"

#include <QSet>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>

#include <functional>

class CEditListCtrl;

// The in-place editors of a list: a text editor for value cells and a drop-down list for unit
// cells. An open editor keeps the operator's text; values that arrive meanwhile do not reach it.
class CInPlaceDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CInPlaceDelegate(CEditListCtrl* list);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    CEditListCtrl* m_list;
};

// A table view over a page list model that edits single cells in place: read-only and drop-down
// column sets, a single click (or Enter) on a writable value starts the text editor, Enter
// commits and tells the owner window (WM_CELL_EDITED), clicking elsewhere keeps the text
// without telling anyone, Escape restores. Columns cannot be resized. Values that arrive are
// repainted on a short single-shot timer, so a busy page repaints at most 25 times a second.
class CEditListCtrl : public QTableView
{
    Q_OBJECT

public:
    static constexpr int kRepaintIntervalMs = 40;

    explicit CEditListCtrl(QWidget* parent = nullptr);
    ~CEditListCtrl() override;

    void setModel(QAbstractItemModel* model) override;

    void SetReadOnlyColumn(int column, bool flag);
    void SetComboColumn(int column, bool flag);
    bool IsReadOnlyColumn(int column) const { return m_readOnlyColumns.contains(column); }
    bool IsComboColumn(int column) const { return m_comboColumns.contains(column); }

    // The window that WM_CELL_EDITED goes to.
    void SetOwnerWindow(HWND owner) { m_owner = owner; }
    // Asked before a value ended with Enter is taken; false refuses it (the cell keeps its text
    // and nothing is sent). The validator tells the operator why.
    std::function<bool(int row, const QString& text)> valueValidator;

    bool ShowInPlaceEdit(int row, int column);
    bool ShowInPlaceCombo(int row, int column);
    // An editor ended: the text t of cell (row, column); byEnter when Enter ended it.
    void OnEndLabelEdit(int row, int column, const QString& text, bool byEnter);

    // Column widths and hidden columns from the model's header (widths in device pixels).
    void ApplyColumns();
    int VisibleColumnsWidth() const;
    int HeaderHeight() const;
    int RowHeight() const;

    QVector<int> SelectedRows() const;
    // The current row when it is selected, else -1.
    int FocusedSelectedRow() const;

    int currentEditRow() const { return m_currentRow; }
    bool committed() const { return m_committed != 0; }
    // Repaints requested by arriving values (one per coalescing period at most).
    int coalescedRepaints() const { return m_coalescedRepaints; }
    bool repaintPending() const { return m_repaintTimer.isActive(); }

protected:
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QVector<int>& roles = QVector<int>()) override;

private:
    void UpdateRowMetrics();
    int TextWidth(int column) const;
    bool RowWritable(int row) const;
    void StartEdit(int row, int column);
    void FlushRepaint();

    QSet<int> m_comboColumns;
    QSet<int> m_readOnlyColumns;
    HWND m_owner = kNoWindow;
    int m_currentRow = -1;
    int m_committed = 0;
    int m_enterState = 0;
    int m_keyGuard = 1;
    QTimer m_repaintTimer;
    int m_coalescedRepaints = 0;
    // Rows changed since the last repaint: only they are painted again.
    int m_dirtyFirst = -1;
    int m_dirtyLast = -1;
};
