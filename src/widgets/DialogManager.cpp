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
    if (message.isEmpty() || messagesOnScreen.contains (message))
        return;

    messagesOnScreen.add (message);

    {
        DialogComponent dialog (title, message, buttonTexts.isEmpty() ? juce::StringArray { "OK" } : buttonTexts);
        applyColours (dialog);
        dialog.runModalLoop();
    }

    // Dialogs close in the reverse order of opening (each loop runs inside
    // the one below it), so this one's message is the last.
    messagesOnScreen.removeString (message);
}

int DialogManager::chooseArenaVersion()
{
    VersionSelectorComponent selector;
    selector.resized();
    applyColours (selector);

    // A loop ended by anything but a picture (the application quitting)
    // counts as the first answer.
    return selector.runModalLoop() == 1 ? 1 : 0;
}
} // namespace corvadine
