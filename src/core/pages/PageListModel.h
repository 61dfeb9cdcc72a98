#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <array>
#include <cstdint>
#include <functional>

// The rows of a page list and their only store: seven text columns per row and, per row, the
// text of the drive's last refusal, the time of the drive's last answer and whether the value
// shown is still current (it is not once the line was lost, until the row is answered again).
// Selection and focus belong to the view that shows the rows;
// the colour and font of read-only rows are handed in by the window layer as role data, so the
// core stays free of the GUI library.
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
        KeyRole,
        UnitChoicesRole, // QStringList: the units a row's unit cell offers
        CurrentRole,     // bool: false while the row shows a value from before the line was lost
        LastAnswerRole   // QDateTime of the drive's last answer for the row; invalid before one
    };

    // Supplies the unit choices of a row (UnitChoicesRole); the page logic installs it.
    using ChoicesSource = std::function<QStringList(int row)>;

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

    // Why the drive refused the row's object (shown as the row's tooltip); empty when it did not.
    QString GetItemNote(int row) const;
    void SetItemNote(int row, const QString& note);

    // The drive answered for the row (a value or a refusal): its value is current again.
    void MarkAnswered(int row, const QDateTime& when = QDateTime::currentDateTime());
    // The line is lost: every answered row shows a value that is no longer known to be current.
    void MarkAllStale();
    bool IsCurrent(int row) const;
    QDateTime LastAnswer(int row) const;

    // Presentation handed in by the window layer: the text colour of read-only rows (a QColor
    // or anything a view takes for Qt::ForegroundRole) and the font of all cells.
    void SetReadOnlyForeground(const QVariant& colour);
    // How a row that is not current looks: its text colour, and its tooltip with %1 for the
    // time of the last answer (rows with a refusal or failure note show the note instead).
    void SetStalePresentation(const QVariant& colour, const QString& tooltip);
    void SetFont(const QVariant& font);
    void SetChoicesSource(ChoicesSource source) { m_choices = std::move(source); }

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
        QString note;
        QDateTime answeredAt;
        bool stale = false;
    };

    bool ValidRow(int row) const { return row >= 0 && row < m_rows.size(); }
    static uint32_t KeyOfText(const QString& text);
    void EmitRowChanged(int row, int firstColumn, int lastColumn);
    void RebuildKeyIndex() const;

    QVector<ColumnSpec> m_columns;
    unsigned m_extendedStyle = 0;
    QVector<Row> m_rows;
    QVariant m_readOnlyForeground;
    QVariant m_staleForeground;
    QString m_staleTooltip;
    QVariant m_font;
    ChoicesSource m_choices;
    // Key -> first row holding it. Appends and key edits keep it current; inserts in the
    // middle and deletes shift rows, so they only mark it stale and the next lookup rebuilds.
    mutable QHash<uint32_t, int> m_keyIndex;
    mutable bool m_keyIndexStale = false;
};
