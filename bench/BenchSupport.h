#pragma once

#include <juce_core/juce_core.h>

#include <map>
#include <optional>
#include <vector>

namespace corvadine::bench
{
// The sizes every model benchmark runs at, as the number of host slices:
// 8 screens and 64 screens of 32 slices.
constexpr int smallSetup = 256;
constexpr int largeSetup = 2048;
// 256 screens of 32 slices, for the figures that must hold on large shows too.
constexpr int hugeSetup = 8192;

// A temporary folder for files the benchmarks write, made on first use and
// removed when the benchmarks end.
juce::File scratchFolder();
void removeScratchFolder();

// Goals that benchmarks registered with names of their own (the summary also
// knows a fixed list): the median CPU time to stay under, in milliseconds.
void setGoalMilliseconds (const juce::String& benchmarkName, double milliseconds);
const std::map<juce::String, double>& registeredGoalsMilliseconds();

// Figures a benchmark measures itself, every one it takes (warm-up and first
// run included, the first time a user meets too), summarised after the
// table by their first, median and worst values; a goal is judged on the
// worst.
struct Figure
{
    std::vector<double> values; // in the order taken
    std::optional<double> goalMs;
};

void recordFigureMilliseconds (const juce::String& name, double milliseconds);
void setFigureGoalMilliseconds (const juce::String& name, double milliseconds);
const std::map<juce::String, Figure>& recordedFigures();
} // namespace corvadine::bench

// Registers a benchmark over both setup sizes, timed in milliseconds.
#define CORVADINE_BENCH_SETUPS(function) \
    BENCHMARK (function)->Arg (corvadine::bench::smallSetup)->Arg (corvadine::bench::largeSetup)->Unit (benchmark::kMillisecond)

// The same over all three sizes.
#define CORVADINE_BENCH_COMMIT_SETUPS(function) \
    CORVADINE_BENCH_SETUPS (function)->Arg (corvadine::bench::hugeSetup)
