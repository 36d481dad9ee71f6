#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// Drawn over a selected focal: a circle, the two diagonals, a frame and the
// focal's size on the stage relative to its resolution. It never takes the
// mouse, so clicks reach the covered-slice buttons below it.
class FocalOverlay : public juce::Component
{
public:
    FocalOverlay();

    void paint (juce::Graphics& g) override;
    void resized() override;

    // "50%", or "150%, 125%" when the two axes differ by more than 0.01.
    static juce::String scaleText (juce::Point<float> scale);

    // The focal's size on the stage divided by its resolution, per axis.
    juce::Point<float> scale;
};
} // namespace corvadine
