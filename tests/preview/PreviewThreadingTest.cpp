// The preview's two threads: the message thread hands meshes over and
// opens and closes windows while the render thread draws. These tests are
// also built with ThreadSanitizer (see tests/preview/CMakeLists.txt).
#include "preview/StagePreview.h"

#include "preview/PreviewProbe.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <thread>
#include <utility>

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

// Runs an action in the middle of a frame, after the frame has taken its
// mesh: the server's frame request, which comes in the middle of a frame,
// runs it on a thread of its own and waits for it. (A frame that was asked
// for paints the component too, so it holds the message thread's lock: the
// action can't come from the test's own thread.)
class FrameHold
{
public:
    explicit FrameHold (FrameServer& server)
    {
        server.setFrameRequestListener ([this] { onFrameRequested(); });
    }

    // The next frame that asks the server for a picture runs the action.
    void duringNextFrame (std::function<void()> action)
    {
        const std::lock_guard<std::mutex> guard (lock);
        pending = std::move (action);
        ran = false;
    }

    bool hasRun() const
    {
        const std::lock_guard<std::mutex> guard (lock);
        return ran;
    }

private:
    void onFrameRequested()
    {
        std::function<void()> action;
        {
            const std::lock_guard<std::mutex> guard (lock);
            action = std::exchange (pending, nullptr);
        }

        if (! action)
            return;

        std::thread (action).join();

        const std::lock_guard<std::mutex> guard (lock);
        ran = true;
    }

    mutable std::mutex lock;
    std::function<void()> pending;
    bool ran = false;
};

juce::Image blankFrame()
{
    return juce::Image (juce::Image::ARGB, 32, 16, true);
}

bool drawsTag (const PreviewProbe& preview, float tag)
{
    const auto tags = preview.meshTags();
    return ! tags.empty() && tags.back() == tag;
}
} // namespace

TEST (StagePreviewThreads, AStoreDuringAFrameIsDrawnByTheNextFrame)
{
    FrameServer server ("Arena", "Composition");
    server.publishFrame (blankFrame());
    FrameHold hold (server);

    auto preview = openPreview();
    preview->setMesh (test::taggedMesh (0.0f));
    ASSERT_TRUE (test::pumpUntil ([&] { return drawsTag (*preview, 0.0f) && server.getNumActiveClients() == 1; }, test::renderTimeout));

    for (int i = 1; i <= 8; ++i)
    {
        const auto before = (float) (i - 1) / 100.0f;
        const auto tag = (float) i / 100.0f;
        std::atomic<bool> storedInFrame { false };

        // The server's next frame asks for a frame, which stores a mesh
        // from another thread while it draws.
        hold.duringNextFrame ([&, tag]
        {
            storedInFrame = preview->isInFrame();
            preview->setMesh (test::taggedMesh (tag));
        });
        server.publishFrame (blankFrame());

        ASSERT_TRUE (test::pumpUntil ([&] { return drawsTag (*preview, tag); }, test::renderTimeout)) << "store " << i << " was lost";
        EXPECT_TRUE (hold.hasRun());
        EXPECT_TRUE (storedInFrame);

        // The held frame drew the mesh it had taken; the one after drew the store.
        const auto tags = preview->meshTags();
        const auto first = std::find (tags.begin(), tags.end(), tag);
        ASSERT_NE (first, tags.begin());
        EXPECT_EQ (*(first - 1), before);
    }

    // Closing right after a frame that stored, with the frame it asked for
    // still to come.
    hold.duringNextFrame ([&] { preview->setMesh (test::taggedMesh (0.75f)); });
    server.publishFrame (blankFrame());
    ASSERT_TRUE (test::pumpUntil ([&] { return hold.hasRun(); }, test::renderTimeout));
    preview.reset();
    EXPECT_EQ (server.getNumActiveClients(), 0);
}

TEST (StagePreviewThreads, OfManyStoresTheLatestIsDrawnAndFramesNeverGoBack)
{
    auto preview = openPreview();
    ASSERT_TRUE (test::drawFrames (*preview, 2));

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
            server.publishFrame (blankFrame());
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
        ASSERT_TRUE (test::drawFrames (*preview, 2));

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

TEST (StagePreviewThreads, FramesNeverComeFasterThanTheDisplayRefreshes)
{
    FrameServer server ("Arena", "Composition");
    server.publishFrame (blankFrame());

    auto preview = openPreview();
    ASSERT_TRUE (test::pumpUntil ([&] { return preview->isServerShown() && server.getNumActiveClients() == 1; }, test::renderTimeout));
    ASSERT_TRUE (test::drawFrames (*preview, 2));

    // The server publishes and the stores come far faster than any display
    // refreshes; every one of them asks for a frame.
    std::atomic<bool> running { true };
    std::atomic<int> published { 0 };
    std::thread host ([&]
    {
        while (running)
        {
            server.publishFrame (blankFrame());
            ++published;
            std::this_thread::sleep_for (std::chrono::microseconds (200));
        }
    });

    const test::DisplayRefreshCounter refreshes (*preview);
    const auto framesBefore = preview->getNumFrames();
    int stores = 0;

    ASSERT_TRUE (test::pumpUntil ([&]
    {
        preview->setMesh (test::taggedMesh ((float) ++stores / 1.0e6f));
        return refreshes.getCount() >= 40;
    }, test::renderTimeout));

    const auto frames = preview->getNumFrames() - framesBefore;
    const auto refreshCount = refreshes.getCount();
    running = false;
    host.join();

    // At most one frame a refresh (and one already under way); the frames
    // keep coming all the same.
    EXPECT_LE (frames, refreshCount + 1) << published.load() << " frames published, " << stores << " stores";
    EXPECT_GT (frames, 0);
    EXPECT_GT (published.load(), frames);
}
