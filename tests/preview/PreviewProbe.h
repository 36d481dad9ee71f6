#pragma once

#include "model/PreviewMesh.h"
#include "preview/StagePreview.h"

#include <atomic>
#include <mutex>
#include <vector>

// A preview that records, on the render thread, what each of its frames
// did: the OpenGL error state after the frame, the pixels it left (read back
// before the component painting is laid over them), the colour at the
// centre and which mesh it drew.
namespace corvadine::test
{
class PreviewProbe : public StagePreview
{
public:
    // What one frame left behind.
    struct Frame
    {
        int number = 0;
        int width = 0;
        int height = 0;
        std::vector<juce::uint8> rgba; // rows from the bottom, as OpenGL reads them
        float meshTag = -1.0f;         // first vertex value of the drawn mesh, -1 when empty

        // Channels of the pixel (x to the right, y up from the bottom).
        juce::Colour pixel (int x, int y) const;
        // The frame as a picture, top row first.
        juce::Image toImage() const;
    };

    PreviewProbe();

    // Stops the render thread before this subclass goes away.
    ~PreviewProbe() override;

    void render() override;

    // Message-thread view of what the render thread recorded.
    int getNumFrames() const { return numFrames.load(); }
    Frame latestFrame() const;
    std::vector<juce::uint32> centreColours() const;       // one per frame, ARGB
    std::vector<float> meshTags() const;                    // one per frame
    unsigned int firstGlError() const { return firstError.load(); }

    // Whether every frame reads its pixels back (on by default).
    std::atomic<bool> readPixels { true };

private:
    std::atomic<int> numFrames { 0 };
    std::atomic<unsigned int> firstError { 0 };

    mutable std::mutex lock;
    Frame latest;
    std::vector<juce::uint32> centres;
    std::vector<float> tags;
};

// A mesh of one triangle per entry, drawn over the whole texture, whose
// first vertex value is the tag, so frames can tell meshes apart.
PreviewMesh taggedMesh (float tag);

// Keeps Mesa's OpenGL driver loaded until the process ends. Mesa keeps a
// few allocations of a window's drawable for the life of the X connection
// and unloads its driver when the connection closes; loaded, the driver's
// name shows in the leak report, where tools/lsan.supp names it. Called by
// every test that opens an OpenGL window.
void keepOpenGLDriverLoaded();

// How long a test waits for the render thread: generous, since a loaded
// machine slows software OpenGL down a lot.
#ifdef CORVADINE_RENDER_TIMEOUT_MS
constexpr int renderTimeout = CORVADINE_RENDER_TIMEOUT_MS;
#else
constexpr int renderTimeout = 60000;
#endif

// Pumps the message loop until the preview has rendered more frames (which
// only come when something asks for them).
bool waitForFrames (const PreviewProbe& probe, int moreFrames, int timeoutMilliseconds = renderTimeout);

// Asks the preview for frames one after the other, as repeated exposes of
// its window would, and waits for each: for tests that need frames to have
// run (scans for a server, draws of the same picture).
bool drawFrames (PreviewProbe& probe, int frames, int timeoutMilliseconds = renderTimeout);

// Counts, on the message thread, the refreshes of the display the component
// is shown on (JUCE's vertical-blank callbacks), from construction on.
class DisplayRefreshCounter
{
public:
    explicit DisplayRefreshCounter (juce::Component& component);
    int getCount() const noexcept { return count; }

private:
    int count = 0;
    juce::VBlankAttachment attachment;
};

// Asks the X server to expose every window inside the component's window
// (as uncovering it would), so that the window system tells the
// application to redraw them.
bool exposeWindow (juce::Component& component);
} // namespace corvadine::test
