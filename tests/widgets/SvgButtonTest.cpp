#include "widgets/SvgButton.h"
#include "support/TestSupport.h"

#include "CorvadineBinaryData.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
const juce::String squareSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10"><rect x="0" y="0" width="10" height="10"/></svg>)";

const juce::Colour normal { 0xffff0000 }, over { 0xff00ff00 }, down { 0xff0000ff }, disabled { 0xff808080 };

std::unique_ptr<SvgButton> makeButton (const juce::String& svg, int w = 20, int h = 20)
{
    auto button = std::make_unique<SvgButton> (svg.toRawUTF8(), (int) svg.getNumBytesAsUTF8());
    button->normalColour = normal;
    button->overColour = over;
    button->downColour = down;
    button->disabledColour = disabled;
    button->setBounds (0, 0, w, h);
    return button;
}

juce::Image paint (SvgButton& button, bool highlighted, bool down)
{
    juce::Image image (juce::Image::ARGB, button.getWidth(), button.getHeight(), true);
    juce::Graphics g (image);
    button.paintButton (g, highlighted, down);
    return image;
}
} // namespace

TEST (SvgButton, StateColourFollowsPriorityDisabledThenDownOrToggledThenOver)
{
    struct Case
    {
        bool selfEnabled, parentEnabled, toggled, down, highlighted;
        juce::Colour expected;
    };

    const Case cases[] = {
        { true, true, false, false, false, normal },
        { true, true, false, false, true, over },
        { true, true, false, true, true, down },
        { true, true, true, false, false, down },
        { true, true, true, true, true, down },
        { false, true, true, true, true, disabled },
        { false, true, false, false, false, disabled },
        { true, false, true, false, true, disabled },
        { true, false, false, false, false, disabled },
    };

    for (const auto& c : cases)
    {
        juce::Component parent;
        auto button = makeButton (squareSvg);
        parent.addAndMakeVisible (*button);
        parent.setEnabled (c.parentEnabled);
        button->setEnabled (c.selfEnabled);
        button->setClickingTogglesState (true);
        button->setToggleState (c.toggled, juce::dontSendNotification);

        const auto image = paint (*button, c.highlighted, c.down);
        EXPECT_EQ (image.getPixelAt (10, 10), c.expected)
            << "enabled " << c.selfEnabled << " parent " << c.parentEnabled << " toggled " << c.toggled
            << " down " << c.down << " over " << c.highlighted;
    }
}

TEST (SvgButton, UnassignedColoursDrawNothing)
{
    const auto svg = squareSvg;
    SvgButton button (svg.toRawUTF8(), (int) svg.getNumBytesAsUTF8());
    button.setBounds (0, 0, 20, 20);

    EXPECT_TRUE (button.getName().isEmpty());
    EXPECT_TRUE (button.getButtonText().isEmpty());
    EXPECT_EQ (paint (button, true, false).getPixelAt (10, 10).getAlpha(), 0);
}

TEST (SvgButton, OnShapeReplacesShapeOnlyWhileToggledOn)
{
    auto button = makeButton (squareSvg);
    button->onShape.addRectangle (0.0f, 0.0f, 10.0f, 1.0f); // a thin bar across the top

    EXPECT_EQ (paint (*button, false, false).getPixelAt (10, 15), normal);

    button->setToggleState (true, juce::dontSendNotification);
    const auto on = paint (*button, false, false);
    EXPECT_EQ (on.getPixelAt (10, 15).getAlpha(), 0) << "the square is not drawn while on";
    EXPECT_EQ (on.getPixelAt (10, 9), down) << "the bar, fitted and centred, is";
}

TEST (SvgButton, IconKeepsItsProportionsCentredInTheButton)
{
    // 448 x 512, drawn into 50 x 50: 43.75 wide, 50 high, 3.125 either side.
    const juce::String tall = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 448 512"><rect x="0" y="0" width="448" height="512"/></svg>)";
    auto button = makeButton (tall, 50, 50);
    const auto image = paint (*button, false, false);

    EXPECT_EQ (image.getPixelAt (2, 25).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (47, 25).getAlpha(), 0);
    // 7/8 of the edge columns are covered.
    EXPECT_NEAR (image.getPixelAt (3, 25).getAlpha(), 223, 3);
    EXPECT_NEAR (image.getPixelAt (46, 25).getAlpha(), 223, 3);
    EXPECT_EQ (image.getPixelAt (4, 25), normal);
    EXPECT_EQ (image.getPixelAt (25, 0), normal);
    EXPECT_EQ (image.getPixelAt (25, 49), normal);
}

