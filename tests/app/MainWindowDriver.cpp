#include "app/MainWindowDriver.h"

#include "inspector/InspectorTestSupport.h"
#include "support/TestSupport.h"

namespace corvadine::test
{
MainWindowDriver::MainWindowDriver()
{
    dialogs = std::make_unique<DialogManager::ScopedAnswerer> ([] (const DialogManager::Request&) { return 0; });
}

MainWindowDriver::~MainWindowDriver()
{
    quit();
    dialogs.reset();
}

MainComponent& MainWindowDriver::start (int width, int height)
{
    size = { width, height };
    component = std::make_unique<MainComponent>();
    component->setBounds (0, 0, width, height);
    component->addToDesktop (juce::ComponentPeer::windowIsTemporary);
    component->setVisible (true);
    pumpUntil ([this] { return component->isShowing(); }, 2000);
    pumpMessageLoop (50);
    return *component;
}

MainComponent& MainWindowDriver::restart()
{
    quit();
    return start (size.x, size.y);
}

void MainWindowDriver::quit()
{
    if (component == nullptr)
        return;

    juce::Desktop::getInstance().getAnimator().cancelAllAnimations (false);
    // As the application quits: a pending save is written first.
    component->writePendingSaveOrAsk();
    component.reset();
}

void MainWindowDriver::moveTo (juce::Component& target, juce::Point<int> local)
{
    test::moveTo (target, local);
    pumpMessageLoop (20);
}

void MainWindowDriver::clickAt (juce::Component& target, juce::Point<int> local)
{
    test::clickAt (target, local);
    pumpMessageLoop (20);
}

void MainWindowDriver::type (const juce::String& text)
{
    auto* peer = component->getPeer();

    for (auto c : text)
        peer->handleKeyPress (juce::KeyPress ((int) c, {}, c));

    pumpMessageLoop (20);
}

void MainWindowDriver::pressKey (int keyCode, juce::ModifierKeys modifiers)
{
    component->getPeer()->handleKeyPress (juce::KeyPress (keyCode, modifiers, 0));
    pumpMessageLoop (20);
}

bool MainWindowDriver::flyOutIsOpen()
{
    auto& panel = flyOut();
    return ! juce::Desktop::getInstance().getAnimator().isAnimating (&panel)
           && panel.getHeight() == juce::jmax (FlyOutComponent::tabHeight, inspector().getHeight())
           && panel.getWidth() == inspector().getWidth();
}

void MainWindowDriver::waitForFlyOut()
{
    pumpUntil ([this] { return ! juce::Desktop::getInstance().getAnimator().isAnimating (&flyOut()); }, 3000);
}

bool MainWindowDriver::openFlyOut()
{
    // The tab is the panel's top right corner, open or folded.
    auto& panel = flyOut();
    moveTo (panel, { panel.getWidth() - FlyOutComponent::tabWidth / 2, FlyOutComponent::tabHeight / 2 });
    return pumpUntil ([this] { return flyOutIsOpen(); }, 3000);
}

void MainWindowDriver::clickDrawerHeader (Drawer& drawer)
{
    allowNextClick (drawer);
    clickAt (drawer, { 20, drawer.headerHeight / 2 });
}

bool MainWindowDriver::waitForSave (int timeoutMs)
{
    return pumpUntil ([this] { return ! controller().isSaving(); }, timeoutMs);
}
} // namespace corvadine::test
