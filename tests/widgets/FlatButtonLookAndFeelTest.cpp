#include "widgets/FlatButtonLookAndFeel.h"
#include "platform/Typefaces.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
// Paints a text-less button (so only the background shows) with the look.
juce::Image paintBackground (FlatButtonLookAndFeel& look, int connectedEdges, bool over, bool down)
{
    juce::TextButton button;
    button.setBounds (0, 0, 100, 40);
    button.setConnectedEdges (connectedEdges);

    juce::Image image (juce::Image::ARGB, 100, 40, true);
    juce::Graphics g (image);
    look.drawButtonBackground (g, button, juce::Colours::red, over, down);
    return image;
}

bool isBlank (const juce::Image& image)
{
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getAlpha() != 0)
                return false;

    return true;
}
} // namespace

TEST (FlatButtonLookAndFeel, FontIsBoldVerdanaCappedAtFifteen)
{
    FlatButtonLookAndFeel look;
    juce::TextButton button ("OK");

    const auto tall = look.getTextButtonFont (button, 40);
    EXPECT_FLOAT_EQ (tall.getHeight(), 15.0f);
    EXPECT_TRUE (tall.isBold());
    EXPECT_EQ (tall.getTypefaceName(), installedTypefaceName ("Verdana"));

    EXPECT_FLOAT_EQ (look.getTextButtonFont (button, 20).getHeight(), 12.0f);
}

TEST (FlatButtonLookAndFeel, OnlyAButtonConnectedOnItsRightDrawsItsSeparator)
{
    FlatButtonLookAndFeel look;

    for (auto [over, down] : { std::pair { false, false }, { true, false }, { true, true } })
    {
        EXPECT_TRUE (isBlank (paintBackground (look, 0, over, down)));
        EXPECT_TRUE (isBlank (paintBackground (look, juce::Button::ConnectedOnLeft, over, down)));
        EXPECT_TRUE (isBlank (paintBackground (look, juce::Button::ConnectedOnTop | juce::Button::ConnectedOnBottom, over, down)));

        // A white line on the right edge over the middle quarter of the
        // height (15 to 25 of 40), nothing elsewhere.
        const auto image = paintBackground (look, juce::Button::ConnectedOnRight | juce::Button::ConnectedOnLeft, over, down);
        for (int y = 16; y < 25; ++y)
        {
            EXPECT_GT (image.getPixelAt (99, y).getAlpha(), 0) << y;
            EXPECT_EQ (image.getPixelAt (99, y).withAlpha ((juce::uint8) 0xff), juce::Colours::white) << y;
        }
        EXPECT_EQ (image.getPixelAt (99, 10).getAlpha(), 0);
        EXPECT_EQ (image.getPixelAt (99, 30).getAlpha(), 0);
        EXPECT_EQ (image.getPixelAt (98, 20).getAlpha(), 0);
        EXPECT_EQ (image.getPixelAt (50, 20).getAlpha(), 0);
    }
}
