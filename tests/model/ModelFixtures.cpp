#include "model/ModelFixtures.h"

#include "stage/StageItem.h"

namespace corvadine::test
{
SliceInfo rectangleSlice (juce::int64 uniqueId, const juce::String& name, juce::Rectangle<float> area)
{
    SliceInfo slice;
    slice.uniqueId = uniqueId;
    slice.name = name;
    slice.inputRect = { area.getTopLeft(), area.getTopRight(), area.getBottomRight(), area.getBottomLeft() };
    slice.outputRect = slice.inputRect;
    return slice;
}

ScreenInfo screenOf (juce::int64 uniqueId, std::vector<SliceInfo> slices, bool enabled)
{
    ScreenInfo screen;
    screen.uniqueId = uniqueId;
    screen.name = "Screen " + juce::String (uniqueId);
    screen.enabled = enabled;
    for (auto& slice : slices)
        screen.slices.add (slice);
    return screen;
}

std::unique_ptr<StageModel> modelWith (juce::Point<int> compositionSize, const juce::Array<ScreenInfo>& screens)
{
    auto model = std::make_unique<StageModel>();
    model->compositionSize = compositionSize;
    model->rebuildScreens (screens);
    showSlices (*model);
    return model;
}

void showSlices (StageModel& model, bool shown)
{
    for (auto* screen : model.screens)
        for (auto* slice : screen->slices)
        {
            slice->getStageItem()->hidden = ! shown;
            slice->getStageItem()->setVisible (shown);
        }
}

juce::Rectangle<float> onStage (const StageModel& model, juce::Rectangle<float> compositionArea)
{
    return compositionArea.translated ((float) (50000 - model.compositionSize.x / 2),
                                       (float) (5000 - model.compositionSize.y / 2));
}

FocalSlice& addFocal (Look& look, juce::Rectangle<float> stageArea, int distribution, int flip, int cover)
{
    auto* focal = new FocalSlice();
    focal->createStageItem();
    look.addFocal (focal);
    focal->getStageItem()->fitOutlineInto (stageArea);
    focal->distribution = distribution;
    focal->flip = flip;
    focal->cover = cover;
    return *focal;
}

juce::Rectangle<float> placedBounds (ArenaSlice& slice)
{
    auto* item = slice.getStageItem();
    return item->outline.getBoundsTransformed (item->getTransform());
}
} // namespace corvadine::test
