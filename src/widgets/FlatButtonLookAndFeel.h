#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// The look of the dialogs' text buttons: no button body, a bold "Verdana"
// label, and a short white separator on the right edge of a button that is
// connected on its right, so a row of buttons reads as one strip.
class FlatButtonLookAndFeel : public juce::LookAndFeel_V4
{
public:
    void drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    juce::Font getTextButtonFont (juce::TextButton& button, int buttonHeight) override;
};
} // namespace corvadine
