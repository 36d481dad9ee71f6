// GoogleTest before the X11 headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "app/CorvadineApplication.h"
#include "support/TestSupport.h"

using namespace corvadine;

// What another client (a window manager, a user's close click) sees of the
// start: the main window is made and shown once, complete, and never
// replaced by another. A window shown early and replaced later takes every
// request sent to it (a close among them) with it.
TEST (MainWindowShownOnce, OneWindowIsShownAndNoneIsReplacedWhileTheApplicationStarts)
{
    // The window system loads the X11 library's functions.
    ASSERT_NE (juce::XWindowSystem::getInstance()->getDisplay(), nullptr);
    auto* x11 = juce::X11Symbols::getInstance();
    auto* watcher = x11->xOpenDisplay (nullptr);
    ASSERT_NE (watcher, nullptr);
    const auto root = x11->xDefaultRootWindow (watcher);
    x11->xSelectInput (watcher, root, SubstructureNotifyMask);
    x11->xSync (watcher, False);

    {
        CorvadineApplication::MainWindow window ("Corvadine");
        test::pumpMessageLoop (300);
        ASSERT_NE (window.getPeer(), nullptr);
        const auto shown = (::Window) (juce::pointer_sized_uint) window.getPeer()->getNativeHandle();

        x11->xSync (watcher, False);
        int mapped = 0, destroyed = 0;
        ::Window mappedWindow = 0;

        while (x11->xPending (watcher) > 0)
        {
            XEvent event;
            x11->xNextEvent (watcher, &event);

            if (event.type == MapNotify)
            {
                ++mapped;
                mappedWindow = event.xmap.window;
            }
            else if (event.type == DestroyNotify)
            {
                ++destroyed;
            }
        }

        EXPECT_EQ (mapped, 1);
        EXPECT_EQ (destroyed, 0);
        EXPECT_EQ (mappedWindow, shown);
        EXPECT_TRUE (window.isFullScreen());
        EXPECT_TRUE (window.isUsingNativeTitleBar());
    }

    x11->xCloseDisplay (watcher);
}
