#include "widgets/SvgButton.h"

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace corvadine
{
namespace
{
juce::Path parseOutlineOfSvg (const char* svgText, int numBytes)
{
    const auto drawable = juce::Drawable::createFromImageData (svgText, (size_t) numBytes);

    if (drawable == nullptr)
        return {};

    return drawable->getOutlineAsPath();
}

// Every stage item has two icon buttons, and an import or relink makes
// thousands of items: each icon is parsed once and its outline copied after
// that. Keyed by the text itself, so a caller's buffer may be reused.
juce::Path outlineOfSvg (const char* svgText, int numBytes)
{
    if (svgText == nullptr || numBytes <= 0)
        return {};

    struct Cache
    {
        // Made before any cached outline, so that JUCE's count of live paths
        // is set up first and outlives the cache: no false leak at exit.
        juce::Path none;
        std::mutex mutex;
        std::map<std::string, juce::Path, std::less<>> outlines;
    };

    static Cache cache;

    const std::lock_guard<std::mutex> lock (cache.mutex);
    const std::string_view text (svgText, (size_t) numBytes);
    auto known = cache.outlines.find (text);

    if (known == cache.outlines.end())
        known = cache.outlines.emplace (std::string (text), parseOutlineOfSvg (svgText, numBytes)).first;

    return known->second;
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
