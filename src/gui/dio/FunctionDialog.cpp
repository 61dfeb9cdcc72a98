#include "FunctionDialog.h"

#include "base/Report.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CFunctionDialog::CFunctionDialog(const QVector<Dio::CFunctionNames::Row>& rows, QWidget* parent)
    : QDialog(parent), m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("CFunctionDialog"));
    setWindowTitle(tr("列表"));
    m_list->setObjectName(QStringLiteral("functionList"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QString(), QStringLiteral("ID"), QStringLiteral("Item")});
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setAlternatingRowColors(true);
    for (const Dio::CFunctionNames::Row& row : rows) {
        auto* item = new QTreeWidgetItem(m_list, {QString(), row.id, row.name});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(0, Qt::Unchecked);
    }
    // Columns from the font, so that neither the ids nor the names clip at any density.
    const QFontMetrics metrics(font());
    m_list->setColumnWidth(0, metrics.height() * 2);
    m_list->setColumnWidth(1, metrics.horizontalAdvance(QStringLiteral("Bit00")) * 2);
    m_list->header()->setStretchLastSection(true);
    int nameWidth = metrics.horizontalAdvance(QStringLiteral("Item")) * 3;
    for (const Dio::CFunctionNames::Row& row : rows)
        nameWidth = qMax(nameWidth, metrics.horizontalAdvance(row.name) + metrics.height());
    m_list->setMinimumWidth(m_list->columnWidth(0) + m_list->columnWidth(1) + nameWidth);
    m_list->setMinimumHeight(metrics.height() * 16);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    QPushButton* quit = buttons->addButton(tr("退出"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("ok"));
    quit->setObjectName(QStringLiteral("quit"));
    connect(ok, &QPushButton::clicked, this, &CFunctionDialog::Accept);
    connect(quit, &QPushButton::clicked, this, &QDialog::hide);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

void CFunctionDialog::Open(int channel, uint32_t mask, bool connected)
{
    m_channel = channel;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        const bool on = connected && row < 32 && Dio::ChannelBit(mask, row);
        m_list->topLevelItem(row)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
    show();
    raise();
    activateWindow();
}

uint32_t CFunctionDialog::CheckedMask() const
{
    uint32_t mask = 0;
    for (int row = 0; row < m_list->topLevelItemCount() && row < 32; ++row) {
        if (m_list->topLevelItem(row)->checkState(0) == Qt::Checked)
            mask |= 1u << row;
    }
    return mask;
}

void CFunctionDialog::Accept()
{
    const uint32_t mask = CheckedMask();
    if (Dio::IsMixedFunctionMask(mask)) {
        ReportMessage(QStringLiteral("Your setting is wrong!!"));
        return;
    }
    if (onChosen)
        onChosen(m_channel, mask);
    hide();
}
