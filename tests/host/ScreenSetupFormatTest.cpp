#include "host/ScreenSetupFormat.h"
#include "model/Ids.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
using Points = juce::Array<juce::Point<float>>;

Points points (std::initializer_list<std::pair<float, float>> xy)
{
    Points result;

    for (auto [x, y] : xy)
        result.add ({ x, y });

    return result;
}

std::unique_ptr<juce::XmlElement> xml (const char* text)
{
    auto element = juce::parseXML (juce::String::fromUTF8 (text));
    EXPECT_NE (element, nullptr) << text;
    return element;
}

juce::Array<ScreenInfo> screensOf (const char* setupText)
{
    auto setup = xml (setupText);
    return parseScreens (setup.get());
}

// One screen of one slice element, as the host nests them.
SliceInfo onlySliceOf (const juce::String& sliceText)
{
    const auto text = "<ScreenSetup><screens><Screen name=\"S\"><layers>" + sliceText + "</layers></Screen></screens></ScreenSetup>";
    auto setup = juce::parseXML (text);
    EXPECT_NE (setup, nullptr);
    const auto screens = parseScreens (setup.get());
    EXPECT_EQ (screens.size(), 1);
    EXPECT_EQ (screens[0].slices.size(), 1);
    return screens[0].slices[0];
}
} // namespace

TEST (ScreenSetupFormat, ReadsScreensAndSlicesLikeTheHostWritesThem)
{
    const auto screens = screensOf (R"(
        <ScreenSetup name="ScreenSetup">
          <Params name="ScreenSetupParams"/>
          <CurrentCompositionTextureSize width="1920" height="1080"/>
          <screens>
            <Screen name="Screen 1" uniqueId="1666869860661">
              <Params name="Params">
                <Param name="Name" T="STRING" default="" value="Screen 1"/>
                <Param name="Hidden" T="BOOL" default="0" value="0"/>
              </Params>
              <layers>
                <Slice uniqueId="1666869868462">
                  <Params name="Common">
                    <Param name="Name" T="STRING" default="Layer" value="Slice 2"/>
                    <Param name="Enabled" T="BOOL" default="1" value="1"/>
                  </Params>
                  <Params name="Output"><Param name="Flip" T="UINT8" default="0" value="2"/></Params>
                  <InputRect orientation="0.5">
                    <v x="371" y="176"/><v x="1920" y="176"/><v x="1920" y="1080"/><v x="371" y="1080"/>
                  </InputRect>
                  <OutputRect orientation="-0.25">
                    <v x="56.091583251953125" y="133.5576171875"/><v x="811" y="133.5"/>
                  </OutputRect>
                </Slice>
                <Mask uniqueId="1"><Params name="Common"><Param name="Name" value="Mask 1"/></Params></Mask>
                <Polygon uniqueId="1670085951745" IsVirgin="0">
                  <Params name="Common"><Param name="Name" value="Face Main"/></Params>
                  <InputContour closed="1"><points><v x="1" y="2"/><v x="3" y="4"/><v x="5" y="6"/></points></InputContour>
                  <OutputContour closed="1"><points><v x="7" y="8"/><v x="9" y="10"/></points></OutputContour>
                </Polygon>
                <DmxSlice uniqueId="77"/>
              </layers>
            </Screen>
            <Guides/>
            <DmxScreen name="Lights" uniqueId="-5"/>
          </screens>
        </ScreenSetup>)");

    ASSERT_EQ (screens.size(), 2);
    const auto& screen = screens[0];
    EXPECT_EQ (screen.name, "Screen 1");
    EXPECT_EQ (screen.uniqueId, 1666869860661LL);
    EXPECT_TRUE (screen.enabled);
    EXPECT_EQ (screen.outputRes, juce::Point<int>());

    // "Mask" layers are not slices.
    ASSERT_EQ (screen.slices.size(), 3);
    const auto& rect = screen.slices[0];
    EXPECT_EQ (rect.name, "Slice 2");
    EXPECT_EQ (rect.uniqueId, 1666869868462LL);
    EXPECT_TRUE (rect.enabled);
    EXPECT_EQ (rect.flip, 2);
    EXPECT_FLOAT_EQ (rect.inputOrientation, 0.5f);
    EXPECT_EQ (rect.inputRect, points ({ { 371, 176 }, { 1920, 176 }, { 1920, 1080 }, { 371, 1080 } }));
    EXPECT_FLOAT_EQ (rect.outputOrientation, -0.25f);
    EXPECT_EQ (rect.outputRect, points ({ { 56.091583251953125f, 133.5576171875f }, { 811, 133.5f } }));
    EXPECT_TRUE (rect.mask.isEmpty());
    EXPECT_TRUE (rect.outputContour.isEmpty());

    const auto& polygon = screen.slices[1];
    EXPECT_EQ (polygon.name, "Face Main");
    EXPECT_EQ (polygon.mask, points ({ { 1, 2 }, { 3, 4 }, { 5, 6 } }));
    EXPECT_EQ (polygon.outputContour, points ({ { 7, 8 }, { 9, 10 } }));

    EXPECT_EQ (screen.slices[2].uniqueId, 77);
    EXPECT_EQ (screen.slices[2].name, "");

    EXPECT_EQ (screens[1].name, "Lights");
    EXPECT_EQ (screens[1].uniqueId, -5);
    EXPECT_TRUE (screens[1].slices.isEmpty());
}

