// The in-process frame source's notices: a client's new-frame handler and
// the directory's listeners, which let the preview draw only when something
// new comes. Also built with ThreadSanitizer (see tests/preview/CMakeLists.txt).
#include "platform/FrameSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace corvadine;

namespace
{
juce::Image blankFrame()
{
    return juce::Image (juce::Image::ARGB, 8, 4, true);
}

std::unique_ptr<FrameClient> clientOf (const FrameServer& server, juce::OpenGLContext& context,
                                       std::function<void()> handler = {})
{
    return FrameServerDirectory::sharedDirectory().makeClient (server.getDescription(), context, std::move (handler));
}

bool isListed (juce::uint64 serverId)
{
    for (const auto& description : FrameServerDirectory::sharedDirectory().servers())
        if (description.serverId == serverId)
            return true;

    return false;
}
} // namespace

TEST (FrameSource, EveryPublishedFrameCallsTheHandlerUntilTheClientStops)
{
    juce::OpenGLContext context;
    FrameServer server ("Arena", "Composition");
    std::atomic<int> calls { 0 }, otherCalls { 0 };

    auto client = clientOf (server, context, [&] { ++calls; });
    auto other = clientOf (server, context, [&] { ++otherCalls; });
    auto silent = clientOf (server, context);

    for (int i = 0; i < 3; ++i)
        server.publishFrame (blankFrame());

    EXPECT_EQ (calls, 3);
    EXPECT_EQ (otherCalls, 3);

    client->stop();
    server.publishFrame (blankFrame());
    EXPECT_EQ (calls, 3);
    EXPECT_EQ (otherCalls, 4);

    // A deleted client is told nothing either.
    other.reset();
    server.publishFrame (blankFrame());
    EXPECT_EQ (otherCalls, 4);
}

TEST (FrameSource, StoppingWaitsForAHandlerCallInProgress)
{
    juce::OpenGLContext context;
    FrameServer server ("Arena", "Composition");

    std::mutex lock;
    std::condition_variable condition;
    bool inside = false, released = false;
    std::atomic<int> calls { 0 };

    auto client = clientOf (server, context, [&]
    {
        ++calls;
        std::unique_lock<std::mutex> guard (lock);
        inside = true;
        condition.notify_all();
        condition.wait (guard, [&] { return released; });
    });

    std::thread host ([&] { server.publishFrame (blankFrame()); });
    {
        std::unique_lock<std::mutex> guard (lock);
        ASSERT_TRUE (condition.wait_for (guard, std::chrono::seconds (30), [&] { return inside; }));
    }

    std::atomic<bool> stopReturned { false };
    std::thread stopper ([&] { client->stop(); stopReturned = true; });

    // While the handler runs, stop does not return.
    std::this_thread::sleep_for (std::chrono::milliseconds (50));
    EXPECT_FALSE (stopReturned);

    {
        const std::lock_guard<std::mutex> guard (lock);
        released = true;
    }
    condition.notify_all();
    stopper.join();
    host.join();

    EXPECT_TRUE (stopReturned);
    server.publishFrame (blankFrame());
    EXPECT_EQ (calls, 1);
}

TEST (FrameSource, AClientIsValidWhileItsServerRunsAndItIsNotStopped)
{
    juce::OpenGLContext context;

    // Not published yet: valid all the same.
    auto server = std::make_unique<FrameServer> ("Arena", "Composition");
    auto client = clientOf (*server, context);
    EXPECT_TRUE (client->isValid());

    server->publishFrame (blankFrame());
    EXPECT_TRUE (client->isValid());

    auto stopped = clientOf (*server, context);
    stopped->stop();
    EXPECT_FALSE (stopped->isValid());

    server.reset();
    EXPECT_FALSE (client->isValid());
}

TEST (FrameSource, ListenersAreToldOfEveryServerStartingAndEndingUntilRemoved)
{
    struct Recorder : FrameServerDirectory::Listener
    {
        void frameServersChanged() override
        {
            const std::lock_guard<std::mutex> guard (lock);
            lists.push_back (FrameServerDirectory::sharedDirectory().servers());
        }

        std::mutex lock;
        std::vector<std::vector<FrameServerDescription>> lists;
    };

    Recorder recorder;
    auto& directory = FrameServerDirectory::sharedDirectory();
    directory.addListener (&recorder);

    auto server = std::make_unique<FrameServer> ("Arena", "Composition");
    const auto id = server->getDescription().serverId;

    // A server started on another thread is told on that thread, listed by then.
    std::thread other ([] { FrameServer passing ("Avenue", "Output"); });
    other.join();
    server.reset();

    {
        const std::lock_guard<std::mutex> guard (recorder.lock);
        ASSERT_EQ (recorder.lists.size(), 4u);
        auto listed = [&] (size_t call) { return std::any_of (recorder.lists[call].begin(), recorder.lists[call].end(),
                                                              [&] (const auto& d) { return d.serverId == id; }); };
        EXPECT_TRUE (listed (0));
        EXPECT_EQ (recorder.lists[1].size(), 2u);
        EXPECT_EQ (recorder.lists[2].size(), 1u);
        EXPECT_FALSE (listed (3));
        EXPECT_TRUE (recorder.lists[3].empty());
    }

    directory.removeListener (&recorder);
    FrameServer after ("Arena", "Composition");
    EXPECT_TRUE (isListed (after.getDescription().serverId));

    const std::lock_guard<std::mutex> guard (recorder.lock);
    EXPECT_EQ (recorder.lists.size(), 4u);
}
