#pragma once

#include "model/PreviewMesh.h"
#include "platform/FrameSource.h"

#include <juce_opengl/juce_opengl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace corvadine
{
// The preview window: shows the host's composition frames, as the frame
// source hands them over, drawn through the preview mesh of the visible
// slices, so the output looks as the stage lays it out. While the host's
// server is not listed it shows a checkerboard.
//
// Frames are drawn only when there is something new to show: a frame
// published by the server, a new mesh, a server starting or ending, a
// connection made or lost, and whatever JUCE repaints itself (a resize, an
// expose, the checkerboard's repaint). The new things ask for a frame, and
// the display's refresh (JUCE's vertical-blank callback of the window's
// display) starts at most one frame per refresh for all that asked since
// the last one; with nothing new the render thread sleeps.
//
// Threads: everything runs on the message thread except render, which runs
// on the OpenGL render thread. The two meet only in the mesh slot (a mutex
// held for a move), a few atomic flags and an AsyncUpdater that carries the
// server's presence to the message thread; the render thread never waits
// for the message thread, so closing the window or quitting can't deadlock.
class StagePreview : public juce::OpenGLAppComponent,
                     private juce::AsyncUpdater
{
public:
    StagePreview();

    // Detaches the OpenGL context first (the render thread is done with this
    // window when that returns), then stops and releases the frame client.
    ~StagePreview() override;

    // Called when the user clicks the window's close button; the close
    // button does nothing else (the owner deletes the window).
    std::function<void()> onCloseRequested;

    // Hands over a new mesh and asks for a frame; safe from any thread. The
    // next frame that starts takes the latest one handed over: a mesh handed
    // over while a frame is being drawn is drawn by the frame after it, never
    // dropped.
    void setMesh (PreviewMesh newMesh);

    // Asks for a frame: the display's next refresh starts one. Safe from any
    // thread; any number of asks before that refresh make one frame.
    void requestFrame() noexcept;

    // Puts the component on the desktop as the preview window: the window
    // style below, shown, 640 x 480, centred on the main display, always on
    // top.
    void showAsWindow();

    // Keeps the window's position and width and gives it the visible slices'
    // aspect (see previewHeightForWidth).
    void fitToVisibleSliceBounds (juce::Rectangle<float> visibleSliceBounds);

    // Whether the host's server was listed when the message thread last
    // heard of a change: while it is not, paint shows the checkerboard.
    bool isServerShown() const noexcept { return serverPresent.load(); }

    // Whether the render thread is drawing a frame now.
    bool isInFrame() const noexcept { return inFrame.load(); }

    // Whether the frame source lists a server of the host's composition.
    static bool isArenaServerPresent();

    // Shown on the taskbar (1), title bar (8), resizable (16), close button (128).
    static constexpr int windowStyleFlags = juce::ComponentPeer::windowAppearsOnTaskbar
                                          | juce::ComponentPeer::windowHasTitleBar
                                          | juce::ComponentPeer::windowIsResizable
                                          | juce::ComponentPeer::windowHasCloseButton;

    // The server the preview connects to: the host's application name and
    // the name of its composition output.
    static constexpr const char* hostAppName = "Arena";
    static constexpr const char* hostServerName = "Composition";

    //==============================================================================
    void userTriedToCloseWindow() override;
    void paint (juce::Graphics& g) override;
    void initialise() override;
    void shutdown() override;
    void render() override;

protected:
    // The mesh the current frame draws; for the render thread only.
    const PreviewMesh& getFrameMesh() const noexcept { return frameMesh; }

private:
    void handleAsyncUpdate() override;
    void displayRefreshed();
    void takeLatestMesh();
    bool connectToServer();
    void drawFrame (const FrameImage& image);

    // Written by setMesh, emptied by the render thread at the start of a frame.
    std::mutex meshLock;
    std::optional<PreviewMesh> pendingMesh;

    // Render thread only (and the destructor, after the context is detached).
    PreviewMesh frameMesh;
    std::vector<float> drawnVertices;
    std::unique_ptr<FrameClient> client;
    bool clientConnected = false;

    std::atomic<bool> inFrame { false };
    // The render thread's last presence result, and what paint shows; the
    // latter is set on the message thread from the former.
    std::atomic<bool> presenceSeen { false };
    std::atomic<bool> serverPresent { false };

    // Set by requestFrame, taken by the display's refresh on the message thread.
    std::atomic<bool> frameRequested { false };

    // Asks for a frame whenever a server starts or ends: a frame scans for the
    // host's server, or finds its own gone. Listed from its construction to
    // its destruction; an object of its own, so that no other thread calls
    // into the window while it is being made or taken apart.
    class ServerWatch : private FrameServerDirectory::Listener
    {
    public:
        explicit ServerWatch (std::atomic<bool>& flagToSet);
        ~ServerWatch() override;

    private:
        void frameServersChanged() override;
        std::atomic<bool>& flag;
    };

    ServerWatch serverWatch { frameRequested };
    juce::VBlankAttachment displayLink { this, [this] { displayRefreshed(); } };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StagePreview)
};

// The preview window's height for its width: the width divided by the
// aspect (width / height) of the visible slices' bounds, worked out in
// single precision and truncated, so 640 gives 640 for no visible slices
// (the 160 x 160 margin box) and 320 for bounds twice as wide as high. Never
// below 1 nor above 16384; bounds without a finite aspect keep the window
// square.
int previewHeightForWidth (int width, juce::Rectangle<float> visibleSliceBounds);
} // namespace corvadine
