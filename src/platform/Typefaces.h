#pragma once

#include <juce_graphics/juce_graphics.h>

namespace corvadine
{
// The application asks for its faces by the names the design uses
// ("Verdana", "Arial"). Where a face of that name is not installed (Linux
// has neither), the name resolves to a metric-compatible stand-in: DejaVu
// Sans for Verdana, Liberation Sans for Arial. Any other name, and a name
// whose stand-in is missing too, is returned unchanged.
juce::String installedTypefaceName (const juce::String& familyName);

// A font of the named face (resolved as above) with the given height and
// juce::Font style flags.
juce::Font makeFont (const juce::String& familyName, float height, int styleFlags = juce::Font::plain);
} // namespace corvadine
