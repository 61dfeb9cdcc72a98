#pragma once

#include "transfer/TransferFormats.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QVector>

#include <functional>

// The rows of a transfer view as a table. The rows belong to the run (the export or import
// logic); the model only shows them, each column one field of the row, and is told when rows
// changed.
class CTransferRowModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum class Field
    {
        Number,     // 1-based row number
        Descriptor, // the object descriptor text
        LoadValue,  // the file's value (import)
        Value,      // the value read or read back, or the failure code
        Result,     // "True", "Alarm", "Fail" or empty
        Name,       // dictionary name or "? ? ? ?"
    };
    struct Column
    {
        Field field;
        QString heading;
    };
    using Rows = std::function<const QVector<CTransferRow>*()>;

    // Failed rows on red, alarmed rows on yellow, others as the list draws them.
    static QColor OutcomeColour(TransferOutcome outcome);

    CTransferRowModel(const QVector<Column>& columns, Rows rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Display text, the outcome's background, and the reason of an Alarm or Fail as tooltip.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The run got new rows or emptied their results.
    void RowsReset();
    // One row got its value and outcome.
    void RowChanged(int row);

private:
    const CTransferRow* RowAt(int row) const;

    QVector<Column> m_columns;
    Rows m_rows;
};