TEST (ScreenSetupFormat, ComparesTagsIgnoringCaseAndAttributesExactly)
{
    const auto screens = screensOf (R"(
        <root><Screens>
          <SCREEN Name="Wrong" name="Right"><LAYERS><polygon uniqueId="3"/></LAYERS></SCREEN>
          <screen Name="Only capital"/>
        </Screens></root>)");

    ASSERT_EQ (screens.size(), 2);
    EXPECT_EQ (screens[0].name, "Right");
    ASSERT_EQ (screens[0].slices.size(), 1);
    EXPECT_EQ (screens[0].slices[0].uniqueId, 3);
    EXPECT_EQ (screens[1].name, "");
}

TEST (ScreenSetupFormat, GivesNoScreensWithoutASetupOrItsScreensElement)
{
    EXPECT_TRUE (parseScreens (nullptr).isEmpty());
    EXPECT_TRUE (screensOf ("<ScreenSetup><Screen name=\"not in screens\"/></ScreenSetup>").isEmpty());
    EXPECT_TRUE (screensOf ("<ScreenSetup><screens/></ScreenSetup>").isEmpty());
}

TEST (ScreenSetupFormat, MarksScreensHiddenOnlyThroughTheirFirstParams)
{
    const auto screens = screensOf (R"(
        <s><screens>
          <Screen name="hidden"><Params><Param name="Hidden" value="1"/></Params></Screen>
          <Screen name="second params"><Params/><Params><Param name="Hidden" value="1"/></Params></Screen>
          <Screen name="no value"><Params><Param name="Hidden"/></Params></Screen>
          <Screen name="last counts"><Params><Param name="Hidden" value="1"/><Param name="Hidden" value="0"/></Params></Screen>
          <Screen name="wrong case"><Params><Param name="hidden" value="1"/></Params></Screen>
          <Screen name="no layers"><Slice uniqueId="9"/></Screen>
        </screens></s>)");

    ASSERT_EQ (screens.size(), 6);
    EXPECT_FALSE (screens[0].enabled);
    EXPECT_TRUE (screens[1].enabled);
    EXPECT_TRUE (screens[2].enabled);
    EXPECT_TRUE (screens[3].enabled);
    EXPECT_TRUE (screens[4].enabled);

    // A slice directly under the screen is not one of its layers.
    EXPECT_TRUE (screens[5].slices.isEmpty());
}

