#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
class DialogComponent;

// The one place through which the application shows modal dialogs: it
// holds their colours and the messages on screen, and runs each dialog's
// modal loop until one of its buttons is pressed.
//
// Modal loops are nested message loops: timers and other callbacks keep
// running while a dialog waits, and may ask for another dialog. A message
// that is already on screen is not shown a second time; any other opens on
// top.
class DialogManager
{
public:
    // The instance, created with the default colours on first use and
    // destroyed at exit.
    static DialogManager& getInstance();

    // Shows the message modally and returns when a button is pressed (the
    // button is not reported). Without button texts the dialog gets one
    // "OK" button, so it can always be closed. An empty message, or one
    // already on screen, shows nothing and returns at once.
    void showMessageDialog (const juce::String& title, const juce::String& message,
                            const juce::StringArray& buttonTexts);

    // Asks which host version to read: 0 for host version 6, 1 for 7.
    int chooseArenaVersion();

    // The message of the topmost message dialog on screen; empty when none
    // is open.
    juce::String getCurrentMessage() const;

    juce::Colour backgroundColour { 0xff19abff };
    juce::Colour accentColour { 0xffff9200 };
    juce::Colour textColour { 0xfff5f5f5 };

private:
    DialogManager() = default;

    void applyColours (DialogComponent& dialog) const;

    // Messages of the open message dialogs, bottom to top.
    juce::StringArray messagesOnScreen;

    JUCE_DECLARE_NON_COPYABLE (DialogManager)
};
} // namespace corvadine
