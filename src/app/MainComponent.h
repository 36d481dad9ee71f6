#pragma once

#include "app/FlowController.h"
#include "inspector/FlyOutComponent.h"
#include "inspector/LookInspector.h"
#include "stage/StageComponent.h"
#include "stage/ZoomportComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace corvadine
{
// The main window's content: the zoom view with the stage inside it, the
// fly-out panel with the look inspector, the controller that ties them to
// the document, and the "File" and "Window" menus. On this platform there
// is no global main menu, so the menu bar is shown along the window's top
// edge.
class MainComponent : public juce::Component,
                      public juce::MenuBarModel
{
public:
    // Menu item ids.
    enum FileMenuIds
    {
        newId = 1,
        loadId = 2,
        saveAsId = 3,
        relinkId = 4,
        versionId = 5
    };

    enum WindowMenuIds
    {
        previewId = 1
    };

    // The file choosers' flags: open one file; save one file, warning
    // before an existing one is replaced.
    static constexpr int loadChooserFlags = juce::FileBrowserComponent::openMode
                                          | juce::FileBrowserComponent::canSelectFiles;
    static constexpr int saveChooserFlags = juce::FileBrowserComponent::saveMode
                                          | juce::FileBrowserComponent::canSelectFiles
                                          | juce::FileBrowserComponent::warnAboutOverwriting;

    MainComponent();
    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void childBoundsChanged (juce::Component* child) override;

    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex (int topLevelMenuIndex, const juce::String& menuName) override;
    void menuItemSelected (int menuItemID, int topLevelMenuIndex) override;

    // Writes a pending save of the document; when it cannot be written asks
    // the user. Returns true when the caller may go on (quit, replace the
    // document), false to stay.
    bool writePendingSaveOrAsk();

    // The same before quitting (see FlowController::readyToQuit).
    bool readyToQuit();

    // The zoom factor the stage is fitted with for a composition width:
    // (100000 / width) / 2 in whole numbers; a width of 0 or less, or one
    // so large that the factor would be 0, is fitted as 1920.
    static float fitFactorForCompositionWidth (int compositionWidth);

    // The fly-out panel's width at most.
    static constexpr int flyOutWidth = 290;

    std::unique_ptr<FlowController> controller;
    ZoomportComponent zoomport;
    // Owned by the zoom view once it is its content.
    StageComponent* stage = nullptr;
    FlyOutComponent flyOut;
    LookInspector inspector;
    std::unique_ptr<juce::MenuBarComponent> menuBar;

private:
    int compositionWidth() const;

    void startNewDocument();
    void loadDocumentFromFile();
    void saveDocumentAs();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
} // namespace corvadine
