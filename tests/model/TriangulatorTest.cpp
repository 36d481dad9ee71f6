#include "model/Triangulator.h"
#include "model/ReferenceTriangulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

using namespace corvadine;

namespace
{
using Ring = std::vector<juce::Point<float>>;

double cross (juce::Point<float> a, juce::Point<float> b, juce::Point<float> c)
{
    return ((double) b.x - a.x) * ((double) c.y - a.y) - ((double) b.y - a.y) * ((double) c.x - a.x);
}

double signedArea (const Ring& ring)
{
    auto sum = 0.0;

    for (size_t i = 1; i + 1 < ring.size(); ++i)
        sum += cross (ring[0], ring[i], ring[i + 1]);

    return sum / 2.0;
}

Ring reversed (Ring ring)
{
    std::reverse (ring.begin(), ring.end());
    return ring;
}

// Every index addresses a usable point and every triangle has three
// different corners.
void expectValidIndices (const Ring& ring, const std::vector<int>& indices)
{
    ASSERT_EQ (indices.size() % 3, 0u);

    for (size_t t = 0; t < indices.size(); t += 3)
    {
        for (size_t k = 0; k < 3; ++k)
        {
            const auto index = indices[t + k];
            ASSERT_GE (index, 0);
            ASSERT_LT (index, (int) ring.size());
            EXPECT_TRUE (ring[(size_t) index].isFinite()) << "index " << index;
        }

        EXPECT_NE (indices[t], indices[t + 1]);
        EXPECT_NE (indices[t + 1], indices[t + 2]);
        EXPECT_NE (indices[t], indices[t + 2]);
    }
}

// The triangles tile the ring exactly: each is wound like the ring, so any
// overlap or gap would show as a difference of the summed areas.
void expectTiles (const Ring& ring, const std::vector<int>& indices)
{
    expectValidIndices (ring, indices);
    const auto area = signedArea (ring);
    auto sum = 0.0;

    for (size_t t = 0; t < indices.size(); t += 3)
    {
        const auto triangle = cross (ring[(size_t) indices[t]], ring[(size_t) indices[t + 1]], ring[(size_t) indices[t + 2]]) / 2.0;
        EXPECT_GT (triangle * area, 0.0) << "triangle " << t / 3 << " is flat or wound against the ring";
        sum += triangle;
    }

    EXPECT_NEAR (sum, area, std::abs (area) * 1.0e-9);
}

Ring starRing (juce::Random& random, int points, float radius = 100.0f)
{
    Ring ring;

    for (int i = 0; i < points; ++i)
    {
        const auto angle = juce::MathConstants<float>::twoPi * ((float) i + 0.8f * random.nextFloat()) / (float) points;
        const auto r = radius * (0.2f + 0.8f * random.nextFloat());
        ring.push_back ({ r * std::cos (angle), r * std::sin (angle) });
    }

    return ring;
}

// A thick spiral: deeply concave, with most points reflex.
Ring spiralRing (int turnsPoints)
{
    Ring outer, inner;

    for (int i = 0; i < turnsPoints; ++i)
    {
        const auto angle = 0.05f * (float) i;
        const auto r = 10.0f + 2.0f * angle;
        outer.push_back ({ (r + 1.0f) * std::cos (angle), (r + 1.0f) * std::sin (angle) });
        inner.push_back ({ r * std::cos (angle), r * std::sin (angle) });
    }

    Ring ring (outer);
    ring.insert (ring.end(), inner.rbegin(), inner.rend());
    return ring;
}
} // namespace

