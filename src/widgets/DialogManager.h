#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

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

    // Shows the message modally with one button per text (the first
    // rightmost) and returns the index of the pressed button; -1 when the
    // dialog ended without one (the application quitting), and when nothing
    // was shown because the message is empty or already on screen. Without
    // button texts the dialog gets one "OK" button.
    int showChoiceDialog (const juce::String& title, const juce::String& message,
                          const juce::StringArray& buttonTexts);

    // Asks which host version to read: 0 for host version 6, 1 for 7.
    int chooseArenaVersion();

    // What a dialog asks, as an answerer sees it.
    struct Request
    {
        enum class Kind
        {
            message,    // showMessageDialog
            choice,     // showChoiceDialog
            hostVersion // chooseArenaVersion ("6" and "7" as buttons)
        };

        Kind kind = Kind::message;
        juce::String title;
        juce::String message;
        juce::StringArray buttons;
    };

    // While one exists, every dialog is answered by its function instead of
    // a modal loop (the innermost answerer wins), and every request is
    // recorded. For tests, and for code that must run where no one can
    // click. The function returns the index of the button to press
    // (for the host version: 0 for 6, 1 for 7); an index that names no
    // button counts as a dialog ended without one.
    class ScopedAnswerer
    {
    public:
        explicit ScopedAnswerer (std::function<int (const Request&)> answer);
        ~ScopedAnswerer();

        // Every request answered so far, in order.
        juce::Array<Request> requests;

    private:
        friend class DialogManager;
        int respond (const Request& request);

        std::function<int (const Request&)> answer;
        ScopedAnswerer* outer = nullptr;

        JUCE_DECLARE_NON_COPYABLE (ScopedAnswerer)
    };

    // The message of the topmost message dialog on screen; empty when none
    // is open.
    juce::String getCurrentMessage() const;

    juce::Colour backgroundColour { 0xff19abff };
    juce::Colour accentColour { 0xffff9200 };
    juce::Colour textColour { 0xfff5f5f5 };

private:
    DialogManager() = default;

    void applyColours (DialogComponent& dialog) const;

    // Runs the dialog (or asks the answerer) with the message recorded as
    // on screen meanwhile; the pressed button's index or -1.
    int runMessage (Request::Kind kind, const juce::String& title, const juce::String& message,
                    const juce::StringArray& buttonTexts);

    ScopedAnswerer* answerer = nullptr;

    // Messages of the open message dialogs, bottom to top.
    juce::StringArray messagesOnScreen;

    JUCE_DECLARE_NON_COPYABLE (DialogManager)
};
} // namespace corvadine
