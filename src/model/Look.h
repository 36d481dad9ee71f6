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

    // In creation order; deleted from the last to the first with the look.
    juce::OwnedArray<FocalSlice> focals;
    juce::Point<int> resolution;
    juce::Point<int> compositionSize;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Look)
};
} // namespace corvadine
