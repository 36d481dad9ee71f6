#pragma once

#include "host/ScreenInfo.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

// What every fuzz target checks beyond "it did not crash": a broken promise
// aborts, so libFuzzer keeps the input as a crash artifact.
namespace corvadine::fuzz
{
[[noreturn]] inline void fail (const char* what)
{
    std::fprintf (stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void check (bool condition, const char* what)
{
    if (! condition)
        fail (what);
}

inline void checkFinite (double value, const char* what)
{
    check (std::isfinite (value), what);
}

inline void checkFinite (const juce::Array<juce::Point<float>>& points, const char* what)
{
    for (const auto& p : points)
    {
        checkFinite (p.x, what);
        checkFinite (p.y, what);
    }
}

inline void checkFinite (const ScreenInfo& screen)
{
    for (const auto& slice : screen.slices)
    {
        checkFinite (slice.inputRect, "slice input rectangle");
        checkFinite (slice.inputOrientation, "slice input orientation");
        checkFinite (slice.mask, "slice mask");
        checkFinite (slice.outputRect, "slice output rectangle");
        checkFinite (slice.outputOrientation, "slice output orientation");
        checkFinite (slice.outputContour, "slice output contour");
    }
}

// Text as the application gets it from a file: byte order marks and UTF-16
// are recognised, anything else is taken as UTF-8.
inline juce::String textOf (const uint8_t* data, size_t size)
{
    return juce::String::createStringFromData (data, (int) size);
}
} // namespace corvadine::fuzz
