#pragma once

#include "model/StageModel.h"

// Random models and the edits a user makes to them, for tests that compare
// two ways of writing the same model.
namespace corvadine::test
{
// Screens of random slices (rectangles, turned rectangles, masks that may
// cross themselves or repeat their first point, now and then a slice of
// fewer than three points), placed as an import places them with a few
// items moved or turned afterwards, and looks of random focals (settings,
// exclusions, some turned). Screens are shown; one in five is switched off.
std::unique_ptr<StageModel> randomModel (juce::Random& random, int numScreens, int slicesPerScreen,
                                         int numLooks, int focalsPerLook);

// One edit of the kinds a user or the host makes between two stores: a
// focal moved, turned, scaled, added, removed or given other settings or
// exclusions; a look's resolution changed (zero sides included); a screen
// switched off or on; a slice moved or renamed; a relink with slices
// dropped, added and changed and sometimes another composition size.
// Returns what it did, for failure messages.
juce::String randomEdit (StageModel& model, juce::Random& random);
} // namespace corvadine::test
