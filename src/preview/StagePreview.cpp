#include "preview/StagePreview.h"

#include <algorithm>
#include <cmath>

namespace corvadine
{
namespace
{
constexpr int checkSize = 20;
constexpr int maximumHeight = 16384;

bool isHostServer (const FrameServerDescription& description)
{
    return description.appName == StagePreview::hostAppName && description.name == StagePreview::hostServerName;
}
} // namespace

StagePreview::StagePreview()
{
    // The base class asks for a frame at every turn of the render thread,
    // which software OpenGL draws as fast as it can; frames are asked for
    // when something new comes instead.
    openGLContext.setContinuousRepainting (false);
}

StagePreview::~StagePreview()
{
    displayLink = {};

    // After this no frame of this window runs, so the client and the mesh
    // are the message thread's alone.
    shutdownOpenGL();
    cancelPendingUpdate();

    if (client != nullptr)
        client->stop();

    // A later window makes a client of its own, in its own context.
    client.reset();
    clientConnected = false;
}

void StagePreview::setMesh (PreviewMesh newMesh)
{
    {
        const std::lock_guard<std::mutex> guard (meshLock);
        pendingMesh = std::move (newMesh);
    }

    requestFrame();
}

void StagePreview::requestFrame() noexcept
{
    frameRequested = true;
}

void StagePreview::displayRefreshed()
{
    // Asks made while a frame is being drawn start another one after it.
    if (frameRequested.exchange (false))
        openGLContext.triggerRepaint();
}

StagePreview::ServerWatch::ServerWatch (std::atomic<bool>& flagToSet) : flag (flagToSet)
{
    FrameServerDirectory::sharedDirectory().addListener (this);
}

StagePreview::ServerWatch::~ServerWatch()
{
    FrameServerDirectory::sharedDirectory().removeListener (this);
}

void StagePreview::ServerWatch::frameServersChanged()
{
    flag = true;
}

void StagePreview::showAsWindow()
{
    addToDesktop (windowStyleFlags);
    setVisible (true);
    setSize (640, 480);

    const auto* main = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
    const auto area = main != nullptr ? main->totalArea : juce::Displays::Display().totalArea;
    setCentrePosition (area.getCentre());

    setAlwaysOnTop (true);
}

void StagePreview::fitToVisibleSliceBounds (juce::Rectangle<float> visibleSliceBounds)
{
    setSize (getWidth(), previewHeightForWidth (getWidth(), visibleSliceBounds));
}

bool StagePreview::isArenaServerPresent()
{
    for (const auto& description : FrameServerDirectory::sharedDirectory().servers())
        if (isHostServer (description))
            return true;

    return false;
}

//==============================================================================
void StagePreview::userTriedToCloseWindow()
{
    // The handler may delete this window: nothing of it is used afterwards.
    if (onCloseRequested)
        onCloseRequested();
}

void StagePreview::paint (juce::Graphics& g)
{
    // With the host's server listed, the OpenGL drawing shows through.
    if (serverPresent.load())
        return;

    g.fillCheckerBoard (getLocalBounds().toFloat(), (float) checkSize, (float) checkSize,
                        juce::Colours::darkgrey, juce::Colours::black);
}

void StagePreview::initialise() {}

void StagePreview::shutdown() {}

void StagePreview::render()
{
    inFrame = true;
    takeLatestMesh();

    if (clientConnected)
    {
        std::unique_ptr<FrameImage> image;

        if (client != nullptr)
            image = client->newFrameImage();

        if (image != nullptr)
        {
            drawFrame (*image);
        }
        else if (client != nullptr && client->isValid())
        {
            // The server runs but has published nothing yet: its first
            // frame asks for a frame through the client's handler.
        }
        else
        {
            // The server has gone: scan again next frame.
            if (client != nullptr)
                client->stop();

            clientConnected = false;
            requestFrame();
        }
    }
    else if (connectToServer())
    {
        // This frame only connected: the next one draws the server's
        // latest frame.
        requestFrame();
    }

    inFrame = false;

    // The message thread learns of a change and repaints; this thread never
    // waits for it.
    const auto present = isArenaServerPresent();

    if (presenceSeen.exchange (present) != present)
        triggerAsyncUpdate();
}

void StagePreview::handleAsyncUpdate()
{
    serverPresent = presenceSeen.load();
    repaint();
}

void StagePreview::takeLatestMesh()
{
    const std::lock_guard<std::mutex> guard (meshLock);

    if (pendingMesh.has_value())
    {
        frameMesh = std::move (*pendingMesh);
        pendingMesh.reset();
    }
}

bool StagePreview::connectToServer()
{
    auto& directory = FrameServerDirectory::sharedDirectory();

    for (const auto& description : directory.servers())
    {
        if (isHostServer (description))
        {
            // The previous client, stopped when its frames ended, goes here,
            // in the context it was made for. Every frame the server
            // publishes asks for a frame; the client is stopped before this
            // window goes.
            client = directory.makeClient (description, openGLContext, [this] { requestFrame(); });
            clientConnected = client != nullptr;
            return clientConnected;
        }
    }

    return false;
}

void StagePreview::drawFrame (const FrameImage& image)
{
    using namespace juce::gl;

    // The component painting of the OpenGL context leaves its shader program,
    // buffers and texture unit behind; the fixed-function drawing below needs
    // none of them.
    glUseProgram (0);
    glBindBuffer (GL_ARRAY_BUFFER, 0);
    glBindVertexArray (0);
    glActiveTexture (GL_TEXTURE0);
    glClientActiveTexture (GL_TEXTURE0);
    glDisable (GL_SCISSOR_TEST);
    glColor4f (1.0f, 1.0f, 1.0f, 1.0f);

    glEnable (GL_TEXTURE_RECTANGLE);
    glBindTexture (GL_TEXTURE_RECTANGLE, image.textureName());

    // Only the filters and wraps a rectangle texture takes: no mipmap
    // filter, no repeat.
    glTexParameteri (GL_TEXTURE_RECTANGLE, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri (GL_TEXTURE_RECTANGLE, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri (GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri (GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri (GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);

    glClearColor (0.0f, 0.0f, 0.0f, 1.0f);
    glClear (GL_COLOR_BUFFER_BIT);

    // Five floats per drawn vertex (x, y, z, s, t), every triangle with its
    // own three vertices; texture coordinates in texels, v from the top of
    // the frame. A triangle naming a vertex the mesh does not have is
    // skipped, as is an incomplete last one.
    const auto& values = frameMesh.vertexValues;
    const auto& indices = frameMesh.indexValues;
    const auto numVertices = frameMesh.getNumVertices();
    const auto size = image.textureSize();

    drawnVertices.clear();

    for (size_t first = 0; first + 3 <= indices.size(); first += 3)
    {
        const int triangle[] = { indices[first], indices[first + 1], indices[first + 2] };

        if (! std::all_of (std::begin (triangle), std::end (triangle), [&] (int k) { return k >= 0 && k < numVertices; }))
            continue;

        for (auto k : triangle)
        {
            const auto* v = values.data() + 4 * (size_t) k;
            drawnVertices.insert (drawnVertices.end(), { v[0], v[1], 0.0f,
                                                         (float) ((double) v[2] * size.x),
                                                         (float) ((1.0 - (double) v[3]) * size.y) });
        }
    }

    const auto count = (GLsizei) (drawnVertices.size() / 5);
    constexpr GLsizei stride = 5 * sizeof (float);

    glDisable (GL_BLEND);

    if (count > 0)
    {
        glEnableClientState (GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer (2, GL_FLOAT, stride, drawnVertices.data() + 3);
        glEnableClientState (GL_VERTEX_ARRAY);
        glVertexPointer (3, GL_FLOAT, stride, drawnVertices.data());
        glDrawArrays (GL_TRIANGLES, 0, count);
        glDisableClientState (GL_VERTEX_ARRAY);
        glDisableClientState (GL_TEXTURE_COORD_ARRAY);
    }

    // The texture keeps the filters and wraps set above: the defaults of
    // other texture targets (mipmap filter, repeat) are errors here.
    glBindTexture (GL_TEXTURE_RECTANGLE, 0);
    glDisable (GL_TEXTURE_RECTANGLE);
}

//==============================================================================
int previewHeightForWidth (int width, juce::Rectangle<float> visibleSliceBounds)
{
    const auto aspect = visibleSliceBounds.getWidth() / visibleSliceBounds.getHeight();
    const auto height = (float) width / aspect;

    if (! std::isfinite (height) || ! std::isfinite (aspect) || aspect <= 0.0f)
        return juce::jlimit (1, maximumHeight, width);

    return juce::jlimit (1, maximumHeight, (int) std::min (height, (float) maximumHeight));
}
} // namespace corvadine
