#include "preview/StagePreview.h"

#include "model/ModelFixtures.h"
#include "preview/PreviewProbe.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;
using test::PreviewProbe;

namespace
{
// The server's picture: red grows with u (left to right), green with v (top
// to bottom), blue fixed, so every drawn pixel tells where in the frame it
// was sampled.
constexpr int frameWidth = 200;
constexpr int frameHeight = 100;
constexpr int frameBlue = 128;

juce::Image gradientFrame()
{
    juce::Image image (juce::Image::ARGB, frameWidth, frameHeight, false);

    for (int y = 0; y < frameHeight; ++y)
        for (int x = 0; x < frameWidth; ++x)
            image.setPixelAt (x, y, juce::Colour ((juce::uint8) juce::roundToInt (255.0 * (x + 0.5) / frameWidth),
                                                  (juce::uint8) juce::roundToInt (255.0 * (y + 0.5) / frameHeight),
                                                  (juce::uint8) frameBlue));
    return image;
}

juce::Image plainFrame (juce::Colour colour)
{
    juce::Image image (juce::Image::ARGB, 64, 32, false);
    image.clear (image.getBounds(), colour);
    return image;
}

// A quad pulled out of shape, the whole frame over it, and a triangle
// showing the frame's lower-left corner area turned on its side.
PreviewMesh warpMesh()
{
    PreviewMesh mesh;
    mesh.vertexValues = {
        -0.8f, 0.7f, 0.0f, 0.0f,   // 0: the frame's top-left
        0.5f, 0.9f, 1.0f, 0.0f,    // 1: top-right
        0.3f, -0.6f, 1.0f, 1.0f,   // 2: bottom-right
        -0.6f, -0.5f, 0.0f, 1.0f,  // 3: bottom-left
        0.6f, 0.5f, 0.0f, 0.5f,    // 4
        0.95f, 0.5f, 0.0f, 1.0f,   // 5
        0.95f, -0.9f, 0.5f, 1.0f,  // 6
    };
    mesh.indexValues = { 0, 1, 2, 0, 2, 3, 4, 5, 6 };
    return mesh;
}

struct Expected
{
    bool inside = false;
    bool nearEdge = false;
    juce::Colour colour;
};

// What the warp puts at a point of normalised device coordinates: the
// frame's colour at the (u, v) interpolated over the triangle the point
// lies in, black outside every triangle.
Expected expectedAt (const PreviewMesh& mesh, float x, float y, float edgeMargin)
{
    Expected result;
    result.colour = juce::Colours::black;
    const auto& v = mesh.vertexValues;

    for (size_t t = 0; t + 3 <= mesh.indexValues.size(); t += 3)
    {
        const auto* a = &v[4 * (size_t) mesh.indexValues[t]];
        const auto* b = &v[4 * (size_t) mesh.indexValues[t + 1]];
        const auto* c = &v[4 * (size_t) mesh.indexValues[t + 2]];

        const auto det = (b[1] - c[1]) * (a[0] - c[0]) + (c[0] - b[0]) * (a[1] - c[1]);
        const auto l0 = ((b[1] - c[1]) * (x - c[0]) + (c[0] - b[0]) * (y - c[1])) / det;
        const auto l1 = ((c[1] - a[1]) * (x - c[0]) + (a[0] - c[0]) * (y - c[1])) / det;
        const auto l2 = 1.0f - l0 - l1;
        const auto least = std::min ({ l0, l1, l2 });

        if (least > -edgeMargin && least < edgeMargin)
            result.nearEdge = true;

        if (least >= 0.0f)
        {
            const auto u = l0 * a[2] + l1 * b[2] + l2 * c[2];
            const auto w = l0 * a[3] + l1 * b[3] + l2 * c[3];
            result.inside = true;
            result.colour = juce::Colour ((juce::uint8) juce::jlimit (0, 255, juce::roundToInt (255.0f * u)),
                                          (juce::uint8) juce::jlimit (0, 255, juce::roundToInt (255.0f * w)),
                                          (juce::uint8) frameBlue);
        }
    }

    return result;
}

int channelDifference (juce::Colour a, juce::Colour b)
{
    return std::max ({ std::abs (a.getRed() - b.getRed()), std::abs (a.getGreen() - b.getGreen()),
                       std::abs (a.getBlue() - b.getBlue()) });
}

struct WarpComparison
{
    int compared = 0;
    int inside = 0;
    int worst = 0;
    juce::String firstMismatch;
};

// Compares the frame's pixels with the warp on a grid, leaving out pixels
// within about two pixels of a triangle's edge (rasterisation rules).
WarpComparison compareWithWarp (const PreviewProbe::Frame& frame, const PreviewMesh& mesh, int tolerance)
{
    WarpComparison result;

    for (int py = 2; py < frame.height; py += 7)
    {
        for (int px = 2; px < frame.width; px += 7)
        {
            const auto x = (px + 0.5f) / (float) frame.width * 2.0f - 1.0f;
            const auto y = (py + 0.5f) / (float) frame.height * 2.0f - 1.0f;
            const auto expected = expectedAt (mesh, x, y, 0.03f);

            if (expected.nearEdge)
                continue;

            ++result.compared;
            result.inside += expected.inside ? 1 : 0;
            const auto difference = channelDifference (frame.pixel (px, py), expected.colour);
            result.worst = std::max (result.worst, difference);

            if (difference > tolerance && result.firstMismatch.isEmpty())
                result.firstMismatch = "pixel " + juce::String (px) + ", " + juce::String (py) + ": "
                                     + frame.pixel (px, py).toDisplayString (false) + " instead of "
                                     + expected.colour.toDisplayString (false);
        }
    }

    return result;
}

bool drawsWarp (const PreviewProbe& probe, const PreviewMesh& mesh)
{
    const auto frame = probe.latestFrame();
    return frame.width > 0 && compareWithWarp (frame, mesh, 6).firstMismatch.isEmpty();
}

// The component's own painting: a checkerboard of 20 x 20 checks in dark
// grey and black, or nothing at all.
bool paintsCheckerboard (StagePreview& preview)
{
    const auto snapshot = preview.createComponentSnapshot (preview.getLocalBounds(), true, 1.0f);
    const auto grey = juce::Colours::darkgrey;
    const auto black = juce::Colours::black;

    // Every check's centre is one of the two colours, and its neighbour to
    // the right the other.
    for (int y = 10; y < snapshot.getHeight(); y += 20)
    {
        for (int x = 10; x + 20 < snapshot.getWidth(); x += 20)
        {
            const auto here = snapshot.getPixelAt (x, y);

            if ((here != grey && here != black) || snapshot.getPixelAt (x + 20, y) != (here == grey ? black : grey))
                return false;
        }
    }

    return true;
}

bool paintsNothing (StagePreview& preview)
{
    // The component is opaque, so its snapshot starts black.
    const auto snapshot = preview.createComponentSnapshot (preview.getLocalBounds(), true, 1.0f);

    for (int y = 0; y < snapshot.getHeight(); y += 13)
        for (int x = 0; x < snapshot.getWidth(); x += 13)
            if (snapshot.getPixelAt (x, y).getARGB() != juce::Colours::black.getARGB())
                return false;

    return true;
}

std::unique_ptr<PreviewProbe> openPreview (const PreviewMesh& mesh)
{
    auto preview = std::make_unique<PreviewProbe>();
    preview->setMesh (mesh);
    preview->showAsWindow();
    return preview;
}

// The number (from 1) of the first frame whose centre shows the colour, 0
// when none did.
int firstFrameShowing (const PreviewProbe& probe, juce::Colour colour)
{
    const auto centres = probe.centreColours();

    for (size_t i = 0; i < centres.size(); ++i)
        if (channelDifference (juce::Colour (centres[i]), colour) <= 2)
            return (int) i + 1;

    return 0;
}

PreviewMesh wholeWindowMesh()
{
    PreviewMesh mesh;
    mesh.vertexValues = { -1, 1, 0, 0, 1, 1, 1, 0, 1, -1, 1, 1, -1, -1, 0, 1 };
    mesh.indexValues = { 0, 1, 2, 0, 2, 3 };
    return mesh;
}
} // namespace

