#include "model/CoverageGeometry.h"
#include "model/Finite.h"

#include <cmath>

namespace corvadine::coverage
{
namespace
{
// Twice the enclosed area of the flattened outline, summed over its
// sub-paths; an open sub-path is closed back to its start.
double doubledArea (const juce::Path& outline)
{
    juce::PathFlatteningIterator it (outline, {}, juce::Path::defaultToleranceForMeasurement);
    double total = 0.0, subPath = 0.0;
    float startX = 0.0f, startY = 0.0f, lastX = 0.0f, lastY = 0.0f;
    int currentSubPath = -1;
    bool closed = true;

    auto finishSubPath = [&]
    {
        if (! closed)
            subPath += (double) lastX * startY - (double) startX * lastY;
        total += std::abs (subPath);
        subPath = 0.0;
    };

    while (it.next())
    {
        if (it.subPathIndex != currentSubPath)
        {
            if (currentSubPath >= 0)
                finishSubPath();
            currentSubPath = it.subPathIndex;
            startX = it.x1;
            startY = it.y1;
        }

        subPath += (double) it.x1 * it.y2 - (double) it.x2 * it.y1;
        lastX = it.x2;
        lastY = it.y2;
        closed = it.closesSubPath;
    }

    if (currentSubPath >= 0)
        finishSubPath();

    return total;
}
} // namespace

bool hasArea (const juce::Path& outline, const juce::AffineTransform& placement)
{
    if (! isFinite (placement))
        return false;

    auto local = outline.getBounds();
    if (! isFinite (local) || local.getWidth() <= 0.0f || local.getHeight() <= 0.0f)
        return false;

    auto det = std::abs ((double) placement.mat00 * placement.mat11 - (double) placement.mat01 * placement.mat10);
    if (! std::isfinite (det) || det <= 1.0e-12)
        return false;

    // Relative to the bounding box so that rounding in nearly collinear
    // points counts as no area, whatever the outline's size.
    auto area = doubledArea (outline);
    auto boxArea = (double) local.getWidth() * local.getHeight();
    if (! (area > 1.0e-6 * boxArea))
        return false;

    return std::isfinite (area * det) && area * det > 0.0;
}

bool boundsApart (juce::Rectangle<float> a, juce::Rectangle<float> b)
{
    constexpr float margin = 2.0f;
    return b.getX() > a.getRight() + margin || b.getRight() < a.getX() - margin
        || b.getY() > a.getBottom() + margin || b.getBottom() < a.getY() - margin;
}

bool outlinesCross (const juce::Path& placedSlice, const juce::Path& placedFocal)
{
    juce::PathFlatteningIterator it (placedSlice, {}, juce::Path::defaultToleranceForMeasurement);

    while (it.next())
        if (placedFocal.intersectsLine ({ it.x1, it.y1, it.x2, it.y2 }, 0.0f))
            return true;

    return false;
}

juce::AffineTransform FocalFrame::toFrame() const
{
    return unrotate.translated (-placed.getX(), -placed.getY()).scaled (sx, sy);
}

FocalFrame focalFrame (const juce::Path& outline, const juce::AffineTransform& placement, float rotation)
{
    FocalFrame frame;

    if (! std::isfinite (rotation) || ! hasArea (outline, placement))
        return frame;

    auto placedOutline = outline;
    placedOutline.applyTransform (placement);
    auto centre = placedOutline.getBounds().getCentre();

    frame.unrotate = juce::AffineTransform::rotation (-rotation, centre.x, centre.y);
    placedOutline.applyTransform (frame.unrotate);
    frame.placed = placedOutline.getBounds();
    frame.local = outline.getBounds();

    if (! isFinite (frame.placed) || frame.placed.getWidth() <= 0.0f || frame.placed.getHeight() <= 0.0f)
        return frame;

    frame.sx = frame.local.getWidth() / frame.placed.getWidth();
    frame.sy = frame.local.getHeight() / frame.placed.getHeight();
    frame.valid = std::isfinite (frame.sx) && std::isfinite (frame.sy);
    return frame;
}

juce::Path shapeInFrame (const juce::Path& sliceOutline,
                         const juce::AffineTransform& slicePlacement,
                         const FocalFrame& frame)
{
    auto shape = sliceOutline;
    shape.applyTransform (slicePlacement.followedBy (frame.toFrame()));
    return shape;
}

ButtonShape buttonShape (const juce::Path& inFrame)
{
    ButtonShape result;
    auto box = inFrame.getBounds();

    if (! isFinite (box) || box.getWidth() <= 0.0f || box.getHeight() <= 0.0f)
        return result;

    result.bounds = { juce::roundToInt (box.getX()), juce::roundToInt (box.getY()),
                      juce::roundToInt (box.getWidth()), juce::roundToInt (box.getHeight()) };

    result.shape = inFrame;
    result.shape.applyTransform (juce::AffineTransform::translation (-box.getX(), -box.getY())
                                     .scaled ((float) result.bounds.getWidth() / box.getWidth(),
                                              (float) result.bounds.getHeight() / box.getHeight()));
    return result;
}
} // namespace corvadine::coverage
