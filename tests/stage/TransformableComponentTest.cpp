#include "stage/TransformableComponent.h"

#include "model/Ids.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace corvadine;

namespace
{
juce::Array<juce::Point<float>> rectangle (float x, float y, float w, float h)
{
    using P = juce::Point<float>;
    return { P { x, y }, P { x + w, y }, P { x + w, y + h }, P { x, y + h } };
}

juce::Array<juce::Point<float>> turned (juce::Array<juce::Point<float>> points, const juce::AffineTransform& t)
{
    for (auto& p : points)
        p = p.transformedBy (t);

    return points;
}

void expectNear (juce::Point<float> actual, juce::Point<float> expected, float tolerance = 1.0e-3f)
{
    EXPECT_NEAR (actual.x, expected.x, tolerance);
    EXPECT_NEAR (actual.y, expected.y, tolerance);
}

void expectNear (juce::Rectangle<float> actual, juce::Rectangle<float> expected, float tolerance = 1.0e-2f)
{
    EXPECT_NEAR (actual.getX(), expected.getX(), tolerance);
    EXPECT_NEAR (actual.getY(), expected.getY(), tolerance);
    EXPECT_NEAR (actual.getWidth(), expected.getWidth(), tolerance);
    EXPECT_NEAR (actual.getHeight(), expected.getHeight(), tolerance);
}

juce::ValueTree positionWithTransform (const juce::String& text)
{
    juce::ValueTree position (ids::position);
    position.setProperty (ids::transform, text, nullptr);
    position.setProperty (ids::finalRotation, 0.25, nullptr);
    return position;
}
} // namespace

TEST (TransformableComponent, IdentityPlacementIsWrittenAsSixPlainNumbers)
{
    TransformableComponent item;
    item.setOutline (rectangle (0, 0, 10, 10), 0.0f);

    const auto position = item.positionToValueTree();
    EXPECT_EQ (position.getType(), ids::position);
    EXPECT_EQ (position.getProperty (ids::transform).toString(), "1,0,0,0,1,0");
    EXPECT_TRUE (position.getProperty (ids::finalRotation).isDouble());
    EXPECT_EQ (static_cast<double> (position.getProperty (ids::finalRotation)), 0.0);

    // "transform" comes before "finalRotation" in the element.
    const auto xml = position.createXml();
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getAttributeName (0), "transform");
    EXPECT_EQ (xml->getAttributeName (1), "finalRotation");
}

TEST (TransformableComponent, CoefficientsAreWrittenWithSixSignificantDigits)
{
    struct Case
    {
        float value;
        const char* text;
        float readBack;
    };

    const Case cases[] = {
        { 123456.7f, "123457", 123457.0f },
        { 0.70710677f, "0.707107", 0.707107f },
        { 0.0000001f, "1e-07", 1.0e-7f },
        { 1000000.0f, "1e+06", 1.0e6f },
        { 12345.67f, "12345.7", 12345.7f },
        { 100000.4f, "100000", 100000.0f },
        { -2.5f, "-2.5", -2.5f },
        { 0.0001f, "0.0001", 0.0001f },
        { 50000.0f, "50000", 50000.0f },
        { 0.000015f, "1.5e-05", 1.5e-5f },
        { 49040.125f, "49040.1", 49040.1f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.text);
        TransformableComponent item;
        item.setOutline (rectangle (0, 0, 10, 10), 0.0f);
        item.setPlacement (juce::AffineTransform::translation (c.value, 0.0f));

        const auto position = item.positionToValueTree();
        EXPECT_EQ (position.getProperty (ids::transform).toString(), juce::String ("1,0,") + c.text + ",0,1,0");

        TransformableComponent restored;
        restored.setOutline (rectangle (0, 0, 10, 10), 0.0f);
        restored.positionFromValueTree (position);
        EXPECT_FLOAT_EQ (restored.committedTransform.mat02, c.readBack);
        EXPECT_FLOAT_EQ (restored.getTransform().mat02, c.readBack);
    }
}

TEST (TransformableComponent, SetOutlineTakesTheTurnIntoThePlacement)
{
    TransformableComponent item;
    const auto turn = juce::AffineTransform::rotation (0.5f, 500.0f, 300.0f);
    item.setOutline (turned (rectangle (400, 250, 200, 100), turn), 0.5f);

    expectNear (item.outline.getBounds(), { 0, 0, 200, 100 });
    EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (0, 0, 200, 100));
    EXPECT_FLOAT_EQ (item.rotation, 0.5f);
    EXPECT_EQ (item.pendingRotation, 0.0f);
    EXPECT_EQ (item.committedTransform, item.getTransform());

    expectNear (juce::Point<float> (100, 50).transformedBy (item.getTransform()), { 500, 300 });
    // The outline shows where it was given.
    expectNear (juce::Point<float> (0, 0).transformedBy (item.getTransform()),
                juce::Point<float> (400, 250).transformedBy (turn));
}

