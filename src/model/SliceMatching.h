#pragma once

#include <juce_graphics/juce_graphics.h>

#include <vector>

namespace corvadine
{
// What a re-import knows of a slice for telling which old slice a new one
// continues.
struct SliceIdentity
{
    juce::int64 uniqueId = 0;
    juce::String name;
    juce::Array<juce::Point<float>> inputPoints;
    juce::Array<juce::Point<float>> outputPoints;
};

// For each new slice, the position in `saved` of the old slice it continues,
// or -1. Four passes, each only when the ones before found nothing, each
// taking the last saved slice that meets its condition:
//   1. the same uniqueId;
//   2. the same name, when no other new slice has that name;
//   3. identical input points, when no other new slice has identical ones;
//   4. identical output points, likewise.
// Point lists are identical when they hold the same points (exact float
// equality) in the same order; two empty lists are identical.
//
// Every pass is a hashed look-up, so a re-import of n slices takes about
// O(n) rather than comparing every new slice with every old one.
std::vector<int> matchSlices (const std::vector<SliceIdentity>& saved,
                              const std::vector<SliceIdentity>& fresh);
} // namespace corvadine