TEST (Triangulator, SimpleRingsOfBothWindingsAreTiledByNMinusTwoTriangles)
{
    struct Case
    {
        const char* name;
        Ring ring;
    };

    const std::vector<Case> cases {
        { "triangle", { { 0, 0 }, { 10, 0 }, { 0, 10 } } },
        { "square", { { 0, 0 }, { 10, 0 }, { 10, 10 }, { 0, 10 } } },
        { "slanted quad", { { 3, 1 }, { 40, 7 }, { 35, 30 }, { -2, 22 } } },
        { "L shape", { { 0, 0 }, { 20, 0 }, { 20, 5 }, { 5, 5 }, { 5, 20 }, { 0, 20 } } },
        { "arrow (reflex point deep inside)", { { 0, 0 }, { 10, 5 }, { 0, 10 }, { 3, 5 } } },
        { "comb", { { 0, 0 }, { 50, 0 }, { 50, 30 }, { 40, 30 }, { 40, 5 }, { 30, 5 }, { 30, 30 }, { 20, 30 }, { 20, 5 }, { 10, 5 }, { 10, 30 }, { 0, 30 } } },
        { "five-pointed star", { { 0, -50 }, { 12, -15 }, { 48, -15 }, { 19, 6 }, { 30, 40 }, { 0, 19 }, { -30, 40 }, { -19, 6 }, { -48, -15 }, { -12, -15 } } },
    };

    for (const auto& c : cases)
    {
        for (const auto& ring : { c.ring, reversed (c.ring) })
        {
            SCOPED_TRACE (c.name);
            const auto indices = triangulateRing (ring);
            EXPECT_EQ (indices.size(), (ring.size() - 2) * 3);
            expectTiles (ring, indices);
        }
    }
}

TEST (Triangulator, RandomStarShapedAndSpiralRingsAreTiledExactly)
{
    juce::Random random (20261210);

    for (int points = 3; points <= 120; points += 3)
    {
        const auto ring = starRing (random, points);

        for (const auto& r : { ring, reversed (ring) })
        {
            SCOPED_TRACE (points);
            const auto indices = triangulateRing (r);
            EXPECT_EQ (indices.size(), (r.size() - 2) * 3);
            expectTiles (r, indices);
        }
    }

    const auto spiral = spiralRing (300);
    expectTiles (spiral, triangulateRing (spiral));
    expectTiles (reversed (spiral), triangulateRing (reversed (spiral)));

    // A large ring runs to the end (and stays quadratic: no timing here).
    const auto large = starRing (random, 4000);
    const auto indices = triangulateRing (large);
    EXPECT_EQ (indices.size(), (large.size() - 2) * 3);
    expectTiles (large, indices);
}

TEST (Triangulator, CollinearAndRepeatedPointsStillTileTheRing)
{
    const std::vector<Ring> rings {
        // Points in the middle of edges.
        { { 0, 0 }, { 5, 0 }, { 10, 0 }, { 10, 5 }, { 10, 10 }, { 5, 10 }, { 0, 10 }, { 0, 5 } },
        // A triangle with many points along one edge.
        { { 0, 0 }, { 1, 0 }, { 2, 0 }, { 3, 0 }, { 4, 0 }, { 5, 0 }, { 2.5f, 4 } },
        // The closing point repeats the first, as host outlines often do.
        { { 0, 0 }, { 10, 0 }, { 10, 10 }, { 0, 10 }, { 0, 0 } },
        // Repeated points in the middle.
        { { 0, 0 }, { 10, 0 }, { 10, 0 }, { 10, 0 }, { 10, 10 }, { 0, 10 }, { 0, 10 } },
        // A zero-area spike sticking out of a square.
        { { 0, 0 }, { 10, 0 }, { 10, 5 }, { 20, 5 }, { 10, 5 }, { 10, 10 }, { 0, 10 } },
        // Concave with straight runs.
        { { 0, 0 }, { 10, 0 }, { 20, 0 }, { 20, 10 }, { 15, 10 }, { 15, 5 }, { 10, 5 }, { 5, 5 }, { 5, 10 }, { 0, 10 } },
    };

    for (size_t i = 0; i < rings.size(); ++i)
    {
        SCOPED_TRACE (i);
        expectTiles (rings[i], triangulateRing (rings[i]));
        expectTiles (reversed (rings[i]), triangulateRing (reversed (rings[i])));
    }
}