TEST (ScreenSetupFormat, ReadsSliceParametersWithTheirDefaults)
{
    struct Case { const char* params; const char* name; bool enabled; int flip; };
    const Case cases[] = {
        { "", "", true, 0 },
        { R"(<Params name="Common"><Param name="Name"/></Params>)", "Slice", true, 0 },
        { R"(<Params name="Common"><Param name="Name" value=""/></Params>)", "", true, 0 },
        { R"(<Params name="Common"><Param name="Name" value="A"/><Param name="Name" value="B"/></Params>)", "B", true, 0 },
        { R"(<Params name="Common"><Param name="Enabled" value="0"/></Params>)", "", false, 0 },
        { R"(<Params name="Common"><Param name="Enabled" value="yes"/></Params>)", "", false, 0 },
        { R"(<Params name="Common"><Param name="Enabled"/></Params>)", "", true, 0 },
        { R"(<Params name="Common"><Param name="Enabled" value="-2147483648"/></Params>)", "", true, 0 },
        { R"(<Params name="Output"><Param name="Flip" value="3"/></Params>)", "", true, 3 },
        { R"(<Params name="Output"><Param name="Flip"/></Params>)", "", true, 0 },
        { R"(<Params name="Output"><Param name="Flip" value="99999999999"/></Params>)", "", true, 0 },
        // Parameters count only in their own group.
        { R"(<Params name="Output"><Param name="Name" value="X"/><Param name="Enabled" value="0"/></Params>)", "", true, 0 },
        { R"(<Params name="Common"><Param name="Flip" value="1"/></Params>)", "", true, 0 },
        { R"(<Params name="common"><Param name="Name" value="X"/></Params>)", "", true, 0 },
        { R"(<Params><Param name="Name" value="X"/></Params>)", "", true, 0 },
        // Every "Params" group is read, the last value counting.
        { R"(<Params name="Common"><Param name="Name" value="A"/></Params><Params name="Common"><Param name="Name" value="C"/></Params>)", "C", true, 0 },
    };

    for (const auto& c : cases)
    {
        const auto slice = onlySliceOf (juce::String ("<Slice>") + c.params + "</Slice>");
        EXPECT_EQ (slice.name, c.name) << c.params;
        EXPECT_EQ (slice.enabled, c.enabled) << c.params;
        EXPECT_EQ (slice.flip, c.flip) << c.params;
    }
}

TEST (ScreenSetupFormat, ReadsUniqueIdsAsSigned64BitIntegers)
{
    struct Case { const char* text; juce::int64 expected; };
    const Case cases[] = { { "-12", -12 }, { "12abc", 12 }, { "abc", 0 }, { "", 0 },
                           { "1670085951745", 1670085951745LL }, { "123456789012345678901234", 0 } };

    for (const auto& c : cases)
        EXPECT_EQ (onlySliceOf (juce::String ("<Slice uniqueId=\"") + c.text + "\"/>").uniqueId, c.expected) << c.text;

    EXPECT_EQ (onlySliceOf ("<Slice/>").uniqueId, 0);
}

TEST (ScreenSetupFormat, PutsTheInputContourAfterTheMaskContour)
{
    const auto both = onlySliceOf (R"(
        <Slice>
          <SliceMask><ShapeObject><Shape><Contour closed="1">
            <points><v x="10" y="20"/><v x="30" y="40"/></points>
            <v x="666" y="666"/>
          </Contour></Shape></ShapeObject></SliceMask>
          <InputContour><points><v x="1" y="2"/></points><v x="999" y="999"/></InputContour>
        </Slice>)");
    EXPECT_EQ (both.mask, points ({ { 10, 20 }, { 30, 40 }, { 1, 2 } }));

    const auto contourOnly = onlySliceOf ("<Slice><InputContour><points><v x=\"5\" y=\"6\"/></points></InputContour></Slice>");
    EXPECT_EQ (contourOnly.mask, points ({ { 5, 6 } }));

    // Only the first element of each step of the mask's path is followed.
    const auto secondShape = onlySliceOf (R"(
        <Slice><SliceMask><ShapeObject><Shape/><Shape><Contour><points><v x="1" y="1"/></points></Contour></Shape></ShapeObject></SliceMask></Slice>)");
    EXPECT_TRUE (secondShape.mask.isEmpty());
}

