#pragma once

#include "host/SliceInfo.h"
#include "model/ArenaSlice.h"

namespace corvadine
{
// One output screen of the host's setup with the slices built from it.
class ArenaScreen
{
public:
    ArenaScreen() = default;

    // Deletes the slices from the last to the first, each taken out of the
    // list before it goes, so that the focals a dying slice tells never see
    // it in the screen any more.
    ~ArenaScreen();

    juce::OwnedArray<ArenaSlice> slices;
    juce::int64 uniqueId = 0;
    juce::String name;
    // The host's records the slices were built from; empty for a screen read
    // from a document.
    juce::Array<SliceInfo> sliceInfos;
    // False while the user has the screen switched off: its slices are hidden.
    bool enabled = true;
    // As parsed from the host; 0 x 0 for a screen read from a document.
    juce::Point<int> outputRes;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ArenaScreen)
};
} // namespace corvadine
