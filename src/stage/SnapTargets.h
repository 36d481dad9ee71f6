#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
class StageItem;
class TransformableComponent;

// The positions a dragged handle point snaps to, taken from the items on
// the stage that are neither selected nor hidden, and the snapping rules:
// alignment with a vertex or centre, even spacing about the nearest item
// centre, and (for x) symmetry about the stage's vertical centre line.
// Everything is in stage units; the snap distance does not follow the zoom.
class SnapTargets
{
public:
    // Rebuilds the targets from the stage's items, leaving out the selected
    // and the hidden ones. The stage keeps its centre anchor first, so the
    // first target gives the stage centre.
    void rebuild (const juce::Array<StageItem*>& stageItems, const juce::Array<StageItem*>& selection);

    // Empties and fills the guide lists and returns the offset o by which p
    // lies off its snapped position (p - o is snapped); an axis that does
    // not snap has offset 0. Reads only points, itemCentres and centre.
    juce::Point<float> snap (juce::Point<float> p, juce::Array<float>& xGuides, juce::Array<float>& yGuides) const;

    // Drops a target that is being deleted, so no pointer to it is kept.
    void forget (const TransformableComponent* item);

    // The distance within which a point snaps, inclusive.
    static constexpr float snapDistance = 24.0f;

    juce::Array<juce::Point<float>> points;
    // Kept only to tell which items the targets came from; snap never
    // reaches through these pointers.
    juce::Array<TransformableComponent*> items;
    // The centre of the first target's bounds in its parent.
    juce::Point<int> centre;
    // The centre of every target's bounds in its parent, in target order:
    // what the even-spacing rule measures from.
    juce::Array<juce::Point<float>> itemCentres;
};
} // namespace corvadine
