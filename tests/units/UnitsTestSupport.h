#pragma once

#include "app/Report.h"
#include "pages/FormulaEvaluator.h"

#include <QStringList>

#include <cstdint>
#include <ostream>
#include <vector>

namespace UnitsTest {

// Window handles as the evaluator sees them; no receiver is needed behind them.
constexpr HWND kMainFrame = 0x51;
constexpr HWND kPage = 0x62;
constexpr HWND kOtherPage = 0x73;

// One request as the evaluator's requester received it.
struct Sent
{
    HWND hwnd;
    uint8_t command;
    uint32_t key;
    uint32_t value;
    bool operator==(const Sent& other) const
    {
        return hwnd == other.hwnd && command == other.command && key == other.key &&
               value == other.value;
    }
};

inline std::ostream& operator<<(std::ostream& out, const Sent& sent)
{
    return out << std::hex << "{hwnd 0x" << sent.hwnd << ", cmd 0x" << int(sent.command)
               << ", key 0x" << sent.key << ", value 0x" << sent.value << "}" << std::dec;
}

// Records the operator messages while alive and restores the previous sink afterwards.
class MessageRecorder
{
public:
    MessageRecorder()
        : m_previous(SetMessageSink([this](const QString& text, MessageKind) { texts << text; }))
    {
    }
    ~MessageRecorder() { SetMessageSink(m_previous); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList texts;

private:
    MessageSink m_previous;
};

// Points an evaluator's requests into a list; constant reads go to windowSource().
inline void RecordRequests(CFormulaEvaluator& evaluator, std::vector<Sent>& sent,
                           CFormulaEvaluator::WindowSource windowSource)
{
    evaluator.SetRequester(
        [&sent](HWND hwnd, uint8_t command, uint32_t key, uint32_t value) {
            sent.push_back(Sent{hwnd, command, key, value});
            return 0;
        },
        std::move(windowSource));
}

} // namespace UnitsTest
