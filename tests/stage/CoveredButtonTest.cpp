#include "stage/CoveredButton.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

TEST (CoveredButton, FillFollowsTheFocalSelectionAndTheToggle)
{
    EXPECT_EQ (CoveredButton::fillColour (true, true), juce::Colour (0xbfdfdf17));
    EXPECT_EQ (CoveredButton::fillColour (true, false), juce::Colour (0xbf8207c6));
    EXPECT_EQ (CoveredButton::fillColour (false, true), juce::Colour (0xbf8207c6));
    EXPECT_EQ (CoveredButton::fillColour (false, false), juce::Colour (0x0d8207c6));
}

TEST (CoveredButton, DrawsOnlyItsShapeAndTakesClicksOnlyInsideIt)
{
    CoveredButton button;
    button.setClickingTogglesState (true);
    button.setButtonText ("never drawn");
    button.setBounds (0, 0, 100, 100);
    // A triangle over the top-left half of the bounds.
    button.shape.addTriangle (0, 0, 100, 0, 0, 100);

    EXPECT_TRUE (button.hitTest (20, 20));
    EXPECT_FALSE (button.hitTest (90, 90)); // inside the bounds, outside the slice

    button.setToggleState (true, juce::dontSendNotification);
    auto image = button.createComponentSnapshot (button.getLocalBounds());
    EXPECT_EQ (image.getPixelAt (20, 20).getAlpha(), 0xbf);
    EXPECT_EQ (image.getPixelAt (90, 90).getAlpha(), 0);
}
