#include "DataInOutPage.h"

#include "dictionary/SdoDatabase.h"

namespace {
constexpr uint8_t kRead = 0x40;
constexpr uint8_t kWrite16 = 0x2B;
constexpr uint8_t kWrite32 = 0x23;
} // namespace

CDataInOutPage::CDataInOutPage(CPageHost& host, const CSdoDatabase& dictionary,
                               const QString& iniPath, int language)
    : m_host(host), m_dictionary(dictionary), m_names(iniPath, language), m_handle(this)
{
    m_texts.fill(QStringLiteral("NULL"));
    // Nothing read yet: every function counts as chosen until the drive says otherwise.
    m_masks.fill(0xFFFFFFFFu);
}

CDataInOutPage::~CDataInOutPage()
{
    m_host.Link().RemoveLoop(m_handle.hwnd());
}

uint32_t CDataInOutPage::FunctionKey(int channel)
{
    return IsOutput(channel) ? Dio::kOutputFunction1 + uint32_t(channel - Dio::kInputs)
                             : Dio::kInputFunction1 + uint32_t(channel);
}

uint32_t CDataInOutPage::SwitchKey(Switch which)
{
    static const uint32_t keys[] = {Dio::kInputPolarity, Dio::kInputSimulation,
                                    Dio::kOutputPolarity, Dio::kOutputSimulation};
    return keys[which];
}

const std::array<uint32_t, CDataInOutPage::kSequenceSteps>& CDataInOutPage::SequenceKeys()
{
    static const std::array<uint32_t, kSequenceSteps> keys = {
        0x20100B, 0x20100C, 0x201001, 0x201002, 0x201003, 0x201004, 0x201005,
        0x201006, 0x201007, 0x201008, 0x201009, 0x20100A, 0x201018, 0x20100E,
        0x20100F, 0x201010, 0x201011, 0x201012, 0x201013, 0x201014};
    return keys;
}

void CDataInOutPage::Create()
{
    CCtrlLink& link = m_host.Link();
    const HWND self = m_handle.hwnd();
    for (uint32_t key : {Dio::kInputState, Dio::kVirtualInputState, Dio::kOutputState})
        link.AddLoop(self, key, 1);
    // Objects the dictionary marks as live are polled too; writable ones in the slower group.
    static const uint32_t candidates[] = {0x20100B, 0x201002, 0x201001, 0x201003, 0x201004,
                                          0x201005, 0x201006, 0x201007, 0x201008, 0x201009,
                                          0x20100A, 0x20100C, 0x201018, 0x20100F, 0x20100E,
                                          0x201010, 0x201011, 0x201012, 0x201013, 0x201014};
    for (uint32_t key : candidates) {
        CSdoRecord record;
        QString unit;
        if (!m_dictionary.Lookup(key, record) ||
            !m_host.Units().GetDefaultUnit(key, record.unitText, unit))
            continue;
        const QString attribute = record.attribute;
        if (attribute.contains(QLatin1Char('L')))
            link.AddLoop(self, key, attribute.contains(QLatin1Char('W')) ? 2 : 1);
    }
    m_readStep = 1;
    m_active = true;
    RunSequenceStep();
}

void CDataInOutPage::RunSequenceStep()
{
    if (m_readStep < 1 || m_readStep > kSequenceSteps) {
        m_readStep = 0;
        return;
    }
    const uint32_t key = SequenceKeys()[size_t(m_readStep - 1)];
    ++m_readStep;
    m_host.Link().Request(m_handle.hwnd(), kRead, key, 0);
}

void CDataInOutPage::StartSequenceIfConnected()
{
    if (m_host.connected == 1) {
        m_readStep = 1;
        RunSequenceStep();
    } else {
        m_readStep = 0;
    }
}

void CDataInOutPage::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    switch (message) {
    case WM_SDO_VALUE:
        ShowAnswer(lParam, wParam);
        if (m_readStep != 0)
            RunSequenceStep();
        return;
    case WM_PAGE_CONTROL:
        switch (wParam) {
        case 0:
            StartSequenceIfConnected();
            m_host.Link().EnableLoop(m_handle.hwnd());
            m_active = true;
            return;
        case 1:
            m_readStep = 0;
            m_active = false;
            m_host.Link().DisableLoop(m_handle.hwnd());
            return;
        case 2:
            if (m_active)
                StartSequenceIfConnected();
            return;
        case 3:
            if (saveHook)
                saveHook(*this);
            return;
        case 4:
            StartSequenceIfConnected();
            return;
        default:
            return;
        }
    default:
        // An aborted or failed read ends the start-up sequence where it stands.
        return;
    }
}

void CDataInOutPage::ShowAnswer(uint32_t key, uint32_t value)
{
    switch (key) {
    case Dio::kInputPolarity:
        m_switches[InputPolarity] = value;
        return Notify(Change::Switches);
    case Dio::kInputSimulation:
        m_switches[InputSimulation] = value;
        return Notify(Change::Switches);
    case Dio::kOutputPolarity:
        m_switches[OutputPolarity] = value;
        return Notify(Change::Switches);
    case Dio::kOutputSimulation:
        m_switches[OutputSimulation] = value;
        return Notify(Change::Switches);
    case Dio::kInputState:
        m_lamps[InputActual] = value;
        return Notify(Change::Lamps);
    case Dio::kVirtualInputState:
        m_lamps[InputVirtual] = value;
        return Notify(Change::Lamps);
    case Dio::kOutputState:
        m_lamps[OutputActual] = value;
        return Notify(Change::Lamps);
    default:
        break;
    }
    for (int channel = 0; channel < kChannels; ++channel) {
        if (FunctionKey(channel) != key)
            continue;
        if (m_masks[size_t(channel)] == value)
            return;
        m_masks[size_t(channel)] = value;
        const bool output = IsOutput(channel);
        const auto name = [&](int bit) { return m_names.Name(output, bit); };
        m_texts[size_t(channel)] = Dio::FunctionText(value, name);
        m_tips[size_t(channel)] = Dio::FunctionTipLines(value, name);
        return Notify(Change::Function, channel);
    }
}

void CDataInOutPage::ToggleSwitch(Switch which, int channel)
{
    m_switches[which] = Dio::ToggleChannel(m_switches[which], channel);
    Notify(Change::Switches);
    // Not connected: the link refuses the write and only the button changed.
    m_host.Link().Request(m_handle.hwnd(), kWrite16, SwitchKey(which), m_switches[which] & 0xFFFF);
}

bool CDataInOutPage::ChooseFunctions(int channel, uint32_t mask)
{
    if (channel < 0 || channel >= kChannels || Dio::IsMixedFunctionMask(mask))
        return false;
    m_host.Link().Request(m_handle.hwnd(), kWrite32, FunctionKey(channel), mask);
    return true;
}

void CDataInOutPage::Notify(Change change, int channel)
{
    if (onChanged)
        onChanged(change, channel);
}
