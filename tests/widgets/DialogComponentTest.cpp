#include "widgets/DialogComponent.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
juce::String longMessage()
{
    juce::String text;

    for (int i = 1; i <= 30; ++i)
        text << "Sentence number " << i << " of a message far too long for the dialog to show at once. ";

    return text.trim();
}
} // namespace

TEST (DialogComponent, ButtonsStandRightAlignedFirstRightmostWithSeparatorsOnTheOthers)
{
    const juce::StringArray texts { "One", "Two", "Three" };
    DialogComponent dialog ("Title", "Message", texts);

    EXPECT_EQ (dialog.getLocalBounds(), juce::Rectangle<int> (0, 0, 800, 450));
    EXPECT_EQ (dialog.titleLabel.getBounds(), juce::Rectangle<int> (25, 0, 750, 100));
    EXPECT_EQ (dialog.viewport.getBounds(), juce::Rectangle<int> (25, 100, 750, 192));
    EXPECT_EQ (dialog.titleLabel.getText(), "Title");
    EXPECT_EQ (dialog.messageLabel.getText(), "Message");

    ASSERT_EQ (dialog.buttons.size(), 3);
    auto right = 775;

    for (int i = 0; i < texts.size(); ++i)
    {
        auto& button = *dialog.buttons[i];
        EXPECT_EQ (button.getButtonText(), texts[i]);
        EXPECT_EQ (button.getName(), texts[i]);
        EXPECT_EQ (button.getY(), 370);
        EXPECT_EQ (button.getHeight(), 60);
        EXPECT_EQ (button.getRight(), right) << texts[i];
        EXPECT_EQ (button.getWidth(), dialog.flatLook.getTextButtonWidthToFitText (button, 60));
        EXPECT_EQ (button.getConnectedEdgeFlags(), i == 0 ? 0 : juce::Button::ConnectedOnRight);
        right = button.getX();
    }

    // A button with the first one's text is not separated from it.
    DialogComponent repeated ("Title", "Message", { "OK", "Cancel", "OK" });
    EXPECT_EQ (repeated.buttons[1]->getConnectedEdgeFlags(), juce::Button::ConnectedOnRight);
    EXPECT_EQ (repeated.buttons[2]->getConnectedEdgeFlags(), 0);
}

TEST (DialogComponent, IsABorderlessWindowCentredOnTheMainDisplay)
{
    DialogComponent dialog ("Title", "Message", { "OK" });

    auto* peer = dialog.getPeer();
    ASSERT_NE (peer, nullptr);
    const auto flags = peer->getStyleFlags();
    EXPECT_NE (flags & juce::ComponentPeer::windowAppearsOnTaskbar, 0);
    EXPECT_NE (flags & juce::ComponentPeer::windowIsTemporary, 0);
    EXPECT_NE (flags & juce::ComponentPeer::windowHasDropShadow, 0);
    EXPECT_EQ (flags & juce::ComponentPeer::windowHasTitleBar, 0);

    if (auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        EXPECT_EQ (dialog.getBounds().getCentre(), display->userArea.getCentre());
}

TEST (DialogComponent, LongMessageScrollsVerticallyInsideTheViewport)
{
    DialogComponent shortOne ("Title", "Short.", { "OK" });
    EXPECT_LT (shortOne.messageLabel.getHeight(), 192);
    EXPECT_EQ (shortOne.messageLabel.getWidth(), 750);
    EXPECT_FALSE (shortOne.viewport.canScrollVertically());

    DialogComponent longOne ("Title", longMessage(), { "OK" });
    EXPECT_GT (longOne.messageLabel.getHeight(), 192);
    EXPECT_TRUE (longOne.viewport.canScrollVertically());
    // The label leaves room for the vertical scroll bar rather than
    // growing a horizontal one.
    EXPECT_EQ (longOne.messageLabel.getWidth(), 750 - longOne.viewport.getScrollBarThickness());
    EXPECT_FALSE (longOne.viewport.canScrollHorizontally());
    EXPECT_FALSE (longOne.viewport.getHorizontalScrollBar().isVisible());
}

TEST (DialogComponent, PaintsDarkenedBackgroundAndTheSeparatorAboveTheButtons)
{
    DialogComponent dialog ("Something happened", longMessage(), { "OK", "Cancel" });
    test::writeSnapshot (dialog, "DialogComponent-default-colours");
    const auto image = dialog.createComponentSnapshot (dialog.getLocalBounds());

    const auto background = dialog.backgroundColour.withBrightness (0.5f).withSaturation (0.95f);
    EXPECT_EQ (image.getPixelAt (5, 5), background);
    EXPECT_EQ (image.getPixelAt (5, 349), background);
    EXPECT_EQ (image.getPixelAt (5, 350), dialog.textColour.withSaturation (0.05f));
    EXPECT_EQ (image.getPixelAt (5, 351), background);
}

TEST (DialogComponent, ModalLoopEndsWithTheIndexOfTheClickedButton)
{
    for (int index = 0; index < 3; ++index)
    {
        DialogComponent dialog ("Title", "Pick one", { "First", "Second", "Third" });
        test::callAfter (100, [&] { test::clickThroughWindow (*dialog.buttons[index]); });
        EXPECT_EQ (dialog.runModalLoop(), index);
    }

    DialogComponent dialog ("Title", "Pick one", { "First" });
    juce::TextButton stranger;
    test::callAfter (100, [&] { dialog.buttonClicked (&stranger); });
    EXPECT_EQ (dialog.runModalLoop(), -1);
}
