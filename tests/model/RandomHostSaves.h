#pragma once

#include "host/ScreenInfo.h"

#include <juce_core/juce_core.h>

// The host's setup saved again, as the relink reads it: random changes of
// the kinds a host's user makes between two saves.
namespace corvadine::test
{
struct HostSave
{
    juce::Array<ScreenInfo> screens;
    // What changed, for failure messages.
    juce::String changes;
};

// The setup after one save that changes a few things of `before`: slices
// moved, turned, renamed, given new ids or another slice's name or points,
// added, removed, reordered or moved to another screen; screens added,
// removed, reordered or marked hidden; now and then nothing at all, or a
// preset switch where every slice is new. New ids start at nextId, which
// grows.
HostSave randomHostSave (const juce::Array<ScreenInfo>& before, juce::Random& random,
                         juce::Point<int> composition, juce::int64& nextId);
} // namespace corvadine::test
