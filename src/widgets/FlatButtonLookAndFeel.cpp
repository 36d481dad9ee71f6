#include "widgets/FlatButtonLookAndFeel.h"

#include "platform/Typefaces.h"

namespace corvadine
{
void FlatButtonLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&,
                                                  bool, bool)
{
    if ((button.getConnectedEdgeFlags() & juce::Button::ConnectedOnRight) == 0)
        return;

    const auto w = (float) button.getWidth();
    const auto h = (float) button.getHeight();

    g.setColour (juce::Colours::white);
    g.drawLine (w, h / 2.0f - h / 8.0f, w, h / 2.0f + h / 8.0f, 1.0f);
}

juce::Font FlatButtonLookAndFeel::getTextButtonFont (juce::TextButton&, int buttonHeight)
{
    return makeFont ("Verdana", juce::jmin (0.6f * (float) buttonHeight, 15.0f), juce::Font::bold);
}
} // namespace corvadine