TEST (Triangulator, TooFewPointsOrNoAreaGiveNoTriangles)
{
    const std::vector<Ring> rings {
        {},
        { { 1, 1 } },
        { { 1, 1 }, { 5, 2 } },
        { { 1, 1 }, { 1, 1 }, { 1, 1 }, { 1, 1 } },
        { { 0, 0 }, { 5, 5 }, { 10, 10 } },
        { { 0, 0 }, { 5, 5 }, { 10, 10 }, { 5, 5 } },
        // A symmetric bow tie: its two halves cancel.
        { { 0, 0 }, { 10, 10 }, { 10, 0 }, { 0, 10 } },
    };

    for (size_t i = 0; i < rings.size(); ++i)
        EXPECT_TRUE (triangulateRing (rings[i]).empty()) << "ring " << i;
}

TEST (Triangulator, RingsThatCrossThemselvesGiveValidTriangles)
{
    // The host's mask followed by the slice's input contour.
    const Ring maskThenContour { { 0, 0 }, { 100, 0 }, { 100, 100 }, { 0, 100 },
                                 { 10, 10 }, { 90, 10 }, { 90, 90 }, { 10, 90 } };
    const Ring lopsidedBowTie { { 0, 0 }, { 20, 20 }, { 20, 0 }, { 0, 5 } };
    const Ring figureOfLoops { { 0, 0 }, { 10, 0 }, { 10, 10 }, { 0, 10 }, { 0, 0 },
                               { 20, 0 }, { 30, 0 }, { 30, 10 }, { 20, 10 } };

    for (const auto& ring : { maskThenContour, lopsidedBowTie, figureOfLoops })
    {
        for (const auto& r : { ring, reversed (ring) })
        {
            const auto indices = triangulateRing (r);
            EXPECT_FALSE (indices.empty());
            expectValidIndices (r, indices);
            EXPECT_LE (indices.size(), (r.size() - 2) * 3);
        }
    }

    // Random scribbles: every index valid, and the run always ends.
    juce::Random random (7);

    for (int round = 0; round < 200; ++round)
    {
        Ring ring ((size_t) random.nextInt ({ 3, 60 }));

        for (auto& p : ring)
            p = { (float) random.nextInt (20), (float) random.nextInt (20) };

        const auto indices = triangulateRing (ring);
        expectValidIndices (ring, indices);
        EXPECT_LE (indices.size(), (ring.size() - 2) * 3);
    }
}

TEST (Triangulator, HugeTinyAndFarOffCoordinatesAreTiled)
{
    const Ring shape { { 0, 0 }, { 20, 0 }, { 20, 5 }, { 5, 5 }, { 5, 20 }, { 0, 20 } };

    for (const auto scale : { 1.0e-30f, 1.0e-20f, 1.0e20f, 1.0e35f })
    {
        Ring ring;

        for (auto p : shape)
            ring.push_back (p * scale);

        SCOPED_TRACE (scale);
        const auto indices = triangulateRing (ring);
        EXPECT_EQ (indices.size(), (ring.size() - 2) * 3);
        expectTiles (ring, indices);
    }

    // Stage coordinates near the far end of the stage, in half units.
    Ring farOff;

    for (auto p : shape)
        farOff.push_back (p * 0.5f + juce::Point<float> (99000.0f, 9000.0f));

    expectTiles (farOff, triangulateRing (farOff));
}

TEST (Triangulator, NonFinitePointsAreNeverUsed)
{
    const auto nan = std::numeric_limits<float>::quiet_NaN();
    const auto inf = std::numeric_limits<float>::infinity();

    const Ring withHoles { { 0, 0 }, { nan, 3 }, { 10, 0 }, { 10, 10 }, { inf, -inf }, { 0, 10 } };
    const auto indices = triangulateRing (withHoles);
    expectValidIndices (withHoles, indices);
    EXPECT_EQ (indices.size(), 6u);

    EXPECT_TRUE (triangulateRing ({ { nan, nan }, { nan, 1 }, { 2, nan }, { nan, nan } }).empty());
    EXPECT_TRUE (triangulateRing ({ { 0, 0 }, { nan, 0 }, { 1, 1 } }).empty());

    juce::Random random (3);

    for (int round = 0; round < 50; ++round)
    {
        auto ring = starRing (random, 30);

        for (int k = 0; k < 5; ++k)
            ring[(size_t) random.nextInt (30)].x = (k % 2 == 0) ? nan : inf;

        expectValidIndices (ring, triangulateRing (ring));
    }
}

