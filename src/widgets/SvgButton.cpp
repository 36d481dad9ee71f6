#include "widgets/SvgButton.h"

namespace corvadine
{
namespace
{
juce::Path outlineOfSvg (const char* svgText, int numBytes)
{
    if (svgText == nullptr || numBytes <= 0)
        return {};

    const auto drawable = juce::Drawable::createFromImageData (svgText, (size_t) numBytes);

    if (drawable == nullptr)
        return {};

    return drawable->getOutlineAsPath();
}
} // namespace

SvgButton::SvgButton (const char* svgText, int numBytes)
    : juce::Button ({}),
      shape (outlineOfSvg (svgText, numBytes))
{
}

juce::Colour SvgButton::colourFor (bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) const
{
    if (! isEnabled())
        return disabledColour;

    if (shouldDrawButtonAsDown || getToggleState())
        return downColour;

    if (shouldDrawButtonAsHighlighted)
        return overColour;

    return normalColour;
}

void SvgButton::paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    const auto& path = (getToggleState() && ! onShape.isEmpty()) ? onShape : shape;
    const auto pathBounds = path.getBounds();

    juce::AffineTransform fit;

    if (pathBounds.getWidth() > 0.0f && pathBounds.getHeight() > 0.0f && getWidth() > 0 && getHeight() > 0)
        fit = path.getTransformToScaleToFit (getLocalBounds().toFloat(), true, juce::Justification::centred);

    g.setColour (colourFor (shouldDrawButtonAsHighlighted, shouldDrawButtonAsDown));
    g.fillPath (path, fit);
}

bool SvgButton::hitTest (int x, int y)
{
    return isVisible() && juce::Button::hitTest (x, y);
}
} // namespace corvadine
