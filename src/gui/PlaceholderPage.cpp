#include "PlaceholderPage.h"

#include "PageFactory.h"
#include "app/SysData.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

CPlaceholderPage::CPlaceholderPage(CSysData& sys, const CPageSpec& spec, QWidget* parent)
    : QWidget(parent), m_page(sys, spec, sys.busPanelName)
{
    setObjectName(QStringLiteral("page_") + m_page.pageName());
    SetPageViewHandle(this, m_page.hwnd());
    m_page.Create();

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("pageTable"));
    m_table->setModel(&m_page.list());
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const auto& columns = m_page.list().Columns();
    for (int c = 0; c < columns.size(); ++c) {
        if (columns[c].width <= 0)
            m_table->setColumnHidden(c, true);
        else
            m_table->setColumnWidth(c, columns[c].width);
    }
    // Rows as tall as the font needs, whatever the screen density.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_table);
}

CPlaceholderPage::~CPlaceholderPage() = default;
