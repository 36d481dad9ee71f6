#include "widgets/DialogManager.h"

#include "widgets/DialogComponent.h"
#include "widgets/VersionSelectorComponent.h"

namespace corvadine
{
DialogManager& DialogManager::getInstance()
{
    static DialogManager instance;
    return instance;
}

juce::String DialogManager::getCurrentMessage() const
{
    return messagesOnScreen.isEmpty() ? juce::String() : messagesOnScreen[messagesOnScreen.size() - 1];
}

void DialogManager::applyColours (DialogComponent& dialog) const
{
    dialog.backgroundColour = backgroundColour;
    dialog.accentColour = accentColour;
    dialog.titleLabel.setColour (juce::Label::textColourId, accentColour.withSaturation (0.75f));
    dialog.textColour = textColour;
    dialog.messageLabel.setColour (juce::Label::textColourId, textColour);
    dialog.viewport.getVerticalScrollBar().setColour (juce::ScrollBar::thumbColourId, accentColour);
    dialog.repaint();
}

void DialogManager::showMessageDialog (const juce::String& title, const juce::String& message,
                                       const juce::StringArray& buttonTexts)
{
    runMessage (Request::Kind::message, title, message, buttonTexts);
}

int DialogManager::showChoiceDialog (const juce::String& title, const juce::String& message,
                                     const juce::StringArray& buttonTexts)
{
    return runMessage (Request::Kind::choice, title, message, buttonTexts);
}

int DialogManager::runMessage (Request::Kind kind, const juce::String& title, const juce::String& message,
                               const juce::StringArray& buttonTexts)
{
    if (message.isEmpty() || messagesOnScreen.contains (message))
        return -1;

    const auto texts = buttonTexts.isEmpty() ? juce::StringArray { "OK" } : buttonTexts;
    int pressed = -1;

    messagesOnScreen.add (message);

    if (answerer != nullptr)
    {
        pressed = answerer->respond ({ kind, title, message, texts });
    }
    else
    {
        DialogComponent dialog (title, message, texts);
        applyColours (dialog);

        // The modal loop's own result cannot tell the first button from a
        // loop ended by quitting, so the press is recorded by the buttons.
        for (int i = 0; i < dialog.buttons.size(); ++i)
            dialog.buttons[i]->onClick = [&pressed, i] { pressed = i; };

        dialog.runModalLoop();
    }

    // Dialogs close in the reverse order of opening (each loop runs inside
    // the one below it), so this one's message is the last.
    messagesOnScreen.removeString (message);
    return juce::isPositiveAndBelow (pressed, texts.size()) ? pressed : -1;
}

int DialogManager::chooseArenaVersion()
{
    if (answerer != nullptr)
        return answerer->respond ({ Request::Kind::hostVersion, {}, {}, { "6", "7" } }) == 1 ? 1 : 0;

    VersionSelectorComponent selector;
    selector.resized();
    applyColours (selector);

    // A loop ended by anything but a picture (the application quitting)
    // counts as the first answer.
    return selector.runModalLoop() == 1 ? 1 : 0;
}

DialogManager::ScopedAnswerer::ScopedAnswerer (std::function<int (const Request&)> answerFunction)
    : answer (std::move (answerFunction))
{
    auto& manager = DialogManager::getInstance();
    outer = manager.answerer;
    manager.answerer = this;
}

DialogManager::ScopedAnswerer::~ScopedAnswerer()
{
    auto& manager = DialogManager::getInstance();

    // Answerers end in the reverse order of their making.
    jassert (manager.answerer == this);
    manager.answerer = outer;
}

int DialogManager::ScopedAnswerer::respond (const Request& request)
{
    requests.add (request);
    return answer != nullptr ? answer (request) : -1;
}
} // namespace corvadine
