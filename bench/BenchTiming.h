#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <vector>

// With DRIVARA_BENCH_BRIEF set (the test script sets it), every benchmark runs for a moment only,
// so that each run of the tests sees that every benchmark still builds, starts and ends. The
// figures of such a run mean nothing; scripts/bench.sh runs them in full.
inline bool BenchBrief()
{
    return std::getenv("DRIVARA_BENCH_BRIEF") != nullptr;
}

// A benchmark's measuring time in seconds, or a moment in a brief run.
inline double BenchSeconds(double full)
{
    return BenchBrief() ? std::min(full, 0.05) : full;
}

// A count of repetitions, or a few in a brief run.
inline int BenchCount(int full)
{
    return BenchBrief() ? std::min(full, 10) : full;
}

// The typical time between successive events (answers, rows, segments): the median is what the
// program costs per exchange, where the mean also carries the moments another process held the
// processor of a shared machine.
class CIntervalMedian
{
public:
    void Mark()
    {
        const auto now = std::chrono::steady_clock::now();
        if (m_last != std::chrono::steady_clock::time_point{})
            m_intervalsUs.push_back(
                std::chrono::duration<double, std::micro>(now - m_last).count());
        m_last = now;
    }
    // Starts again without counting the pause since the last event.
    void Pause() { m_last = {}; }
    double MedianUs()
    {
        if (m_intervalsUs.empty())
            return 0;
        const auto middle = m_intervalsUs.begin() + std::ptrdiff_t(m_intervalsUs.size() / 2);
        std::nth_element(m_intervalsUs.begin(), middle, m_intervalsUs.end());
        return *middle;
    }

private:
    std::chrono::steady_clock::time_point m_last{};
    std::vector<double> m_intervalsUs;
};
