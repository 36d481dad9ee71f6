#include "stage/FocalOverlay.h"

#include <gtest/gtest.h>

using namespace corvadine;

TEST (FocalOverlay, ShowsTheScaleAsWholePercents)
{
    struct Case
    {
        juce::Point<float> scale;
        const char* text;
    };

    const Case cases[] = {
        { { 0.5f, 0.5f }, "50%" },
        { { 1.5f, 1.25f }, "150%, 125%" },
        { { 1.004f, 1.0f }, "100%" },     // 0.004 apart: one number
        { { 1.0f, 0.75f }, "100%, 75%" },
        { { 0.999f, 0.999f }, "99%" },    // truncated, not rounded
        { { 0.29f, 0.57f }, "29%, 57%" }, // the float product, not a widened one just below
        { { 1.13f, 1.13f }, "113%" },
        { { 0.0f, 0.0f }, "0%" },
        { { std::numeric_limits<float>::infinity(), 1.0f }, "" },
        { { 1.0e30f, 1.0e30f }, "1000000000%" },
    };

    for (auto& c : cases)
        EXPECT_EQ (FocalOverlay::scaleText (c.scale), c.text) << c.scale.toString();
}

TEST (FocalOverlay, NeverTakesTheMouse)
{
    FocalOverlay overlay;
    bool self = true, children = true;
    overlay.getInterceptsMouseClicks (self, children);
    EXPECT_FALSE (self);
    EXPECT_FALSE (children);
}
