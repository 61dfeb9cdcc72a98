#include "RealtimeError.h"

#include "Icons.h"
#include "app/SysData.h"
#include "comm/DriveObjects.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int kGroupBits = 16;

QPixmap Lamp(bool lit, int size)
{
    // The drive-state pictures: a fault triangle for a raised error, the tick disc for a clear one.
    return Icons::StateIcon(lit ? 210 : 211).pixmap(size, size);
}
} // namespace

CRealtimeError::CRealtimeError(CSysData& sys, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CRealtimeError"));
    const QString namesFile = QDir(sys.sysDir).filePath(QStringLiteral("RealTimeError.ini"));
    m_page = std::make_unique<CRealtimeErrorPage>(
        sys.link, RealtimeError::LoadNames(namesFile, sys.programLanguage));
    const int lampSize = fontMetrics().height();

    auto* columns = new QHBoxLayout(this);
    const QString titles[] = {tr("错误状态字低16位"), tr("错误状态字高16位")};
    for (int group = 0; group < 2; ++group) {
        auto* box = new QGroupBox(titles[group], this);
        auto* grid = new QGridLayout(box);
        grid->setVerticalSpacing(1);
        grid->setColumnStretch(2, 1);
        for (int row = 0; row < kGroupBits; ++row) {
            const int bit = group * kGroupBits + row;
            auto* check = new QCheckBox(
                QStringLiteral("%1").arg(1u << row, 4, 16, QLatin1Char('0')).toUpper(), box);
            check->setObjectName(QStringLiteral("check%1").arg(bit + 1));
            check->setChecked(true);
            auto* lamp = new QLabel(box);
            lamp->setObjectName(QStringLiteral("lamp%1").arg(bit + 1));
            lamp->setPixmap(Lamp(false, lampSize));
            auto* name = new QLabel(m_page->names().value(bit), box);
            name->setObjectName(QStringLiteral("name%1").arg(bit + 1));
            grid->addWidget(check, row, 0);
            grid->addWidget(lamp, row, 1);
            grid->addWidget(name, row, 2);
            // Only the operator's click writes: the drive's own mask sets the box silently.
            connect(check, &QCheckBox::clicked, this,
                    [this, bit](bool checked) { m_page->SetMaskBit(bit, checked); });
            m_checks.append(check);
            m_lamps.append(lamp);
        }
        columns->addWidget(box);
    }
    m_lit.fill(false, CRealtimeErrorPage::kBits);
    m_page->onChanged = [this](uint32_t key) { Changed(key); };
    m_page->Start();
}

CRealtimeError::~CRealtimeError()
{
    m_page->onChanged = nullptr;
}

bool CRealtimeError::lampLit(int bit) const
{
    return m_lit.value(bit);
}

void CRealtimeError::Changed(uint32_t key)
{
    using namespace DriveObject;
    const uint32_t status = m_page->status();
    const uint32_t mask = m_page->mask();
    switch (key) {
    case kErrorStatusLow:
        ShowLamps(0, status & 0xFFFF);
        break;
    case kErrorStatusHigh:
        ShowLamps(kGroupBits, status >> 16);
        break;
    case kErrorMaskLow:
        ShowChecks(0, mask & 0xFFFF);
        break;
    case kErrorMaskHigh:
        ShowChecks(kGroupBits, mask >> 16);
        break;
    default:
        break;
    }
}

void CRealtimeError::ShowLamps(int firstBit, uint32_t word)
{
    const int size = fontMetrics().height();
    for (int row = 0; row < kGroupBits; ++row) {
        const bool lit = (word >> row) & 1u;
        // Polling brings the same words again and again: only a change is drawn.
        if (m_lit[firstBit + row] == lit)
            continue;
        m_lit[firstBit + row] = lit;
        m_lamps[firstBit + row]->setPixmap(Lamp(lit, size));
    }
}

void CRealtimeError::ShowChecks(int firstBit, uint32_t word)
{
    for (int row = 0; row < kGroupBits; ++row)
        m_checks[firstBit + row]->setChecked((word >> row) & 1u);
}
