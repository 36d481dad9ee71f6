#pragma once

#include "host/ScreenInfo.h"

#include <juce_data_structures/juce_data_structures.h>

namespace corvadine
{
// Reading the host's Advanced Output vocabulary. All functions here are pure:
// they read only what they are given, never throw, and give defaults for
// anything missing or malformed (numbers that are not finite read as 0).

// The screen-setup element of a host file: the root itself when its tag is
// "ScreenSetup", else the root's first "ScreenSetup" child (tags compared
// ignoring case), else nullptr. The importer goes through this, and the
// re-read of a watched file (host/ScreenSetupFile.h) through the same rule
// on its own tree of the same text, so every file that imports also relinks.
juce::XmlElement* findScreenSetupElement (const juce::XmlElement& root);

// The screens of a screen-setup element ("screens" > "Screen"/"DmxScreen" >
// "layers" > "Slice"/"Polygon"/"DmxSlice"); empty for nullptr or a setup
// without "screens".
juce::Array<ScreenInfo> parseScreens (const juce::XmlElement* screenSetup);

// Appends the point of a "v" element (attributes "x" and "y", 0 when missing).
void readXmlPoint (const juce::XmlElement& v, juce::Array<juce::Point<float>>& points);

// A screen read back from a saved "screen" subtree of the document.
ScreenInfo screenInfoFromTree (const juce::ValueTree& screen);
} // namespace corvadine
