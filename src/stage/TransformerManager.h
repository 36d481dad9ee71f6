#pragma once

#include "stage/SnapTargets.h"
#include "stage/TransformableComponent.h"
#include "stage/TransformerWidget.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

namespace corvadine
{
class StageItem;

// The stage's selection, and the gestures of the gizmo turned into new
// placements of the selected items. Its own placement is the selection
// frame: the item itself for a single item, the axis-aligned box around
// them (in stage coordinates) for several. It is never added to a parent
// and never drawn; its widget is a child of the stage.
//
// Every step of a gesture starts again from the placements committed when
// the gesture began, never from the previous step, and the gesture ends
// with a commit.
class TransformerManager : public TransformableComponent
{
public:
    explicit TransformerManager (juce::Array<StageItem*>& stageItems);
    ~TransformerManager() override;

    void paint (juce::Graphics&) override {}
    void resized() override {}

    // With toggle the item joins or leaves the selection; without, it
    // becomes the only selected item (nothing happens when it is selected).
    void selectItem (StageItem* item, bool toggle);
    // Replaces the whole selection, as the stage's rubber band does.
    void setSelection (const juce::Array<StageItem*>& items);
    // Deselects every item and refreshes the gizmo.
    void clearSelection();

    // Ends a gesture: items that became invisible or unselectable leave the
    // selection, the placements are committed and the frame refitted.
    void commitTransform();
    // Refreshes the gizmo and the snap targets from the frame.
    void updateWidget();
    // Sets the frame from the selection and brings the selected items and
    // the gizmo to the front.
    void fitToSelection();

    // One move step (offset in the frame's coordinates) or nudge (stage units).
    void moveSelection (juce::Point<int> delta, bool nudge);
    // One step of a resize handle: the pointer's direction and distance.
    void scaleSelection (int handle, float angle, int distance);
    // One step of the rotate handle: the pointer's direction about the centre.
    void rotateSelection (float angle);

    // The scale factors of dragging the handle by v, in the frame's
    // unrotated axes; reads Shift and Alt as held now.
    juce::Point<float> getScaleFactors (int handle, juce::Point<float> v) const;
    // The nine grid points of r in reading order; (0, 0) for other indices.
    static juce::Point<float> getGridPoint (int index, juce::Rectangle<int> r);

    // An item that is being deleted leaves the selection and the snap
    // targets without being touched. The stage, which owns the item list,
    // takes it out of that list first.
    void forgetItem (StageItem* item);

    TransformerWidget widget;
    std::function<void()> onTransformCommitted;
    std::function<void()> onSelectionTransformed;
    juce::Array<StageItem*> selection;
    juce::Array<StageItem*>& stageItems;
    SnapTargets snapTargets;
    juce::Array<float> xGuides;
    juce::Array<float> yGuides;
    bool snapping = false;

private:
    void commitOwnPlacement();
    // Gives every selected item the placement made from its committed one,
    // then reports the step.
    void placeSelection (const std::function<juce::AffineTransform (const juce::AffineTransform&)>& placementOf,
                         const juce::AffineTransform& previousFrame);
    void clickSelection (const juce::MouseEvent&);
    juce::Point<float> activeHandlePoint() const;
    juce::Point<float> snapOffset();

    // The selection as it was when the gizmo last took the keyboard focus:
    // the focus moves to it only when the selection changes, so a refresh
    // never takes it from a text field being edited elsewhere.
    juce::Array<StageItem*> focusedSelection;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TransformerManager)
};
} // namespace corvadine
