#pragma once

#include "host/SliceInfo.h"

namespace corvadine
{
// One output screen of the host's Advanced Output setup with its slices in
// document order.
struct ScreenInfo
{
    juce::int64 uniqueId = 0;
    juce::String name;
    juce::Array<SliceInfo> slices;

    // False when the host marks the screen hidden.
    bool enabled = true;

    // (0, 0) when read from the host's files, which do not give it here.
    juce::Point<int> outputRes;
};
} // namespace corvadine