TEST (Triangulator, CommonSlicesKeepTheirTrianglesInTheirOrder)
{
    // Written documents hold these triangles in this order (the plug-in reads
    // any valid triangulation, but a document that did not change must be
    // written with the same bytes): rectangles, convex outlines and the
    // usual concave ones stay as they are.
    struct Case
    {
        const char* name;
        Ring ring;
        std::vector<int> indices;
    };

    const std::vector<Case> cases {
        { "slice rectangle", { { 0, 0 }, { 1920, 0 }, { 1920, 1080 }, { 0, 1080 } }, { 3, 0, 1, 1, 2, 3 } },
        { "rectangle wound the other way", { { 0, 1080 }, { 1920, 1080 }, { 1920, 0 }, { 0, 0 } }, { 3, 0, 1, 1, 2, 3 } },
        { "turned rectangle", { { 1025.5f, 112.25f }, { 1400.75f, 330.5f }, { 1180.25f, 710 }, { 805, 491.75f } }, { 3, 0, 1, 1, 2, 3 } },
        { "triangle", { { 10, 10 }, { 200, 30 }, { 90, 150 } }, { 2, 0, 1 } },
        { "convex hexagon", { { 100, 0 }, { 200, 50 }, { 200, 150 }, { 100, 200 }, { 0, 150 }, { 0, 50 } }, { 5, 0, 1, 1, 2, 3, 3, 4, 5, 5, 1, 3 } },
        { "convex heptagon", { { 50, 0 }, { 90, 20 }, { 100, 60 }, { 75, 95 }, { 25, 95 }, { 0, 60 }, { 10, 20 } }, { 6, 0, 1, 1, 2, 3, 3, 4, 5, 5, 6, 1, 1, 3, 5 } },
        { "rectangle repeating its first point", { { 0, 0 }, { 10, 0 }, { 10, 10 }, { 0, 10 }, { 0, 0 } }, { 4, 1, 2, 2, 3, 4 } },
        { "rectangle with edge midpoints", { { 0, 0 }, { 5, 0 }, { 10, 0 }, { 10, 5 }, { 10, 10 }, { 5, 10 }, { 0, 10 }, { 0, 5 } }, { 7, 0, 1, 1, 2, 3, 3, 4, 5, 5, 6, 7, 7, 1, 3, 3, 5, 7 } },
        { "L shape", { { 0, 0 }, { 20, 0 }, { 20, 5 }, { 5, 5 }, { 5, 20 }, { 0, 20 } }, { 0, 1, 2, 3, 4, 5, 0, 2, 3, 3, 5, 0 } },
        { "comb", { { 0, 0 }, { 50, 0 }, { 50, 30 }, { 40, 30 }, { 40, 5 }, { 30, 5 }, { 30, 30 }, { 20, 30 }, { 20, 5 }, { 10, 5 }, { 10, 30 }, { 0, 30 } }, { 1, 2, 3, 5, 6, 7, 9, 10, 11, 1, 3, 4, 5, 7, 8, 9, 11, 0, 0, 1, 4, 8, 9, 0, 0, 4, 5, 5, 8, 0 } },
        { "mask then contour", { { 0, 0 }, { 100, 0 }, { 100, 100 }, { 0, 100 }, { 10, 10 }, { 90, 10 }, { 90, 90 }, { 10, 90 } }, { 7, 0, 1, 1, 2, 3, 4, 5, 6, 7, 3, 4, 4, 6, 7 } },
    };

    for (const auto& c : cases)
        EXPECT_EQ (triangulateRing (c.ring), c.indices) << c.name;
}