TEST (TransformableComponent, EmptyOutlineIsASinglePointAtTheOrigin)
{
    TransformableComponent item;
    item.setOutline ({}, 0.0f);

    EXPECT_EQ (item.getBounds(), juce::Rectangle<int>());
    EXPECT_EQ (item.outline.getBounds(), juce::Rectangle<float>());
    EXPECT_TRUE (item.getTransform().isIdentity());
}

TEST (TransformableComponent, NonFinitePointsAndAnglesAreLeftOut)
{
    TransformableComponent item;
    auto points = rectangle (10, 20, 100, 50);
    points.insert (2, { std::numeric_limits<float>::quiet_NaN(), 5.0f });
    points.add ({ 3.0f, std::numeric_limits<float>::infinity() });
    item.setOutline (points, std::numeric_limits<float>::quiet_NaN());

    EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (0, 0, 100, 50));
    EXPECT_EQ (item.rotation, 0.0f);
    EXPECT_EQ (item.getTransform(), juce::AffineTransform::translation (10.0f, 20.0f));
}

TEST (TransformableComponent, SetPlacementFoldsThePendingRotationIn)
{
    TransformableComponent item;
    item.setOutline (rectangle (0, 0, 100, 50), 0.25f);
    item.pendingRotation = 0.5f;
    const auto t = juce::AffineTransform::rotation (0.75f, 50.0f, 25.0f).translated (10.0f, 0.0f);
    item.setPlacement (t);

    EXPECT_FLOAT_EQ (item.rotation, 0.75f);
    EXPECT_EQ (item.pendingRotation, 0.0f);
    EXPECT_EQ (item.committedTransform, t);
    EXPECT_EQ (item.getTransform(), t);
}

TEST (TransformableComponent, UnusablePlacementsFallBackToTheCommittedOne)
{
    const auto inf = std::numeric_limits<float>::infinity();
    const juce::AffineTransform unusable[] = {
        juce::AffineTransform::scale (0.0f, 1.0f),
        juce::AffineTransform (1, 2, 0, 2, 4, 0),
        juce::AffineTransform::translation (inf, 0.0f),
        juce::AffineTransform (std::nanf (""), 0, 0, 0, 1, 0),
        juce::AffineTransform::scale (1.0e-30f),
    };

    for (const auto& t : unusable)
    {
        TransformableComponent item;
        item.setOutline (rectangle (0, 0, 100, 50), 0.0f);
        const auto committed = juce::AffineTransform::translation (7.0f, 8.0f);
        item.setPlacement (committed);

        item.setTransform (juce::AffineTransform::translation (30.0f, 8.0f)); // a gesture step
        item.pendingRotation = 1.0f;
        item.setPlacement (t);

        EXPECT_EQ (item.getTransform(), committed);
        EXPECT_EQ (item.committedTransform, committed);
        EXPECT_EQ (item.rotation, 0.0f);
        EXPECT_EQ (item.pendingRotation, 0.0f);
    }
}

TEST (TransformableComponent, PlacementSurvivesSavingAndReadingBack)
{
    TransformableComponent item;
    item.setOutline (turned (rectangle (0, 0, 300, 120), juce::AffineTransform::rotation (0.3f)), 0.3f);
    item.setPlacement (item.committedTransform.scaled (1.5f).translated (51234.5f, 4321.25f));
    item.pendingRotation = 0.125f;

    // Written to a real file and read back, as the document is.
    const auto file = test::testHome().getChildFile ("placement.xml");
    ASSERT_TRUE (item.positionToValueTree().createXml()->writeTo (file));
    const auto xml = juce::XmlDocument::parse (file);
    ASSERT_NE (xml, nullptr);

    TransformableComponent restored;
    restored.setOutline (turned (rectangle (0, 0, 300, 120), juce::AffineTransform::rotation (0.3f)), 0.3f);
    restored.positionFromValueTree (juce::ValueTree::fromXml (*xml));

    const auto& a = item.committedTransform;
    const auto& b = restored.committedTransform;
    // Six significant digits: the translations keep one decimal.
    EXPECT_NEAR (b.mat02, a.mat02, 0.05f);
    EXPECT_NEAR (b.mat12, a.mat12, 0.005f);
    for (auto [x, y] : { std::pair { a.mat00, b.mat00 }, { a.mat01, b.mat01 }, { a.mat10, b.mat10 }, { a.mat11, b.mat11 } })
        EXPECT_NEAR (y, x, 1.0e-5f);

    EXPECT_EQ (restored.getTransform(), restored.committedTransform);
    EXPECT_FLOAT_EQ (restored.rotation, 0.425f);
    EXPECT_EQ (restored.pendingRotation, 0.0f);
    expectNear (restored.getTransformedOutline().getBounds(), item.getTransformedOutline().getBounds(), 0.1f);
}

