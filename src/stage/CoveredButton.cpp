#include "stage/CoveredButton.h"

namespace corvadine
{
bool CoveredButton::hitTest (int x, int y)
{
    return shape.contains ((float) x, (float) y);
}

void CoveredButton::resized() {}

juce::Colour CoveredButton::fillColour (bool selected, bool included)
{
    if (selected)
        return juce::Colour (included ? 0xbfdfdf17 : 0xbf8207c6);

    return juce::Colour (included ? 0xbf8207c6 : 0x0d8207c6);
}

// Replaces the text button's look: only the slice's shape is drawn.
void CoveredButton::paint (juce::Graphics& g)
{
    g.setColour (fillColour (focalSelected, getToggleState()));
    g.fillPath (shape);
}
} // namespace corvadine
