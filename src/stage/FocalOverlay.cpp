#include "stage/FocalOverlay.h"

#include <cmath>

namespace corvadine
{
namespace
{
// The whole percent, truncated toward zero; kept inside int range so that an
// absurd scale cannot overflow the conversion. The product is taken in single
// precision: widened first, a scale of 0.29f would be 28.99999... and show 28%.
juce::String percent (float factor)
{
    auto value = (double) std::trunc (factor * 100.0f);
    value = juce::jlimit (-1.0e9, 1.0e9, value);
    return juce::String ((juce::int64) value) + "%";
}
} // namespace

FocalOverlay::FocalOverlay()
{
    setInterceptsMouseClicks (false, false);
}

void FocalOverlay::resized() {}

juce::String FocalOverlay::scaleText (juce::Point<float> s)
{
    if (! std::isfinite (s.x) || ! std::isfinite (s.y))
        return {};

    auto text = percent (s.x);

    if (std::abs (s.x - s.y) > 0.01f)
        text << ", " << percent (s.y);

    return text;
}

void FocalOverlay::paint (juce::Graphics& g)
{
    auto w = (float) getWidth();
    auto h = (float) getHeight();
    auto d = juce::jmin (w, h);

    g.setColour (juce::Colour (0xe6a2a235));
    g.drawEllipse (w / 2 - d / 2, h / 2 - d / 2, d, d, 2.0f);
    g.drawLine (0, 0, w, h, 2.0f);
    g.drawLine (0, h, w, 0, 2.0f);
    g.drawRect (getLocalBounds(), 1);

    g.setColour (juce::Colour (0xffa2a235));
    g.setFont (g.getCurrentFont().withHeight (32.0f));
    g.drawText (scaleText (scale), juce::Rectangle<int> (32, 0, getWidth(), juce::jmin (getHeight(), 32)),
                juce::Justification::left, true);
}
} // namespace corvadine
