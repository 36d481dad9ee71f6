#pragma once

#include "stage/CoveredButton.h"
#include "stage/FocalOverlay.h"
#include "stage/StageItem.h"

namespace corvadine
{
// A focal on the stage: a checkerboard the size of the host composition,
// centred in the focal's frame, with the covered slices as shaped toggles
// on top and, while selected, the overlay with the focal's scale. Its own
// coordinates are the focal's resolution in pixels.
class FocalStageItem : public StageItem
{
public:
    FocalStageItem();
    ~FocalStageItem() override;

    void resized() override;
    void handleTransformerClick (const juce::MouseEvent& e) override;
    void setSelected (bool shouldBeSelected) override;
    bool isSelectable() override;
    bool canTransform() override;
    void paint (juce::Graphics& g) override;

    // Whole columns and rows of checks about 200 units each, at least one.
    static juce::Point<int> checkCounts (int width, int height);

    // Owned; the focal slice creates it and adds it as a hidden child.
    std::unique_ptr<FocalOverlay> overlay;
    // The focal slice owns the buttons and keeps this list in step with them.
    juce::Array<CoveredButton*> coveredButtons;
    juce::Point<int> resolution;
    juce::Point<int> compositionSize;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FocalStageItem)
};
} // namespace corvadine
