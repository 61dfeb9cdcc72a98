#include "RealtimeErrorPage.h"

#include "base/IniFile.h"
#include "comm/CtrlLink.h"
#include "comm/DriveObjects.h"
#include "comm/SdoFrame.h"

namespace {
using namespace DriveObject;

// The first read, one object per answer: the masks first so the boxes are right before any lamp.
constexpr uint32_t kInitKeys[] = {kErrorMaskLow, kErrorMaskHigh, kErrorStatusLow, kErrorStatusHigh};
constexpr uint32_t kPolled[] = {kErrorStatusLow, kErrorStatusHigh, kErrorMaskLow, kErrorMaskHigh};
} // namespace

CRealtimeErrorPage::CRealtimeErrorPage(CCtrlLink& link, QStringList names)
    : m_link(link), m_names(std::move(names))
{
    while (m_names.size() < kBits)
        m_names.append(QString());
}

CRealtimeErrorPage::~CRealtimeErrorPage()
{
    m_link.RemoveLoop(hwnd());
}

void CRealtimeErrorPage::Start()
{
    for (uint32_t key : kPolled)
        m_link.AddLoop(hwnd(), key, 1);
    m_initStep = 1;
    NextInitStep();
}

void CRealtimeErrorPage::NextInitStep()
{
    if (m_initStep >= 1 && m_initStep <= 4) {
        m_link.Request(hwnd(), SdoFrame::kRead, kInitKeys[m_initStep - 1], 0);
        ++m_initStep;
    } else {
        m_initStep = 0;
    }
}

void CRealtimeErrorPage::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    const bool ours = lParam == kErrorMaskLow || lParam == kErrorMaskHigh ||
                      lParam == kErrorStatusLow || lParam == kErrorStatusHigh;
    if (!ours)
        return;
    if (message != WM_SDO_VALUE) {
        // A refusal or failure during the first read ends it; polling fills the page instead.
        if (message == WM_SDO_ABORT || message == WM_SDO_FAILED) {
            m_initStep = 0;
            if (onChanged)
                onChanged(lParam);
        }
        return;
    }
    const uint32_t word = wParam & 0xFFFF;
    uint32_t* const words[] = {&m_maskLow, &m_maskHigh, &m_statusLow, &m_statusHigh};
    for (int i = 0; i < 4; ++i) {
        if (kInitKeys[i] == lParam) {
            *words[i] = word;
            m_known |= 1u << i;
        }
    }
    if (onChanged)
        onChanged(lParam);
    if (m_initStep != 0)
        NextInitStep();
}

int CRealtimeErrorPage::SetMaskBit(int bit, bool set)
{
    if (bit < 0 || bit >= kBits)
        return CCtrlLink::kRequestInvalid;
    const bool low = bit < 16;
    m_lastWritten = RealtimeError::MaskWithBit(low ? m_maskLow : m_maskHigh, bit, set);
    return m_link.Request(hwnd(), SdoFrame::kWrite2, low ? kErrorMaskLow : kErrorMaskHigh,
                          m_lastWritten);
}

namespace RealtimeError {

uint32_t MaskWithBit(uint32_t groupMask, int bit, bool set)
{
    const uint32_t one = 1u << (bit % 16);
    return (set ? groupMask | one : groupMask & ~one) & 0xFFFF;
}

QStringList LoadNames(const QString& path, int language)
{
    const CIniDocument file(path);
    const QString prefix = language == 1 ? QStringLiteral("chBit") : QStringLiteral("enBit");
    QStringList names;
    for (int row = 1; row <= CRealtimeErrorPage::kBits; ++row) {
        const QString key = prefix + QStringLiteral("%1").arg(row, 2, 10, QLatin1Char('0'));
        names.append(file.Get(QStringLiteral("RealTimeError"), key, QString(), 32));
    }
    return names;
}

QVector<int> SetBits(uint32_t word)
{
    QVector<int> bits;
    for (int bit = 0; bit < 32; ++bit) {
        if ((word >> bit) & 1u)
            bits.append(bit);
    }
    return bits;
}

} // namespace RealtimeError
