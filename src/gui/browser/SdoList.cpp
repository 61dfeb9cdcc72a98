#include "SdoList.h"

#include "BrowseModel.h"
#include "app/SysData.h"
#include "base/Report.h"
#include "comm/MessageLayer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>

CBrowseFind& CSdoList::findState()
{
    static CBrowseFind state;
    return state;
}

CSdoList::CSdoList(CSysData& sys, QWidget* parent)
    : QWidget(parent), m_sys(sys), m_model(new CBrowseModel(this))
{
    setObjectName(QStringLiteral("CSdoList"));
    m_order = new QComboBox(this);
    m_order->setObjectName(QStringLiteral("order"));
    m_order->addItems({tr("对象索引"), tr("对象名字")});
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("search"));
    auto* findNext = new QPushButton(tr("查找下一个"), this);
    findNext->setObjectName(QStringLiteral("findNext"));
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setClearButtonEnabled(true);
    m_mappable = new QCheckBox(tr("只显示可映射对象"), this);
    m_mappable->setObjectName(QStringLiteral("mappableOnly"));

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("objects"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Fixed row heights: the view never measures ten thousand rows.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Index and subindex as narrow as their headings allow, so that names get the room.
    const QFontMetrics heading(m_table->horizontalHeader()->font());
    const int padding = 3 * fontMetrics().averageCharWidth();
    m_table->setColumnWidth(CBrowseModel::ColIndex,
                            heading.horizontalAdvance(QStringLiteral("index")) + 2 * padding);
    m_table->setColumnWidth(CBrowseModel::ColSubindex,
                            heading.horizontalAdvance(QStringLiteral("sub")) + 2 * padding);

    m_description = new QPlainTextEdit(this);
    m_description->setObjectName(QStringLiteral("description"));
    m_description->setReadOnly(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("排列方式"), this), 0, 0);
    grid->addWidget(m_order, 0, 1);
    grid->addWidget(new QLabel(tr("查找条件"), this), 0, 2);
    grid->addWidget(m_search, 0, 3);
    grid->addWidget(findNext, 0, 4);
    grid->addWidget(new QLabel(tr("筛选"), this), 1, 0);
    grid->addWidget(m_filter, 1, 1, 1, 3);
    grid->addWidget(m_mappable, 1, 4);
    // The list takes three fifths of the width; the operator may move the border.
    auto* panes = new QSplitter(this);
    panes->addWidget(m_table);
    panes->addWidget(m_description);
    panes->setStretchFactor(0, 3);
    panes->setStretchFactor(1, 2);
    panes->setChildrenCollapsible(false);
    grid->addWidget(panes, 2, 0, 1, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);

    m_model->Fill(m_sys.dictionary);
    connect(m_order, &QComboBox::currentIndexChanged, this,
            [this](int order) { m_model->SetOrder(BrowseOrder(order)); });
    connect(findNext, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(m_search, &QLineEdit::returnPressed, this, [this] { FindNext(); });
    connect(m_filter, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
    connect(m_mappable, &QCheckBox::toggled, this, [this] { ApplyFilter(); });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { ShowDescription(current.row()); });
    connect(m_table, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { Choose(index.row()); });
    // The first object is selected and described; a reset (order, filter) drops the selection
    // model's current row, and the pane keeps its text.
    if (m_model->list().RowCount() > 0)
        SelectRow(0, false);
}

int CSdoList::SelectedRow() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QString CSdoList::description() const
{
    return m_description->toPlainText();
}

void CSdoList::SelectRow(int row, bool focus)
{
    const QModelIndex index = m_model->index(row, CBrowseModel::ColIndex);
    m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    m_table->scrollTo(index, QAbstractItemView::EnsureVisible);
    if (focus)
        m_table->setFocus();
}

int CSdoList::FindNext()
{
    const int row = findState().Next(m_model->list(), m_search->text());
    if (row == CBrowseFind::kNotFound)
        ReportMessage(QStringLiteral("Not Found!!"));
    else if (row >= 0)
        SelectRow(row, true);
    return row;
}

void CSdoList::ShowDescription(int row)
{
    if (row < 0 || row >= m_model->list().RowCount())
        return;
    CSdoRecord record;
    // An object the dictionary does not know leaves the pane as it was.
    if (m_sys.dictionary.Lookup(m_model->list().At(row).key, record))
        m_description->setPlainText(DescribeObject(record));
}

void CSdoList::ApplyFilter()
{
    const uint32_t selected =
        SelectedRow() >= 0 ? m_model->list().At(SelectedRow()).key : uint32_t(0);
    m_model->SetFilter(m_filter->text(), m_mappable->isChecked());
    // The rows moved: a search goes on from the top, the selection stays on its object if shown.
    findState().lastFoundRow = CBrowseFind::kNotFound;
    const int row = m_model->list().RowOfKey(selected);
    if (selected != 0 && row >= 0)
        SelectRow(row, false);
}

void CSdoList::Choose(int row)
{
    if (row < 0 || row >= m_model->list().RowCount())
        return;
    // A requester that closed meanwhile is gone from the message layer: the send is dropped.
    SendMessage(m_sys.browserRequesterWnd, WM_ADD_OBJECT, 0, m_model->list().At(row).key);
    for (QWidget* up = parentWidget(); up; up = up->parentWidget()) {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(up)) {
            frame->close();
            return;
        }
    }
    close();
}