TEST (SvgButton, TextThatDoesNotParseGivesAnEmptyShapeAndAWorkingButton)
{
    const juce::String texts[] = {
        "",
        "not an icon",
        "<svg xmlns=\"http://www.w3.org/2000/svg\"",
        "<html><body/></html>",
    };

    for (const auto& text : texts)
    {
        auto button = makeButton (text);
        EXPECT_TRUE (button->shape.isEmpty()) << text;
        EXPECT_EQ (paint (*button, true, true).getPixelAt (10, 10).getAlpha(), 0) << text;
    }

    SvgButton nothing (nullptr, 10);
    EXPECT_TRUE (nothing.shape.isEmpty());

    // Zero-size buttons and shapes draw without a fit transform.
    auto zero = makeButton (squareSvg, 0, 0);
    juce::Image image (juce::Image::ARGB, 4, 4, true);
    juce::Graphics g (image);
    zero->paintButton (g, false, false);

    int clicks = 0;
    auto broken = makeButton ("<svg");
    broken->onClick = [&] { ++clicks; };
    broken->setVisible (true);
    broken->triggerClick();
    EXPECT_TRUE (test::pumpUntil ([&] { return clicks == 1; }));
}

TEST (SvgButton, EmbeddedIconsParseWithTheirCutOutsOpen)
{
    struct Icon
    {
        const char* name;
        const char* data;
        int size;
        juce::Point<float> filled, cutOut; // in the icon's own coordinates
    };

    using namespace CorvadineBinaryData;
    const Icon icons[] = {
        { "lock", lock_svg, lock_svgSize, { 40, 300 }, { 224, 400 } },
        { "cog", cog_svg, cog_svgSize, { 256, 30 }, { 256, 256 } },
        { "plus-circle", pluscircle_svg, pluscircle_svgSize, { 150, 150 }, { 256, 256 } },
        { "minus-circle", minuscircle_svg, minuscircle_svgSize, { 256, 150 }, { 256, 256 } },
        { "chevron-circle-right", chevroncircleright_svg, chevroncircleright_svgSize, { 100, 256 }, { 296, 256 } },
        { "chevron-circle-left", chevroncircleleft_svg, chevroncircleleft_svgSize, { 400, 256 }, { 216, 256 } },
    };

    juce::Image sheet (juce::Image::ARGB, 6 * 70, 70, true);
    juce::Graphics g (sheet);
    g.fillAll (juce::Colours::white);

    for (int i = 0; i < (int) std::size (icons); ++i)
    {
        const auto& icon = icons[i];
        SvgButton button (icon.data, icon.size);
        EXPECT_FALSE (button.shape.isEmpty()) << icon.name;
        EXPECT_TRUE (button.shape.contains (icon.filled)) << icon.name;
        EXPECT_FALSE (button.shape.contains (icon.cutOut)) << icon.name;

        button.normalColour = juce::Colour (0xff54276c);
        button.setBounds (0, 0, 60, 60);
        juce::Graphics::ScopedSaveState state (g);
        g.setOrigin (i * 70 + 5, 5);
        button.paintButton (g, false, false);
    }

    test::writeSnapshot (sheet, "SvgButton-icons");
}

TEST (SvgButton, HiddenButtonContainsNoPoint)
{
    juce::Component window;
    window.setBounds (100, 100, 100, 100);
    window.addToDesktop (0);
    window.setVisible (true);

    auto button = makeButton (squareSvg, 50, 50);
    window.addAndMakeVisible (*button);
    EXPECT_TRUE (button->contains (juce::Point<int> { 25, 25 }));

    button->setVisible (false);
    EXPECT_FALSE (button->contains (juce::Point<int> { 25, 25 }));

    window.removeChildComponent (button.get());
    window.removeFromDesktop();
}
