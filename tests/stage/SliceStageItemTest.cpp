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
