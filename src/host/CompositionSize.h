#pragma once

#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>

namespace corvadine
{
// The host composition's size in pixels, as the host's files give it.

// The size an element gives through its "width" and "height" attributes.
// Each one that is missing, unreadable or not positive falls back on its own
// to 1920 or 1080, so the result can always be divided by.
juce::Point<int> compositionSizeFromElement (const juce::XmlElement& element);

// The size an import takes: the screen setup's "CurrentCompositionTextureSize",
// else the entry named "0:1" of its "sizing" > "inputs", else the
// composition's "CompositionInfo", else 1920 x 1080. Either element may be null.
juce::Point<int> importCompositionSize (const juce::XmlElement* screenSetup, const juce::XmlElement* composition);

// The size a re-read of the watched setup file takes: only the screen
// setup's "CurrentCompositionTextureSize", else 1920 x 1080.
juce::Point<int> relinkCompositionSize (const juce::XmlElement* screenSetup);
} // namespace corvadine
