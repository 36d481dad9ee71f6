#pragma once

#include "model/FocalSlice.h"

namespace corvadine
{
// One of the model's looks: the focals placed for it, all at the look's
// resolution.
class Look
{
public:
    Look() = default;

    // A focal joins the look, which owns it from then on: it takes the
    // look's resolution (refitted over the slices it covers) and the look's
    // composition size, for itself and for its stage item.
    void addFocal (FocalSlice* focal);

    // The largest side of a look's resolution, in pixels. The plug-in draws
    // every focal into a texture of its look's resolution, which graphics
    // cards take up to this side, and the host's compositions stay far
    // below it; a focal's outline of this size keeps its bounds on the stage
    // and its placement exact.
    static constexpr int maxResolutionSide = 16384;

    // A resolution with each side brought down to maxResolutionSide; a side
    // of 0 or less is left as it is (it is no resolution, and is refused
    // where it would be taken).
    static juce::Point<int> boundedResolution (juce::Point<int> resolution) noexcept;
    // Both sides from 1 to maxResolutionSide.
    static bool isUsableResolution (juce::Point<int> resolution) noexcept;

    // In creation order; deleted from the last to the first with the look.
    juce::OwnedArray<FocalSlice> focals;
    juce::Point<int> resolution;
    juce::Point<int> compositionSize;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Look)
};
} // namespace corvadine
