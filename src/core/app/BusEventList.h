#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <deque>

// The heartbeats, emergencies and lost nodes the bus reported, newest first, as the rows of the
// Emergencies window. It keeps the last kMaxEvents so that a node that keeps raising errors
// cannot grow the program without bound.
class CBusEventList : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kMaxEvents = 1000;
    enum Column
    {
        ColTime,
        ColNode,
        ColEvent,
        ColCode,
        ColText,
        ColumnCount
    };

    struct Event
    {
        QDateTime time;
        uint32_t node = 0;
        uint32_t kind = 0; // a BusEvent
        uint32_t data = 0; // the event's wParam
    };

    using QAbstractTableModel::QAbstractTableModel;

    // Takes one WM_BUS_EVENT as the link posted it.
    void Add(const QDateTime& time, uint32_t wParam, uint32_t lParam);
    void Clear();
    const Event& At(int row) const { return m_events.at(size_t(row)); }

    // The CiA 301 meaning of an emergency error code (its class when the code itself is not one
    // of the common ones); empty for a code of no known class.
    static QString EmergencyText(uint16_t code);
    // The NMT state a heartbeat carries, in words.
    static QString StateText(uint32_t state);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::deque<Event> m_events;
};
