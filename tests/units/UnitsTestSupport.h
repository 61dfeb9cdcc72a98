#pragma once

#include "MessageRecorder.h"

#include "units/FormulaEvaluator.h"

#include <cstdint>
#include <tuple>
#include <vector>

namespace UnitsTest {

// Window handles as the evaluator sees them; no receiver is needed behind them.
constexpr HWND kMainFrame = 0x51;
constexpr HWND kPage = 0x62;
constexpr HWND kOtherPage = 0x73;

// One request as the evaluator's requester received it: window, command, key, value.
using Sent = std::tuple<HWND, uint8_t, uint32_t, uint32_t>;
using SentList = std::vector<Sent>;

using TestSupport::MessageRecorder;

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
