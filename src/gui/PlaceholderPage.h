#pragma once

#include "pages/ParamPage.h"

#include <QWidget>

class CSysData;
class QTableView;

// A parameter page shown as a plain table of its rows until its own view exists: the core's page
// logic reads the values, the table shows the page list model with the visible columns.
class CPlaceholderPage : public QWidget
{
    Q_OBJECT

public:
    CPlaceholderPage(CSysData& sys, const CPageSpec& spec, QWidget* parent = nullptr);
    ~CPlaceholderPage() override;

    CParamPage& page() { return m_page; }
    QTableView* table() const { return m_table; }

private:
    CParamPage m_page;
    QTableView* m_table = nullptr;
};