//==============================================================================
TEST (StagePreview, AServerComingUpWhileOpenIsDrawnThroughTheMesh)
{
    const auto mesh = warpMesh();
    auto preview = openPreview (mesh);

    // No server: the checkerboard, and nothing connects.
    ASSERT_TRUE (test::drawFrames (*preview, 5));
    EXPECT_FALSE (preview->isServerShown());
    EXPECT_TRUE (paintsCheckerboard (*preview));
    test::writeSnapshot (*preview, "preview-checkerboard");

    auto server = std::make_unique<FrameServer> ("Arena", "Composition");
    server->publishFrame (gradientFrame());

    ASSERT_TRUE (test::pumpUntil ([&] { return preview->isServerShown() && drawsWarp (*preview, mesh); }, test::renderTimeout));
    EXPECT_EQ (server->getNumActiveClients(), 1);

    // Frame for frame, the frame's pixels follow the warp within a few levels.
    ASSERT_TRUE (test::drawFrames (*preview, 2));
    const auto frame = preview->latestFrame();
    EXPECT_EQ (frame.width, 640);
    EXPECT_EQ (frame.height, 480);
    const auto comparison = compareWithWarp (frame, mesh, 6);
    EXPECT_TRUE (comparison.firstMismatch.isEmpty()) << comparison.firstMismatch;
    EXPECT_GT (comparison.inside, 500);
    EXPECT_GT (comparison.compared - comparison.inside, 500);
    EXPECT_LE (comparison.worst, 6);
    test::writeSnapshot (frame.toImage(), "preview-warped-frame");

    // With the server shown, the component paints nothing over the drawing.
    EXPECT_TRUE (paintsNothing (*preview));
    EXPECT_EQ (preview->firstGlError(), 0u);

    // The server goes away: the client is stopped and the checkerboard is back.
    server.reset();
    ASSERT_TRUE (test::pumpUntil ([&] { return ! preview->isServerShown(); }, test::renderTimeout));
    EXPECT_TRUE (paintsCheckerboard (*preview));
}

