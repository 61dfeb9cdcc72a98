#include "BrowseModel.h"

void CBrowseModel::Fill(const CSdoDatabase& dictionary)
{
    beginResetModel();
    m_list.Fill(dictionary);
    endResetModel();
}

void CBrowseModel::SetEntries(std::vector<CBrowseEntry> entries)
{
    beginResetModel();
    m_list.SetEntries(std::move(entries));
    endResetModel();
}

void CBrowseModel::SetOrder(BrowseOrder order)
{
    if (order == m_list.order())
        return;
    beginResetModel();
    m_list.SetOrder(order);
    endResetModel();
}

void CBrowseModel::SetFilter(const QString& text, bool mappableOnly)
{
    if (text == m_list.filterText() && mappableOnly == m_list.mappableOnly())
        return;
    beginResetModel();
    m_list.SetFilter(text, mappableOnly);
    endResetModel();
}

int CBrowseModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.RowCount();
}

int CBrowseModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CBrowseModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.RowCount())
        return {};
    const CBrowseEntry& entry = m_list.At(index.row());
    if (role == KeyRole)
        return QVariant::fromValue<uint>(entry.key);
    // A name wider than its column is elided; the tooltip shows it whole.
    if (role == Qt::ToolTipRole && index.column() == ColName)
        return entry.name;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case ColIndex:
        return entry.IndexText();
    case ColSubindex:
        return entry.SubindexText();
    case ColName:
        return entry.name;
    default:
        return {};
    }
}

QVariant CBrowseModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[] = {"index", "sub", "name"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}

Qt::ItemFlags CBrowseModel::flags(const QModelIndex& index) const
{
    // Nothing in the list is edited: the browser only shows and hands out objects.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
