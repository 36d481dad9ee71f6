// The triangulator on arbitrary rings: few or many points, repeats,
// crossings, straight runs, huge, tiny and non-finite coordinates. It has to
// return (libFuzzer's -timeout catches a hang) with whole triangles over
// points that exist and are finite, and exactly the triangles, in the same
// order, of the plain ear clipper the tests keep (documents hold them).
#include "FuzzChecks.h"

#include "model/ReferenceTriangulator.h"
#include "model/Triangulator.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

using namespace corvadine;

namespace
{
// Keeps one run well inside the time limit at O(n^2).
constexpr size_t maxPoints = 4096;
constexpr size_t maxComparedPoints = 1024;

float scaledCoordinate (FuzzedDataProvider& input, float scale)
{
    return (float) input.ConsumeIntegral<int8_t>() * scale;
}

juce::Point<float> nextPoint (FuzzedDataProvider& input, const std::vector<juce::Point<float>>& ring)
{
    // Small grid coordinates make repeats, straight runs and crossings
    // likely; raw bits reach every float, NaN and infinity included.
    static constexpr float scales[] = { 1.0f, 0.5f, 1.0e-30f, 1.0e-45f, 1.0e30f, 3.0e38f };

    switch (input.ConsumeIntegralInRange (0, 3))
    {
        case 0:
            return { scaledCoordinate (input, 1.0f), scaledCoordinate (input, 1.0f) };

        case 1:
        {
            const auto scale = input.PickValueInArray (scales);
            const auto offset = input.ConsumeFloatingPoint<float>();
            return { offset + scaledCoordinate (input, scale), offset + scaledCoordinate (input, scale) };
        }

        case 2:
            if (! ring.empty())
                return ring[input.ConsumeIntegralInRange<size_t> (0, ring.size() - 1)];

            return {};

        default:
        {
            float xy[2] = {};
            const auto bytes = input.ConsumeBytes<uint8_t> (sizeof (xy));

            if (! bytes.empty())
                std::memcpy (xy, bytes.data(), bytes.size());

            return { xy[0], xy[1] };
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    FuzzedDataProvider input (data, size);
    std::vector<juce::Point<float>> ring;

    while (input.remaining_bytes() > 0 && ring.size() < maxPoints)
        ring.push_back (nextPoint (input, ring));

    const auto indices = triangulateRing (ring);

    fuzz::check (indices.size() % 3 == 0, "whole triangles");
    fuzz::check (ring.size() < 3 || indices.size() <= (ring.size() - 2) * 3, "at most one triangle per point clipped");

    for (const auto index : indices)
    {
        fuzz::check (index >= 0 && (size_t) index < ring.size(), "index of an existing point");
        fuzz::check (std::isfinite (ring[(size_t) index].x) && std::isfinite (ring[(size_t) index].y), "index of a finite point");
    }

    // The plain clipper is slow on thousands of points; every path of the
    // fast one (convex, small, z-order index) is taken well below this.
    if (ring.size() <= maxComparedPoints)
        fuzz::check (indices == test::referenceTriangulateRing (ring), "the plain ear clipper's triangles in its order");

    return 0;
}