TEST (StagePreview, ServersOfAnotherNameOrApplicationAreNotUsed)
{
    // Exactly the host's application name and output name, letter case too.
    std::vector<std::unique_ptr<FrameServer>> others;
    for (const auto& [appName, name] : { std::pair<const char*, const char*> { "Arena", "Output" },
                                         { "Avenue", "Composition" },
                                         { "arena", "composition" },
                                         { "", "" } })
    {
        others.push_back (std::make_unique<FrameServer> (appName, name));
        others.back()->publishFrame (plainFrame (juce::Colours::red));
    }

    EXPECT_FALSE (StagePreview::isArenaServerPresent());

    auto preview = openPreview (wholeWindowMesh());
    ASSERT_TRUE (test::drawFrames (*preview, 8));

    for (const auto& server : others)
        EXPECT_EQ (server->getNumClientsMade(), 0) << server->getDescription().appName << " / " << server->getDescription().name;

    EXPECT_EQ (firstFrameShowing (*preview, juce::Colours::red), 0);
    EXPECT_FALSE (preview->isServerShown());
    EXPECT_TRUE (paintsCheckerboard (*preview));
}

TEST (StagePreview, OfTwoMatchingServersTheFirstListedIsUsed)
{
    FrameServer other ("Arena", "Output");
    FrameServer first ("Arena", "Composition");
    FrameServer second ("Arena", "Composition");
    first.publishFrame (plainFrame (juce::Colours::red));
    second.publishFrame (plainFrame (juce::Colours::blue));

    auto preview = openPreview (wholeWindowMesh());
    ASSERT_TRUE (test::pumpUntil ([&] { return firstFrameShowing (*preview, juce::Colours::red) > 0
                                             || firstFrameShowing (*preview, juce::Colours::blue) > 0; }, test::renderTimeout));
    EXPECT_EQ (firstFrameShowing (*preview, juce::Colours::blue), 0);
    EXPECT_EQ (first.getNumClientsMade(), 1);
    EXPECT_EQ (second.getNumClientsMade(), 0);
    EXPECT_EQ (other.getNumClientsMade(), 0);
}

TEST (StagePreview, ClosingReleasesTheClientAndAReopenedWindowConnectsAfresh)
{
    FrameServer server ("Arena", "Composition");
    server.publishFrame (plainFrame (juce::Colours::red));

    std::unique_ptr<PreviewProbe> preview;
    auto open = [&]
    {
        preview = openPreview (wholeWindowMesh());
        preview->onCloseRequested = [&] { preview.reset(); };
    };

    open();
    ASSERT_TRUE (test::pumpUntil ([&] { return firstFrameShowing (*preview, juce::Colours::red) > 0; }, test::renderTimeout));
    // A fresh window: the first frame connects, the second draws.
    EXPECT_EQ (firstFrameShowing (*preview, juce::Colours::red), 2);
    EXPECT_EQ (server.getNumActiveClients(), 1);

    // The close button: the handler deletes the window, whose client stops.
    preview->userTriedToCloseWindow();
    EXPECT_EQ (preview, nullptr);
    EXPECT_EQ (server.getNumActiveClients(), 0);
    EXPECT_EQ (server.getNumClientsMade(), 1);

    open();
    ASSERT_TRUE (test::pumpUntil ([&] { return firstFrameShowing (*preview, juce::Colours::red) > 0; }, test::renderTimeout));
    EXPECT_EQ (firstFrameShowing (*preview, juce::Colours::red), 2);
    EXPECT_EQ (server.getNumClientsMade(), 2);
    EXPECT_EQ (server.getNumActiveClients(), 1);
    EXPECT_EQ (preview->firstGlError(), 0u);
}