TEST (TransformableComponent, ReadingAcceptsOnlySixFiniteNumbersOfAnInvertibleTransform)
{
    const char* refused[] = {
        "",                       // missing
        "1,0,0,0,1",              // five numbers
        "0,0,0,0,0,0",            // collapses to a point
        "2,4,0,1,2,0",            // singular
        "1,0,nan,0,1,0",
        "1,0,inf,0,1,0",
        "1,0,1e39,0,1,0",         // beyond float
        "1,0,abc,0,1,0",
        "1,0,,0,1,0",
        "1e-30,0,0,0,1e-30,0",    // inverse beyond float
        "1,0,1e7777777777,0,1,0", // an exponent JUCE's reader overflows on
        "1 2,0,0,0,1,0",          // white space inside a number
        "1,0,5,0,1,",             // an empty sixth
        "1,0,5,0,1,6x",
    };

    for (auto* text : refused)
    {
        SCOPED_TRACE (text);
        TransformableComponent item;
        item.setOutline (rectangle (0, 0, 10, 10), 0.5f);
        const auto before = item.getTransform();
        item.positionFromValueTree (positionWithTransform (text));

        EXPECT_EQ (item.getTransform(), before);
        EXPECT_EQ (item.committedTransform, before);
        EXPECT_FLOAT_EQ (item.rotation, 0.5f);
    }

    struct Accepted
    {
        const char* text;
        juce::AffineTransform expected;
    };

    const Accepted accepted[] = {
        { "1,0,5,0,1,6,7", juce::AffineTransform::translation (5.0f, 6.0f) }, // a seventh part is ignored
        { " 2, 0, 1, 0, 2,-1", juce::AffineTransform (2, 0, 1, 0, 2, -1) },
        { "0,-1,3,1,0,4", juce::AffineTransform (0, -1, 3, 1, 0, 4) },
        { "1,0,5 ,0,1,6\t", juce::AffineTransform::translation (5.0f, 6.0f) },
        { "1,0,5,0,1,6,", juce::AffineTransform::translation (5.0f, 6.0f) },   // an empty seventh
        { "1.0,0,49040.5,0,1.0,4460.25", juce::AffineTransform::translation (49040.5f, 4460.25f) },
    };

    for (const auto& c : accepted)
    {
        SCOPED_TRACE (c.text);
        TransformableComponent item;
        item.setOutline (rectangle (0, 0, 10, 10), 0.5f);
        item.positionFromValueTree (positionWithTransform (c.text));

        EXPECT_EQ (item.getTransform(), c.expected);
        EXPECT_EQ (item.committedTransform, c.expected);
        EXPECT_FLOAT_EQ (item.rotation, 0.25f);
    }
}

TEST (TransformableComponent, ReadingRefusesPlacementsBeyondTheStageFromADamagedFile)
{
    // A hand-edited document whose numbers are finite floats but put the
    // item far past every integer its bounds in the parent are computed in.
    const auto file = test::documentsFolder().getChildFile ("far.xml");
    test::writeTextFile (file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<slice>"
                               "<position transform=\"1,0,1e30,0,1,0\" finalRotation=\"0.0\"/>"
                               "<position transform=\"1e20,0,0,0,1e20,0\" finalRotation=\"0.0\"/>"
                               "<position transform=\"1,0,0,0,1,-3e9\" finalRotation=\"0.0\"/>"
                               "<position transform=\"3,0,250000,0,3,-90000\" finalRotation=\"0.5\"/>"
                               "</slice>");
    auto xml = juce::parseXML (file);
    ASSERT_NE (xml, nullptr);
    const auto slice = juce::ValueTree::fromXml (*xml);
    ASSERT_EQ (slice.getNumChildren(), 4);

    for (int i = 0; i < slice.getNumChildren(); ++i)
    {
        SCOPED_TRACE (i);
        juce::Component stage;
        TransformableComponent item;
        stage.addAndMakeVisible (item);
        item.setOutline (rectangle (0, 0, 200, 100), 0.0f);
        item.positionFromValueTree (slice.getChild (i));

        const bool farAway = i < 3;
        EXPECT_EQ (item.getTransform(), farAway ? juce::AffineTransform() : juce::AffineTransform (3, 0, 250000, 0, 3, -90000));
        EXPECT_FLOAT_EQ (item.rotation, farAway ? 0.0f : 0.5f);

        const auto inParent = item.getBoundsInParent();
        EXPECT_LE ((juce::int64) inParent.getX() + inParent.getWidth(), std::numeric_limits<int>::max());
        EXPECT_GE ((juce::int64) inParent.getX(), std::numeric_limits<int>::min());
    }
}

