#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QVector>

#include <array>
#include <cstdint>

// The rows of a page list and their only store: seven text columns per row plus the row's
// selected, focused and cut states, so that every page operation (add above the focused row,
// delete the selected rows, help of the focused row) works without a widget. Views show it.
class CPageListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        ColLabel = 0,
        ColKey = 1,
        ColName = 2,
        ColDataType = 3,
        ColValue = 4,
        ColAttribute = 5,
        ColUnit = 6,
        ColumnCount = 7
    };

    // Extended list styles kept as data for the view.
    enum Style
    {
        StyleGridLines = 0x01,
        StyleFullRowSelect = 0x20
    };

    struct ColumnSpec
    {
        QString title;
        int width = 0;
        bool readOnly = false;
        bool dropDown = false;
    };

    // Roles beyond Qt's for views and delegates.
    enum Roles
    {
        ReadOnlyRowRole = Qt::UserRole + 1,
        DropDownRole,
        KeyRole
    };

    explicit CPageListModel(QObject* parent = nullptr);

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Column set-up.
    void SetColumns(const QVector<ColumnSpec>& columns);
    const QVector<ColumnSpec>& Columns() const { return m_columns; }
    void SetExtendedStyle(unsigned style) { m_extendedStyle = style; }
    unsigned ExtendedStyle() const { return m_extendedStyle; }

    // Rows. InsertItem clamps the position to [0, count] and returns the row it went to.
    int GetItemCount() const { return m_rows.size(); }
    int InsertItem(int position, const QString& label);
    bool DeleteItem(int row);
    void DeleteAllItems();
    QString GetItemText(int row, int column) const;
    bool SetItemText(int row, int column, const QString& text);

    // Row states.
    bool IsSelected(int row) const;
    bool IsFocused(int row) const;
    bool IsCut(int row) const;
    void SetSelected(int row, bool selected);
    void SetFocused(int row, bool focused); // focusing one row takes the focus from the others
    void SetCut(int row, bool cut);
    int GetSelectedCount() const;
    // First selected row after `after` (-1 starts at the top); -1 when none.
    int GetNextSelected(int after = -1) const;

    // Key of a row (decimal text of column 1); 0 for a bad row.
    uint32_t RowKey(int row) const;
    // Row holding the key, -1 when none. Kept in an index so large lists stay fast.
    int RowOfKey(uint32_t key) const;

signals:
    // The operator finished editing a cell (value edits only on Enter): row, column.
    void cellEdited(int row, int column);

private:
    struct Row
    {
        std::array<QString, ColumnCount> text;
        bool selected = false;
        bool focused = false;
        bool cut = false;
    };

    bool ValidRow(int row) const { return row >= 0 && row < m_rows.size(); }
    static uint32_t KeyOfText(const QString& text);
    void EmitRowChanged(int row, int firstColumn, int lastColumn);
    void RebuildKeyIndex() const;

    QVector<ColumnSpec> m_columns;
    unsigned m_extendedStyle = 0;
    QVector<Row> m_rows;
    // Key -> first row holding it. Appends and key edits keep it current; inserts in the
    // middle and deletes shift rows, so they only mark it stale and the next lookup rebuilds.
    mutable QHash<uint32_t, int> m_keyIndex;
    mutable bool m_keyIndexStale = false;
};
