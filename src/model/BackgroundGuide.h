#pragma once

#include "model/CorvadineSlice.h"

namespace corvadine
{
class ImageStageItem;

// The guide image laid under the stage: one picture file shown faintly,
// centred on the stage when it is given.
class BackgroundGuide : public CorvadineSlice
{
public:
    BackgroundGuide();
    ~BackgroundGuide() override;

    // A "bgImage" subtree: "file", "bounds" and the item's "position".
    juce::ValueTree toValueTree() override;
    StageItem* getStageItem() override;
    void createStageItem() override;

    // Shows the picture in the file (PNG, JPEG or GIF, told by content) and
    // centres it on the stage, keeping the item's scale and rotation. Returns
    // false, leaving the guide as it was, when the file gives no image.
    bool setImage (const juce::String& path);

    // The image file shown, as last given to setImage successfully.
    juce::String file;
    std::unique_ptr<ImageStageItem> imageItem;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BackgroundGuide)
};
} // namespace corvadine