TEST (TransformableComponent, ReadingAnInvalidTreeOrOneWithoutRotation)
{
    TransformableComponent item;
    item.setOutline (rectangle (0, 0, 10, 10), 0.5f);
    const auto before = item.getTransform();

    item.positionFromValueTree ({});
    EXPECT_EQ (item.getTransform(), before);
    EXPECT_FLOAT_EQ (item.rotation, 0.5f);

    juce::ValueTree noRotation (ids::position);
    noRotation.setProperty (ids::transform, "1,0,3,0,1,4", nullptr);
    item.positionFromValueTree (noRotation);
    EXPECT_EQ (item.getTransform(), juce::AffineTransform::translation (3.0f, 4.0f));
    EXPECT_EQ (item.rotation, 0.0f);

    for (auto* text : { "1e7777777777", "nan", "1e39" })
    {
        SCOPED_TRACE (text);
        noRotation.setProperty (ids::finalRotation, text, nullptr);
        item.positionFromValueTree (noRotation);
        EXPECT_EQ (item.rotation, 0.0f);
    }
}

TEST (TransformableComponent, FitOutlineIntoCoversTheArea)
{
    TransformableComponent item;
    item.setOutline (rectangle (0, 0, 100, 100), 0.0f);
    item.fitOutlineInto ({ 0, 0, 400, 200 });

    juce::Path placed (item.outline);
    placed.applyTransform (item.getTransform());
    expectNear (placed.getBounds(), { 0, -100, 400, 400 });
    EXPECT_EQ (item.committedTransform, item.getTransform());

    // A tall outline into a wide area, and the other way round.
    TransformableComponent tall;
    tall.setOutline (rectangle (0, 0, 50, 200), 0.0f);
    tall.fitOutlineInto ({ 100, 100, 100, 100 });
    expectNear (tall.getTransformedOutline().getBounds(), { 100, -50, 100, 400 });
}

TEST (TransformableComponent, FitOutlineIntoKeepsTheRotation)
{
    TransformableComponent item;
    item.setOutline (turned (rectangle (0, 0, 200, 100), juce::AffineTransform::rotation (0.5f, 100, 50)), 0.5f);
    item.fitOutlineInto ({ 1000, 1000, 400, 100 });

    EXPECT_FLOAT_EQ (item.rotation, 0.5f);
    expectNear (item.getTransformedOutline().getBounds(), { 1000, 950, 400, 200 }, 0.05f);
    expectNear (juce::Point<float> (100, 50).transformedBy (item.getTransform()), { 1200, 1050 });
}

TEST (TransformableComponent, FitOutlineIntoIgnoresEmptyAreasAndFlatOutlines)
{
    const juce::Rectangle<float> areas[] = { { 0, 0, 0, 100 }, { 0, 0, 100, -1 }, { 0, 0, std::nanf (""), 100 } };

    for (auto area : areas)
    {
        TransformableComponent item;
        item.setOutline (rectangle (5, 5, 100, 100), 0.0f);
        item.fitOutlineInto (area);
        EXPECT_EQ (item.getTransform(), juce::AffineTransform::translation (5.0f, 5.0f));
    }

    // A focal whose resolution has a zero side has a flat outline.
    for (auto points : { rectangle (5, 5, 0, 100), rectangle (5, 5, 100, 0), juce::Array<juce::Point<float>>() })
    {
        TransformableComponent item;
        item.setOutline (points, 0.0f);
        const auto before = item.getTransform();
        item.fitOutlineInto ({ 0, 0, 400, 200 });
        EXPECT_EQ (item.getTransform(), before);
        EXPECT_TRUE (std::isfinite (item.getTransform().mat00));
    }
}

