#include "host/CompositionSize.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
std::unique_ptr<juce::XmlElement> xml (const char* text)
{
    auto element = juce::parseXML (text);
    EXPECT_NE (element, nullptr) << text;
    return element;
}

const juce::Point<int> fallback { 1920, 1080 };
} // namespace

TEST (CompositionSize, FallsBackOnEachMissingOrUnusableSideOnItsOwn)
{
    struct Case { const char* element; juce::Point<int> expected; };
    const Case cases[] = {
        { R"(<e width="1280" height="720"/>)", { 1280, 720 } },
        { R"(<e width="1280"/>)", { 1280, 1080 } },
        { R"(<e height="720"/>)", { 1920, 720 } },
        { R"(<e/>)", { 1920, 1080 } },
        { R"(<e width="0" height="-5"/>)", { 1920, 1080 } },
        { R"(<e width="abc" height=""/>)", { 1920, 1080 } },
        { R"(<e width="1280.7px" height=" 720"/>)", { 1280, 720 } },
        { R"(<e width="99999999999" height="nan"/>)", { 1920, 1080 } },
        { R"(<e Width="1280" HEIGHT="720"/>)", { 1920, 1080 } },
    };

    for (const auto& c : cases)
        EXPECT_EQ (compositionSizeFromElement (*xml (c.element)), c.expected) << c.element;
}

TEST (CompositionSize, ImportTakesTheFirstElementThatExists)
{
    const auto composition = xml (R"(<Composition><CompositionInfo width="800" height="600"/></Composition>)");

    const auto texture = xml (R"(
        <ScreenSetup>
          <sizing><inputs><input name="0:1" width="1024" height="768"/></inputs></sizing>
          <currentcompositiontexturesize width="3840"/>
        </ScreenSetup>)");
    EXPECT_EQ (importCompositionSize (texture.get(), composition.get()), juce::Point<int> (3840, 1080));

    // The sizing entry named "0:1" of the first "inputs" that has one.
    const auto sizing = xml (R"(
        <ScreenSetup>
          <Sizing>
            <inputs><input width="1"/><input name="1:1" width="2"/></inputs>
            <inputs><other name="0:1" width="1024" height="768"/><input name="0:1" width="5"/></inputs>
          </Sizing>
          <sizing><inputs><input name="0:1" width="7" height="7"/></inputs></sizing>
        </ScreenSetup>)");
    EXPECT_EQ (importCompositionSize (sizing.get(), composition.get()), juce::Point<int> (1024, 768));

    const auto noSize = xml (R"(<ScreenSetup><sizing><inputs><input name="0:10"/></inputs></sizing></ScreenSetup>)");
    EXPECT_EQ (importCompositionSize (noSize.get(), composition.get()), juce::Point<int> (800, 600));
    EXPECT_EQ (importCompositionSize (nullptr, composition.get()), juce::Point<int> (800, 600));
    EXPECT_EQ (importCompositionSize (noSize.get(), nullptr), fallback);
    EXPECT_EQ (importCompositionSize (nullptr, nullptr), fallback);

    // The element found decides, even when it gives no usable numbers.
    const auto emptyTexture = xml (R"(<ScreenSetup><CurrentCompositionTextureSize width="0"/></ScreenSetup>)");
    EXPECT_EQ (importCompositionSize (emptyTexture.get(), composition.get()), fallback);
}

TEST (CompositionSize, RelinkReadsOnlyTheTextureSize)
{
    const auto sizingOnly = xml (R"(<ScreenSetup><sizing><inputs><input name="0:1" width="1024" height="768"/></inputs></sizing></ScreenSetup>)");
    EXPECT_EQ (relinkCompositionSize (sizingOnly.get()), fallback);
    EXPECT_EQ (relinkCompositionSize (nullptr), fallback);

    const auto widthOnly = xml (R"(<ScreenSetup><CurrentCompositionTextureSize width="1280"/></ScreenSetup>)");
    EXPECT_EQ (relinkCompositionSize (widthOnly.get()), juce::Point<int> (1280, 1080));
}
