#include "host/CompositionSize.h"

#include "host/HostNumbers.h"
#include "host/XmlTags.h"

namespace corvadine
{
namespace
{
constexpr int defaultWidth = 1920;
constexpr int defaultHeight = 1080;

int positiveOr (const juce::XmlElement& element, juce::StringRef attribute, int fallback)
{
    if (! element.hasAttribute (attribute))
        return fallback;

    const auto value = readHostInt (element.getStringAttribute (attribute));
    return value > 0 ? value : fallback;
}

const juce::XmlElement* textureSizeElement (const juce::XmlElement* screenSetup)
{
    return screenSetup != nullptr ? findChildIgnoringCase (*screenSetup, "CurrentCompositionTextureSize") : nullptr;
}

// The composition's own input among the setup's sizing entries.
const juce::XmlElement* sizingInputElement (const juce::XmlElement* screenSetup)
{
    if (screenSetup == nullptr)
        return nullptr;

    auto* sizing = findChildIgnoringCase (*screenSetup, "sizing");

    if (sizing == nullptr)
        return nullptr;

    for (auto* inputs : childrenIgnoringCase (*sizing, "inputs"))
        for (auto* entry : inputs->getChildIterator())
            if (entry->hasAttribute ("name") && entry->getStringAttribute ("name") == "0:1")
                return entry;

    return nullptr;
}
} // namespace

juce::Point<int> compositionSizeFromElement (const juce::XmlElement& element)
{
    return { positiveOr (element, "width", defaultWidth), positiveOr (element, "height", defaultHeight) };
}

juce::Point<int> importCompositionSize (const juce::XmlElement* screenSetup, const juce::XmlElement* composition)
{
    auto* source = textureSizeElement (screenSetup);

    if (source == nullptr)
        source = sizingInputElement (screenSetup);

    if (source == nullptr && composition != nullptr)
        source = findChildIgnoringCase (*composition, "CompositionInfo");

    return source != nullptr ? compositionSizeFromElement (*source) : juce::Point<int> { defaultWidth, defaultHeight };
}

juce::Point<int> relinkCompositionSize (const juce::XmlElement* screenSetup)
{
    auto* source = textureSizeElement (screenSetup);
    return source != nullptr ? compositionSizeFromElement (*source) : juce::Point<int> { defaultWidth, defaultHeight };
}
} // namespace corvadine
