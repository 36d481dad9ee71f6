#pragma once

#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>

namespace corvadine
{
// One slice of the host's Advanced Output setup as parsed from its XML (or
// from a saved "screen" subtree). Point lists are in the host's pixel
// coordinates, as written; the input points of a slice are the mask when it
// has any, else the input rectangle.
struct SliceInfo
{
    juce::String name;
    juce::int64 uniqueId = 0;
    bool enabled = true;
    int flip = 0;

    juce::Array<juce::Point<float>> inputRect;
    float inputOrientation = 0.0f;

    // The mask contour, followed by the points of the input contour.
    juce::Array<juce::Point<float>> mask;

    juce::Array<juce::Point<float>> outputRect;
    float outputOrientation = 0.0f;
    juce::Array<juce::Point<float>> outputContour;
};
} // namespace corvadine
