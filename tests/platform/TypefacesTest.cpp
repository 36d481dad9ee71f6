#include "platform/Typefaces.h"

#include <gtest/gtest.h>

using namespace corvadine;

TEST (Typefaces, DesignFacesResolveToInstalledFaces)
{
    const auto installed = juce::Font::findAllTypefaceNames();

    for (auto* name : { "Verdana", "Arial" })
    {
        const auto resolved = installedTypefaceName (name);
        EXPECT_TRUE (installed.contains (resolved)) << name << " -> " << resolved;
        EXPECT_EQ (makeFont (name, 16.0f, juce::Font::bold).getTypefaceName(), resolved);
    }

    // Where the real faces are missing, the stand-ins are the ones the
    // project's packages bring.
    if (! installed.contains ("Verdana"))
        EXPECT_EQ (installedTypefaceName ("Verdana"), "DejaVu Sans");
    if (! installed.contains ("Arial"))
        EXPECT_EQ (installedTypefaceName ("Arial"), "Liberation Sans");
}

TEST (Typefaces, OtherNamesStayAsTheyAre)
{
    EXPECT_EQ (installedTypefaceName ("DejaVu Sans"), "DejaVu Sans");
    EXPECT_EQ (installedTypefaceName ("No Such Face"), "No Such Face");
    EXPECT_EQ (installedTypefaceName (""), "");
}
