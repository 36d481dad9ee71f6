// The choice dialog and the answerer that stands in for the user.
#include "widgets/DialogComponent.h"
#include "widgets/DialogManager.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;
using Request = DialogManager::Request;

namespace
{
DialogComponent* topDialog()
{
    return dynamic_cast<DialogComponent*> (juce::Component::getCurrentlyModalComponent());
}
} // namespace

TEST (DialogChoice, ReturnsTheIndexOfTheButtonClickedInTheWindow)
{
    const juce::StringArray texts { "Retry", "Save as...", "Discard changes" };

    for (int wanted = 0; wanted < texts.size(); ++wanted)
    {
        juce::StringArray shown;

        test::callAfter (100, [&]
        {
            auto* dialog = topDialog();
            ASSERT_NE (dialog, nullptr);

            for (auto* button : dialog->buttons)
                shown.add (button->getButtonText());

            test::clickThroughWindow (*dialog->buttons[wanted]);
        });

        EXPECT_EQ (DialogManager::getInstance().showChoiceDialog ("Title", "Which one?", texts), wanted);
        EXPECT_EQ (shown, texts);
        EXPECT_EQ (juce::Component::getNumCurrentlyModalComponents(), 0);
    }
}

TEST (DialogChoice, EndedWithoutAButtonOrNotShownGivesMinusOne)
{
    auto& manager = DialogManager::getInstance();

    // The application quitting ends every modal loop.
    test::callAfter (100, [] { juce::ModalComponentManager::getInstance()->cancelAllModalComponents(); });
    EXPECT_EQ (manager.showChoiceDialog ("Title", "Cancelled.", { "OK", "Other" }), -1);

    EXPECT_EQ (manager.showChoiceDialog ("Title", {}, { "OK" }), -1);

    // The same message already on screen is not shown a second time.
    int inner = 0;
    test::callAfter (100, [&]
    {
        inner = manager.showChoiceDialog ("Again", "On screen.", { "OK" });
        test::clickThroughWindow (*topDialog()->buttons[0]);
    });
    EXPECT_EQ (manager.showChoiceDialog ("Title", "On screen.", { "OK" }), 0);
    EXPECT_EQ (inner, -1);
}

TEST (DialogAnswerer, AnswersEveryKindOfDialogWithoutAModalLoopAndRecordsIt)
{
    auto& manager = DialogManager::getInstance();
    int modalSeen = 0;

    DialogManager::ScopedAnswerer answerer ([&] (const Request& request)
    {
        modalSeen += juce::Component::getNumCurrentlyModalComponents();
        EXPECT_EQ (manager.getCurrentMessage(), request.message);

        switch (request.kind)
        {
            case Request::Kind::choice: return 2;
            case Request::Kind::hostVersion: return 1;
            case Request::Kind::message: break;
        }

        return 0;
    });

    manager.showMessageDialog ("Stage relinked...", "Relinked 3 out of 4 slices.", { "OK" });
    EXPECT_EQ (manager.showChoiceDialog ("Save failed", "Could not write.", { "Retry", "Save as...", "Discard" }), 2);
    EXPECT_EQ (manager.chooseArenaVersion(), 1);
    manager.showMessageDialog ("Nothing", {}, {});

    EXPECT_EQ (modalSeen, 0);
    EXPECT_TRUE (manager.getCurrentMessage().isEmpty());
    ASSERT_EQ (answerer.requests.size(), 3);

    const auto& first = answerer.requests.getReference (0);
    EXPECT_EQ (first.kind, Request::Kind::message);
    EXPECT_EQ (first.title, "Stage relinked...");
    EXPECT_EQ (first.message, "Relinked 3 out of 4 slices.");
    EXPECT_EQ (first.buttons, juce::StringArray { "OK" });

    const auto& second = answerer.requests.getReference (1);
    EXPECT_EQ (second.kind, Request::Kind::choice);
    EXPECT_EQ (second.buttons, (juce::StringArray { "Retry", "Save as...", "Discard" }));

    EXPECT_EQ (answerer.requests.getReference (2).kind, Request::Kind::hostVersion);
    EXPECT_EQ (answerer.requests.getReference (2).buttons, (juce::StringArray { "6", "7" }));
}

TEST (DialogAnswerer, InnermostAnswersAndAnswersOutOfRangeCountAsNoButton)
{
    auto& manager = DialogManager::getInstance();
    DialogManager::ScopedAnswerer outer ([] (const Request&) { return 0; });

    {
        DialogManager::ScopedAnswerer inner ([] (const Request&) { return 7; });
        EXPECT_EQ (manager.showChoiceDialog ("T", "Inner.", { "A", "B" }), -1);
        EXPECT_EQ (manager.chooseArenaVersion(), 0);
        EXPECT_EQ (inner.requests.size(), 2);
    }

    EXPECT_EQ (manager.showChoiceDialog ("T", "Outer.", { "A", "B" }), 0);
    EXPECT_EQ (outer.requests.size(), 1);

    // A dialog asked for from inside an answer is answered too, and the
    // rule for a message already on screen still holds.
    int nested = 0;
    DialogManager::ScopedAnswerer asking ([&] (const Request& request)
    {
        if (request.message == "First.")
        {
            nested = manager.showChoiceDialog ("T", "Second.", { "A", "B" });
            EXPECT_EQ (manager.showChoiceDialog ("T", "First.", { "A" }), -1);
        }

        return 1;
    });

    EXPECT_EQ (manager.showChoiceDialog ("T", "First.", { "A", "B" }), 1);
    EXPECT_EQ (nested, 1);
    EXPECT_EQ (asking.requests.size(), 2);
}
