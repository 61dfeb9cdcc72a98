#pragma once

#include <QWidget>

class CBusEventList;
class QTableView;

// The Emergencies window: the bus events the main frame keeps, newest first, and a button that
// clears them. The list outlives the window, so that what came while it was closed shows too.
class CEmergencyList : public QWidget
{
    Q_OBJECT

public:
    explicit CEmergencyList(CBusEventList& events, QWidget* parent = nullptr);

    QTableView* table() const { return m_table; }

private:
    QTableView* m_table;
};
