#pragma once

#include <juce_graphics/juce_graphics.h>

#include <vector>

namespace corvadine::test
{
// The plain ear clipper the triangulator started as, kept unchanged so that
// the fast one can be compared against it: written documents hold the
// triangles in their order, so every ring must give exactly the same indices
// from both. Quadratic and allocating; for tests and the fuzz target only.
std::vector<int> referenceTriangulateRing (const std::vector<juce::Point<float>>& ring);
} // namespace corvadine::test
