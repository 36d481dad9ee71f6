#include "app/MainComponent.h"

namespace corvadine
{
MainComponent::MainComponent()
{
    stage = new StageComponent();

    addAndMakeVisible (zoomport);
    zoomport.setContent (stage);
    zoomport.fitContentToView (1.0f);
    addKeyListener (&zoomport);

    menuBar = std::make_unique<juce::MenuBarComponent> (this);
    addAndMakeVisible (*menuBar);

    if (auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        setSize (display->userArea.getWidth(), display->userArea.getHeight());
    else
        setSize (1280, 800);
}

MainComponent::~MainComponent()
{
    removeKeyListener (&zoomport);
    menuBar = nullptr;
}

void MainComponent::paint (juce::Graphics&)
{
}

float MainComponent::fitFactorForCompositionWidth (int width)
{
    constexpr int fallbackWidth = 1920;

    if (width <= 0 || 100000 / width / 2 == 0)
        width = fallbackWidth;

    return (float) (100000 / width / 2);
}

int MainComponent::compositionWidth() const
{
    return 1920;
}

void MainComponent::resized()
{
    const auto width = getWidth();
    const auto height = getHeight();
    const auto menuHeight = juce::jmin (height, getLookAndFeel().getDefaultMenuBarHeight());

    if (menuBar != nullptr)
        menuBar->setBounds (0, 0, width, menuHeight);

    zoomport.setBounds (0, menuHeight, width, height - menuHeight);
    zoomport.fitContentToView (fitFactorForCompositionWidth (compositionWidth()));
}

juce::StringArray MainComponent::getMenuBarNames()
{
    return { "File", "Window" };
}

juce::PopupMenu MainComponent::getMenuForIndex (int topLevelMenuIndex, const juce::String&)
{
    juce::PopupMenu menu;

    if (topLevelMenuIndex == 0)
    {
        menu.addItem (newId, "New");
        menu.addSeparator();
        menu.addItem (loadId, "Load");
        menu.addItem (saveAsId, "Save as...");
        menu.addSeparator();
        menu.addItem (relinkId, "Relink");
        menu.addSeparator();
        menu.addItem (versionId, "v" + juce::String ("0.9.9"), false);
    }
    else if (topLevelMenuIndex == 1)
    {
        menu.addItem (previewId, "Preview", true, false);
    }

    return menu;
}

void MainComponent::menuItemSelected (int, int)
{
}

bool MainComponent::writePendingSaveOrAsk()
{
    return true;
}
} // namespace corvadine
