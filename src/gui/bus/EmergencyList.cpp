#include "EmergencyList.h"

#include "app/BusEventList.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

CEmergencyList::CEmergencyList(CBusEventList& events, QWidget* parent)
    : QWidget(parent), m_table(new QTableView(this))
{
    setObjectName(QStringLiteral("CEmergencyList"));
    m_table->setObjectName(QStringLiteral("busEvents"));
    m_table->setModel(&events);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(CBusEventList::ColTime, 170);
    m_table->setColumnWidth(CBusEventList::ColNode, 50);
    m_table->setColumnWidth(CBusEventList::ColEvent, 110);
    m_table->setColumnWidth(CBusEventList::ColCode, 80);

    auto* clear = new QPushButton(tr("清除"), this);
    clear->setObjectName(QStringLiteral("clearEvents"));
    connect(clear, &QPushButton::clicked, &events, &CBusEventList::Clear);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(buttons);
}
