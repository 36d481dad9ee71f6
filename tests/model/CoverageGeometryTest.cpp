#include "model/CoverageGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvadine;

namespace
{
juce::Path polygon (std::initializer_list<juce::Point<float>> points)
{
    juce::Path p;
    bool first = true;

    for (auto pt : points)
    {
        if (first)
            p.startNewSubPath (pt);
        else
            p.lineTo (pt);
        first = false;
    }

    p.closeSubPath();
    return p;
}

juce::Path rect (float x, float y, float w, float h)
{
    return polygon ({ { x, y }, { x + w, y }, { x + w, y + h }, { x, y + h } });
}

const float pi = juce::MathConstants<float>::pi;
} // namespace

TEST (CoverageGeometry, OnlyOutlinesThatEncloseAnAreaCount)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    struct Case
    {
        const char* what;
        juce::Path outline;
        juce::AffineTransform placement;
        bool expected;
    };

    const Case cases[] = {
        { "rectangle", rect (0, 0, 200, 100), {}, true },
        { "triangle, scaled and turned", polygon ({ { 0, 0 }, { 10, 0 }, { 0, 10 } }), juce::AffineTransform::scale (3.0f).rotated (0.3f), true },
        { "collinear points", polygon ({ { 0, 0 }, { 10, 10 }, { 20, 20 } }), {}, false },
        { "collinear points on an axis", polygon ({ { 0, 0 }, { 10, 0 }, { 20, 0 } }), {}, false },
        { "zero width", rect (0, 0, 0, 100), {}, false },
        { "a single point", polygon ({ { 5, 5 } }), {}, false },
        { "empty path", juce::Path(), {}, false },
        { "placement squashed flat", rect (0, 0, 200, 100), juce::AffineTransform::scale (0.0f, 1.0f), false },
        { "placement with a NaN", rect (0, 0, 200, 100), juce::AffineTransform::translation (nan, 0.0f), false },
        { "placement with infinity", rect (0, 0, 200, 100), juce::AffineTransform::scale (inf), false },
    };

    for (auto& c : cases)
        EXPECT_EQ (coverage::hasArea (c.outline, c.placement), c.expected) << c.what;
}

TEST (CoverageGeometry, BoundsFarApartAreRejectedButTouchingOnesAreNot)
{
    const juce::Rectangle<float> focal (100, 100, 200, 100);

    struct Case
    {
        juce::Rectangle<float> slice;
        bool apart;
    };

    const Case cases[] = {
        { { 150, 120, 10, 10 }, false },  // inside
        { { 0, 0, 1000, 1000 }, false },  // encloses
        { { 300, 100, 50, 50 }, false },  // shares the right edge
        { { 301.5f, 100, 50, 50 }, false }, // within the containment test's growth
        { { 303, 100, 50, 50 }, true },
        { { 100, -60, 50, 50 }, true },   // above
        { { 100, 203, 50, 50 }, true },   // below
        { { 40000, 4000, 10, 10 }, true },
    };

    for (auto& c : cases)
        EXPECT_EQ (coverage::boundsApart (focal, c.slice), c.apart) << c.slice.toString();
}

TEST (CoverageGeometry, OutlinesCrossOnlyWhereTheirEdgesMeet)
{
    const auto focal = rect (0, 0, 100, 100);

    EXPECT_TRUE (coverage::outlinesCross (rect (50, 50, 100, 100), focal));
    EXPECT_TRUE (coverage::outlinesCross (rect (-10, 40, 120, 20), focal)); // a band straight through
    EXPECT_FALSE (coverage::outlinesCross (rect (10, 10, 20, 20), focal)); // wholly inside
    EXPECT_FALSE (coverage::outlinesCross (rect (-10, -10, 200, 200), focal)); // wholly around
    EXPECT_FALSE (coverage::outlinesCross (rect (200, 0, 50, 50), focal));
}

TEST (CoverageGeometry, FocalFrameTurnsARotatedFocalUpright)
{
    // A 1920 x 1080 focal shown at a tenth of its size, turned by a quarter
    // turn about its centre, over an unrotated slice 200 wide and 100 high
    // that lies on the focal's centre.
    const auto focalOutline = rect (0, 0, 1920, 1080);
    const auto placement = juce::AffineTransform::scale (0.1f)
                               .translated (1000.0f - 96.0f, 1000.0f - 54.0f)
                               .rotated (pi / 2, 1000.0f, 1000.0f);

    auto frame = coverage::focalFrame (focalOutline, placement, pi / 2);
    ASSERT_TRUE (frame.valid);
    EXPECT_NEAR (frame.placed.getWidth(), 192.0f, 1.0e-3f);
    EXPECT_NEAR (frame.placed.getHeight(), 108.0f, 1.0e-3f);
    EXPECT_NEAR (frame.sx, 10.0f, 1.0e-3f);
    EXPECT_NEAR (frame.sy, 10.0f, 1.0e-3f);

    // Turned back by the focal's rotation, before the scale into pixels.
    auto turned = rect (900, 950, 200, 100);
    turned.applyTransform (frame.unrotate);
    EXPECT_NEAR (turned.getBounds().getWidth(), 100.0f, 1.0e-3f);
    EXPECT_NEAR (turned.getBounds().getHeight(), 200.0f, 1.0e-3f);

    // In the focal's pixels: centred, ten times larger.
    auto inFrame = coverage::shapeInFrame (rect (900, 950, 200, 100), {}, frame);
    auto box = inFrame.getBounds();
    EXPECT_NEAR (box.getWidth(), 1000.0f, 0.05f);
    EXPECT_NEAR (box.getHeight(), 2000.0f, 0.05f);
    EXPECT_NEAR (box.getCentreX(), 960.0f, 0.05f);
    EXPECT_NEAR (box.getCentreY(), 540.0f, 0.05f);
}

TEST (CoverageGeometry, FocalWithoutAnAreaHasNoFrame)
{
    EXPECT_FALSE (coverage::focalFrame (rect (0, 0, 0, 1080), {}, 0.0f).valid);
    EXPECT_FALSE (coverage::focalFrame (rect (0, 0, 1920, 1080), juce::AffineTransform::scale (0.0f), 0.0f).valid);
    EXPECT_FALSE (coverage::focalFrame (rect (0, 0, 1920, 1080), {}, std::numeric_limits<float>::quiet_NaN()).valid);
}

TEST (CoverageGeometry, ButtonShapeFillsItsRoundedBounds)
{
    auto shape = coverage::buttonShape (rect (10.5f, 21.5f, 99.6f, 50.2f));

    // Halves go to the even neighbour.
    EXPECT_EQ (shape.bounds, juce::Rectangle<int> (10, 22, 100, 50));
    EXPECT_EQ (shape.shape.getBounds(), juce::Rectangle<float> (0, 0, 100, 50));

    auto flat = coverage::buttonShape (polygon ({ { 0, 5 }, { 10, 5 }, { 20, 5 } }));
    EXPECT_TRUE (flat.bounds.isEmpty());
    EXPECT_TRUE (flat.shape.isEmpty());
}
