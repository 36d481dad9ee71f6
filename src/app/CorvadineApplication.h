#pragma once

#include "app/InstanceLock.h"
#include "platform/WindowEventWake.h"
#include "app/SessionEnd.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
class MainComponent;

// The application: one running copy per user session (InstanceLock), one full-screen main window whose
// content is the MainComponent. Every road out (the window's close button,
// the Quit command, the desktop asking the application to quit) goes
// through systemRequestedQuit, which first writes a pending save of the
// document, asking the user when it cannot be written.
class CorvadineApplication : public juce::JUCEApplication
{
public:
    // The main window: native title bar with all buttons, resizable,
    // centred, then full screen; its close button quits the application.
    class MainWindow : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name);

        void closeButtonPressed() override;

        // The window's content.
        MainComponent* getMainComponent() const;

        // The palette's dark purple, made very dark and greyish.
        static juce::Colour backgroundColour();

    private:
        JUCE_DECLARE_NON_COPYABLE (MainWindow)
    };

    CorvadineApplication() = default;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;

    // Whether the application may end now: true when nothing is pending or
    // the pending save was written, saved elsewhere or given up by the user.
    bool readyToQuit();

    std::unique_ptr<MainWindow> mainWindow;
    // Signals and the display going away: the pending save is written first.
    std::unique_ptr<SessionEnd> sessionEnd;

private:
    // Held from initialise to shutdown; a start that finds it held by
    // another copy ends at once without a window.
    std::unique_ptr<InstanceLock> instanceLock;

    // Gets window events delivered that JUCE alone would leave waiting.
    std::unique_ptr<WindowEventWake> windowEventWake;

    // Set while the user is being asked about an unwritten save, so that a
    // second quit request meanwhile does not ask again on top.
    bool askingToQuit = false;

    JUCE_DECLARE_NON_COPYABLE (CorvadineApplication)
};
} // namespace corvadine