namespace
{
// Evenly spaced points on a circle; far from the origin the float rounding
// leaves many neighbouring corners straight or slightly reflex.
Ring circleRing (int points, juce::Point<double> centre, double radius)
{
    Ring ring;

    for (int k = 0; k < points; ++k)
    {
        const auto angle = juce::MathConstants<double>::twoPi * k / points;
        ring.push_back ({ (float) (centre.x + radius * std::cos (angle)), (float) (centre.y + radius * std::sin (angle)) });
    }

    return ring;
}

// A base line with a saw-tooth top: every other top point is reflex.
Ring sawToothRing (int points)
{
    const auto top = points - 2;
    Ring ring { { 0, 0 }, { 1000, 0 } };

    for (int k = 0; k < top; ++k)
        ring.push_back ({ 1000.0f * (float) (top - 1 - k) / (float) (top - 1), k % 2 == 0 ? 300.0f : 60.0f });

    return ring;
}

// A rectangle with its points spread evenly along the edges: long straight
// runs with a convex corner now and then.
Ring straightRunsRing (int pointsPerSide)
{
    const juce::Point<float> corners[] = { { 0, 0 }, { 480, 0 }, { 480, 270 }, { 0, 270 } };
    Ring ring;

    for (int side = 0; side < 4; ++side)
        for (int k = 0; k < pointsPerSide; ++k)
            ring.push_back (corners[side] + (corners[(side + 1) % 4] - corners[side]) * ((float) k / (float) pointsPerSide));

    return ring;
}

// Alternating long and short spokes: half the points reflex.
Ring spokesRing (int points)
{
    juce::Random random (points);
    Ring ring;

    for (int k = 0; k < points; ++k)
    {
        const auto angle = juce::MathConstants<float>::twoPi * ((float) k + 0.5f) / (float) points;
        const auto radius = k % 2 == 0 ? 100.0f : 55.0f + 20.0f * random.nextFloat();
        ring.push_back ({ radius * std::cos (angle), radius * std::sin (angle) });
    }

    return ring;
}
} // namespace

TEST (Triangulator, DenseCirclesCombsSpiralsAndStraightRunsAreTiled)
{
    // The rings ear clipping finds hard: many reflex or nearly straight
    // corners, deep concavities, thousands of points.
    struct Case
    {
        const char* name;
        Ring ring;
    };

    const std::vector<Case> cases {
        { "dense circle at the origin", circleRing (4096, { 0, 0 }, 100) },
        { "dense circle in a large composition", circleRing (4096, { 7680, 4320 }, 100) },
        { "dense circle on the stage", circleRing (4096, { 50000, 5000 }, 100) },
        { "small dense circle", circleRing (1000, { 7680, 4320 }, 20) },
        { "saw-tooth comb", sawToothRing (4096) },
        { "short saw-tooth comb", sawToothRing (200) },
        { "spiral", spiralRing (2048) },
        { "straight runs", straightRunsRing (1024) },
        { "spokes", spokesRing (4096) },
    };

    for (const auto& c : cases)
    {
        for (const auto& ring : { c.ring, reversed (c.ring) })
        {
            SCOPED_TRACE (c.name);
            const auto indices = triangulateRing (ring);
            EXPECT_LE (indices.size(), (ring.size() - 2) * 3);
            expectTiles (ring, indices);
        }
    }
}