TEST (StagePreview, TheCloseButtonOnlyCallsTheHandler)
{
    StagePreview preview;
    preview.userTriedToCloseWindow(); // no handler: nothing happens

    int calls = 0;
    preview.onCloseRequested = [&] { ++calls; };
    preview.userTriedToCloseWindow();
    EXPECT_EQ (calls, 1);
    EXPECT_FALSE (preview.isOnDesktop());
}

TEST (StagePreview, TrianglesNamingMissingVerticesAreSkipped)
{
    FrameServer server ("Arena", "Composition");
    server.publishFrame (plainFrame (juce::Colours::red));

    auto mesh = wholeWindowMesh();
    // Only the first triangle (upper right half) names vertices that exist.
    mesh.indexValues = { 0, 1, 2, 0, 2, 4, -1, 2, 3, 3, 0, 1000000, 2, 3 };

    auto preview = openPreview (mesh);
    ASSERT_TRUE (test::pumpUntil ([&] { return firstFrameShowing (*preview, juce::Colours::red) > 0; }, test::renderTimeout));
    ASSERT_TRUE (test::drawFrames (*preview, 2));

    const auto frame = preview->latestFrame();
    EXPECT_EQ (channelDifference (frame.pixel (frame.width - 20, frame.height - 20), juce::Colours::red), 0);
    EXPECT_EQ (channelDifference (frame.pixel (20, 20), juce::Colours::black), 0);
    EXPECT_EQ (preview->firstGlError(), 0u);
}

TEST (StagePreview, AnEmptyMeshClearsTheFrameToBlack)
{
    FrameServer server ("Arena", "Composition");
    server.publishFrame (plainFrame (juce::Colours::red));

    auto preview = openPreview ({});
    ASSERT_TRUE (test::pumpUntil ([&] { return preview->isServerShown(); }, test::renderTimeout));
    ASSERT_TRUE (test::drawFrames (*preview, 3));

    const auto frame = preview->latestFrame();
    for (const auto& point : { juce::Point<int> (5, 5), { 320, 240 }, { 600, 400 } })
        EXPECT_EQ (frame.pixel (point.x, point.y).getARGB(), juce::Colours::black.getARGB());
    EXPECT_EQ (preview->firstGlError(), 0u);
}

//==============================================================================
TEST (StagePreviewWindow, OpensAsItsOwnWindowCentredOnTheMainDisplayAndOnTop)
{
    test::keepOpenGLDriverLoaded();
    StagePreview preview;
    preview.showAsWindow();

    ASSERT_TRUE (preview.isOnDesktop());
    ASSERT_NE (preview.getPeer(), nullptr);
    EXPECT_EQ (preview.getPeer()->getStyleFlags(), 0x99);
    EXPECT_TRUE (preview.isVisible());
    EXPECT_EQ (preview.getWidth(), 640);
    EXPECT_EQ (preview.getHeight(), 480);
    EXPECT_TRUE (preview.isAlwaysOnTop());

    const auto* main = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
    ASSERT_NE (main, nullptr);
    EXPECT_EQ (preview.getScreenBounds().getCentre(), main->totalArea.getCentre());
    EXPECT_TRUE (preview.getName().isEmpty());
}

TEST (StagePreviewWindow, HeightFollowsTheVisibleSlicesAspect)
{
    struct Case
    {
        juce::Rectangle<float> bounds;
        int width;
        int height;
    };

    const auto nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        { { -80, -80, 160, 160 }, 640, 640 },     // no visible slice
        { { 0, 0, 2000, 1000 }, 640, 320 },       // twice as wide as high
        { { 0, 0, 1000, 2000 }, 640, 1280 },
        { { 48960, 4380, 2080, 1240 }, 640, 381 }, // 640 / 1.6774 truncated
        { { 0, 0, 3, 1 }, 100, 33 },               // truncated, not rounded
        { { 0, 0, 100000, 1 }, 640, 1 },           // never below one pixel
        { { 0, 0, 1, 100000 }, 640, 16384 },       // nor above the largest window
        { { 0, 0, 100, 0 }, 640, 640 },            // no finite aspect: square
        { { 0, 0, nan, 100 }, 640, 640 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (previewHeightForWidth (c.width, c.bounds), c.height) << c.bounds.toString();
}

TEST (StagePreviewWindow, FittingKeepsPositionAndWidth)
{
    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 1840, 840 }) }) });
    ASSERT_EQ (getVisibleSliceBounds (model->screens).getWidth(), 2000.0f);

    test::keepOpenGLDriverLoaded();
    StagePreview preview;
    preview.showAsWindow();
    const auto topLeft = preview.getPosition();

    preview.fitToVisibleSliceBounds (getVisibleSliceBounds (model->screens));
    EXPECT_EQ (preview.getBounds(), juce::Rectangle<int> (topLeft.x, topLeft.y, 640, 320));

    test::showSlices (*model, false);
    preview.fitToVisibleSliceBounds (getVisibleSliceBounds (model->screens));
    EXPECT_EQ (preview.getBounds(), juce::Rectangle<int> (topLeft.x, topLeft.y, 640, 640));
}

