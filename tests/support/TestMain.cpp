// Test entry point: starts JUCE's message manager and gives every test a
// fresh temporary HOME, so no test touches a real account or sees files
// another test left behind.
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace
{
class TemporaryHome final : public testing::EmptyTestEventListener
{
public:
    void OnTestStart (const testing::TestInfo&) override
    {
        char pattern[] = "/tmp/corvadine-home-XXXXXX";

        if (auto* made = ::mkdtemp (pattern))
        {
            home = made;
            ::setenv ("HOME", made, 1);
            // Everything derived from HOME follows it.
            ::unsetenv ("XDG_DATA_HOME");
            ::unsetenv ("XDG_CONFIG_HOME");
            ::unsetenv ("XDG_DOCUMENTS_DIR");
            ::unsetenv ("XDG_CACHE_HOME");
            // The one-instance lock then lives under this HOME too, so no
            // test meets a copy of the application started by another.
            ::unsetenv ("XDG_RUNTIME_DIR");
        }
    }

    void OnTestEnd (const testing::TestInfo&) override
    {
        if (! home.empty() && ! std::getenv ("CORVADINE_KEEP_TEST_HOME"))
            juce::File (home).deleteRecursively();

        home.clear();
    }

private:
    std::string home;
};

// JUCE looks the window-manager atoms up without creating them and passes a
// missing one to XChangeProperty, which kills the process with BadAtom. A
// bare Xvfb has no window manager to create them, so they are made here,
// before JUCE connects, on a connection held open until JUCE has shut down
// (the server forgets its atoms when its last client leaves).
class WindowManagerAtoms
{
public:
    WindowManagerAtoms()
    {
        x11 = ::dlopen ("libX11.so.6", RTLD_NOW | RTLD_LOCAL);

        if (x11 == nullptr)
            return;

        auto openDisplay = reinterpret_cast<void* (*) (const char*)> (::dlsym (x11, "XOpenDisplay"));
        auto internAtom = reinterpret_cast<unsigned long (*) (void*, const char*, int)> (::dlsym (x11, "XInternAtom"));

        // JUCE installs its forgiving X error handler only inside a real
        // application. Without one, Xlib's default handler ends the process
        // on any error, and tests sharing one display do cause harmless ones:
        // JUCE asks about the focused window, which may belong to another
        // test process that has just closed it (BadWindow).
        if (auto setErrorHandler = reinterpret_cast<void* (*) (int (*) (void*, void*))> (::dlsym (x11, "XSetErrorHandler")))
            setErrorHandler ([] (void*, void*) { return 0; });

        if (openDisplay == nullptr || internAtom == nullptr || (display = openDisplay (nullptr)) == nullptr)
            return;

        for (auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "WM_CHANGE_STATE", "WM_STATE",
                            "_NET_WM_PING", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL",
                            "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN" })
            internAtom (display, name, 0);
    }

    ~WindowManagerAtoms()
    {
        if (display != nullptr)
            if (auto closeDisplay = reinterpret_cast<int (*) (void*)> (::dlsym (x11, "XCloseDisplay")))
                closeDisplay (display);
    }

private:
    void* x11 = nullptr;
    void* display = nullptr;
};
} // namespace

int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append (new TemporaryHome());

    const WindowManagerAtoms atoms;
    juce::ScopedJuceInitialiser_GUI juce;
    const auto result = RUN_ALL_TESTS();
    juce::DeletedAtShutdown::deleteAll();
    return result;
}
