#pragma once

#include "widgets/SvgButton.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace corvadine
{
// The collapsible titled panel the inspector is built from: a 50-pixel
// header showing the component name, a close button and a cog that expands
// the drawer, and below the header a viewport showing one content component
// (usually a DrawerComponent stacking further drawers). Drawers nest; a
// nested drawer's layout step lays out and scrolls every enclosing drawer.
class Drawer : public juce::Component,
               public juce::Button::Listener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;

        // The header of the drawer was clicked, or its cog was.
        virtual void drawerClicked (Drawer* drawer) = 0;
        // The close button of the drawer was clicked.
        virtual void drawerCloseClicked (Drawer* drawer) = 0;
    };

    Drawer();
    ~Drawer() override;

    // Appends the listener unless it is registered already. Listeners are
    // called from the last registered to the first.
    void addListener (Listener* listener);

    // Marks the drawer current (name in bright yellow); an expandable drawer
    // shows its cog while active and collapses when made inactive.
    void setActive (bool value);

    // Takes ownership of the new content (deleting the old one) and shows it
    // in the viewport; call updateLayout after filling it.
    void setContent (juce::Component* newContent);

    // Stacks the content's children, sizes the viewport and the drawer, then
    // lays out and scrolls the enclosing drawers up to the outermost one.
    void updateLayout();

    void mouseEnter (const juce::MouseEvent& event) override;
    void mouseExit (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;
    void resized() override;
    void childBoundsChanged (juce::Component* child) override;

    void buttonClicked (juce::Button* button) override;

    // The clock of the click rule: monotonic milliseconds, so that a change
    // of the wall clock can never block or double a click.
    static juce::int64 clickClockMilliseconds();

    // Replaces the clock while set (tests step it by hand).
    static inline juce::int64 (*clockOverride)() = nullptr;

    juce::Array<Listener*> listeners;
    bool active = false;
    bool expanded = false;
    int headerHeight = 50;
    bool highlighted = false;
    bool closable = false;
    bool expandable = false;
    std::unique_ptr<juce::TextButton> closeButton;
    std::unique_ptr<SvgButton> cogButton;
    std::unique_ptr<juce::Component> content;
    std::unique_ptr<juce::Viewport> viewport;
    // Time of the last accepted header click (clickClockMilliseconds).
    juce::int64 lastClickTime = 0;

    // Colours of the drawers.
    static constexpr juce::uint32 purple = 0xff8207c6;
    static constexpr juce::uint32 darkPurple = 0xff54276c;
    static constexpr juce::uint32 brightYellow = 0xffffff00;
    static constexpr juce::uint32 olive = 0xffa2a235;
    static constexpr juce::uint32 nearBlackPurple = 0xff34243d;
    static constexpr juce::uint32 cogNormal = 0xff681795;
    static constexpr juce::uint32 yellow = 0xffdfdf17;

protected:
    // Sends drawerClicked or drawerCloseClicked from the last listener to the
    // first; returns false when a listener deleted the drawer.
    bool sendClicked();
    bool sendCloseClicked();

private:
    // Stacks the content's children top to bottom; returns their total height.
    int stackContent();
    // The close button and the cog in the header's right end.
    void placeButtons();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Drawer)
};

// The plain content of a drawer: stacks its children top to bottom at its
// full width.
class DrawerComponent : public juce::Component
{
public:
    DrawerComponent() = default;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void childBoundsChanged (juce::Component* child) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DrawerComponent)
};
} // namespace corvadine
