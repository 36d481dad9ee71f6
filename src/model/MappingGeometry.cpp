#include "model/MappingGeometry.h"

#include "model/Triangulator.h"

#include <cmath>
#include <cstring>
#include <locale>
#include <sstream>

namespace corvadine::mapping
{
namespace
{
float finiteOrZero (float value) noexcept
{
    return std::isfinite (value) ? value : 0.0f;
}

// A size that is zero or negative divides nothing: the ratio is 0.
float ratio (float value, float size) noexcept
{
    return size > 0.0f ? finiteOrZero (value / size) : 0.0f;
}

juce::Point<float> pointOrZero (const juce::Array<juce::Point<float>>& points, int i)
{
    return juce::isPositiveAndBelow (i, points.size()) ? points.getReference (i) : juce::Point<float>();
}

// Sample point i, or the last one for a list that came out shorter.
juce::Point<float> sampleOrLast (const std::vector<juce::Point<float>>& samples, int i)
{
    return samples[(size_t) juce::jmin (i, (int) samples.size() - 1)];
}

void appendVertex (std::vector<float>& values, float x, float y, float u, float v)
{
    for (auto value : { x, y, u, v })
        values.push_back (finiteOrZero (value));
}

juce::String floatText (float value)
{
    std::ostringstream stream;
    stream.imbue (std::locale::classic());
    stream << (double) value;
    return stream.str();
}
} // namespace

std::vector<juce::Point<float>> outlineCorners (const juce::Path& outline, const juce::AffineTransform& placement)
{
    std::vector<juce::Point<float>> corners;

    for (juce::Path::Iterator it (outline); it.next();)
    {
        float x, y;

        switch (it.elementType)
        {
            case juce::Path::Iterator::startNewSubPath:
            case juce::Path::Iterator::lineTo:          x = it.x1; y = it.y1; break;
            case juce::Path::Iterator::quadraticTo:     x = it.x2; y = it.y2; break;
            case juce::Path::Iterator::cubicTo:         x = it.x3; y = it.y3; break;
            case juce::Path::Iterator::closePath:
            default:                                    continue;
        }

        placement.transformPoint (x, y);
        corners.emplace_back (x, y);
    }

    return corners;
}

int vertexCountFor (int inputPointCount) noexcept
{
    return inputPointCount < 2 ? 0 : inputPointCount;
}

juce::Point<float> usableCompositionSize (juce::Point<int> compositionSize) noexcept
{
    return { (float) (compositionSize.x > 0 ? compositionSize.x : 1920),
             (float) (compositionSize.y > 0 ? compositionSize.y : 1080) };
}

std::vector<juce::Point<float>> fitIntoFocal (const std::vector<juce::Point<float>>& corners, juce::Point<int> resolution)
{
    if (corners.empty())
        return {};

    auto box = juce::Rectangle<float>::findAreaContainingPoints (corners.data(), (int) corners.size());
    const auto bw = box.getWidth(), bh = box.getHeight();
    const auto resW = (float) resolution.x, resH = (float) resolution.y;

    // Compared crosswise (bh / bw > resH / resW) so that a zero width on
    // either side needs no division.
    float k = 0.0f;
    if (bw > 0.0f && bh * resW > resH * bw)
        k = ratio (resH, bh);
    else if (bw > 0.0f)
        k = ratio (resW, bw);
    else if (bh > 0.0f)
        k = ratio (resH, bh);

    const auto centre = box.getCentre();
    std::vector<juce::Point<float>> fitted;
    fitted.reserve (corners.size());

    for (auto p : corners)
        fitted.emplace_back (finiteOrZero (k * (p.x - centre.x) + resW / 2.0f),
                             finiteOrZero (k * (p.y - centre.y) + resH / 2.0f));

    return fitted;
}

int appendFocalVertices (std::vector<float>& values,
                         const juce::Array<juce::Point<float>>& inputPoints,
                         const std::vector<juce::Point<float>>& samples,
                         const FocalTexture& texture)
{
    const auto count = samples.empty() ? 0 : vertexCountFor (inputPoints.size());
    const auto composition = usableCompositionSize (texture.compositionSize);
    const auto resW = (float) texture.resolution.x, resH = (float) texture.resolution.y;
    const bool mirrorX = texture.flip == 1 || texture.flip == 3;
    const bool mirrorY = texture.flip == 2 || texture.flip == 3;

    for (int i = 0; i < count; ++i)
    {
        const auto input = pointOrZero (inputPoints, i);
        const auto sample = sampleOrLast (samples, i);

        const auto x = input.x / composition.x * 2.0f - 1.0f;
        const auto y = -(input.y / composition.y * 2.0f - 1.0f);

        auto u = ratio (sample.x, resW);
        auto v = ratio (sample.y, resH);

        if (mirrorX)
            u = 1.0f - u;

        // The texture's rows run bottom-up: unmirrored, v is turned over.
        if (! mirrorY)
            v = 1.0f - v;

        appendVertex (values, x, y, u, v);
    }

    return count;
}

juce::String sampleUvs (juce::Point<int> resolution, juce::Point<int> compositionSize)
{
    const auto composition = usableCompositionSize (compositionSize);
    const auto ax = ratio ((float) resolution.x, composition.x) * 0.5f;
    const auto ay = ratio ((float) resolution.y, composition.y) * 0.5f;

    const auto u = juce::jmin (0.5f + ax, 0.5f - ax);
    const auto v = juce::jmin (0.5f + ay, 0.5f - ay);
    const auto w = std::abs ((0.5f - ax) - (0.5f + ax));
    const auto h = std::abs ((0.5f - ay) - (0.5f + ay));

    return floatText (u) + " " + floatText (v) + " " + floatText (w) + " " + floatText (h);
}

juce::Rectangle<float> previewBounds (const std::vector<juce::Rectangle<float>>& boxes)
{
    // Least left and top, greatest right and bottom, starting from the empty
    // rectangle at the origin.
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
    bool first = true;

    for (auto box : boxes)
    {
        if (! (std::isfinite (box.getX()) && std::isfinite (box.getY())
               && std::isfinite (box.getRight()) && std::isfinite (box.getBottom())))
            continue;

        left   = first ? box.getX()      : juce::jmin (left, box.getX());
        top    = first ? box.getY()      : juce::jmin (top, box.getY());
        right  = first ? box.getRight()  : juce::jmax (right, box.getRight());
        bottom = first ? box.getBottom() : juce::jmax (bottom, box.getBottom());
        first = false;
    }

    return { left - previewMargin, top - previewMargin,
             juce::jmax (0.0f, right - left + 2.0f * previewMargin),
             juce::jmax (0.0f, bottom - top + 2.0f * previewMargin) };
}

int appendPreviewVertices (std::vector<float>& values,
                           const juce::Array<juce::Point<float>>& inputPoints,
                           const std::vector<juce::Point<float>>& stageCorners,
                           juce::Rectangle<float> bounds,
                           juce::Point<int> compositionSize)
{
    const auto count = stageCorners.empty() ? 0 : vertexCountFor (inputPoints.size());
    const auto composition = usableCompositionSize (compositionSize);

    for (int i = 0; i < count; ++i)
    {
        const auto corner = sampleOrLast (stageCorners, i);
        const auto input = pointOrZero (inputPoints, i);

        appendVertex (values,
                      (ratio (corner.x - bounds.getX(), bounds.getWidth()) - 0.5f) * 2.0f,
                      (ratio (corner.y - bounds.getY(), bounds.getHeight()) - 0.5f) * -2.0f,
                      input.x / composition.x,
                      input.y / composition.y);
    }

    return count;
}

std::vector<int> triangleIndices (const juce::Array<juce::Point<float>>& inputPoints, int vertexCount, int offset)
{
    if (vertexCount <= 0 || vertexCount != inputPoints.size())
        return {};

    auto indices = triangulateRing ({ inputPoints.begin(), inputPoints.end() });

    for (auto& index : indices)
        index += offset;

    return indices;
}

void TriangleCache::appendTriangles (std::vector<int>& indices, const void* key,
                                     const juce::Array<juce::Point<float>>& inputPoints,
                                     int vertexCount, int offset)
{
    if (vertexCount <= 0 || vertexCount != inputPoints.size())
        return;

    auto& ring = rings[key];
    const auto samePoints = ring.points.size() == inputPoints.size()
                         && std::memcmp (ring.points.begin(), inputPoints.begin(),
                                         sizeof (juce::Point<float>) * (size_t) inputPoints.size()) == 0;

    if (! samePoints)
    {
        ring.points = inputPoints;
        ring.triangles = triangulateRing ({ inputPoints.begin(), inputPoints.end() });
    }

    for (auto index : ring.triangles)
        indices.push_back (index + offset);
}

void TriangleCache::keepAtMost (size_t numRings)
{
    if (rings.size() > numRings)
        rings.clear();
}
} // namespace corvadine::mapping
