#include "PdoMappingEditor.h"

#include "app/SysData.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QString KeyText(uint32_t key)
{
    return QStringLiteral("%1:%2")
        .arg(key >> 8, 4, 16, QLatin1Char('0'))
        .arg(key & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}
} // namespace

CPdoMappingEditor::CPdoMappingEditor(CSysData& sys, const Pdo::Address& pdo, QWidget* parent)
    : QWidget(parent), m_sys(sys), m_pdo(pdo),
      m_apply(std::make_unique<CPdoApply>(
          sys.link,
          [&sys](uint32_t key, CSdoRecord& out) { return sys.dictionary.Lookup(key, out); })),
      m_table(new QTableWidget(0, 3, this)), m_objects(new QComboBox(this)),
      m_budget(new QProgressBar(this)), m_status(new QLabel(this)),
      m_add(new QPushButton(tr("添加"), this)), m_remove(new QPushButton(tr("删除"), this)),
      m_read(new QPushButton(tr("读取"), this)), m_applyButton(new QPushButton(tr("应用"), this)),
      m_store(new QPushButton(tr("保存"), this)), m_log(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("mappingEditor_%1").arg(pdo.Name()));
    m_table->setObjectName(QStringLiteral("entries"));
    m_objects->setObjectName(QStringLiteral("objects"));
    m_budget->setObjectName(QStringLiteral("budget"));
    m_status->setObjectName(QStringLiteral("status"));
    m_add->setObjectName(QStringLiteral("add"));
    m_remove->setObjectName(QStringLiteral("remove"));
    m_read->setObjectName(QStringLiteral("read"));
    m_applyButton->setObjectName(QStringLiteral("apply"));
    m_store->setObjectName(QStringLiteral("store"));
    m_log->setObjectName(QStringLiteral("log"));

    m_table->setHorizontalHeaderLabels({tr("映射"), tr("名称"), tr("位")});
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_table->setColumnWidth(0, fontMetrics().horizontalAdvance(QStringLiteral("60400010")) + 16);
    m_table->setColumnWidth(2, fontMetrics().horizontalAdvance(QStringLiteral("位 64")) + 10);

    // The plain list of the dictionary's mappable objects for this direction.
    for (const CSdoRecord& record : Pdo::MappableObjects(sys.dictionary, pdo.direction))
        m_objects->addItem(QStringLiteral("%1  %2").arg(KeyText(record.key), record.name),
                           QVariant::fromValue<uint>(record.key));
    m_objects->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_objects->setMinimumContentsLength(18);

    m_budget->setRange(0, Pdo::kMaxBits);
    m_budget->setFormat(tr("%v / 64 位"));
    m_budget->setTextVisible(true);
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(500);
    m_log->setMinimumHeight(fontMetrics().height() * 5);
    m_status->setWordWrap(true);
    m_store->setEnabled(false);

    auto* picking = new QHBoxLayout;
    picking->addWidget(m_objects, 1);
    picking->addWidget(m_add);
    picking->addWidget(m_remove);
    auto* actions = new QHBoxLayout;
    actions->addWidget(m_read);
    actions->addStretch(1);
    actions->addWidget(m_applyButton);
    actions->addWidget(m_store);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(m_table, 2);
    layout->addLayout(picking);
    layout->addWidget(m_budget);
    layout->addLayout(actions);
    layout->addWidget(m_status);
    layout->addWidget(m_log, 1);

    connect(m_add, &QPushButton::clicked, this, [this] {
        if (m_picker) {
            m_picker([this](uint32_t key) { AddObject(key); });
            return;
        }
        if (m_objects->currentIndex() >= 0)
            AddObject(m_objects->currentData().toUInt());
    });
    connect(m_remove, &QPushButton::clicked, this, &CPdoMappingEditor::RemoveSelected);
    connect(m_read, &QPushButton::clicked, this, &CPdoMappingEditor::ReadFromDrive);
    connect(m_applyButton, &QPushButton::clicked, this, &CPdoMappingEditor::Apply);
    connect(m_store, &QPushButton::clicked, this, [this] { m_apply->Store(); });
    m_apply->onLog = [this](const QString& line) { m_log->appendPlainText(line); };
    m_apply->onStateChanged = [this](CPdoApply::State state) { StateChanged(state); };
    ShowEntries();
    ReadFromDrive();
}

