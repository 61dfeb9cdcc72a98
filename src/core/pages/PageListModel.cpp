#include "PageListModel.h"

#include "base/TextNumbers.h"

#include <QSize>

CPageListModel::CPageListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CPageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int CPageListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QVariant CPageListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !ValidRow(index.row()) || index.column() < 0 ||
        index.column() >= ColumnCount)
        return {};
    const Row& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return row.text[index.column()];
    case Qt::ForegroundRole:
        if (row.stale && m_staleForeground.isValid())
            return m_staleForeground;
        if (row.text[ColLabel].contains(QLatin1Char('*')))
            return m_readOnlyForeground;
        return {};
    case Qt::FontRole:
        return m_font;
    case Qt::ToolTipRole:
        if (!row.note.isEmpty())
            return row.note;
        if (row.stale && !m_staleTooltip.isEmpty())
            return m_staleTooltip.arg(row.answeredAt.toString(QStringLiteral("HH:mm:ss")));
        return {};
    case CurrentRole:
        return !row.stale;
    case LastAnswerRole:
        return row.answeredAt;
    case UnitChoicesRole:
        return m_choices ? QVariant(m_choices(index.row())) : QVariant();
    case ReadOnlyRowRole:
        return row.text[ColLabel].contains(QLatin1Char('*'));
    case DropDownRole:
        return index.column() < m_columns.size() && m_columns.at(index.column()).dropDown;
    case KeyRole:
        return RowKey(index.row());
    default:
        return {};
    }
}

bool CPageListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    return SetItemText(index.row(), index.column(), value.toString());
}

QVariant CPageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns.at(section).title;
    if (role == Qt::SizeHintRole)
        return QSize(m_columns.at(section).width, 0);
    return {};
}

Qt::ItemFlags CPageListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || !ValidRow(index.row()))
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int column = index.column();
    const bool readOnlyColumn = column < m_columns.size() && m_columns.at(column).readOnly;
    if (readOnlyColumn)
        return result;
    // The value of an object without write access is never edited; any unit may be chosen.
    if (column == ColUnit || (column == ColValue &&
                              m_rows.at(index.row()).text[ColAttribute].contains(QLatin1Char('W'))))
        result |= Qt::ItemIsEditable;
    return result;
}

void CPageListModel::SetColumns(const QVector<ColumnSpec>& columns)
{
    m_columns = columns;
    if (!m_columns.isEmpty())
        emit headerDataChanged(Qt::Horizontal, 0, m_columns.size() - 1);
}

int CPageListModel::InsertItem(int position, const QString& label)
{
    const int row = qBound(0, position, int(m_rows.size()));
    beginInsertRows(QModelIndex(), row, row);
    Row item;
    item.text[ColLabel] = label;
    m_rows.insert(row, item);
    endInsertRows();
    // The new row's key is still empty (0). An append keeps every other row where it was.
    if (row != m_rows.size() - 1)
        m_keyIndexStale = true;
    else if (!m_keyIndexStale && !m_keyIndex.contains(0))
        m_keyIndex.insert(0, row);
    return row;
}

bool CPageListModel::DeleteItem(int row)
{
    if (!ValidRow(row))
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    m_keyIndexStale = true;
    return true;
}

void CPageListModel::DeleteAllItems()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
    m_keyIndex.clear();
    m_keyIndexStale = false;
}

QString CPageListModel::GetItemText(int row, int column) const
{
    if (!ValidRow(row) || column < 0 || column >= ColumnCount)
        return {};
    return m_rows.at(row).text[column];
}

