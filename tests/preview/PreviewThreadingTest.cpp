// The preview's two threads: the message thread hands meshes over and
// opens and closes windows while the render thread draws. These tests are
// also built with ThreadSanitizer (see tests/preview/CMakeLists.txt).
#include "preview/StagePreview.h"

#include "preview/PreviewProbe.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

using namespace corvadine;
using test::PreviewProbe;

namespace
{
std::unique_ptr<PreviewProbe> openPreview()
{
    auto preview = std::make_unique<PreviewProbe>();
    // The mesh tags are what these tests look at, not the pixels.
    preview->readPixels = false;
    preview->showAsWindow();
    return preview;
}

// Holds the render thread inside a frame, after the frame has taken its
// mesh: the server's frame request, which comes in the middle of a frame,
// waits until the test lets it go.
class FrameHold
{
public:
    explicit FrameHold (FrameServer& server)
    {
        server.setFrameRequestListener ([this] { onFrameRequested(); });
    }

    // Pumps the message loop until a frame is held.
    bool holdNextFrame()
    {
        {
            const std::lock_guard<std::mutex> guard (lock);
            armed = true;
            released = false;
        }

        return test::pumpUntil ([this] { const std::lock_guard<std::mutex> guard (lock); return holding; }, test::renderTimeout);
    }

    void release()
    {
        const std::lock_guard<std::mutex> guard (lock);
        released = true;
        condition.notify_all();
    }

private:
    void onFrameRequested()
    {
        std::unique_lock<std::mutex> guard (lock);

        // A frame that paints the component holds the message thread's lock:
        // the test could not run while it waits, so only other frames stop.
        if (! armed || juce::MessageManager::getInstance()->currentThreadHasLockedMessageManager())
            return;

        armed = false;
        holding = true;
        condition.wait_for (guard, std::chrono::seconds (20), [this] { return released; });
        holding = false;
    }

    std::mutex lock;
    std::condition_variable condition;
    bool armed = false, holding = false, released = false;
};

bool drawsTag (const PreviewProbe& preview, float tag)
{
    const auto tags = preview.meshTags();
    return ! tags.empty() && tags.back() == tag;
}
} // namespace

TEST (StagePreviewThreads, AStoreDuringAFrameIsDrawnByTheNextFrame)
{
    FrameServer server ("Arena", "Composition");
    server.publishFrame (juce::Image (juce::Image::ARGB, 32, 16, true));
    FrameHold hold (server);

    auto preview = openPreview();
    preview->setMesh (test::taggedMesh (0.0f));

    for (int i = 1; i <= 8; ++i)
    {
        const auto before = (float) (i - 1) / 100.0f;
        const auto tag = (float) i / 100.0f;

        ASSERT_TRUE (hold.holdNextFrame());
        EXPECT_TRUE (preview->isInFrame());
        preview->setMesh (test::taggedMesh (tag));
        hold.release();

        ASSERT_TRUE (test::pumpUntil ([&] { return drawsTag (*preview, tag); }, test::renderTimeout)) << "store " << i << " was lost";

        // The held frame drew the mesh it had taken; the one after drew the store.
        const auto tags = preview->meshTags();
        const auto first = std::find (tags.begin(), tags.end(), tag);
        ASSERT_NE (first, tags.begin());
        EXPECT_EQ (*(first - 1), before);
    }

    // Closing while a frame is held and let go.
    ASSERT_TRUE (hold.holdNextFrame());
    preview->setMesh (test::taggedMesh (0.75f));
    hold.release();
    preview.reset();
    EXPECT_EQ (server.getNumActiveClients(), 0);
}

TEST (StagePreviewThreads, OfManyStoresTheLatestIsDrawnAndFramesNeverGoBack)
{
    auto preview = openPreview();
    ASSERT_TRUE (test::waitForFrames (*preview, 2));

    constexpr int stores = 2000;
    for (int i = 1; i <= stores; ++i)
    {
        preview->setMesh (test::taggedMesh ((float) i / stores));

        if (i % 100 == 0)
            test::pumpMessageLoop (1);
    }

    ASSERT_TRUE (test::pumpUntil ([&] { return drawsTag (*preview, 1.0f); }, test::renderTimeout));

    // Each frame takes the latest mesh handed over: the tags drawn only grow.
    const auto tags = preview->meshTags();
    EXPECT_TRUE (std::is_sorted (tags.begin(), tags.end()));
}

TEST (StagePreviewThreads, ClosingAndReopeningWhileStoresRunAndTheServerComesAndGoes)
{
    std::atomic<bool> running { true };

    // The host's server starts and stops all the while, so presence changes
    // are on their way to the message thread when windows close.
    std::thread host ([&]
    {
        while (running)
        {
            FrameServer server ("Arena", "Composition");
            server.publishFrame (juce::Image (juce::Image::ARGB, 32, 16, true));
            std::this_thread::sleep_for (std::chrono::milliseconds (7));
        }
    });

    std::unique_ptr<PreviewProbe> preview;
    int stored = 0;

    for (int cycle = 0; cycle < 4; ++cycle)
    {
        preview = openPreview();
        preview->onCloseRequested = [&] { preview.reset(); };

        ASSERT_TRUE (test::pumpUntil ([&]
        {
            preview->setMesh (test::taggedMesh ((float) ++stored / 100000.0f));
            return preview->getNumFrames() >= 3;
        }, test::renderTimeout));

        // Close while frames run: by the close button or by the owner
        // deleting the window.
        preview->setMesh (test::taggedMesh (0.5f));

        if (cycle % 2 == 0)
            preview->userTriedToCloseWindow();
        else
            preview.reset();

        // Whatever was posted for the closed window arrives at nothing.
        test::pumpMessageLoop (20);
    }

    preview.reset();
    running = false;
    host.join();
}

TEST (StagePreviewThreads, StoresFromAnotherThreadWhileTheWindowCloses)
{
    for (int cycle = 0; cycle < 2; ++cycle)
    {
        auto preview = openPreview();
        ASSERT_TRUE (test::waitForFrames (*preview, 2));

        std::atomic<bool> running { true };
        std::thread storer ([&]
        {
            for (int i = 1; running; ++i)
                preview->setMesh (test::taggedMesh ((float) i / 1.0e6f));
        });

        test::pumpMessageLoop (50);
        // The window's context goes first; the storer still hands meshes
        // over to the window, which no frame takes any more.
        preview->shutdownOpenGL();
        running = false;
        storer.join();
        preview.reset();
    }
}