namespace
{
// A ring the clipper may meet, drawn from every family above and more:
// random stars, grid scribbles (repeats, straight runs, crossings), raw
// float bits, shapes far off, tiny or huge, turned, wound either way,
// starting anywhere, closed by repeating the first point, with points
// doubled, edge midpoints added or a coordinate made non-finite.
Ring randomRing (juce::Random& random, int maxPoints)
{
    const auto points = random.nextInt ({ 3, maxPoints + 1 });
    Ring ring;

    switch (random.nextInt (10))
    {
        case 0: ring = straightRunsRing (std::max (1, points / 4)); break;
        case 1: ring = circleRing (points, { random.nextDouble() * 1.0e5, random.nextDouble() * 1.0e4 }, 1.0 + random.nextDouble() * 500.0); break;
        case 2: ring = sawToothRing (std::max (4, points)); break;
        case 3: ring = spiralRing (std::max (2, points / 2)); break;
        case 4: ring = spokesRing (points); break;
        case 5: ring = starRing (random, points, (float) std::pow (10.0, random.nextInt ({ -3, 5 }))); break;
        case 6:
        {
            const auto grid = random.nextInt ({ 2, 30 });

            for (int k = 0; k < points; ++k)
                ring.push_back ({ (float) random.nextInt (grid), (float) random.nextInt (grid) });

            break;
        }
        case 7:
        {
            // A star on a coarse grid: many straight and repeated corners.
            const auto grid = (float) random.nextInt ({ 3, 40 });

            for (const auto p : starRing (random, points, grid))
                ring.push_back ({ std::round (p.x), std::round (p.y) });

            break;
        }
        case 8:
            for (int k = 0; k < points; ++k)
            {
                const int32_t bits[2] = { random.nextInt(), random.nextInt() };
                float xy[2];
                std::memcpy (xy, bits, sizeof (xy));
                ring.push_back ({ xy[0], xy[1] });
            }

            break;
        default:
        {
            // Two rings one after the other, as a mask followed by a contour.
            ring = starRing (random, points / 2 + 2);
            const auto second = starRing (random, points / 2 + 2, 60.0f);
            ring.insert (ring.end(), second.begin(), second.end());
            break;
        }
    }

    switch (random.nextInt (4))
    {
        case 0:
        {
            const auto scale = (float) std::pow (10.0, random.nextInt ({ -30, 31 }));

            for (auto& p : ring)
                p *= scale;

            break;
        }
        case 1:
        {
            const juce::Point<float> offset { (float) random.nextInt ({ -100000, 100000 }), (float) random.nextInt ({ -10000, 10000 }) };

            for (auto& p : ring)
                p += offset;

            break;
        }
        case 2:
        {
            const auto angle = random.nextFloat() * juce::MathConstants<float>::twoPi;

            for (auto& p : ring)
                p = p.rotatedAboutOrigin (angle);

            break;
        }
        default: break;
    }

    if (! ring.empty() && random.nextBool())
        std::rotate (ring.begin(), ring.begin() + random.nextInt ((int) ring.size()), ring.end());

    if (random.nextBool())
        std::reverse (ring.begin(), ring.end());

    if (! ring.empty() && random.nextInt (6) == 0)
        ring.push_back (ring.front());

    if (! ring.empty() && random.nextInt (8) == 0)
    {
        const auto at = (size_t) random.nextInt ((int) ring.size());
        ring.insert (ring.begin() + (long) at, ring[at]);
    }

    if (! ring.empty() && random.nextInt (16) == 0)
    {
        Ring withMidpoints;

        for (size_t k = 0; k < ring.size(); ++k)
        {
            withMidpoints.push_back (ring[k]);
            withMidpoints.push_back ((ring[k] + ring[(k + 1) % ring.size()]) * 0.5f);
        }

        ring = withMidpoints;
    }

    if (! ring.empty() && random.nextInt (16) == 0)
    {
        const float nonFinite[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity() };
        ring[(size_t) random.nextInt ((int) ring.size())].y = nonFinite[random.nextInt (3)];
    }

    return ring;
}
} // namespace

TEST (Triangulator, GivesTheSameTrianglesInTheSameOrderAsThePlainEarClipper)
{
    // Written documents hold the triangles in their order, so the fast paths
    // (convex rings, small rings, the z-order index) must pick exactly the
    // ears the plain clipper picks, on every kind of ring and at every size
    // where a different path takes over.
    juce::Random random (16);
    auto compared = 0;

    const auto expectSame = [&compared] (const Ring& ring)
    {
        ++compared;
        ASSERT_EQ (triangulateRing (ring), test::referenceTriangulateRing (ring)) << "ring of " << ring.size() << " points";
    };

    for (int round = 0; round < 4000; ++round)
    {
        const auto maxPoints = round % 40 == 0 ? 700 : (round % 2 == 0 ? 64 : 140);
        expectSame (randomRing (random, maxPoints));

        if (HasFatalFailure())
            return;
    }

    // Every size around the limits where another path takes over (one and
    // two words of flags), in each family.
    for (const auto points : { 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72,
                               120, 122, 124, 125, 126, 127, 128, 129, 130, 131, 132, 134, 136 })
        for (const auto& ring : { sawToothRing (points), spokesRing (points), straightRunsRing (points / 4), circleRing (points, { 7680, 4320 }, 100), spiralRing (points / 2) })
            for (const auto& r : { ring, reversed (ring) })
                expectSame (r);

    EXPECT_GT (compared, 4000);
}
