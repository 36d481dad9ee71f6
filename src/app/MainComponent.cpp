#include "app/MainComponent.h"

#include "app/FileChoosers.h"
#include "host/HostXmlFile.h"
#include "widgets/DialogManager.h"

namespace corvadine
{
namespace
{
const juce::String applicationName ("Corvadine");
const juce::String applicationVersion ("0.9.9");

void showOkDialog (const juce::String& title, const juce::String& message)
{
    DialogManager::getInstance().showMessageDialog (title, message, { "Ok" });
}
} // namespace

MainComponent::MainComponent()
{
    inspector.setName ("LookSpector");
    inspector.reset();

    auto& dialogs = DialogManager::getInstance();
    dialogs.backgroundColour = juce::Colour (0xff54276c);
    dialogs.accentColour = juce::Colour (0xffdfdf17);
    dialogs.textColour = juce::Colour (0xffffff00);

    stage = new StageComponent();
    // The zoom view owns the stage from its first use on; until then a
    // failing controller must not leave it behind.
    std::unique_ptr<StageComponent> stageUntilShown (stage);
    controller = std::make_unique<FlowController> (stage, &inspector);

    addAndMakeVisible (zoomport);
    zoomport.setContent (stageUntilShown.release());
    zoomport.fitContentToView (1.0f);
    addKeyListener (&zoomport);

    addAndMakeVisible (flyOut);
    flyOut.setContent (&inspector);

    menuBar = std::make_unique<juce::MenuBarComponent> (this);
    // No global main menu here: the menus live in the window.
    addAndMakeVisible (*menuBar);
   #if JUCE_MAC
    juce::MenuBarModel::setMacMainMenu (this);
   #endif

    if (auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        setSize (display->userArea.getWidth(), display->userArea.getHeight());
    else
        setSize (1280, 800);
}

MainComponent::~MainComponent()
{
   #if JUCE_MAC
    juce::MenuBarModel::setMacMainMenu (nullptr);
   #endif
    removeKeyListener (&zoomport);
    menuBar = nullptr;
    // The members go in reverse order: the inspector, the fly-out, the zoom
    // view with the stage, and last the controller, which touches neither.
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
    if (controller != nullptr && controller->model != nullptr)
        return controller->model->compositionSize.x;

    return 0;
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

    const auto panelWidth = juce::jmin (width, flyOutWidth);
    flyOut.setBounds (width - panelWidth, menuHeight, panelWidth, height - menuHeight);
}

void MainComponent::childBoundsChanged (juce::Component* child)
{
    if (child == &flyOut)
        repaint();
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
        menu.addItem (versionId, "v" + applicationVersion, false);
    }
    else if (topLevelMenuIndex == 1)
    {
        // Ticked while the preview window is open.
        menu.addItem (previewId, "Preview", true, controller != nullptr && controller->preview != nullptr);
    }

    return menu;
}

void MainComponent::menuItemSelected (int menuItemID, int topLevelMenuIndex)
{
    if (controller == nullptr)
        return;

    if (topLevelMenuIndex == 0)
    {
        switch (menuItemID)
        {
            case newId:    startNewDocument(); break;
            case loadId:   loadDocumentFromFile(); break;
            case saveAsId: saveDocumentAs(); break;
            case relinkId: controller->relinkStage(); break;
            default:       break;
        }
    }
    else if (topLevelMenuIndex == 1 && menuItemID == previewId)
    {
        // The item toggles the preview window.
        controller->setGlPreview (controller->preview == nullptr);
    }
}

bool MainComponent::writePendingSaveOrAsk()
{
    return controller == nullptr || controller->writePendingSaveOrAsk();
}

bool MainComponent::readyToQuit()
{
    return controller == nullptr || controller->readyToQuit();
}

void MainComponent::startNewDocument()
{
    // The current document's last changes go to its own file first (or the
    // user decides what becomes of them).
    if (! writePendingSaveOrAsk())
        return;

    controller->newDocument();
    controller->loadDocument();
    resized();
}

void MainComponent::loadDocumentFromFile()
{
    const auto chosen = chooseFile ({ "Load " + applicationName + " document...", documentsFolder(), "*.xml",
                                      loadChooserFlags });

    if (! chosen.has_value())
        return;

    const auto file = *chosen;

    if (file.getFullPathName().isEmpty())
    {
        showOkDialog ("Eh?", "This file appears to be empty.");
        return;
    }

    // Through the guarded parser: no DTD, no runaway nesting, no huge file.
    const auto root = parseHostXmlFile (file);

    switch (controller->checkDocument (root.get()))
    {
        case FileLess::LoadCheck::notADocument:
            showLoadErrorDialog();
            return;

        case FileLess::LoadCheck::tooOld:
            showOkDialog ("Whoops! Older version eror...",
                          "This file can't be loaded, because it was created using an older version "
                          "and this version cannot read it.");
            return;

        case FileLess::LoadCheck::accepted:
            break;
    }

    const auto loaded = juce::ValueTree::fromXml (*root);

    if (! loaded.isValid() || ! writePendingSaveOrAsk())
        return;

    controller->replaceDocument (loaded, file.getFullPathName());
    // The new path is recorded before anything is loaded.
    controller->savePreferences();
    controller->loadDocument();
    resized();
}

void MainComponent::saveDocumentAs()
{
    const auto chosen = chooseFile ({ "Save file as...", documentsFolder(), "*.xml", saveChooserFlags });

    if (! chosen.has_value() || chosen->getFullPathName().isEmpty())
        return;

    const auto file = *chosen;

    // An existing file keeps its contents until the deferred save writes the
    // document over it; a new name is created empty at once. A file that
    // cannot be created (or a folder) is reported, and the document stays
    // where it was.
    if (file.isDirectory() || (! file.existsAsFile() && (file.create().failed() || ! file.existsAsFile())))
    {
        // What happened first, where the dialog always shows it; the two
        // paths, which may take several lines each, after it.
        showOkDialog ("Can't save there",
                      "I couldn't create that file, so the document is still saved where it was.\n\nNot created: "
                          + file.getFullPathName() + "\nStill saved to: " + controller->documentPath);
        return;
    }

    controller->setDocumentPath (file.getFullPathName());
    controller->startDeferredSave();
}
} // namespace corvadine
