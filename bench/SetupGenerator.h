#pragma once

#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>

#include <memory>
#include <vector>

namespace corvadine::bench
{
// Deterministic host setups for the benchmarks: the same arguments give the
// same setup on every run and every machine, so figures compare run to run.
//
// Screens stand in a grid in the composition, each one a region of
// screenRegion pixels holding its 32 slices in an 8 x 4 grid of cells with
// some jitter. The slices cycle through three kinds: plain rectangles,
// rectangles turned by an angle (the input rectangle's corners turned about
// its centre, the angle as the host's "orientation"), and polygons with
// 20-point input and output contours. Every slice also carries the host's
// parameter blocks and warper, so the file has the size of a real one.
constexpr int slicesPerScreen = 32;
constexpr int pointsPerContour = 20;
inline const juce::Point<int> screenRegion { 960, 540 };

// The composition that holds numScreens screens in the grid.
juce::Point<int> compositionSizeFor (int numScreens);

enum class SliceKind
{
    rectangle,
    rotated,
    contour
};

SliceKind sliceKindAt (int sliceIndex);

// The host's Advanced Output preset: "XmlState" > "ScreenSetup" with
// "CurrentCompositionTextureSize" and numScreens screens of slicesPerScreen
// slices. Ids start at firstId and count up, screens and slices alike.
std::unique_ptr<juce::XmlElement> makeHostSetup (int numScreens, juce::int64 firstId = 1670000000000);

// A simple ring (a star-like polygon without self-crossings) of numPoints
// points around (0, 0), radius about 100.
std::vector<juce::Point<float>> makeRing (int numPoints);
} // namespace corvadine::bench
