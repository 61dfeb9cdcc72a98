#include "TransferRowModel.h"

QColor CTransferRowModel::OutcomeColour(TransferOutcome outcome)
{
    switch (outcome) {
    case TransferOutcome::Fail:
        return QColor(255, 0, 0);
    case TransferOutcome::Alarm:
        return QColor(255, 255, 0);
    default:
        return {};
    }
}

CTransferRowModel::CTransferRowModel(const QVector<Column>& columns, Rows rows, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns), m_rows(std::move(rows))
{
}

const CTransferRow* CTransferRowModel::RowAt(int row) const
{
    const QVector<CTransferRow>* rows = m_rows();
    return rows && row >= 0 && row < rows->size() ? &rows->at(row) : nullptr;
}

int CTransferRowModel::rowCount(const QModelIndex& parent) const
{
    const QVector<CTransferRow>* rows = m_rows();
    return parent.isValid() || !rows ? 0 : int(rows->size());
}

int CTransferRowModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant CTransferRowModel::data(const QModelIndex& index, int role) const
{
    const CTransferRow* row = RowAt(index.row());
    if (!row || index.column() < 0 || index.column() >= m_columns.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        switch (m_columns[index.column()].field) {
        case Field::Number:
            return QString::number(index.row() + 1);
        case Field::Descriptor:
            return row->descriptorText;
        case Field::LoadValue:
            return row->loadValue;
        case Field::Value:
            return row->value;
        case Field::Result:
            return OutcomeText(row->outcome);
        case Field::Name:
            return row->name;
        }
        return {};
    case Qt::BackgroundRole: {
        const QColor colour = OutcomeColour(row->outcome);
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    case Qt::ForegroundRole:
        // Red and yellow rows keep black text, whatever the style's text colour is.
        return OutcomeColour(row->outcome).isValid() ? QVariant(QColor(Qt::black)) : QVariant();
    case Qt::ToolTipRole:
        return row->reason.isEmpty() ? QVariant() : QVariant(row->reason);
    default:
        return {};
    }
}

QVariant CTransferRowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_columns.size())
        return m_columns[section].heading;
    return {};
}

void CTransferRowModel::RowsReset()
{
    beginResetModel();
    endResetModel();
}

void CTransferRowModel::RowChanged(int row)
{
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}
