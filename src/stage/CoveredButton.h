#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// A toggle shaped like one slice that a focal covers, inside the focal's
// item: on while the slice takes part in the focal, off while the user has
// excluded it. Only clicks inside the slice's outline count.
class CoveredButton : public juce::TextButton
{
public:
    CoveredButton() = default;

    bool hitTest (int x, int y) override;
    void paint (juce::Graphics& g) override;
    void resized() override;

    static juce::Colour fillColour (bool focalSelected, bool included);

    bool focalSelected = false;
    // The slice's outline in the button's own coordinates.
    juce::Path shape;
};
} // namespace corvadine