TEST (ScreenSetupFormat, ReadsPointsWithMissingAndNonFiniteCoordinatesAsZero)
{
    const auto slice = onlySliceOf (R"(
        <Slice>
          <InputRect orientation="nan">
            <v x="5"/><v y="7"/><v/><v x="inf" y="-inf"/><v x="1e39" y="abc"/><V x="2" y="3"/>
          </InputRect>
          <OutputRect orientation="1e999"><v x="NaN" y="4"/></OutputRect>
        </Slice>)");

    EXPECT_EQ (slice.inputRect, points ({ { 5, 0 }, { 0, 7 }, { 0, 0 }, { 0, 0 }, { 0, 0 }, { 2, 3 } }));
    EXPECT_EQ (slice.inputOrientation, 0.0f);
    EXPECT_EQ (slice.outputRect, points ({ { 0, 4 } }));
    EXPECT_EQ (slice.outputOrientation, 0.0f);

    Points read;
    readXmlPoint (*xml ("<v x=\"-1.5\" y=\"2.25\"/>"), read);
    readXmlPoint (*xml ("<v/>"), read);
    EXPECT_EQ (read, points ({ { -1.5f, 2.25f }, { 0, 0 } }));
}

TEST (ScreenSetupFormat, FindsTheScreenSetupElementAtTheRootOrAsItsFirstChild)
{
    auto root = xml ("<screensetup presetFile=\"\"><screens/></screensetup>");
    EXPECT_EQ (findScreenSetupElement (*root), root.get());

    auto preset = xml ("<XmlState name=\"2 Faces\"><versionInfo/><SCREENSETUP n=\"1\"/><ScreenSetup n=\"2\"/></XmlState>");
    auto* found = findScreenSetupElement (*preset);
    ASSERT_NE (found, nullptr);
    EXPECT_EQ (found->getStringAttribute ("n"), "1");

    EXPECT_EQ (findScreenSetupElement (*xml ("<XmlState><Other><ScreenSetup/></Other></XmlState>")), nullptr);
}

TEST (ScreenSetupFormat, ReadsOutputResolutionFromASavedScreen)
{
    struct Case { juce::var text; juce::Point<int> expected; };
    const Case cases[] = {
        { "1920", { 1920, 0 } },
        { "1920,1080", { 1920, 1080 } },
        { " 1280 , 720", { 1280, 720 } },
        { "1920,1080,5", { 1920, 1080 } },
        { ",1080", { 0, 1080 } },
        { "wide,high", { 0, 0 } },
        { "", { 0, 0 } },
        { juce::var(), { 0, 0 } },
        { "99999999999,1", { 0, 1 } },
    };

    for (const auto& c : cases)
    {
        juce::ValueTree screen (ids::screen);
        screen.setProperty (ids::outputRes, c.text, nullptr);
        EXPECT_EQ (screenInfoFromTree (screen).outputRes, c.expected) << c.text.toString();
    }
}

