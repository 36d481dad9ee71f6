#pragma once

#include "inspector/Drawer.h"
#include "inspector/LookInspector.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace corvadine::test
{
// A top-level component on the virtual display: pointer events sent
// through its peer go through JUCE's real mouse handling (enter, exit,
// press, release, the component under the pointer).
struct DesktopWindow : juce::Component
{
    DesktopWindow (int width, int height)
    {
        setBounds (0, 0, width, height);
        addToDesktop (0);
        setVisible (true);
    }

    void paint (juce::Graphics& g) override { g.fillAll (juce::Colour (0xff202020)); }
};

// Sends a pointer move (no button), press or release through the peer of
// the component's window, at a point given in the component's coordinates.
inline void pointerEvent (juce::Component& component, juce::Point<int> local, juce::ModifierKeys buttons)
{
    auto* peer = component.getPeer();
    ASSERT_NE (peer, nullptr);
    const auto position = peer->getComponent().getLocalPoint (&component, local).toFloat();
    // The real pointer goes there too: when components move under it, JUCE
    // checks where the pointer is with a move event of its own from the
    // real position.
    juce::Desktop::setMousePosition (peer->localToGlobal (position).roundToInt());
    peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, position, buttons,
                            juce::MouseInputSource::defaultPressure,
                            juce::MouseInputSource::defaultOrientation, juce::Time::currentTimeMillis());
}

inline void moveTo (juce::Component& c, juce::Point<int> p) { pointerEvent (c, p, {}); }
inline void pressAt (juce::Component& c, juce::Point<int> p) { pointerEvent (c, p, juce::ModifierKeys::leftButtonModifier); }
// Drags to the point with the button held, then releases it there, as a
// real pointer does (a button decides on its click from the drag events).
inline void releaseAt (juce::Component& c, juce::Point<int> p)
{
    pointerEvent (c, p, juce::ModifierKeys::leftButtonModifier);
    pointerEvent (c, p, {});
}

// A whole click at a point of the component: move, press, release.
inline void clickAt (juce::Component& c, juce::Point<int> p)
{
    moveTo (c, p);
    pressAt (c, p);
    releaseAt (c, p);
}

// Lets a drawer accept its next header click at once (the click rule
// refuses clicks closer than 100 ms to the last one or to its creation).
inline void allowNextClick (Drawer& drawer)
{
    drawer.lastClickTime = Drawer::clickClockMilliseconds() - 1000;
}

// Records the drawer notifications it receives, with the listener's name.
struct RecordingDrawerListener : Drawer::Listener
{
    RecordingDrawerListener (std::vector<std::string>& log, std::string name) : calls (log), who (std::move (name)) {}

    void drawerClicked (Drawer* d) override
    {
        calls.push_back (who + " clicked " + d->getName().toStdString() + (d->expanded ? " expanded" : " collapsed"));
        if (onClicked)
            onClicked (d);
    }

    void drawerCloseClicked (Drawer* d) override { calls.push_back (who + " close " + d->getName().toStdString()); }

    std::vector<std::string>& calls;
    std::string who;
    std::function<void (Drawer*)> onClicked;
};

// Records the inspector's eight notifications as text, in order.
struct RecordingInspectorListener : LookInspector::Listener
{
    explicit RecordingInspectorListener (std::vector<std::string>& log, std::string name = {}) : calls (log), who (std::move (name)) {}

    void record (std::string text)
    {
        calls.push_back (who.empty() ? text : who + " " + text);
        if (after)
            after();
    }

    void addFocalClicked (int look) override { record ("addFocalClicked " + std::to_string (look)); }
    void stageSelected() override { record ("stageSelected"); }
    void lookSelected (int look) override { record ("lookSelected " + std::to_string (look)); }
    void lookResolutionChanged (int look, juce::Point<int> r) override
    {
        record ("lookResolutionChanged " + std::to_string (look) + " " + std::to_string (r.x) + "x" + std::to_string (r.y));
    }
    void focalDrawerClicked (int look, int focal) override
    {
        record ("focalDrawerClicked " + std::to_string (look) + " " + std::to_string (focal));
    }
    void looksChanged (FocalDrawer* d) override { record ("looksChanged " + d->getName().toStdString()); }
    void screenEnabledChanged (int screen, bool enabled) override
    {
        record ("screenEnabledChanged " + std::to_string (screen) + (enabled ? " on" : " off"));
    }
    void screensChanged() override { record ("screensChanged"); }

    std::vector<std::string>& calls;
    std::string who;
    std::function<void()> after;
};

// A drawer content that owns its rows.
struct RowsContent : DrawerComponent
{
    ~RowsContent() override { deleteAllChildren(); }
};

// A content of n plain rows of the given height, 0 wide, as drawers get it.
inline juce::Component* rowsContent (int n, int rowHeight = 50)
{
    auto* content = new RowsContent();
    content->setSize (0, 50);

    for (int i = 0; i < n; ++i)
    {
        auto* row = new juce::Component();
        row->setSize (0, rowHeight);
        content->addAndMakeVisible (row);
    }

    return content;
}
} // namespace corvadine::test