TEST (TransformableComponent, TransformedOutlineTakesTheRotationOut)
{
    TransformableComponent item;
    const auto quarter = juce::MathConstants<float>::halfPi;
    item.setOutline (turned (rectangle (1000, 500, 200, 100), juce::AffineTransform::rotation (quarter, 1100, 550)), quarter);

    expectNear (item.getTransformedOutline().getBounds(), { 1000, 500, 200, 100 });

    // During a gesture the pending rotation is taken out as well.
    item.pendingRotation = quarter;
    item.setTransform (item.committedTransform.rotated (quarter, 1100, 550));
    expectNear (item.getTransformedOutline().getBounds(), { 1000, 500, 200, 100 });
}

TEST (TransformableComponent, ContainmentOfEqualAndEdgeSharingOutlines)
{
    TransformableComponent a, b;
    a.setOutline (rectangle (100, 100, 300, 200), 0.2f);
    b.setOutline (rectangle (100, 100, 300, 200), 0.2f);
    EXPECT_TRUE (a.containsOutlineOf (b));
    EXPECT_TRUE (b.containsOutlineOf (a));

    // A slice whose left, top and bottom edges lie on the focal's edges.
    TransformableComponent focal, slice;
    focal.setOutline (rectangle (1000, 1000, 400, 200), 0.0f);
    slice.setOutline (rectangle (1000, 1000, 150, 200), 0.0f);
    EXPECT_TRUE (focal.containsOutlineOf (slice));
    EXPECT_FALSE (slice.containsOutlineOf (focal));

    // Two units outside is outside.
    TransformableComponent outside;
    outside.setOutline (rectangle (998, 1000, 150, 200), 0.0f);
    EXPECT_FALSE (focal.containsOutlineOf (outside));

    // A turned focal no longer covers its axis-aligned twin's corners.
    TransformableComponent turnedFocal;
    turnedFocal.setOutline (turned (rectangle (1000, 1000, 400, 200), juce::AffineTransform::rotation (0.3f, 1200, 1100)), 0.3f);
    EXPECT_FALSE (turnedFocal.containsOutlineOf (slice));
}

TEST (TransformableComponent, HitTestFollowsTheOutline)
{
    TransformableComponent triangle;
    using P = juce::Point<float>;
    triangle.setOutline ({ P { 0, 0 }, P { 100, 0 }, P { 0, 100 } }, 0.0f);

    EXPECT_TRUE (triangle.hitTest (10, 10));
    EXPECT_FALSE (triangle.hitTest (90, 90)); // inside the bounds, outside the outline
}

// The stage orders items by this area: it must be the bounds' area of the
// turned-back outline to the bit, for any outline, placement and turn, and
// stay so as one item's outline, placement or turn changes between calls
// (the item keeps the last area it worked out).
TEST (TransformableComponent, TransformedOutlineAreaIsThatOfTheTransformedOutlinesBounds)
{
    juce::Random random (31);
    TransformableComponent item;

    const auto newOutline = [&]
    {
        juce::Array<juce::Point<float>> points;
        const auto count = 1 + random.nextInt (12);

        for (int i = 0; i < count; ++i)
            points.add ({ random.nextFloat() * 900.0f - 300.0f, random.nextFloat() * 600.0f - 200.0f });

        item.setOutline (points, random.nextFloat() * 6.0f - 3.0f);
    };

    const auto newPlacement = [&]
    {
        item.setPlacement (item.committedTransform.rotated (random.nextFloat() * 2.0f, 40.0f, 10.0f)
                               .scaled (0.2f + random.nextFloat() * 3.0f, 0.2f + random.nextFloat() * 3.0f)
                               .translated (random.nextFloat() * 50000.0f, random.nextFloat() * 5000.0f));
    };

    for (int run = 0; run < 1000; ++run)
    {
        // One thing changes, or nothing; a new item now and then.
        switch (random.nextInt (6))
        {
            case 0: newOutline(); break;
            case 1: newPlacement(); break;
            case 2: item.setTransform (item.getTransform().translated (random.nextFloat() * 10.0f, 0.0f)); break;
            case 3: item.pendingRotation = random.nextBool() ? random.nextFloat() - 0.5f : 0.0f; break;
            case 4: item.rotation += random.nextFloat(); break;
            default: break;
        }

        const auto bounds = item.getTransformedOutline().getBounds();
        const auto expected = bounds.getWidth() * bounds.getHeight();
        const auto area = item.getTransformedOutlineArea();
        EXPECT_EQ (std::memcmp (&expected, &area, sizeof (float)), 0) << run << ": " << expected << " " << area;
    }
}
