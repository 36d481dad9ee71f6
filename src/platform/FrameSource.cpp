#include "platform/FrameSource.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace corvadine
{
namespace
{
// One published picture, rows from the bottom up as OpenGL stores them,
// pixels as 32-bit BGRA in memory.
struct Frame
{
    int width = 0;
    int height = 0;
    std::vector<juce::uint32> pixels;
    juce::uint64 serial = 0;
};
} // namespace

struct FrameServer::State
{
    FrameServerDescription description;

    mutable std::mutex lock;
    std::shared_ptr<const Frame> frame; // guarded by lock
    bool running = true;                 // guarded by lock
    std::shared_ptr<const std::function<void()>> requestListener; // guarded by lock
    std::vector<std::weak_ptr<FrameClient::Connection>> clients;  // guarded by lock

    std::atomic<int> clientsMade { 0 };
    std::atomic<int> activeClients { 0 };
};

struct FrameServerDirectory::Servers
{
    mutable std::mutex lock;
    std::vector<std::shared_ptr<FrameServer::State>> running; // in starting order
    juce::uint64 nextId = 1;

    // Held while listeners are told, so that removing one waits for a call
    // in progress.
    std::mutex listenersLock;
    std::vector<Listener*> listeners; // guarded by listenersLock

    void tellListeners()
    {
        const std::lock_guard<std::mutex> guard (listenersLock);

        for (auto* listener : listeners)
            listener->frameServersChanged();
    }
};

struct FrameClient::Connection
{
    std::shared_ptr<FrameServer::State> server;
    juce::OpenGLContext* context = nullptr;
    mutable std::mutex lock; // stop may come from another thread than the frames
    bool stopped = false;     // guarded by lock
    unsigned int texture = 0;
    juce::uint64 uploadedSerial = 0;

    // Held while the handler runs, so that stopping waits for a call in
    // progress and no call comes after it.
    std::mutex handlerLock;
    std::function<void()> newFrameHandler; // guarded by handlerLock

    void tellNewFrame()
    {
        const std::lock_guard<std::mutex> guard (handlerLock);

        if (newFrameHandler)
            newFrameHandler();
    }

    bool contextIsCurrent() const { return juce::OpenGLContext::getCurrentContext() == context; }

    void releaseTexture()
    {
        if (texture != 0 && contextIsCurrent())
            juce::gl::glDeleteTextures (1, &texture);

        texture = 0;
        uploadedSerial = 0;
    }
};

//==============================================================================
FrameClient::FrameClient (std::shared_ptr<Connection> c) : connection (std::move (c)) {}

FrameClient::~FrameClient()
{
    stop();
}

std::unique_ptr<FrameImage> FrameClient::newFrameImage()
{
    using namespace juce::gl;
    auto& c = *connection;

    {
        const std::lock_guard<std::mutex> guard (c.lock);
        if (c.stopped)
            return {};
    }

    if (! c.contextIsCurrent())
        return {};

    std::shared_ptr<const Frame> frame;
    std::shared_ptr<const std::function<void()>> listener;
    {
        const std::lock_guard<std::mutex> guard (c.server->lock);
        listener = c.server->requestListener;
    }

    if (listener != nullptr && *listener)
        (*listener)();

    {
        const std::lock_guard<std::mutex> guard (c.server->lock);
        if (c.server->running)
            frame = c.server->frame;
    }

    if (frame == nullptr || frame->width <= 0 || frame->height <= 0)
        return {};

    if (c.texture == 0)
        glGenTextures (1, &c.texture);

    if (c.uploadedSerial != frame->serial)
    {
        glBindTexture (GL_TEXTURE_RECTANGLE, c.texture);
        // A rectangle texture takes only these filters and wraps.
        glTexParameteri (GL_TEXTURE_RECTANGLE, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri (GL_TEXTURE_RECTANGLE, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri (GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri (GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glPixelStorei (GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D (GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, frame->width, frame->height, 0,
                      GL_BGRA, GL_UNSIGNED_BYTE, frame->pixels.data());
        glBindTexture (GL_TEXTURE_RECTANGLE, 0);
        c.uploadedSerial = frame->serial;
    }

    return std::make_unique<FrameImage> (c.texture, juce::Point<double> ((double) frame->width, (double) frame->height));
}

bool FrameClient::isValid() const
{
    auto& c = *connection;

    {
        const std::lock_guard<std::mutex> guard (c.lock);
        if (c.stopped)
            return false;
    }

    const std::lock_guard<std::mutex> guard (c.server->lock);
    return c.server->running;
}

void FrameClient::stop()
{
    auto& c = *connection;

    {
        const std::lock_guard<std::mutex> guard (c.lock);
        if (c.stopped)
            return;

        c.stopped = true;
    }

    {
        const std::lock_guard<std::mutex> guard (c.handlerLock);
        c.newFrameHandler = nullptr;
    }

    --c.server->activeClients;
    c.releaseTexture();
}

//==============================================================================
FrameServerDirectory::FrameServerDirectory() : list (std::make_shared<Servers>()) {}

FrameServerDirectory& FrameServerDirectory::sharedDirectory()
{
    static FrameServerDirectory directory;
    return directory;
}

std::vector<FrameServerDescription> FrameServerDirectory::servers() const
{
    const std::lock_guard<std::mutex> guard (list->lock);
    std::vector<FrameServerDescription> descriptions;
    descriptions.reserve (list->running.size());

    for (auto& server : list->running)
        descriptions.push_back (server->description);

    return descriptions;
}

std::unique_ptr<FrameClient> FrameServerDirectory::makeClient (const FrameServerDescription& description,
                                                               juce::OpenGLContext& context,
                                                               std::function<void()> newFrameHandler) const
{
    std::shared_ptr<FrameServer::State> server;
    {
        const std::lock_guard<std::mutex> guard (list->lock);
        for (auto& s : list->running)
            if (s->description.serverId == description.serverId)
                server = s;
    }

    if (server == nullptr)
        return {};

    ++server->clientsMade;
    ++server->activeClients;

    auto connection = std::make_shared<FrameClient::Connection>();
    connection->server = server;
    connection->context = &context;
    connection->newFrameHandler = std::move (newFrameHandler);

    {
        const std::lock_guard<std::mutex> guard (server->lock);
        auto& clients = server->clients;
        clients.erase (std::remove_if (clients.begin(), clients.end(), [] (const auto& c) { return c.expired(); }), clients.end());
        clients.push_back (connection);
    }

    return std::unique_ptr<FrameClient> (new FrameClient (std::move (connection)));
}

void FrameServerDirectory::addListener (Listener* listener)
{
    const std::lock_guard<std::mutex> guard (list->listenersLock);
    list->listeners.push_back (listener);
}

void FrameServerDirectory::removeListener (Listener* listener)
{
    const std::lock_guard<std::mutex> guard (list->listenersLock);
    auto& listeners = list->listeners;
    listeners.erase (std::remove (listeners.begin(), listeners.end(), listener), listeners.end());
}

//==============================================================================
FrameServer::FrameServer (const juce::String& appName, const juce::String& name)
    : state (std::make_shared<State>())
{
    auto& servers = *FrameServerDirectory::sharedDirectory().list;

    {
        const std::lock_guard<std::mutex> guard (servers.lock);
        state->description = { name, appName, servers.nextId++ };
        servers.running.push_back (state);
    }

    servers.tellListeners();
}

FrameServer::~FrameServer()
{
    auto& servers = *FrameServerDirectory::sharedDirectory().list;

    {
        const std::lock_guard<std::mutex> guard (servers.lock);
        servers.running.erase (std::remove (servers.running.begin(), servers.running.end(), state), servers.running.end());
    }

    {
        const std::lock_guard<std::mutex> guard (state->lock);
        state->running = false;
        state->frame.reset();
    }

    // Told once the server is gone for good, so that a client asking then
    // finds it gone.
    servers.tellListeners();
}

void FrameServer::publishFrame (const juce::Image& picture)
{
    auto frame = std::make_shared<Frame>();
    const auto argb = picture.convertedToFormat (juce::Image::ARGB);
    frame->width = argb.getWidth();
    frame->height = argb.getHeight();
    frame->pixels.resize ((size_t) frame->width * (size_t) frame->height);

    {
        const juce::Image::BitmapData data (argb, juce::Image::BitmapData::readOnly);

        // JUCE keeps ARGB pixels as 32-bit words, BGRA in memory on this
        // platform; OpenGL's rows start at the bottom.
        for (int y = 0; y < frame->height; ++y)
            std::memcpy (frame->pixels.data() + (size_t) (frame->height - 1 - y) * (size_t) frame->width,
                         data.getLinePointer (y), (size_t) frame->width * sizeof (juce::uint32));
    }

    static std::atomic<juce::uint64> serials { 0 };
    frame->serial = ++serials;

    std::vector<std::shared_ptr<FrameClient::Connection>> clients;
    {
        const std::lock_guard<std::mutex> guard (state->lock);
        if (! state->running)
            return;

        state->frame = std::move (frame);

        for (auto& client : state->clients)
            if (auto connection = client.lock())
                clients.push_back (std::move (connection));
    }

    for (auto& client : clients)
        client->tellNewFrame();
}

FrameServerDescription FrameServer::getDescription() const
{
    return state->description;
}

void FrameServer::setFrameRequestListener (std::function<void()> listener)
{
    auto shared = std::make_shared<const std::function<void()>> (std::move (listener));
    const std::lock_guard<std::mutex> guard (state->lock);
    state->requestListener = std::move (shared);
}

int FrameServer::getNumClientsMade() const
{
    return state->clientsMade.load();
}

int FrameServer::getNumActiveClients() const
{
    return state->activeClients.load();
}
} // namespace corvadine
