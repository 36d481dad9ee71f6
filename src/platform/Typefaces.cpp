#include "platform/Typefaces.h"

namespace corvadine
{
namespace
{
struct StandIn
{
    const char* requested;
    const char* installed;
};

constexpr StandIn standIns[] = {
    { "Verdana", "DejaVu Sans" },
    { "Arial", "Liberation Sans" },
};

bool isInstalled (const juce::String& familyName)
{
    // Asking the font system is slow and the installed faces do not change
    // while the application runs.
    static const juce::StringArray installed = juce::Font::findAllTypefaceNames();
    return installed.contains (familyName, true);
}
} // namespace

juce::String installedTypefaceName (const juce::String& familyName)
{
    if (isInstalled (familyName))
        return familyName;

    for (const auto& standIn : standIns)
        if (familyName.equalsIgnoreCase (standIn.requested) && isInstalled (standIn.installed))
            return standIn.installed;

    return familyName;
}

juce::Font makeFont (const juce::String& familyName, float height, int styleFlags)
{
    return { installedTypefaceName (familyName), height, styleFlags };
}
} // namespace corvadine
