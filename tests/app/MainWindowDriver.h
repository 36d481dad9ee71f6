#pragma once

#include "app/MainComponent.h"
#include "widgets/DialogManager.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// The whole main component in a window on the test's display, driven the
// way a user drives it: pointer moves, presses and releases and key presses
// go through the window's peer, so JUCE's own mouse handling (enter and exit
// events, the component under the pointer, focus) decides where they land.
namespace corvadine::test
{
class MainWindowDriver
{
public:
    // Dialogs are answered with their first button and recorded.
    MainWindowDriver();
    ~MainWindowDriver();

    // Builds the main component (start-up) in a window of the given size.
    MainComponent& start (int width = 1600, int height = 900);
    // Quits as the application does and starts again.
    MainComponent& restart();
    void quit();

    MainComponent& main() { return *component; }
    FlowController& controller() { return *component->controller; }
    LookInspector& inspector() { return component->inspector; }
    FlyOutComponent& flyOut() { return component->flyOut; }

    // Moves the pointer to a point of the component (no button held).
    void moveTo (juce::Component& target, juce::Point<int> local);
    // A whole click at a point of the component: move, press, release.
    void clickAt (juce::Component& target, juce::Point<int> local);
    // Types the text, one key press a character, to the focused component.
    void type (const juce::String& text);
    void pressKey (int keyCode, juce::ModifierKeys modifiers = {});

    // Moves the pointer onto the fly-out's tab and waits until the panel has
    // opened to the inspector's size.
    bool openFlyOut();
    // Whether the fly-out stands open at its content's size with no
    // animation running.
    bool flyOutIsOpen();
    // Waits until no animation of the fly-out runs.
    void waitForFlyOut();

    // Clicks a drawer's header left of its buttons, after the drawer's own
    // click rule allows it.
    void clickDrawerHeader (Drawer& drawer);

    // Waits until the deferred save has written the document.
    bool waitForSave (int timeoutMs = 8000);

    std::unique_ptr<DialogManager::ScopedAnswerer> dialogs;

private:
    std::unique_ptr<MainComponent> component;
    juce::Point<int> size;
};
} // namespace corvadine::test
