#pragma once

#include "platform/DisplayLoss.h"
#include "platform/QuitSignals.h"

#include <juce_events/juce_events.h>

#include <functional>
#include <memory>

namespace corvadine
{
class FileLess;

// What becomes of the document when the session ends from outside the
// window: a signal, or the display going away. Nothing the user changed is
// lost where it can be written:
//
// - SIGINT (Ctrl+C in a terminal) is the desktop's quit request: the pending
//   save is written, and when it cannot be, the window asks what to do, as
//   for its close button. Another SIGINT while a dialog is on screen after
//   that ends the application as SIGTERM does.
// - SIGTERM (logout, shutdown, kill) and SIGHUP (the terminal or session
//   gone) come when nobody can answer a question: the pending save is
//   written and the application quits; when the save cannot be written, the
//   old file stays whole, standard error says what was not saved and why,
//   and the application quits with status 1.
// - The display going away: the pending save is written (or standard error
//   says why not) before the process ends, with status 1.
//
// When the document is written but the preferences could not be written to
// name it, standard error says where it is (the next start will not open it
// by itself).
class SessionEnd
{
public:
    struct Roads
    {
        // The document store, or null while there is none.
        std::function<FileLess*()> store;
        // The desktop's own quit request: writes the pending save or asks.
        std::function<void()> askToQuit;
        // Ends the application with the exit status.
        std::function<void (int exitStatus)> quit;
    };

    // Catches the signals from here on: one that comes before the message
    // loop runs is handled once it does.
    explicit SessionEnd (Roads roads);
    ~SessionEnd();

    // Watches the display's connection from here on (connecting to it
    // first when the application has not yet).
    void watchDisplay();

    // What a signal does (see above); called on the message thread.
    void signalArrived (int signalNumber);

    // The application's document store: the controller of the main
    // window's content, found among the windows on the desktop (so also
    // while the window is still being built); null when there is none.
    static FileLess* findApplicationStore();

    // Writes the pending save when nobody can be asked; what could not be
    // written is said on standard error, with why. Returns true when the
    // document is on disk. Message thread.
    static bool writeWithNobodyToAsk (FileLess* store, const juce::String& occasion);

private:
    void displayLost();

    Roads roads;
    int interruptions = 0;
    bool ending = false;
    QuitSignals signals;
    std::unique_ptr<DisplayLoss> displayLoss;

    JUCE_DECLARE_WEAK_REFERENCEABLE (SessionEnd)
    JUCE_DECLARE_NON_COPYABLE (SessionEnd)
};
} // namespace corvadine
