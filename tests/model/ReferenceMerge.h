#pragma once

#include "model/StageModel.h"

// The re-import merge as it was first written: every old slice saved, all
// screens rebuilt from the host's records (every slice and item made anew),
// then the matched slices given their old name and placement back. Kept to
// compare the model's in-place merge with.
namespace corvadine::test
{
int referenceMergeScreens (StageModel& model, const juce::Array<ScreenInfo>& newScreens);
} // namespace corvadine::test
