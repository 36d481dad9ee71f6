#include "widgets/VersionSelectorComponent.h"
#include "widgets/DialogManager.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

TEST (VersionSelectorComponent, TwoPicturesShareTheRowBelowTheTitle)
{
    VersionSelectorComponent selector;

    EXPECT_EQ (selector.titleLabel.getText(), "Choose your flavor...");
    EXPECT_TRUE (selector.messageLabel.getText().isEmpty());
    EXPECT_TRUE (selector.buttons.isEmpty());
    ASSERT_EQ (selector.imageButtons.size(), 2);

    const juce::Rectangle<int> row (25, 150, 750, 100);
    const auto& six = *selector.imageButtons[0];
    const auto& a = *selector.imageButtons[1];

    for (auto* button : selector.imageButtons)
    {
        EXPECT_TRUE (row.contains (button->getBounds())) << button->getBounds().toString();
        EXPECT_GE (button->getWidth(), 250);
        EXPECT_EQ (button->getHeight(), 100); // the minimum height wins over the margins
        EXPECT_EQ (button->getNormalImage().getBounds(), juce::Rectangle<int> (0, 0, 512, 512));
        EXPECT_TRUE (button->isVisible());
    }

    EXPECT_LT (six.getRight(), a.getX());
    EXPECT_EQ (six.getX(), 28);
    EXPECT_EQ (a.getRight(), 772);
}

TEST (VersionSelectorComponent, ChooserAnswersZeroForTheSixAndOneForTheA)
{
    for (int picture = 0; picture < 2; ++picture)
    {
        test::callAfter (100, [picture]
        {
            auto* selector = dynamic_cast<VersionSelectorComponent*> (juce::Component::getCurrentlyModalComponent());

            if (selector == nullptr)
            {
                ADD_FAILURE() << "no version chooser on screen";
                juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
                return;
            }

            if (picture == 0)
                test::writeSnapshot (*selector, "VersionSelectorComponent");

            test::clickThroughWindow (*selector->imageButtons[picture]);
        });

        EXPECT_EQ (DialogManager::getInstance().chooseArenaVersion(), picture);
        EXPECT_EQ (juce::Component::getNumCurrentlyModalComponents(), 0);
    }
}
