// A small X11 helper for the application's end-to-end script: it lists the
// windows of a title, sends them the window manager's close request, takes a
// picture of the screen, and creates the window-manager atoms that a bare
// virtual display lacks (JUCE only looks them up; without them its windows
// would not accept a close request).
//
//   corvadine_app_probe atoms
//   corvadine_app_probe count TITLE     prints how many shown windows have the title
//   corvadine_app_probe shown           prints how many top-level windows are shown
//                                       (any title: dialogs too)
//   corvadine_app_probe close TITLE     asks every window of that title to close
//   corvadine_app_probe shot FILE.png   writes a picture of the whole screen
#include <juce_graphics/juce_graphics.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
int ignoreErrors (Display*, XErrorEvent*)
{
    return 0;
}

std::string windowTitle (Display* display, Window window)
{
    // _NET_WM_NAME (UTF-8) first, the classic WM_NAME otherwise.
    const auto utf8 = XInternAtom (display, "UTF8_STRING", False);
    const auto netName = XInternAtom (display, "_NET_WM_NAME", False);

    for (auto [property, type] : { std::pair<Atom, Atom> { netName, utf8 }, { XA_WM_NAME, AnyPropertyType } })
    {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;

        if (XGetWindowProperty (display, window, property, 0, 1024, False, type, &actualType, &format,
                                &count, &remaining, &data) == Success
            && data != nullptr)
        {
            std::string title (reinterpret_cast<const char*> (data), count);
            XFree (data);

            if (format == 8 && ! title.empty())
                return title;
        }
    }

    return {};
}

// Shown windows with the title, anywhere below the root.
void findWindows (Display* display, Window window, const std::string& title, std::vector<Window>& found)
{
    XWindowAttributes attributes;

    if (window != DefaultRootWindow (display)
        && XGetWindowAttributes (display, window, &attributes)
        && attributes.map_state == IsViewable
        && windowTitle (display, window) == title)
        found.push_back (window);

    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;

    if (XQueryTree (display, window, &root, &parent, &children, &count))
    {
        for (unsigned int i = 0; i < count; ++i)
            findWindows (display, children[i], title, found);

        if (children != nullptr)
            XFree (children);
    }
}

int createAtoms (Display* display)
{
    for (auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "WM_CHANGE_STATE", "WM_STATE",
                        "_NET_WM_PING", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL",
                        "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN" })
        XInternAtom (display, name, False);

    XSync (display, False);
    return 0;
}

int closeWindows (Display* display, const std::string& title)
{
    std::vector<Window> windows;
    findWindows (display, DefaultRootWindow (display), title, windows);

    for (auto window : windows)
    {
        XEvent event;
        std::memset (&event, 0, sizeof (event));
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom (display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long) XInternAtom (display, "WM_DELETE_WINDOW", False);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent (display, window, False, NoEventMask, &event);
    }

    XSync (display, False);
    std::printf ("%d\n", (int) windows.size());
    return windows.empty() ? 1 : 0;
}

int screenshot (Display* display, const char* path)
{
    const auto root = DefaultRootWindow (display);
    XWindowAttributes attributes;

    if (! XGetWindowAttributes (display, root, &attributes))
        return 1;

    auto* ximage = XGetImage (display, root, 0, 0, (unsigned int) attributes.width,
                              (unsigned int) attributes.height, AllPlanes, ZPixmap);

    if (ximage == nullptr)
        return 1;

    juce::Image image (juce::Image::RGB, attributes.width, attributes.height, false);

    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x)
        {
            const auto pixel = XGetPixel (ximage, x, y);
            image.setPixelAt (x, y, juce::Colour ((juce::uint8) ((pixel >> 16) & 0xff),
                                                  (juce::uint8) ((pixel >> 8) & 0xff),
                                                  (juce::uint8) (pixel & 0xff)));
        }

    XDestroyImage (ximage);

    juce::File file (juce::File::getCurrentWorkingDirectory().getChildFile (path));
    file.deleteFile();
    juce::FileOutputStream stream (file);
    juce::PNGImageFormat png;

    if (! stream.openedOk() || ! png.writeImageToStream (image, stream))
        return 1;

    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf (stderr, "usage: %s atoms | count TITLE | shown | close TITLE | shot FILE.png\n", argv[0]);
        return 2;
    }

    auto* display = XOpenDisplay (nullptr);

    if (display == nullptr)
    {
        std::fprintf (stderr, "%s: no X display\n", argv[0]);
        return 2;
    }

    // Windows may go away while they are looked at.
    XSetErrorHandler (ignoreErrors);

    const std::string command = argv[1];
    int result = 2;

    if (command == "atoms")
        result = createAtoms (display);
    else if (command == "count" && argc > 2)
    {
        std::vector<Window> windows;
        findWindows (display, DefaultRootWindow (display), argv[2], windows);
        std::printf ("%d\n", (int) windows.size());
        result = 0;
    }
    else if (command == "shown")
    {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0, shown = 0;

        if (XQueryTree (display, DefaultRootWindow (display), &root, &parent, &children, &count))
        {
            for (unsigned int i = 0; i < count; ++i)
            {
                XWindowAttributes attributes;

                if (XGetWindowAttributes (display, children[i], &attributes) && attributes.map_state == IsViewable)
                    ++shown;
            }

            if (children != nullptr)
                XFree (children);
        }

        std::printf ("%u\n", shown);
        result = 0;
    }
    else if (command == "close" && argc > 2)
        result = closeWindows (display, argv[2]);
    else if (command == "shot" && argc > 2)
        result = screenshot (display, argv[2]);
    else
        std::fprintf (stderr, "%s: unknown command\n", argv[0]);

    XCloseDisplay (display);
    return result;
}
