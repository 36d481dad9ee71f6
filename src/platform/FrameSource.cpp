#include "platform/FrameSource.h"

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

    std::atomic<int> clientsMade { 0 };
    std::atomic<int> activeClients { 0 };
};

struct FrameServerDirectory::Servers
{
    mutable std::mutex lock;
    std::vector<std::shared_ptr<FrameServer::State>> running; // in starting order
    juce::uint64 nextId = 1;
};

struct FrameClient::Connection
{
    std::shared_ptr<FrameServer::State> server;
    juce::OpenGLContext* context = nullptr;
    std::mutex lock;       // stop may come from another thread than the frames
    bool stopped = false;   // guarded by lock
    unsigned int texture = 0;
    juce::uint64 uploadedSerial = 0;

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
FrameClient::FrameClient (std::unique_ptr<Connection> c) : connection (std::move (c)) {}

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

void FrameClient::stop()
{
    auto& c = *connection;

    {
        const std::lock_guard<std::mutex> guard (c.lock);
        if (c.stopped)
            return;

        c.stopped = true;
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
                                                               juce::OpenGLContext& context) const
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

    auto connection = std::make_unique<FrameClient::Connection>();
    connection->server = std::move (server);
    connection->context = &context;
    return std::unique_ptr<FrameClient> (new FrameClient (std::move (connection)));
}

//==============================================================================
FrameServer::FrameServer (const juce::String& appName, const juce::String& name)
    : state (std::make_shared<State>())
{
    auto& servers = *FrameServerDirectory::sharedDirectory().list;
    const std::lock_guard<std::mutex> guard (servers.lock);
    state->description = { name, appName, servers.nextId++ };
    servers.running.push_back (state);
}

FrameServer::~FrameServer()
{
    {
        auto& servers = *FrameServerDirectory::sharedDirectory().list;
        const std::lock_guard<std::mutex> guard (servers.lock);
        servers.running.erase (std::remove (servers.running.begin(), servers.running.end(), state), servers.running.end());
    }

    const std::lock_guard<std::mutex> guard (state->lock);
    state->running = false;
    state->frame.reset();
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

    const std::lock_guard<std::mutex> guard (state->lock);
    if (state->running)
        state->frame = std::move (frame);
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