CPdoMappingEditor::~CPdoMappingEditor()
{
    m_apply->onLog = nullptr;
    m_apply->onStateChanged = nullptr;
}

QString CPdoMappingEditor::logText() const
{
    return m_log->toPlainText();
}

void CPdoMappingEditor::SetEntries(const std::vector<uint32_t>& entries)
{
    m_entries = entries;
    ShowEntries();
}

bool CPdoMappingEditor::AddObject(uint32_t key)
{
    CSdoRecord record;
    if (!m_sys.dictionary.Lookup(key, record))
        return false;
    m_entries.push_back(Pdo::Entry(key, Pdo::FactsOf(record).bits));
    ShowEntries();
    return true;
}

void CPdoMappingEditor::RemoveSelected()
{
    const int row = m_table->currentRow();
    if (row < 0 || row >= int(m_entries.size()))
        return;
    m_entries.erase(m_entries.begin() + row);
    ShowEntries();
}

void CPdoMappingEditor::Apply()
{
    m_store->setEnabled(false);
    m_applying = true;
    m_apply->Start(m_pdo, m_entries);
}

void CPdoMappingEditor::ReadFromDrive()
{
    if (m_sys.connected == 1)
        m_apply->ReadMapping(m_pdo);
}

void CPdoMappingEditor::ShowEntries()
{
    m_table->setRowCount(int(m_entries.size()));
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const uint32_t entry = m_entries[i];
        CSdoRecord record;
        const bool known = m_sys.dictionary.Lookup(Pdo::EntryKey(entry), record);
        const QString items[] = {QStringLiteral("%1").arg(entry, 8, 16, QLatin1Char('0')).toUpper(),
                                 known ? record.name : QStringLiteral("?"),
                                 QString::number(Pdo::EntryBits(entry))};
        for (int column = 0; column < 3; ++column)
            m_table->setItem(int(i), column, new QTableWidgetItem(items[column]));
    }
    const int bits = Pdo::TotalBits(m_entries);
    const Pdo::Problem problem =
        Pdo::CheckMapping(m_entries, m_pdo.direction, [this](uint32_t key, CSdoRecord& out) {
            return m_sys.dictionary.Lookup(key, out);
        });
    m_budget->setValue(qMin(bits, Pdo::kMaxBits));
    m_budget->setFormat(tr("%1 / 64 位").arg(bits));
    // Full is fine; beyond it the bar turns red.
    const QString colour = bits > Pdo::kMaxBits    ? QStringLiteral("#d03030")
                           : bits == Pdo::kMaxBits ? QStringLiteral("#d08a20")
                                                   : QStringLiteral("#3c9a4c");
    m_budget->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid #8a94a0; border-radius: 3px; "
                       "text-align: center; background: #f4f6f8; color: black; }"
                       "QProgressBar::chunk { background: %1; }")
            .arg(colour));
    m_status->setText(problem.ok() ? QString() : problem.text);
    m_status->setStyleSheet(QStringLiteral("color: #b02020;"));
    m_applyButton->setEnabled(!m_apply->busy());
}

void CPdoMappingEditor::StateChanged(CPdoApply::State state)
{
    const bool busy = m_apply->busy();
    m_applyButton->setEnabled(!busy);
    m_read->setEnabled(!busy);
    if (state == CPdoApply::State::Done) {
        // What the drive holds is what the editor shows.
        SetEntries(m_apply->readEntries());
        // A store is offered for a mapping just applied.
        m_store->setEnabled(m_applying);
        m_applying = false;
        m_status->setText(QString());
    } else if (state == CPdoApply::State::Failed) {
        m_store->setEnabled(false);
        m_applying = false;
        m_status->setText(m_apply->reason());
    }
}