//==============================================================================
// Frames come only when there is something new to show.
namespace
{
// Frames an open window draws while it comes up (its first frame, the
// repaints of its showing, sizing and placing); far below the hundreds a
// second of drawing without a pause.
constexpr int framesOfOpening = 10;

struct IdleCase
{
    const char* what;
    const char* appName; // nullptr: no server
    const char* name;
};
} // namespace

TEST (StagePreviewFrames, WithNothingNewTheOpenWindowDrawsOnlyTheFramesOfItsOpening)
{
    const IdleCase cases[] = {
        { "no server", nullptr, nullptr },
        { "a server of another name", "Arena", "Output" },
        { "the host's server, after its one frame", "Arena", "Composition" },
    };

    for (const auto& c : cases)
    {
        std::unique_ptr<FrameServer> server;
        if (c.appName != nullptr)
        {
            server = std::make_unique<FrameServer> (c.appName, c.name);
            server->publishFrame (plainFrame (juce::Colours::red));
        }

        auto preview = openPreview (wholeWindowMesh());
        ASSERT_TRUE (test::waitForFrames (*preview, 1)) << c.what;

        // Two seconds of an open window that nothing changes.
        test::pumpMessageLoop (2000);
        EXPECT_LE (preview->getNumFrames(), framesOfOpening) << c.what;

        const auto showsRed = firstFrameShowing (*preview, juce::Colours::red) > 0;
        EXPECT_EQ (showsRed, juce::String (c.name) == "Composition") << c.what;
        EXPECT_EQ (preview->isServerShown(), showsRed) << c.what;
    }
}

TEST (StagePreviewFrames, AFramePublishedShowsWithinTwoFrames)
{
    FrameServer server ("Arena", "Composition");
    server.publishFrame (plainFrame (juce::Colours::red));

    auto preview = openPreview (wholeWindowMesh());
    ASSERT_TRUE (test::pumpUntil ([&] { return firstFrameShowing (*preview, juce::Colours::red) > 0; }, test::renderTimeout));
    test::pumpMessageLoop (200);

    for (const auto colour : { juce::Colours::blue, juce::Colours::lime, juce::Colours::yellow, juce::Colours::red })
    {
        const auto before = preview->getNumFrames();
        server.publishFrame (plainFrame (colour));

        ASSERT_TRUE (test::pumpUntil ([&]
        {
            const auto centres = preview->centreColours();
            return (int) centres.size() > before && channelDifference (juce::Colour (centres.back()), colour) <= 2;
        }, test::renderTimeout)) << colour.toDisplayString (false);

        const auto centres = preview->centreColours();
        auto shownAt = before;
        while (channelDifference (juce::Colour (centres[(size_t) shownAt]), colour) > 2)
            ++shownAt;

        EXPECT_LE (shownAt + 1 - before, 2) << colour.toDisplayString (false);
    }
}

TEST (StagePreviewFrames, ANewMeshAResizeAndAnExposeEachDrawAFrame)
{
    auto preview = openPreview (test::taggedMesh (0.5f));
    ASSERT_TRUE (test::pumpUntil ([&] { return ! preview->meshTags().empty() && preview->meshTags().back() == 0.5f; }, test::renderTimeout));
    test::pumpMessageLoop (200);

    // A mesh handed over: the next frame draws it.
    preview->setMesh (test::taggedMesh (0.25f));
    ASSERT_TRUE (test::pumpUntil ([&] { return preview->meshTags().back() == 0.25f; }, test::renderTimeout));

    // A resize: a frame of the new size.
    preview->setSize (400, 300);
    ASSERT_TRUE (test::pumpUntil ([&]
    {
        const auto frame = preview->latestFrame();
        return frame.width == 400 && frame.height == 300;
    }, test::renderTimeout));

    // An expose from the window system: drawn again.
    test::pumpMessageLoop (200);
    ASSERT_TRUE (test::exposeWindow (*preview));
    EXPECT_TRUE (test::waitForFrames (*preview, 1));
    EXPECT_EQ (preview->latestFrame().width, 400);
}
