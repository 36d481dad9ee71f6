// The ear clipping of one slice outline, as every export and mesh hand-over
// does it once per slice: rectangles (4 points), host contours (20) and
// finely drawn masks (200).
#include "SetupGenerator.h"

#include "model/Triangulator.h"

#include <benchmark/benchmark.h>

namespace corvadine::bench
{
namespace
{
void Triangulate (benchmark::State& state)
{
    const auto ring = makeRing ((int) state.range (0));

    for (auto _ : state)
    {
        auto indices = triangulateRing (ring);
        benchmark::DoNotOptimize (indices.data());
    }

    state.counters["triangles"] = (double) triangulateRing (ring).size() / 3.0;
}
} // namespace

BENCHMARK (Triangulate)->Arg (4)->Arg (20)->Arg (200)->Unit (benchmark::kMicrosecond);
} // namespace corvadine::bench
