#pragma once

#include <juce_graphics/juce_graphics.h>

#include <vector>

namespace corvadine
{
// Triangulates one closed ring of points (the last point joins the first) by
// ear clipping and returns indices into the ring, three per triangle, each
// triangle wound like the ring itself. Either winding is accepted.
//
// A simple ring of N points in general position gives N - 2 triangles that
// tile it exactly. Repeated points (the closing point of a ring that repeats
// its first one included) and points in the middle of a straight run are
// skipped or used as the clipping allows; the triangles still tile the ring.
//
// Rings that are not simple (a mask followed by an input contour crosses
// itself) still give triangles over existing points, as good as ear clipping
// can make them. Points with a non-finite coordinate are never used. Fewer
// than three usable points, or a ring of no area, give no triangles.
//
// Runs in O(n^2) time at worst; the ear test looks only at reflex points near
// the ear, so most rings take far less. Apart from its result a call
// allocates nothing once the calling thread has triangulated a ring as large.
// The same ring always gives the same triangles in the same order.
std::vector<int> triangulateRing (const std::vector<juce::Point<float>>& ring);
} // namespace corvadine
