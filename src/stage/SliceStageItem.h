#pragma once

#include "stage/StageItem.h"

namespace corvadine
{
// A host slice on the stage: its outline filled and stroked in purple and
// yellow, its name while hovered or selected, and while selected (and tall
// enough) its position relative to the stage centre.
class SliceStageItem : public StageItem
{
public:
    SliceStageItem() = default;

    bool isSelectable() override;
    bool canTransform() override;
    void paint (juce::Graphics& g) override;

    // The centre of the item's bounds on the stage, relative to the stage
    // centre, as "x, y".
    static juce::String positionText (juce::Rectangle<int> boundsInParent);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SliceStageItem)
};
} // namespace corvadine
