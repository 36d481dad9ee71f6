#pragma once

#include <juce_graphics/juce_graphics.h>

#include <unordered_map>
#include <vector>

// The numbers of the mapping geometry that the look export writes for the
// host's plug-in and of the preview mesh, on plain points and paths so that
// they need no component to test.
//
// Both meshes pair vertex i with input point i of the slice, and their
// triangles are ear-clipped over the input points; so every mesh here has
// exactly one vertex per input point, and the triangle indices address
// those vertices whatever the outline that the texture is sampled from.
namespace corvadine::mapping
{
// Numbers per vertex: x, y, u, v.
constexpr int vertexStride = 4;

// Grown on every side of the visible slices' bounds in the preview mesh.
constexpr float previewMargin = 80.0f;

// The corners of a polygon outline in drawing order, mapped by the
// transform: the start of every sub-path and the end of every segment. An
// outline built from n points gives n corners, also when the last point
// repeats the first (flattening would drop that closing step and leave the
// last input point without a vertex).
std::vector<juce::Point<float>> outlineCorners (const juce::Path& outline,
                                                const juce::AffineTransform& placement = {});

// The vertices a slice of that many input points gets: one per point. A
// slice of fewer than two points has no edge and gets none.
int vertexCountFor (int inputPointCount) noexcept;

// The composition size as the geometry divides by it: a side that is zero
// or negative (no host size known) counts as the default 1920 x 1080.
juce::Point<float> usableCompositionSize (juce::Point<int> compositionSize) noexcept;

// What one focal's texture looks like to the geometry.
struct FocalTexture
{
    juce::Point<int> resolution;      // the focal's texture size in pixels
    juce::Point<int> compositionSize; // the host composition's size
    int flip = 0;                     // 0 "Off", 1 "X", 2 "Y", 3 "X + Y"
};

// "Duplicate": the outline's corners scaled uniformly and centred so that the
// whole outline fits into the focal's resolution. An outline without a
// width and a height collapses onto the centre.
std::vector<juce::Point<float>> fitIntoFocal (const std::vector<juce::Point<float>>& corners,
                                              juce::Point<int> resolution);

// Appends x, y, u, v for one slice of one focal: x and y from the input
// points over the composition (x from -1 at the left to 1 at the right, y
// from 1 at the top to -1 at the bottom), u and v from the sample points
// (the slice's outline in the focal's pixels) over the focal's resolution,
// mirrored by the flip setting; v is turned over unless mirrored in Y.
//
// Writes vertexCountFor (inputPoints.size()) vertices, none when there are
// no sample points at all; a missing sample point repeats the last one.
// Returns the number of vertices written. Every value is finite.
int appendFocalVertices (std::vector<float>& values,
                         const juce::Array<juce::Point<float>>& inputPoints,
                         const std::vector<juce::Point<float>>& samples,
                         const FocalTexture& texture);

// The centred part of the composition texture that a look of the resolution
// samples, as the text "u v w h" ("0 0 1 1" for a look of the composition's
// own size). Numbers are written as a float prints by default: at most six
// significant digits, a point as decimal separator.
juce::String sampleUvs (juce::Point<int> resolution, juce::Point<int> compositionSize);

// The rectangle the preview mesh is normalised to: the union of the boxes
// grown by previewMargin on every side; (-80, -80, 160, 160) for no box.
juce::Rectangle<float> previewBounds (const std::vector<juce::Rectangle<float>>& boxes);

// Appends x, y, u, v for one slice of the preview mesh: x and y from the
// slice's corners on the stage normalised to the bounds (x from -1 at the
// left to 1 at the right, y from 1 at the top to -1 at the bottom), u and v
// from its input points over the composition size.
//
// Writes vertexCountFor (inputPoints.size()) vertices, none when there are
// no corners; returns the number written. Every value is finite.
int appendPreviewVertices (std::vector<float>& values,
                           const juce::Array<juce::Point<float>>& inputPoints,
                           const std::vector<juce::Point<float>>& stageCorners,
                           juce::Rectangle<float> bounds,
                           juce::Point<int> compositionSize);

// The triangles over the slice's input points, three indices each, every
// index increased by the offset. None when the slice got no vertices.
std::vector<int> triangleIndices (const juce::Array<juce::Point<float>>& inputPoints,
                                  int vertexCount, int offset);

// The same triangles, each ring worked out once while its points stay the
// same: every store and every preview mesh triangulate every slice again,
// and a slice's input points change only when the host's setup does. The
// rings are kept by whatever stands for them (a slice), together with
// their points, which are compared each time, so a key used for another
// ring only costs a new triangulation.
class TriangleCache
{
public:
    // Appends triangleIndices (inputPoints, vertexCount, offset).
    void appendTriangles (std::vector<int>& indices, const void* key,
                          const juce::Array<juce::Point<float>>& inputPoints,
                          int vertexCount, int offset);

    // Lets go of every ring once more are kept than that, so rings of
    // slices long gone do not pile up.
    void keepAtMost (size_t numRings);

private:
    struct Ring
    {
        juce::Array<juce::Point<float>> points;
        std::vector<int> triangles;
    };

    std::unordered_map<const void*, Ring> rings;
};
} // namespace corvadine::mapping
