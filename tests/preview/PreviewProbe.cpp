#include "preview/PreviewProbe.h"

#include "support/TestSupport.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

namespace corvadine::test
{
juce::Colour PreviewProbe::Frame::pixel (int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return {};

    const auto* p = rgba.data() + 4 * ((size_t) y * (size_t) width + (size_t) x);
    return juce::Colour (p[0], p[1], p[2], p[3]);
}

juce::Image PreviewProbe::Frame::toImage() const
{
    juce::Image image (juce::Image::RGB, juce::jmax (1, width), juce::jmax (1, height), true);

    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelAt (x, height - 1 - y, pixel (x, y).withAlpha ((juce::uint8) 255));

    return image;
}

void keepOpenGLDriverLoaded()
{
    // Many test processes draw at once: a rasteriser thread or two each is
    // plenty for a 640 x 480 window.
    ::setenv ("LP_NUM_THREADS", "2", 0);
    static const auto* driver = ::dlopen ("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
    juce::ignoreUnused (driver);
}

PreviewProbe::PreviewProbe()
{
    keepOpenGLDriverLoaded();
}

PreviewProbe::~PreviewProbe()
{
    shutdownOpenGL();
}

void PreviewProbe::render()
{
    using namespace juce::gl;

    while (glGetError() != GL_NO_ERROR) {}

    StagePreview::render();

    if (const auto error = glGetError(); error != GL_NO_ERROR)
    {
        unsigned int none = 0;
        firstError.compare_exchange_strong (none, (unsigned int) error);
    }

    Frame frame;
    frame.number = numFrames.load() + 1;
    const auto& mesh = getFrameMesh();
    frame.meshTag = mesh.vertexValues.empty() ? -1.0f : mesh.vertexValues.front();

    juce::uint32 centre = 0;

    if (readPixels.load())
    {
        GLint viewport[4] = {};
        glGetIntegerv (GL_VIEWPORT, viewport);
        frame.width = viewport[2];
        frame.height = viewport[3];
        frame.rgba.resize ((size_t) juce::jmax (0, frame.width) * (size_t) juce::jmax (0, frame.height) * 4);

        if (! frame.rgba.empty())
        {
            glPixelStorei (GL_PACK_ALIGNMENT, 1);
            glReadPixels (0, 0, frame.width, frame.height, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
            centre = frame.pixel (frame.width / 2, frame.height / 2).getARGB();
        }
    }

    const std::lock_guard<std::mutex> guard (lock);
    centres.push_back (centre);
    tags.push_back (frame.meshTag);
    latest = std::move (frame);
    ++numFrames;
}

PreviewProbe::Frame PreviewProbe::latestFrame() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return latest;
}

std::vector<juce::uint32> PreviewProbe::centreColours() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return centres;
}

std::vector<float> PreviewProbe::meshTags() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return tags;
}

PreviewMesh taggedMesh (float tag)
{
    PreviewMesh mesh;
    mesh.vertexValues = { tag, -1.0f, 0.0f, 1.0f,
                          1.0f, -1.0f, 1.0f, 1.0f,
                          0.0f, 1.0f, 0.5f, 0.0f };
    mesh.indexValues = { 0, 1, 2 };
    return mesh;
}

bool waitForFrames (const PreviewProbe& probe, int moreFrames, int timeoutMilliseconds)
{
    const auto target = probe.getNumFrames() + moreFrames;
    return pumpUntil ([&] { return probe.getNumFrames() >= target; }, timeoutMilliseconds);
}

bool drawFrames (PreviewProbe& probe, int frames, int timeoutMilliseconds)
{
    for (int i = 0; i < frames; ++i)
    {
        probe.openGLContext.triggerRepaint();

        if (! waitForFrames (probe, 1, timeoutMilliseconds))
            return false;
    }

    return true;
}

DisplayRefreshCounter::DisplayRefreshCounter (juce::Component& component)
    : attachment (&component, [this] { ++count; })
{
}

bool exposeWindow (juce::Component& component)
{
    auto* peer = component.getPeer();

    if (peer == nullptr)
        return false;

    // Xlib through JUCE's own loaded copy of it: the tests do not link it.
    static auto* xlib = ::dlopen ("libX11.so.6", RTLD_NOW | RTLD_NODELETE);

    if (xlib == nullptr)
        return false;

    const auto openDisplay = (decltype (&XOpenDisplay)) ::dlsym (xlib, "XOpenDisplay");
    const auto queryTree = (decltype (&XQueryTree)) ::dlsym (xlib, "XQueryTree");
    const auto clearArea = (decltype (&XClearArea)) ::dlsym (xlib, "XClearArea");
    const auto freeData = (decltype (&XFree)) ::dlsym (xlib, "XFree");
    const auto flush = (decltype (&XFlush)) ::dlsym (xlib, "XFlush");
    const auto closeDisplay = (decltype (&XCloseDisplay)) ::dlsym (xlib, "XCloseDisplay");

    if (openDisplay == nullptr || queryTree == nullptr || clearArea == nullptr
        || freeData == nullptr || flush == nullptr || closeDisplay == nullptr)
        return false;

    auto* display = openDisplay (nullptr);

    if (display == nullptr)
        return false;

    // The OpenGL drawing has a window of its own inside the component's.
    const auto window = (Window) peer->getNativeHandle();
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int numChildren = 0;
    auto exposed = 0;

    if (queryTree (display, window, &root, &parent, &children, &numChildren) != 0)
    {
        for (unsigned int i = 0; i < numChildren; ++i, ++exposed)
            clearArea (display, children[i], 0, 0, 0, 0, True);

        if (children != nullptr)
            freeData (children);
    }

    flush (display);
    closeDisplay (display);
    return exposed > 0;
}
} // namespace corvadine::test
