#pragma once

#include "host/ScreenInfo.h"
#include "model/StageModel.h"
#include "support/TestSupport.h"

// Small models built in code for the stage model's tests: host records of
// rectangular slices, a model built from them and focals placed over the
// stage.
namespace corvadine::test
{
// A host slice whose input rectangle (in composition pixels) is the area.
SliceInfo rectangleSlice (juce::int64 uniqueId, const juce::String& name, juce::Rectangle<float> area);

ScreenInfo screenOf (juce::int64 uniqueId, std::vector<SliceInfo> slices, bool enabled = true);

// A model of that composition size holding the screens, every slice item
// shown on the stage as the controller shows the slices of enabled screens.
std::unique_ptr<StageModel> modelWith (juce::Point<int> compositionSize, const juce::Array<ScreenInfo>& screens);

// Shows or hides every slice item of the model as the controller does.
void showSlices (StageModel& model, bool shown = true);

// Where a composition rectangle lies on the stage after the rebuild.
juce::Rectangle<float> onStage (const StageModel& model, juce::Rectangle<float> compositionArea);

// A new focal of the look, its outline fitted to cover the stage area.
FocalSlice& addFocal (Look& look, juce::Rectangle<float> stageArea, int distribution = 0, int flip = 0, int cover = 0);

// The slice item's outline where it stands on the stage.
juce::Rectangle<float> placedBounds (ArenaSlice& slice);
} // namespace corvadine::test
