// The ear clipping of one slice outline, as every export and mesh hand-over
// does it once per slice, on the ring shapes ear clipping finds easy and hard
// at 4 to 4,096 points: rectangles (the most common slice; more points lie
// along their edges), convex polygons, dense circles (float rounding makes
// many nearly straight corners), stars and saw-tooth combs (half the points
// reflex) and thick spirals (deeply concave).
//
// Each benchmark's goal is the time earcut 3.0.1 took on the same float rings
// on this machine, halved up to 200 points: ours should be at least as fast
// everywhere and twice as fast on small rings.
//
// CORVADINE_EXPORT_RINGS=file writes every ring as JSON ({"shape/points":
// [x0, y0, x1, y1, ...]}) so another triangulator can be timed on the same
// numbers.
#include "BenchSupport.h"
#include "SetupGenerator.h"

#include "model/Triangulator.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace corvadine::bench
{
namespace
{
using Ring = std::vector<juce::Point<float>>;

// A slice rectangle in composition pixels; points beyond four are spread
// evenly along its edges, so most of them lie on straight runs.
Ring rectangleRing (int numPoints)
{
    const juce::Rectangle<float> box { 240.0f, 135.0f, 480.0f, 270.0f };
    const auto perimeter = 2.0f * (box.getWidth() + box.getHeight());
    const juce::Point<float> corners[] = { box.getTopLeft(), box.getTopRight(), box.getBottomRight(), box.getBottomLeft() };
    const float sides[] = { box.getWidth(), box.getHeight(), box.getWidth(), box.getHeight() };
    Ring ring;

    // Each side gets points in proportion to its length, a corner first.
    for (int side = 0, placed = 0; side < 4; ++side)
    {
        const auto share = side == 3 ? numPoints - placed
                                     : std::max (1, (int) std::lround ((float) numPoints * sides[side] / perimeter));
        const auto from = corners[side], to = corners[(side + 1) % 4];

        for (int k = 0; k < share; ++k)
            ring.push_back (from + (to - from) * ((float) k / (float) share));

        placed += share;
    }

    return ring;
}

// Points at random angles on an ellipse, in order: every corner convex.
Ring convexRing (int numPoints)
{
    juce::Random random (4000 + numPoints);
    std::vector<float> angles;

    for (int k = 0; k < numPoints; ++k)
        angles.push_back (juce::MathConstants<float>::twoPi * ((float) k + 0.9f * random.nextFloat()) / (float) numPoints);

    Ring ring;

    for (const auto angle : angles)
        ring.push_back ({ 960.0f + 420.0f * std::cos (angle), 540.0f + 250.0f * std::sin (angle) });

    return ring;
}

// Evenly spaced on a small circle far from the origin, a round slice in a
// large composition: the float rounding leaves many neighbouring corners
// straight or slightly reflex.
Ring circleRing (int numPoints)
{
    Ring ring;

    for (int k = 0; k < numPoints; ++k)
    {
        const auto angle = juce::MathConstants<double>::twoPi * k / numPoints;
        ring.push_back ({ (float) (7680.0 + 100.0 * std::cos (angle)), (float) (4320.0 + 100.0 * std::sin (angle)) });
    }

    return ring;
}

// A base line with a saw-tooth top: every other top point is reflex.
Ring combRing (int numPoints)
{
    const auto top = std::max (2, numPoints - 2);
    Ring ring { { 0.0f, 0.0f }, { 1000.0f, 0.0f } };

    for (int k = 0; k < top && (int) ring.size() < numPoints; ++k)
        ring.push_back ({ 1000.0f * (float) (top - 1 - k) / (float) (top - 1), k % 2 == 0 ? 300.0f : 60.0f });

    return ring;
}

// A thick band wound in a spiral: out along one side, back along the other.
Ring spiralRing (int numPoints)
{
    const auto half = numPoints / 2;
    const auto step = 12.0f / (float) std::max (1, half);    // about two turns
    Ring outer, inner;

    for (int k = 0; k < half; ++k)
    {
        const auto angle = step * (float) k;
        const auto radius = 40.0f + 30.0f * angle;
        outer.push_back ({ (radius + 20.0f) * std::cos (angle), (radius + 20.0f) * std::sin (angle) });
        inner.push_back ({ radius * std::cos (angle), radius * std::sin (angle) });
    }

    Ring ring (outer);
    ring.insert (ring.end(), inner.rbegin(), inner.rend());
    return ring;
}

struct Shape
{
    const char* name;
    std::function<Ring (int)> make;
};

const Shape shapes[] = {
    { "rectangle", rectangleRing },
    { "convex", convexRing },
    { "circle", circleRing },
    { "star", makeRing },
    { "comb", combRing },
    { "spiral", spiralRing },
};

// 8 and 100 sit between the others, where the triangulator switches paths
// (one word of flags up to 64 points, two up to 128, then the z-order index).
constexpr int sizes[] = { 4, 8, 20, 100, 200, 1000, 4096 };

// earcut 3.0.1 under node 20 on the rings written by CORVADINE_EXPORT_RINGS,
// in microseconds per ring: each ring in a node process of its own, warmed
// up for a second, then the median of 15 timed runs, in wall time and in the
// process's CPU time; the best figure of three such rounds of each on this
// shared machine. The 8- and 100-point figures were measured the same way
// later, on a quieter machine.
struct EarcutFigure
{
    const char* name;
    double microseconds;
};

const EarcutFigure earcutFigures[] = {
    { "rectangle/4", 0.096 },
    { "rectangle/8", 0.165 },
    { "rectangle/20", 0.821 },
    { "rectangle/100", 21.7 },
    { "rectangle/200", 72.2 },
    { "rectangle/1000", 1284 },
    { "rectangle/4096", 22013 },
    { "convex/4", 0.088 },
    { "convex/8", 0.175 },
    { "convex/20", 0.713 },
    { "convex/100", 9.34 },
    { "convex/200", 24.8 },
    { "convex/1000", 118.8 },
    { "convex/4096", 626.0 },
    { "circle/4", 0.085 },
    { "circle/8", 0.167 },
    { "circle/20", 0.732 },
    { "circle/100", 9.19 },
    { "circle/200", 21.3 },
    { "circle/1000", 133.2 },
    { "circle/4096", 767.5 },
    { "star/4", 0.090 },
    { "star/8", 0.173 },
    { "star/20", 0.675 },
    { "star/100", 9.42 },
    { "star/200", 30.9 },
    { "star/1000", 254.4 },
    { "star/4096", 4258 },
    { "comb/4", 0.076 },
    { "comb/8", 0.237 },
    { "comb/20", 0.795 },
    { "comb/100", 15.3 },
    { "comb/200", 69.1 },
    { "comb/1000", 1262 },
    { "comb/4096", 20771 },
    { "spiral/4", 0.101 },
    { "spiral/8", 0.235 },
    { "spiral/20", 1.547 },
    { "spiral/100", 32.9 },
    { "spiral/200", 121.8 },
    { "spiral/1000", 989.0 },
    { "spiral/4096", 11931 },
};

double earcutMicroseconds (const juce::String& name)
{
    for (const auto& figure : earcutFigures)
        if (name == figure.name)
            return figure.microseconds;

    return 0.0;
}

void exportRings (const char* path)
{
    juce::String json ("{");

    for (const auto& shape : shapes)
    {
        for (const auto size : sizes)
        {
            juce::StringArray numbers;

            for (const auto p : shape.make (size))
            {
                char text[2][32];
                std::snprintf (text[0], sizeof (text[0]), "%.9g", (double) p.x);
                std::snprintf (text[1], sizeof (text[1]), "%.9g", (double) p.y);
                numbers.add (text[0]);
                numbers.add (text[1]);
            }

            json << (json.length() > 1 ? ",\n" : "\n") << "\"" << shape.name << "/" << size << "\": [" << numbers.joinIntoString (", ") << "]";
        }
    }

    juce::File (juce::String (path)).replaceWithText (json + "\n}\n");
}

void triangulate (benchmark::State& state, const Ring& ring)
{
    for (auto _ : state)
    {
        auto indices = triangulateRing (ring);
        benchmark::DoNotOptimize (indices.data());
    }

    state.counters["triangles"] = (double) triangulateRing (ring).size() / 3.0;
}

const bool registered = []
{
    if (const auto* path = std::getenv ("CORVADINE_EXPORT_RINGS"))
        exportRings (path);

    for (const auto& shape : shapes)
    {
        for (const auto size : sizes)
        {
            const auto name = juce::String (shape.name) + "/" + juce::String (size);
            const auto earcut = earcutMicroseconds (name);

            if (earcut > 0.0)
                setGoalMilliseconds ("Triangulate/" + name, (size <= 200 ? earcut / 2.0 : earcut) / 1000.0);

            benchmark::RegisterBenchmark (("Triangulate/" + name).toRawUTF8(), triangulate, shape.make (size))
                ->Unit (benchmark::kMicrosecond)
                ->MinTime (0.05);
        }
    }

    return true;
}();
} // namespace
} // namespace corvadine::bench
