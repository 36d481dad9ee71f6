// GoogleTest before the X11 headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "platform/WindowEventWake.h"
#include "support/TestSupport.h"

using namespace corvadine;

namespace
{
int eventsWaitingInTheQueue (::Display* display)
{
    const juce::XWindowSystemUtilities::ScopedXLock lock;
    return juce::X11Symbols::getInstance()->xEventsQueued (display, QueuedAlready);
}
} // namespace

// An event that arrives while the application waits for the X server (as it
// does while a window is being shown) is read into Xlib's queue and no longer
// makes the connection readable: JUCE alone leaves it there. The wake gets it
// delivered.
TEST (WindowEventWake, AnEventReadIntoTheQueueWhileWaitingForTheServerIsDeliveredAnyway)
{
    juce::Component window;
    window.setSize (200, 150);
    window.addToDesktop (juce::ComponentPeer::windowHasTitleBar);
    window.setVisible (true);
    test::pumpMessageLoop (300);

    auto* x11 = juce::X11Symbols::getInstance();
    auto* display = juce::XWindowSystem::getInstance()->getDisplay();
    ASSERT_NE (display, nullptr);
    ASSERT_NE (window.getPeer(), nullptr);
    const auto windowId = (::Window) (juce::pointer_sized_uint) window.getPeer()->getNativeHandle();

    // Another client (a window manager, say) sends the window a message.
    auto* other = x11->xOpenDisplay (nullptr);
    ASSERT_NE (other, nullptr);
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = windowId;
    event.xclient.message_type = x11->xInternAtom (other, "CORVADINE_TEST_MESSAGE", False);
    event.xclient.format = 32;
    x11->xSendEvent (other, windowId, False, NoEventMask, &event);
    x11->xSync (other, False);

    // The application waits for the server's answer meanwhile.
    {
        const juce::XWindowSystemUtilities::ScopedXLock lock;
        x11->xSync (display, False);
    }

    ASSERT_GT (eventsWaitingInTheQueue (display), 0);
    test::pumpMessageLoop (300);
    EXPECT_GT (eventsWaitingInTheQueue (display), 0) << "the message loop alone does not see it";

    WindowEventWake wake;
    EXPECT_TRUE (test::pumpUntil ([&] { return eventsWaitingInTheQueue (display) == 0; }, 2000));
    // With nothing waiting, nothing is sent.
    EXPECT_FALSE (wake.wakeIfEventsWait());

    x11->xCloseDisplay (other);
}
