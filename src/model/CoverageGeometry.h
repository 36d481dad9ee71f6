#pragma once

#include <juce_graphics/juce_graphics.h>

// The geometry behind focal coverage and the covered-slice buttons, on plain
// paths, transforms and rectangles, so that it needs no component to test.
namespace corvadine::coverage
{
// True when the outline, placed by the transform, encloses an area: every
// number finite, a transform that does not collapse the plane, and a polygon
// that is not folded onto a line or a point. Outlines without an area can
// neither cover nor be covered: every later step would divide by their size.
bool hasArea (const juce::Path& outline, const juce::AffineTransform& placement);

// True when two placed bounding boxes lie too far apart for either outline to
// contain or cross the other. The containment test grows an outline by one
// unit, so the boxes are kept apart by a little more than that.
bool boundsApart (juce::Rectangle<float> a, juce::Rectangle<float> b);

// Partial coverage: true when some flattened edge of the placed slice outline
// meets an edge of the placed focal outline.
bool outlinesCross (const juce::Path& placedSlice, const juce::Path& placedFocal);

// A focal's own frame: its outline is scaled and turned onto the stage by its
// placement; toFrame takes stage points back into the outline's coordinates
// (where the outline spans its resolution in pixels).
struct FocalFrame
{
    juce::AffineTransform unrotate; // turns the placed focal upright about its centre
    juce::Rectangle<float> placed;  // bounds of the placed, upright outline
    juce::Rectangle<float> local;   // bounds of the outline itself
    float sx = 1.0f, sy = 1.0f;
    bool valid = false;             // false for a focal without an area

    juce::AffineTransform toFrame() const;
};

FocalFrame focalFrame (const juce::Path& outline, const juce::AffineTransform& placement, float rotation);

// The slice's outline as it lies in the focal's frame.
juce::Path shapeInFrame (const juce::Path& sliceOutline,
                         const juce::AffineTransform& slicePlacement,
                         const FocalFrame& frame);

// A shape in the focal's frame split into the bounds of its button and the
// shape stretched to fill those bounds in the button's own coordinates. A
// shape without width or height gives empty bounds and an empty path.
struct ButtonShape
{
    juce::Rectangle<int> bounds;
    juce::Path shape;
};

ButtonShape buttonShape (const juce::Path& shapeInFrame);
} // namespace corvadine::coverage
