#pragma once

#include <juce_events/juce_events.h>

namespace corvadine
{
// Makes sure no window event waits unseen in the window system's queue.
//
// On X11, JUCE reads window events when the display connection becomes
// readable. Any call that waits for the X server's answer (and JUCE makes
// many: syncing after a window is shown, asking where the pointer is) also
// reads whatever events have arrived meanwhile into Xlib's own queue. Those
// events no longer make the connection readable, so they wait until the next
// event comes in from the server. A close request that arrives in the first
// moments of a start, while the window is being shown, can wait that way
// forever on a quiet desktop.
//
// While one of these lives, a few times a second it looks whether events sit
// in Xlib's queue and, if so, sends the application a harmless message of its
// own, whose arrival makes JUCE read the whole queue. Elsewhere (no X11) it
// does nothing.
class WindowEventWake : private juce::Timer
{
public:
    WindowEventWake();
    ~WindowEventWake() override;

    // How often the queue is looked at.
    static constexpr int intervalMilliseconds = 50;

    // Looks once now; true when events were waiting and the wake was sent.
    bool wakeIfEventsWait();

private:
    void timerCallback() override;

    // The type of the wake message, made once per display connection.
    unsigned long wakeType = 0;

    JUCE_DECLARE_NON_COPYABLE (WindowEventWake)
};
} // namespace corvadine
