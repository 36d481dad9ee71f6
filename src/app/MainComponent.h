#pragma once

#include "stage/StageComponent.h"
#include "stage/ZoomportComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// The main window's content: the zoom view with the stage inside it and the
// "File" and "Window" menus. On this platform there is no global main menu,
// so the menu bar is shown along the window's top edge.
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

    MainComponent();
    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex (int topLevelMenuIndex, const juce::String& menuName) override;
    void menuItemSelected (int menuItemID, int topLevelMenuIndex) override;

    // Writes a pending save of the document; when it cannot be written asks
    // the user. Returns true when the caller may go on (quit, replace the
    // document), false to stay.
    bool writePendingSaveOrAsk();

    // The zoom factor the stage is fitted with for a composition width:
    // (100000 / width) / 2 in whole numbers; a width of 0 or less, or one
    // so large that the factor would be 0, is fitted as 1920.
    static float fitFactorForCompositionWidth (int compositionWidth);

    ZoomportComponent zoomport;
    StageComponent* stage = nullptr;
    std::unique_ptr<juce::MenuBarComponent> menuBar;

private:
    int compositionWidth() const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
} // namespace corvadine
