#include "app/CorvadineApplication.h"

#include "app/MainComponent.h"

#include <iostream>

namespace corvadine
{
CorvadineApplication::MainWindow::MainWindow (const juce::String& name)
    : DocumentWindow (name, backgroundColour(), juce::DocumentWindow::allButtons, false)
{
    // Everything that decides the native window is set before it is made:
    // on the desktop, changing the title bar or the resizing makes JUCE
    // replace the window with a new one and show it at once, so a half-made
    // window would appear while the content is built, and a close request
    // sent to it would go with it.
    setUsingNativeTitleBar (true);
    // The content sizes itself to the main display's user area.
    setContentOwned (new MainComponent(), true);
    setResizable (true, false);
    centreWithSize (getWidth(), getHeight());
    addToDesktop();
    setVisible (true);
    setFullScreen (true);
}

void CorvadineApplication::MainWindow::closeButtonPressed()
{
    if (auto* application = juce::JUCEApplication::getInstance())
        application->systemRequestedQuit();
}

MainComponent* CorvadineApplication::MainWindow::getMainComponent() const
{
    return dynamic_cast<MainComponent*> (getContentComponent());
}

juce::Colour CorvadineApplication::MainWindow::backgroundColour()
{
    return juce::Colour (0xff54276c).withBrightness (0.15f).withSaturation (0.3f);
}

const juce::String CorvadineApplication::getApplicationName()
{
    return "Corvadine";
}

const juce::String CorvadineApplication::getApplicationVersion()
{
    return "0.9.9";
}

bool CorvadineApplication::moreThanOneInstanceAllowed()
{
    // JUCE's own lock is one file for the whole machine on Linux; the
    // application keeps one copy per user session with a lock of its own,
    // taken in initialise.
    return true;
}

void CorvadineApplication::initialise (const juce::String&)
{
    instanceLock = std::make_unique<InstanceLock> (InstanceLock::defaultLockFile());

    if (instanceLock->heldByAnotherCopy())
    {
        // The copy already running keeps its window; this one ends at once.
        std::cout << "Another instance is running - quitting..." << std::endl;
        quit();
        return;
    }

    // Running before the window is shown: a close request that comes in
    // while it is being shown must not wait unseen.
    windowEventWake = std::make_unique<WindowEventWake>();

    sessionEnd = std::make_unique<SessionEnd> (SessionEnd::Roads {
        SessionEnd::findApplicationStore,
        [this] { systemRequestedQuit(); },
        [this] (int status) { setApplicationReturnValue (status); quit(); } });
    sessionEnd->watchDisplay();

    mainWindow = std::make_unique<MainWindow> (getApplicationName());
}

void CorvadineApplication::shutdown()
{
    mainWindow = nullptr;
    windowEventWake = nullptr;
    instanceLock = nullptr;
    sessionEnd = nullptr;
}

void CorvadineApplication::anotherInstanceStarted (const juce::String&)
{
}

void CorvadineApplication::systemRequestedQuit()
{
    if (readyToQuit())
        quit();
}

bool CorvadineApplication::readyToQuit()
{
    if (askingToQuit)
        return false;

    auto* content = mainWindow != nullptr ? mainWindow->getMainComponent() : nullptr;

    if (content == nullptr)
        return true;

    const juce::ScopedValueSetter<bool> asking (askingToQuit, true);
    return content->readyToQuit();
}
} // namespace corvadine
