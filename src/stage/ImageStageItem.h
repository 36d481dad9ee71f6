#pragma once

#include "stage/StageItem.h"

namespace corvadine
{
// The guide image on the stage. Unlocked it is picked and moved like any
// item; locked it hands presses, drags and releases to the stage, so that
// a rubber band can be drawn over the picture. It is no layout item: the
// lasso, snapping and stacking leave it out.
class ImageStageItem : public StageItem
{
public:
    ImageStageItem() = default;
    ~ImageStageItem() override;

    void resized() override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    bool isSelectable() override;
    bool canTransform() override;
    bool isLayoutItem() override;

    // The picture, a child filling the item; made and set up by the guide.
    std::unique_ptr<juce::ImageComponent> imageComponent;

private:
    void route (const juce::MouseEvent& e,
                const std::function<void (const juce::MouseEvent&)>& callback,
                void (juce::Component::*stageHandler) (const juce::MouseEvent&));

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ImageStageItem)
};
} // namespace corvadine
