#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// An icon button: the outline of an SVG icon filled in one of four colours
// chosen by the button's state. The icon keeps its proportions and is
// centred in whatever bounds the owner gives the button. The colours start
// fully transparent; owners assign them right after construction.
class SvgButton : public juce::Button
{
public:
    // The SVG text and its length in bytes (without a terminating zero).
    // A text that does not parse gives an empty shape: the button draws
    // nothing but still works as a button.
    SvgButton (const char* svgText, int numBytes);

    void resized() override {}
    void paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    // A hidden button contains no point, so code that triggers whatever
    // button lies under the pointer (Component::contains) passes it by.
    bool hitTest (int x, int y) override;

    // The fill for a state, in priority order: disabled (the button or a
    // parent), pressed or toggled on, highlighted, normal.
    juce::Colour colourFor (bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) const;

    juce::Path shape;
    // Drawn instead of shape while toggled on, when not empty.
    juce::Path onShape;

    juce::Colour normalColour { 0x00000000 };
    juce::Colour overColour { 0x00000000 };
    juce::Colour downColour { 0x00000000 };
    juce::Colour disabledColour { 0x00000000 };

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SvgButton)
};
} // namespace corvadine
