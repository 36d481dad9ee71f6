#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <cstdint>
#include <functional>
#include <optional>

namespace corvadine
{
// A component placed on the stage. Its bounds never move: they stay at
// (0, 0) with the size of its outline, and the whole placement (translation,
// scale and rotation) lives in the component's affine transform. The rotation
// is also kept as a number of its own, so that it can be taken out of the
// placed outline and put back when the outline is refitted.
class TransformableComponent : public juce::Component
{
public:
    TransformableComponent();
    ~TransformableComponent() override;

    // An item takes the mouse only inside its outline, not in the rest of
    // its bounding box.
    bool hitTest (int x, int y) override;

    // Replaces the outline with the closed polygon through the points, given
    // turned by the angle (radians). The outline is stored axis-aligned from
    // (0, 0) and the turn and offset go into the placement, so the polygon
    // shows where it was given.
    void setOutline (const juce::Array<juce::Point<float>>& points, float angle);

    // The commit step: the transform becomes the placement, a gesture's
    // pending rotation is folded into the rotation and the transform is
    // remembered as the start of the next gesture. A transform that is not
    // finite or cannot be inverted is refused: the item falls back to its
    // last committed placement.
    void setPlacement (const juce::AffineTransform& t);

    // The placement as a "position" subtree, and back.
    juce::ValueTree positionToValueTree() const;
    // Leaves the placement as it was when the tree is invalid or its
    // "transform" is not six finite numbers giving an invertible transform
    // that keeps the outline within +/- 2^28 of the stage's origin. True when
    // the placement was taken.
    bool positionFromValueTree (const juce::ValueTree& position);
    // The committed transform positionFromValueTree (positionToValueTree())
    // would leave, worked out without changing the item; nothing when it
    // would refuse the text.
    std::optional<juce::AffineTransform> placementFromOwnText() const;
    // A number that no other outline of any item has had: taken afresh by
    // every setOutline.
    std::uint64_t getOutlineStamp() const noexcept { return outlineStamp; }
    // What positionFromValueTree (positionToValueTree()) does, given the
    // transform placementFromOwnText gave for the same committed transform
    // and outline.
    void takePlacementFromOwnText (const juce::AffineTransform& fromText);

    // The outline as placed, with the item's rotation taken out again.
    juce::Path getTransformedOutline() const;

    // The area of getTransformedOutline's bounds, worked out the same way
    // to the bit, without making the path. Kept from the last call while the
    // outline, the transform and the rotation stay the same: a restack asks
    // every item for it.
    float getTransformedOutlineArea() const;

    // Places the outline over the area, scaled uniformly so that it covers
    // all of it (overhanging on one axis), keeping its rotation. Does nothing
    // for an empty area or an outline without a width or height.
    void fitOutlineInto (juce::Rectangle<float> area);

    // Whether the other's placed outline lies inside this one's. Equal
    // rounded bounds count as contained, and this outline is grown by one
    // unit so that an edge shared with the other one still counts as inside.
    bool containsOutlineOf (const TransformableComponent& other) const;

    // Assigned by the stage; called by the stage item's mouse handling.
    std::function<void (const juce::MouseEvent&)> onMouseDown;
    std::function<void (const juce::MouseEvent&)> onMouseDrag;
    std::function<void (const juce::MouseEvent&)> onMouseUp;

    // The component's transform as of the last commit; gestures start from
    // it and "transform" is written from it.
    juce::AffineTransform committedTransform;
    // In the component's own coordinates. Changed through setOutline only.
    juce::Path outline;
    // Committed rotation (radians) about the outline's centre.
    float rotation = 0.0f;
    // Rotation of a gesture under way; folded into rotation at each commit.
    float pendingRotation = 0.0f;

private:
    float workOutTransformedOutlineArea() const;

    std::uint64_t outlineStamp = 0;

    struct AreaSeen
    {
        std::uint64_t outlineStamp = 0;
        juce::AffineTransform transform;
        float turn = 0.0f;
        float area = 0.0f;
        bool valid = false;
    };

    mutable AreaSeen areaSeen;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TransformableComponent)
};
} // namespace corvadine
