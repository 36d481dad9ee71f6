#pragma once

#include <juce_opengl/juce_opengl.h>

#include <functional>
#include <memory>
#include <vector>

// Frames shared between applications on one machine, as the preview
// receives the host's composition output: a directory lists the running
// frame servers, a client connects to one of them inside the OpenGL context
// of the thread that draws, and every frame it hands out is a rectangle
// texture in that context.
//
// This platform has no system service for it, so the implementation is
// in-process: the application finds no server listed (its preview shows the
// checkerboard), and a FrameServer made in the same process (tests make
// one) is listed and serves the pictures published on it.
namespace corvadine
{
// One server as the directory lists it.
struct FrameServerDescription
{
    juce::String name;        // what the server calls its output, e.g. "Composition"
    juce::String appName;     // the application that runs it, e.g. "Arena"
    juce::uint64 serverId = 0; // which server this describes
};

// A frame handed to a client: a rectangle texture (GL_TEXTURE_RECTANGLE) in
// the client's context, its first row the bottom of the picture, its size
// in pixels. The texture stays the client's; the image is released once
// drawn.
class FrameImage
{
public:
    FrameImage (unsigned int textureName, juce::Point<double> textureSize) noexcept
        : name (textureName), size (textureSize) {}

    unsigned int textureName() const noexcept { return name; }
    juce::Point<double> textureSize() const noexcept { return size; }

private:
    unsigned int name;
    juce::Point<double> size;
};

// A connection to one server, made for one OpenGL context and used only on
// the thread where that context is current (stop and isValid may come from
// anywhere).
class FrameClient
{
public:
    ~FrameClient();

    // The server's latest frame as a texture of this client's context, or
    // nothing when none can be had: the client is stopped, the server has
    // gone or has published nothing yet, or the context is not current.
    std::unique_ptr<FrameImage> newFrameImage();

    // Whether the connection stands: the client is not stopped and its
    // server still runs (it may not have published a frame yet).
    bool isValid() const;

    // Ends the connection: no frame, and no call of the new-frame handler,
    // comes after it (a call in progress has ended when it returns). The
    // texture is deleted when the client's context is current on the calling
    // thread; otherwise it goes with the context.
    void stop();

    struct Connection;

private:
    friend class FrameServerDirectory;
    explicit FrameClient (std::shared_ptr<Connection>);

    std::shared_ptr<Connection> connection;
    JUCE_DECLARE_NON_COPYABLE (FrameClient)
};

// The list of running servers, shared by the whole process. Thread-safe.
class FrameServerDirectory
{
public:
    static FrameServerDirectory& sharedDirectory();

    // The servers running now, in the order they started.
    std::vector<FrameServerDescription> servers() const;

    // A client of the described server for the context that is current on
    // the calling thread, or nothing when that server is no longer running.
    // The handler, when given, is called each time the server publishes a
    // frame, on the publishing thread, until the client is stopped; it must
    // not stop or delete the client itself.
    std::unique_ptr<FrameClient> makeClient (const FrameServerDescription& description,
                                             juce::OpenGLContext& context,
                                             std::function<void()> newFrameHandler = {}) const;

    // Told that a server has started or ended, on the thread that started or
    // ended it, after the list has changed.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void frameServersChanged() = 0;
    };

    void addListener (Listener* listener);

    // No call reaches the listener after this returns (one in progress on
    // another thread has ended).
    void removeListener (Listener* listener);

    struct Servers;

private:
    FrameServerDirectory();
    std::shared_ptr<Servers> list;
    friend class FrameServer;
};

// A server of this process: listed while it exists, serving the latest
// picture published on it. Thread-safe.
class FrameServer
{
public:
    FrameServer (const juce::String& appName, const juce::String& name);

    // Leaves the directory (its listeners are told); its clients get no
    // frame after this.
    ~FrameServer();

    // The picture every client's next frame shows (copied); then every
    // client's new-frame handler is called on this thread.
    void publishFrame (const juce::Image& picture);

    FrameServerDescription getDescription() const;

    // Called on a client's thread each time one of this server's clients
    // asks for a frame, before it gets one (nothing when empty).
    void setFrameRequestListener (std::function<void()> listener);

    // Clients made for this server, and those of them not stopped yet.
    int getNumClientsMade() const;
    int getNumActiveClients() const;

    struct State;

private:
    std::shared_ptr<State> state;
    JUCE_DECLARE_NON_COPYABLE (FrameServer)
};
} // namespace corvadine
