#pragma once

#include <algorithm>
#include <cstdlib>

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
