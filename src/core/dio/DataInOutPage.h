#pragma once

#include "IoBits.h"
#include "comm/MessageLayer.h"
#include "pages/PageHost.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>

class CSdoDatabase;

// The I/O page without its widgets: the 13 function masks with their texts and tips, the four
// switch words, the lamps' words, the twenty reads that fill the page when it is called up, and
// the writes of the switches and the function dialog. The view shows what it holds and is told
// through onChanged.
class CDataInOutPage : public CMessageReceiver
{
public:
    static constexpr int kChannels = Dio::kInputs + Dio::kOutputs; // DIN1-8, then DOUT1-5
    static constexpr int kSequenceSteps = 20;
    enum Switch
    {
        InputPolarity,
        InputSimulation,
        OutputPolarity,
        OutputSimulation
    };
    enum Lamps
    {
        InputActual,
        InputVirtual,
        OutputActual
    };
    // What changed, for the view.
    enum class Change
    {
        Switches,
        Lamps,
        Function // channel in the second argument
    };

    CDataInOutPage(CPageHost& host, const CSdoDatabase& dictionary, const QString& iniPath,
                   int language);
    ~CDataInOutPage() override;

    // Registers the polled words and runs the first read of the start-up sequence.
    void Create();
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;
    HWND hwnd() const { return m_handle.hwnd(); }

    // A switch button: its bit inverted and the word written (16 bits).
    void ToggleSwitch(Switch which, int channel);
    // The function dialog's "OK": refused (false) for a mask that mixes both kinds of function;
    // otherwise the mask is written to the channel's object and the display follows the answer.
    bool ChooseFunctions(int channel, uint32_t mask);

    static bool IsOutput(int channel) { return channel >= Dio::kInputs; }
    static uint32_t FunctionKey(int channel);
    static uint32_t SwitchKey(Switch which);
    static const std::array<uint32_t, kSequenceSteps>& SequenceKeys();

    uint32_t switchWord(Switch which) const { return m_switches[which]; }
    uint32_t lampWord(Lamps which) const { return m_lamps[which]; }
    uint32_t functionMask(int channel) const { return m_masks[size_t(channel)]; }
    QString functionText(int channel) const { return m_texts[size_t(channel)]; }
    QStringList functionTip(int channel) const { return m_tips[size_t(channel)]; }
    int readStep() const { return m_readStep; }
    bool active() const { return m_active; }
    const Dio::CFunctionNames& names() const { return m_names; }

    std::function<void(Change change, int channel)> onChanged;
    // Action 3: the project store writes the page's placement and active flag (page number 6).
    std::function<void(const CDataInOutPage& page)> saveHook;

private:
    void RunSequenceStep();
    void StartSequenceIfConnected();
    void ShowAnswer(uint32_t key, uint32_t value);
    void Notify(Change change, int channel = -1);

    CPageHost& m_host;
    const CSdoDatabase& m_dictionary;
    Dio::CFunctionNames m_names;
    std::array<QString, kChannels> m_texts;
    std::array<QStringList, kChannels> m_tips;
    std::array<uint32_t, kChannels> m_masks;
    uint32_t m_switches[4] = {0, 0, 0, 0};
    uint32_t m_lamps[3] = {0, 0, 0};
    int m_readStep = 0;
    bool m_active = false;
    CWindowHandle m_handle;
};