TEST (ScreenSetupFormat, ReadsBackAScreenAsTheDocumentStoresIt)
{
    // Written the way the document keeps a screen: point lists as "points"
    // children, which the screen list does not need.
    juce::ValueTree screen (ids::screen);
    screen.setProperty (ids::name, "Head Projection 1", nullptr);
    screen.setProperty (ids::uniqueId, (juce::int64) 1666869875352LL, nullptr);
    screen.setProperty (ids::enabled, true, nullptr);

    juce::ValueTree slice (ids::slice);
    slice.setProperty (ids::name, "Face Main", nullptr);
    slice.setProperty (ids::uniqueId, (juce::int64) -12, nullptr);
    juce::ValueTree path (ids::points);
    path.setProperty (ids::name, ids::path.toString(), nullptr);
    path.appendChild (juce::ValueTree (ids::point, { { ids::x, 1.0 }, { ids::y, 2.0 } }), nullptr);
    slice.appendChild (path, nullptr);
    screen.appendChild (slice, nullptr);
    screen.appendChild (juce::ValueTree ("anything"), nullptr);

    // Through XML, as it comes back from the document file.
    const auto reread = juce::ValueTree::fromXml (*screen.createXml());

    for (const auto& tree : { screen, reread })
    {
        const auto info = screenInfoFromTree (tree);
        EXPECT_EQ (info.name, "Head Projection 1");
        EXPECT_EQ (info.uniqueId, 1666869875352LL);
        EXPECT_TRUE (info.enabled);
        EXPECT_EQ (info.outputRes, juce::Point<int>());
        ASSERT_EQ (info.slices.size(), 2);
        EXPECT_EQ (info.slices[0].name, "Face Main");
        EXPECT_EQ (info.slices[0].uniqueId, -12);
        EXPECT_FALSE (info.slices[0].enabled);
        EXPECT_EQ (info.slices[0].flip, 0);
        EXPECT_TRUE (info.slices[0].inputRect.isEmpty());
        EXPECT_TRUE (info.slices[0].mask.isEmpty());
        EXPECT_TRUE (info.slices[0].outputContour.isEmpty());
        EXPECT_TRUE (info.slices[0].outputRect.isEmpty());
        EXPECT_EQ (info.slices[1].name, "");
    }

    const auto missing = screenInfoFromTree (juce::ValueTree (ids::screen));
    EXPECT_FALSE (missing.enabled);
    EXPECT_EQ (missing.uniqueId, 0);
    EXPECT_TRUE (missing.slices.isEmpty());
}

TEST (ScreenSetupFormat, ReadsPointSubtreesOfASavedSliceWithoutNonFiniteValues)
{
    auto slice = juce::ValueTree (ids::slice, { { ids::enabled, "1" } });
    auto inputRect = juce::ValueTree (ids::inputRect, { { ids::orientation, 0.75 } });
    inputRect.appendChild (juce::ValueTree ("v", { { ids::x, 1.0 }, { ids::y, "2" } }), nullptr);
    inputRect.appendChild (juce::ValueTree ("whatever", { { ids::x, std::numeric_limits<double>::quiet_NaN() }, { ids::y, "inf" } }), nullptr);
    slice.appendChild (inputRect, nullptr);

    auto mask = juce::ValueTree (ids::mask);
    mask.appendChild (juce::ValueTree (ids::point, { { ids::x, 5 } }), nullptr);
    slice.appendChild (mask, nullptr);

    auto output = juce::ValueTree (ids::outputPoints, { { ids::orientation, "nan" } });
    output.appendChild (juce::ValueTree (ids::point, { { ids::x, 7 }, { ids::y, 1.0e300 } }), nullptr);
    slice.appendChild (output, nullptr);

    auto screen = juce::ValueTree (ids::screen);
    screen.appendChild (slice, nullptr);

    const auto info = screenInfoFromTree (screen);
    ASSERT_EQ (info.slices.size(), 1);
    const auto& read = info.slices[0];
    EXPECT_TRUE (read.enabled);
    EXPECT_FLOAT_EQ (read.inputOrientation, 0.75f);
    EXPECT_EQ (read.inputRect, points ({ { 1, 2 }, { 0, 0 } }));
    EXPECT_EQ (read.mask, points ({ { 5, 0 } }));
    EXPECT_EQ (read.outputOrientation, 0.0f);
    EXPECT_EQ (read.outputContour, points ({ { 7, 0 } }));
    EXPECT_TRUE (read.outputRect.isEmpty());
}
