#include "stage/SliceStageItem.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
void expectColourNear (juce::Colour actual, juce::Colour expected, const char* what)
{
    EXPECT_NEAR (actual.getAlpha(), expected.getAlpha(), 2) << what;
    EXPECT_NEAR (actual.getRed(), expected.getRed(), 3) << what;
    EXPECT_NEAR (actual.getGreen(), expected.getGreen(), 3) << what;
    EXPECT_NEAR (actual.getBlue(), expected.getBlue(), 3) << what;
}
} // namespace

TEST (SliceStageItem, PositionIsTheBoundsCentreRelativeToTheStageCentre)
{
    EXPECT_EQ (SliceStageItem::positionText ({ 49000, 4460, 2000, 1080 }), "0, 0");
    EXPECT_EQ (SliceStageItem::positionText ({ 49000, 4461, 2001, 1081 }), "0, 1");
    EXPECT_EQ (SliceStageItem::positionText ({ 0, 0, 100, 100 }), "-49950, -4950");
}

TEST (SliceStageItem, FillAndStrokeFollowTheSelection)
{
    SliceStageItem item;
    juce::Array<juce::Point<float>> corners;
    for (auto p : { juce::Point<float> (0, 0), juce::Point<float> (200, 0), juce::Point<float> (200, 100), juce::Point<float> (0, 100) })
        corners.add (p);
    item.setOutline (corners, 0.0f);

    auto plain = item.createComponentSnapshot (item.getLocalBounds());
    expectColourNear (plain.getPixelAt (100, 80), juce::Colour (0x808207c6), "unselected fill");

    item.setSelected (true);
    auto chosen = item.createComponentSnapshot (item.getLocalBounds());
    expectColourNear (chosen.getPixelAt (100, 80), juce::Colour (0xe6dfdf17), "selected fill");
    // The edge is drawn purple over the yellow fill (half a pixel of it lies inside).
    EXPECT_LT (chosen.getPixelAt (100, 0).getGreen(), chosen.getPixelAt (100, 80).getGreen() - 50);
    EXPECT_GT (plain.getPixelAt (100, 0).getGreen(), plain.getPixelAt (100, 80).getGreen() + 50);
}

namespace
{
// Where the item's texts are drawn: the rows and the horizontal extent of
// the pixels in the text colour (yellow over the purple fill, purple over
// the yellow fill of a selected item), inside the outline's stroke.
struct TextInk
{
    int count = 0;
    float meanY = 0.0f;
    int left = 1 << 30, right = -1;
};

TextInk inkIn (const juce::Image& image, bool selected, int top, int bottom)
{
    TextInk ink;
    double sumY = 0.0;

    for (int y = juce::jmax (3, top); y < juce::jmin (image.getHeight() - 3, bottom); ++y)
        for (int x = 3; x < image.getWidth() - 3; ++x)
        {
            const auto green = image.getPixelAt (x, y).getGreen();

            if (selected ? green < 0x80 : green > 0x80)
            {
                ++ink.count;
                sumY += y;
                ink.left = juce::jmin (ink.left, x);
                ink.right = juce::jmax (ink.right, x);
            }
        }

    if (ink.count > 0)
        ink.meanY = (float) (sumY / ink.count);

    return ink;
}

// A slice item of the size on a stand-in stage, its bounds' centre at the
// given offset from the stage centre.
struct OnStage
{
    OnStage (int w, int h, juce::Point<int> offset = {})
    {
        stage.setSize (100000, 10000);
        item.setName ("Front of house left wing");
        juce::Array<juce::Point<float>> corners;
        for (auto p : { juce::Point<float> (0, 0), juce::Point<float> ((float) w, 0), juce::Point<float> ((float) w, (float) h),
                        juce::Point<float> (0, (float) h) })
            corners.add (p);
        item.setOutline (corners, 0.0f);
        item.setPlacement (juce::AffineTransform::translation ((float) (50000 + offset.x - w / 2), (float) (5000 + offset.y - h / 2)));
        stage.addAndMakeVisible (item);
    }

    juce::Image draw() { return item.createComponentSnapshot (item.getLocalBounds()); }

    juce::Component stage;
    SliceStageItem item;
};
} // namespace

// The name shows while the pointer is over the item or while it is
// selected; selected and at least 64 units high, the name moves up by 16 and
// the position relative to the stage centre shows 16 below the middle.
TEST (SliceStageItem, TextsFollowHoverSelectionAndTheSixtyFourUnitHeight)
{
    {
        OnStage s (600, 200);
        EXPECT_EQ (inkIn (s.draw(), false, 0, 200).count, 0) << "neither hovered nor selected: no text";

        s.item.hovered = true;
        const auto name = inkIn (s.draw(), false, 0, 200);
        EXPECT_GT (name.count, 50);
        EXPECT_NEAR (name.meanY, 100.0f, 6.0f) << "hovered: the name in the middle";
    }

    {
        // Selected, 200 high: the name above the middle, the short position
        // text below it.
        OnStage s (600, 200);
        s.item.setSelected (true);
        const auto image = s.draw();
        const auto upper = inkIn (image, true, 60, 100), lower = inkIn (image, true, 100, 140);
        ASSERT_GT (upper.count, 50);
        ASSERT_GT (lower.count, 20);
        EXPECT_NEAR (upper.meanY, 84.0f, 6.0f);
        EXPECT_NEAR (lower.meanY, 116.0f, 6.0f);
        EXPECT_LT (lower.right - lower.left, (upper.right - upper.left) / 2) << "\"0, 0\" is shorter than the name";

        // Hovered as well changes nothing.
        s.item.hovered = true;
        EXPECT_EQ (inkIn (s.draw(), true, 0, 200).count, inkIn (image, true, 0, 200).count);
    }

    {
        // The position is the bounds' centre relative to the stage centre:
        // further off, it takes more digits.
        OnStage near (600, 200), far (600, 200, { -12345, 2500 });
        near.item.setSelected (true);
        far.item.setSelected (true);
        const auto nearText = inkIn (near.draw(), true, 100, 140), farText = inkIn (far.draw(), true, 100, 140);
        EXPECT_GT (farText.right - farText.left, 2 * (nearText.right - nearText.left));
    }

    {
        // At 64 units two texts: the name centred 16 above the middle (at
        // 16), the position 16 below (at 48). At 63 the name alone, in the
        // middle, as wide as before.
        OnStage tall (600, 64), low (600, 63);
        tall.item.setSelected (true);
        low.item.setSelected (true);

        const auto tallImage = tall.draw(), lowImage = low.draw();
        const auto tallName = inkIn (tallImage, true, 0, 32), tallPosition = inkIn (tallImage, true, 32, 64);
        EXPECT_GT (tallPosition.count, 10);
        EXPECT_LT (tallPosition.right - tallPosition.left, (tallName.right - tallName.left) / 2);

        const auto lowAll = inkIn (lowImage, true, 0, 63);
        EXPECT_NEAR (lowAll.meanY, 31.5f, 4.0f);
        EXPECT_NEAR ((float) (lowAll.right - lowAll.left), (float) (tallName.right - tallName.left), 4.0f);
        EXPECT_LT (tallName.meanY, lowAll.meanY - 6.0f);
    }
}