bool CPageListModel::SetItemText(int row, int column, const QString& text)
{
    if (!ValidRow(row) || column < 0 || column >= ColumnCount)
        return false;
    QString& cell = m_rows[row].text[column];
    if (cell == text)
        return true;
    if (column == ColKey && !m_keyIndexStale) {
        const uint32_t oldKey = KeyOfText(cell);
        const uint32_t newKey = KeyOfText(text);
        const auto old = m_keyIndex.constFind(oldKey);
        if (old != m_keyIndex.constEnd() && old.value() == row) {
            // The old key passes to the next row down that holds it. A row being built at the
            // end (empty key, then its key) finds none at once.
            int next = -1;
            for (int r = row + 1; r < m_rows.size() && next < 0; ++r) {
                if (KeyOfText(m_rows.at(r).text[ColKey]) == oldKey)
                    next = r;
            }
            if (next >= 0)
                m_keyIndex.insert(oldKey, next);
            else
                m_keyIndex.remove(oldKey);
        }
        const auto existing = m_keyIndex.constFind(newKey);
        if (existing == m_keyIndex.constEnd() || existing.value() > row)
            m_keyIndex.insert(newKey, row);
    }
    cell = text;
    // The label decides the colour of the whole row.
    if (column == ColLabel)
        EmitRowChanged(row, 0, ColumnCount - 1);
    else
        EmitRowChanged(row, column, column);
    return true;
}

QString CPageListModel::GetItemNote(int row) const
{
    return ValidRow(row) ? m_rows.at(row).note : QString();
}

void CPageListModel::SetItemNote(int row, const QString& note)
{
    if (!ValidRow(row) || m_rows.at(row).note == note)
        return;
    m_rows[row].note = note;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::ToolTipRole});
}

void CPageListModel::MarkAnswered(int row, const QDateTime& when)
{
    if (!ValidRow(row))
        return;
    Row& item = m_rows[row];
    item.answeredAt = when;
    // Only the way back from stale changes what a view shows; the time alone is read on demand.
    if (!item.stale)
        return;
    item.stale = false;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1),
                     {Qt::ForegroundRole, Qt::ToolTipRole, CurrentRole, LastAnswerRole});
}

void CPageListModel::MarkAllStale()
{
    int first = -1;
    int last = -1;
    for (int r = 0; r < m_rows.size(); ++r) {
        Row& item = m_rows[r];
        // A row never answered shows no value that could be taken for the drive's.
        if (item.stale || !item.answeredAt.isValid())
            continue;
        item.stale = true;
        if (first < 0)
            first = r;
        last = r;
    }
    if (first >= 0)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1),
                         {Qt::ForegroundRole, Qt::ToolTipRole, CurrentRole});
}

bool CPageListModel::IsCurrent(int row) const
{
    return ValidRow(row) && !m_rows.at(row).stale;
}

QDateTime CPageListModel::LastAnswer(int row) const
{
    return ValidRow(row) ? m_rows.at(row).answeredAt : QDateTime();
}

void CPageListModel::SetStalePresentation(const QVariant& colour, const QString& tooltip)
{
    m_staleForeground = colour;
    m_staleTooltip = tooltip;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows.size() - 1, ColumnCount - 1),
                         {Qt::ForegroundRole, Qt::ToolTipRole});
}

void CPageListModel::SetReadOnlyForeground(const QVariant& colour)
{
    m_readOnlyForeground = colour;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows.size() - 1, ColumnCount - 1),
                         {Qt::ForegroundRole});
}

void CPageListModel::SetFont(const QVariant& font)
{
    m_font = font;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows.size() - 1, ColumnCount - 1), {Qt::FontRole});
}

uint32_t CPageListModel::RowKey(int row) const
{
    return ValidRow(row) ? KeyOfText(m_rows.at(row).text[ColKey]) : 0;
}

int CPageListModel::RowOfKey(uint32_t key) const
{
    if (m_keyIndexStale)
        RebuildKeyIndex();
    return m_keyIndex.value(key, -1);
}

uint32_t CPageListModel::KeyOfText(const QString& text)
{
    return static_cast<uint32_t>(TextToLong(text));
}

void CPageListModel::EmitRowChanged(int row, int firstColumn, int lastColumn)
{
    emit dataChanged(index(row, firstColumn), index(row, lastColumn));
}

void CPageListModel::RebuildKeyIndex() const
{
    m_keyIndex.clear();
    m_keyIndex.reserve(m_rows.size());
    // From the bottom up, so that the first row of a key is the one left in the index.
    for (int row = m_rows.size() - 1; row >= 0; --row)
        m_keyIndex.insert(KeyOfText(m_rows.at(row).text[ColKey]), row);
    m_keyIndexStale = false;
}
