#pragma once

#include "inspector/Drawer.h"
#include "inspector/FocalDrawer.h"
#include "inspector/ResolutionDrawer.h"
#include "widgets/SvgButton.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace corvadine
{
class Look;

// The panel in the fly-out through which the user chooses what the stage
// shows and edits the looks: the "Stage" drawer with one toggle per host
// screen, the "Look N" drawer with the resolution and one drawer per focal,
// previous and next buttons beside it and a plus button under it. It holds
// no model data: it shows what the controller hands it and reports every
// action to its listeners.
class LookInspector : public juce::Component,
                      public juce::Button::Listener,
                      public ResolutionDrawer::Listener,
                      public Drawer::Listener,
                      public FocalDrawer::Listener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;

        virtual void addFocalClicked (int lookIndex) = 0;
        virtual void stageSelected() = 0;
        virtual void lookSelected (int lookIndex) = 0;
        virtual void lookResolutionChanged (int lookIndex, juce::Point<int> resolution) = 0;
        virtual void focalDrawerClicked (int lookIndex, int focalIndex) = 0;
        virtual void looksChanged (FocalDrawer* drawer) = 0;
        virtual void screenEnabledChanged (int screenIndex, bool enabled) = 0;
        virtual void screensChanged() = 0;
    };

    LookInspector();
    ~LookInspector() override;

    void addListener (Listener* listener);

    // Rebuilds the Stage and Look drawers and the buttons: stage mode,
    // "Look 1", 290 wide.
    void reset();

    // Sets the screen toggles from an "arenaScreens" subtree (a toggle for
    // each screen, named and switched as the screen is, the toggles there
    // were reused in order) and reports each screen's enabled flag, then
    // that the screens changed.
    void setScreens (const juce::ValueTree& arenaScreens);

    // Rebuilds the resolution drawer and the focal drawers for the look
    // (none for a null look); with selectLast, scrolls to the bottom and
    // marks the last focal drawer.
    void setLook (Look* look, bool selectLast);

    // Shows stage mode, as a click on the "Stage" drawer does, without
    // reporting it: the Stage drawer active, the Look drawer inactive and
    // folded, the plus, previous and next buttons hidden. For a controller
    // that returns the stage to stage mode on its own (a dropped image), so
    // that stage and inspector show the same mode.
    void showStageMode();

    void mouseEnter (const juce::MouseEvent& event) override;
    void mouseExit (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;
    void resized() override;
    void childBoundsChanged (juce::Component* child) override;

    void buttonClicked (juce::Button* button) override;
    void drawerCloseClicked (Drawer* drawer) override;
    void drawerClicked (Drawer* drawer) override;
    void resolutionChanged (ResolutionDrawer* drawer, juce::Point<int> size) override;
    void focalDrawerChanged (FocalDrawer* drawer) override;

    juce::Array<Listener*> listeners;
    juce::OwnedArray<Drawer> topDrawers;
    Drawer* stageDrawer = nullptr;
    juce::OwnedArray<Drawer> screenDrawers;
    Drawer* lookDrawer = nullptr;
    std::unique_ptr<ResolutionDrawer> resolutionDrawer;
    juce::OwnedArray<FocalDrawer> focalDrawers;
    std::unique_ptr<SvgButton> plusButton;
    std::unique_ptr<SvgButton> nextButton;
    std::unique_ptr<SvgButton> prevButton;
    int lastLookIndex = 15;
    int lookIndex = 0;

private:
    // Calls every listener from the last registered to the first; returns
    // false when one of them deleted the inspector.
    bool send (const std::function<void (Listener&)>& callback);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LookInspector)
};
} // namespace corvadine
