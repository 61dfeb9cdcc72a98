#pragma once

#include "base/Report.h"
#include "units/FormulaEvaluator.h"

#include <QStringList>

#include <cstdint>
#include <ostream>
#include <tuple>
#include <vector>

// Readable QString values in failure output.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace UnitsTest {

// Window handles as the evaluator sees them; no receiver is needed behind them.
constexpr HWND kMainFrame = 0x51;
constexpr HWND kPage = 0x62;
constexpr HWND kOtherPage = 0x73;

// One request as the evaluator's requester received it: window, command, key, value.
using Sent = std::tuple<HWND, uint8_t, uint32_t, uint32_t>;
using SentList = std::vector<Sent>;

// Records the operator messages while alive and restores the previous sink afterwards.
class MessageRecorder
{
public:
    MessageRecorder()
        : m_previous(SetMessageSink([this](const QString& text, MessageKind) { texts << text; }))
    {
    }
    ~MessageRecorder() { SetMessageSink(m_previous); }
    QStringList texts;

private:
    MessageSink m_previous;
};

// Points an evaluator's requests into a list; constant reads go to windowSource().
inline void RecordRequests(CFormulaEvaluator& evaluator, SentList& sent,
                           CFormulaEvaluator::WindowSource windowSource)
{
    evaluator.SetRequester(
        [&sent](HWND hwnd, uint8_t command, uint32_t key, uint32_t value) {
            sent.emplace_back(hwnd, command, key, value);
            return 0;
        },
        std::move(windowSource));
}

} // namespace UnitsTest
