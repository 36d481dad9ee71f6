// The X11 declarations of JUCE's window system, which it shares with modules
// that need them (the OpenGL context does the same).
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "platform/WindowEventWake.h"

#if JUCE_LINUX || JUCE_BSD
namespace juce
{
// JUCE's hidden window for the clipboard: events sent to it are read from the
// queue and otherwise left alone, which is all the wake needs.
extern ::Window juce_messageWindowHandle;
} // namespace juce
#endif

namespace corvadine
{
WindowEventWake::WindowEventWake()
{
    startTimer (intervalMilliseconds);
}

WindowEventWake::~WindowEventWake()
{
    stopTimer();
}

void WindowEventWake::timerCallback()
{
    wakeIfEventsWait();
}

bool WindowEventWake::wakeIfEventsWait()
{
   #if JUCE_LINUX || JUCE_BSD
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;

    if (display == nullptr || juce::juce_messageWindowHandle == 0)
        return false;

    auto* x11 = juce::X11Symbols::getInstance();
    const juce::XWindowSystemUtilities::ScopedXLock lock;

    // Only what Xlib has read already: this does not touch the connection.
    if (x11->xEventsQueued (display, QueuedAlready) <= 0)
        return false;

    if (wakeType == None)
        wakeType = x11->xInternAtom (display, "CORVADINE_WAKE", False);

    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = juce::juce_messageWindowHandle;
    event.xclient.message_type = (Atom) wakeType;
    event.xclient.format = 32;
    x11->xSendEvent (display, juce::juce_messageWindowHandle, False, NoEventMask, &event);
    x11->xFlush (display);
    return true;
   #else
    return false;
   #endif
}
} // namespace corvadine
