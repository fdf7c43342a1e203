#pragma once
// A bounded pool for fleet runs: the one-shot exchanges block, so each detector in hand takes a
// thread of its own, and the bound is how many detectors are contacted at once.

#include <cstddef>
#include <functional>

constexpr int MaxFleetJobs = 1024;
static_assert(MaxFleetJobs > 0);

// Runs work(i) for every i in [0, count) on at most `jobs` threads at once (clamped to
// 1..MaxFleetJobs and to count); each index runs exactly once. `finished` is called after each
// one with the number finished so far, never from two threads at once. Returns when all are done.
// When the system refuses threads, the ones that started (or the caller's own) do the rest.
void RunBounded(std::size_t count, int jobs, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t finished)>& finished = {});
