#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>
#include <string>

namespace corvadine::test
{
// The temporary HOME the current test runs in (made fresh for every test).
juce::File testHome();

// The user's documents folder inside the temporary HOME (created).
juce::File documentsFolder();

// Runs the message loop for the given time, delivering timers, async calls
// and queued mouse clicks.
void pumpMessageLoop (int milliseconds);

// Runs the message loop until the condition holds or the time runs out;
// returns whether the condition held.
bool pumpUntil (const std::function<bool()>& condition, int timeoutMilliseconds = 5000);

// Calls the function from the message loop after the delay: the way a test
// acts while a modal loop it started is running.
void callAfter (int milliseconds, std::function<void()> function);

// Clicks the component's centre with the left mouse button through the
// window it sits in, as the user would: the press and release go through
// JUCE's mouse handling, modal blocking included. The component must be
// showing in a window on the desktop.
void clickThroughWindow (juce::Component& component);

// Writes an image (or a component's snapshot) as a PNG into the build
// folder's "snapshots" folder, for a person to look at. Returns the file.
juce::File writeSnapshot (const juce::Image& image, const juce::String& name);
juce::File writeSnapshot (juce::Component& component, const juce::String& name);

// A mouse event on the component at a point of its own, as if pressed
// there (no drag) with the given modifier and button flags.
juce::MouseEvent mouseEventAt (juce::Component& component, juce::Point<float> position,
                               juce::ModifierKeys mods = {});

// A mouse event on the component that was pressed at one point of its own
// and has been dragged to another (past the drag threshold).
juce::MouseEvent mouseDragEventAt (juce::Component& component, juce::Point<float> pressPosition,
                                   juce::Point<float> position, juce::ModifierKeys mods = {});

// The real host files shipped beside the checkout, or a non-existent file.
juce::File hostSamplesFolder();

// Writes text to a file, creating its parent folders.
void writeTextFile (const juce::File& file, const juce::String& text);

// UTF-8 text as the bytes of UTF-16 with a byte order mark, little- or
// big-endian (as another tool may write a host file).
std::string utf16WithByteOrderMark (const std::string& utf8, bool bigEndian = false);

// A point list written as a braced list: pointList ({ { 0, 0 }, { 10, 0 } }).
juce::Array<juce::Point<float>> pointList (std::initializer_list<juce::Point<float>> points);

// A small tmpfs mounted over a folder for the length of a test: a disk that
// really fills up. Needs the right to mount (tests run as root); `mounted`
// says whether it could.
class SmallDisk
{
public:
    SmallDisk (const juce::File& folder, int kilobytes);
    ~SmallDisk();

    // Fills the disk up with a file of its own.
    void fill() const;
    void makeRoom() const { filler().deleteFile(); }
    juce::File filler() const { return mountPoint.getChildFile ("filler"); }

    const juce::File mountPoint;
    bool mounted = false;

    JUCE_DECLARE_NON_COPYABLE (SmallDisk)
};
} // namespace corvadine::test
