#include "app/CorvadineApplication.h"

#include "app/MainComponent.h"

namespace corvadine
{
CorvadineApplication::MainWindow::MainWindow (const juce::String& name)
    : DocumentWindow (name, backgroundColour(), juce::DocumentWindow::allButtons, true)
{
    setUsingNativeTitleBar (true);
    // The content sizes itself to the main display's user area.
    setContentOwned (new MainComponent(), true);
    setResizable (true, false);
    centreWithSize (getWidth(), getHeight());
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
    return false;
}

void CorvadineApplication::initialise (const juce::String&)
{
    mainWindow = std::make_unique<MainWindow> (getApplicationName());
}

void CorvadineApplication::shutdown()
{
    mainWindow = nullptr;
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
    return content->writePendingSaveOrAsk();
}
} // namespace corvadine
