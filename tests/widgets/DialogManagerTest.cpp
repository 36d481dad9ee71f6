#include "widgets/DialogManager.h"
#include "widgets/DialogComponent.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
DialogComponent* topDialog()
{
    return dynamic_cast<DialogComponent*> (juce::Component::getCurrentlyModalComponent());
}

// Presses the first button of the topmost dialog; when there is none, fails
// and ends every modal loop so the test cannot hang.
void pressTopDialogsButton()
{
    if (auto* dialog = topDialog(); dialog != nullptr && ! dialog->buttons.isEmpty())
        return test::clickThroughWindow (*dialog->buttons[0]);

    ADD_FAILURE() << "no dialog with a button on screen";
    juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
}

struct ScopedColours
{
    ScopedColours (juce::Colour background, juce::Colour accent, juce::Colour text)
    {
        auto& manager = DialogManager::getInstance();
        manager.backgroundColour = background;
        manager.accentColour = accent;
        manager.textColour = text;
    }

    ~ScopedColours()
    {
        auto& manager = DialogManager::getInstance();
        manager.backgroundColour = juce::Colour (0xff19abff);
        manager.accentColour = juce::Colour (0xffff9200);
        manager.textColour = juce::Colour (0xfff5f5f5);
    }
};
} // namespace

TEST (DialogManager, OneInstanceWithDefaultColours)
{
    auto& manager = DialogManager::getInstance();
    EXPECT_EQ (&manager, &DialogManager::getInstance());
    EXPECT_EQ (manager.backgroundColour, juce::Colour (0xff19abff));
    EXPECT_EQ (manager.accentColour, juce::Colour (0xffff9200));
    EXPECT_EQ (manager.textColour, juce::Colour (0xfff5f5f5));
    EXPECT_TRUE (manager.getCurrentMessage().isEmpty());
}

TEST (DialogManager, MessageDialogWithoutButtonTextsHasOneOkButtonAndCloses)
{
    juce::StringArray shownButtons;
    juce::String shownTitle, shownMessage;

    test::callAfter (100, [&]
    {
        if (auto* dialog = topDialog())
        {
            for (auto* button : dialog->buttons)
                shownButtons.add (button->getButtonText());

            shownTitle = dialog->titleLabel.getText();
            shownMessage = dialog->messageLabel.getText();
            EXPECT_EQ (DialogManager::getInstance().getCurrentMessage(), "Something to know.");
        }

        pressTopDialogsButton();
    });

    DialogManager::getInstance().showMessageDialog ("Note", "Something to know.", {});

    EXPECT_EQ (shownButtons, juce::StringArray { "OK" });
    EXPECT_EQ (shownTitle, "Note");
    EXPECT_EQ (shownMessage, "Something to know.");
    EXPECT_TRUE (DialogManager::getInstance().getCurrentMessage().isEmpty());
    EXPECT_EQ (juce::Component::getNumCurrentlyModalComponents(), 0);
    EXPECT_EQ (juce::TopLevelWindow::getNumTopLevelWindows(), 0);
}

TEST (DialogManager, DialogTakesTheManagersColours)
{
    // The colours the main window sets at start-up.
    const ScopedColours colours (juce::Colour (0xff54276c), juce::Colour (0xffdfdf17), juce::Colour (0xffffff00));
    juce::String message;

    for (int i = 1; i <= 12; ++i)
        message << "Line " << i << " of a message that needs the scroll bar.\n";

    test::callAfter (100, [&]
    {
        if (auto* dialog = topDialog())
        {
            EXPECT_EQ (dialog->titleLabel.findColour (juce::Label::textColourId), juce::Colour (0xffdfdf17).withSaturation (0.75f));
            EXPECT_EQ (dialog->messageLabel.findColour (juce::Label::textColourId), juce::Colour (0xffffff00));
            EXPECT_EQ (dialog->viewport.getVerticalScrollBar().findColour (juce::ScrollBar::thumbColourId), juce::Colour (0xffdfdf17));
            EXPECT_TRUE (dialog->viewport.canScrollVertically());

            test::writeSnapshot (*dialog, "DialogManager-message");
            const auto image = dialog->createComponentSnapshot (dialog->getLocalBounds());
            EXPECT_EQ (image.getPixelAt (5, 5), juce::Colour (0xff54276c).withBrightness (0.5f).withSaturation (0.95f));
        }

        pressTopDialogsButton();
    });

    DialogManager::getInstance().showMessageDialog ("Can't update plugins", message.trim(), { "OK" });
}

TEST (DialogManager, MessageAlreadyOnScreenIsNotShownAgainOthersOpenOnTop)
{
    auto& manager = DialogManager::getInstance();
    const juce::String outer = "The outer message.", inner = "The inner message.";
    bool innerChecked = false, outerChecked = false;

    test::callAfter (100, [&]
    {
        // Inside the outer dialog's loop: the same message returns at once.
        manager.showMessageDialog ("Again", outer, { "OK" });
        EXPECT_EQ (juce::Component::getNumCurrentlyModalComponents(), 1);

        test::callAfter (100, [&]
        {
            // Inside the inner dialog's loop, on top of the outer one.
            EXPECT_EQ (juce::Component::getNumCurrentlyModalComponents(), 2);
            EXPECT_EQ (manager.getCurrentMessage(), inner);
            manager.showMessageDialog ("Again", inner, { "OK" });
            manager.showMessageDialog ("Again", outer, { "OK" });
            EXPECT_EQ (juce::Component::getNumCurrentlyModalComponents(), 2);
            innerChecked = true;
            pressTopDialogsButton();
        });

        manager.showMessageDialog ("Inner", inner, { "OK" });

        // The inner one has closed; the outer is still on screen and still
        // counts as shown.
        EXPECT_EQ (juce::Component::getNumCurrentlyModalComponents(), 1);
        EXPECT_EQ (manager.getCurrentMessage(), outer);
        manager.showMessageDialog ("Again", outer, { "OK" });
        EXPECT_EQ (juce::Component::getNumCurrentlyModalComponents(), 1);
        outerChecked = true;
        pressTopDialogsButton();
    });

    manager.showMessageDialog ("Outer", outer, { "OK" });

    EXPECT_TRUE (innerChecked);
    EXPECT_TRUE (outerChecked);
    EXPECT_TRUE (manager.getCurrentMessage().isEmpty());
    EXPECT_EQ (juce::Component::getNumCurrentlyModalComponents(), 0);
}

TEST (DialogManager, EmptyMessageOpensNothing)
{
    bool sawDialog = false, looked = false;
    test::callAfter (1, [&]
    {
        sawDialog = topDialog() != nullptr;
        looked = true;
    });

    DialogManager::getInstance().showMessageDialog ("Title", {}, { "OK" });

    // Waits for the look even on a loaded machine, so the call is never
    // left pending at exit.
    EXPECT_TRUE (test::pumpUntil ([&] { return looked; }));

    EXPECT_FALSE (sawDialog);
    EXPECT_EQ (juce::Component::getNumCurrentlyModalComponents(), 0);
}
