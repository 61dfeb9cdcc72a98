#pragma once

#include "browse/BrowseList.h"

#include <QAbstractTableModel>

// The dictionary browser's rows as a table: index, subindex and name of the core's browse list.
// The list keeps order and filter itself; the model resets when it changes.
class CBrowseModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        ColIndex,
        ColSubindex,
        ColName,
        ColumnCount
    };
    // The object key of a row.
    static constexpr int KeyRole = Qt::UserRole + 1;

    explicit CBrowseModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void Fill(const CSdoDatabase& dictionary);
    void SetEntries(std::vector<CBrowseEntry> entries);
    void SetOrder(BrowseOrder order);
    void SetFilter(const QString& text, bool mappableOnly);
    const CSdoBrowseList& list() const { return m_list; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    CSdoBrowseList m_list;
};
