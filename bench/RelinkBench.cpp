// The relink after the host rewrote its setup file: the file is read and
// parsed, its screens are read into records, and the model is rebuilt and
// merged against the previous one. The parts are measured on their own too,
// so a slow relink shows where its time goes. The screens are read from the
// tree that reading the file gives, as in the application: a tree built in
// memory element by element lies scattered over the heap and took more than
// twice as long to walk.
#include "BenchSupport.h"
#include "DocumentGenerator.h"
#include "SetupGenerator.h"

#include "host/HostXmlFile.h"
#include "host/ScreenSetupFormat.h"

#include <benchmark/benchmark.h>

namespace corvadine::bench
{
namespace
{
juce::File writeHostSetupFile (int numSlices)
{
    auto file = scratchFolder().getChildFile ("Host setup " + juce::String (numSlices) + ".xml");

    if (! file.existsAsFile())
        makeHostSetup (numSlices / slicesPerScreen)->writeTo (file);

    return file;
}

// Reading the watched file into XML, before any of the model's work.
void RelinkReadFile (benchmark::State& state)
{
    const auto file = writeHostSetupFile ((int) state.range (0));

    for (auto _ : state)
    {
        auto root = parseHostXmlFile (file);
        benchmark::DoNotOptimize (root.get());
    }

    state.counters["fileKiB"] = (double) file.getSize() / 1024.0;
}

void RelinkParseScreens (benchmark::State& state)
{
    const auto root = parseHostXmlFile (writeHostSetupFile ((int) state.range (0)));

    for (auto _ : state)
    {
        auto screens = parseScreens (findScreenSetupElement (*root));
        benchmark::DoNotOptimize (screens.getRawDataPointer());
    }
}

// The relink proper: the screens of the re-read setup are read into records
// and merged into the model, which rebuilds every screen and slice and gives
// each matching slice its placement back. The model is the previous one from
// the second step on, as it is after a first relink.
void Relink (benchmark::State& state)
{
    const auto numSlices = (int) state.range (0);
    auto previous = makeDocument (numSlices);
    const auto root = parseHostXmlFile (writeHostSetupFile (numSlices));
    int relinked = 0;

    for (auto _ : state)
    {
        const auto screens = parseScreens (findScreenSetupElement (*root));
        relinked = previous->model.mergeScreens (screens);
    }

    state.counters["relinked"] = relinked;
}

// The rebuild alone, as an import does it.
void RelinkRebuild (benchmark::State& state)
{
    const auto numSlices = (int) state.range (0);
    const auto root = makeHostSetup (numSlices / slicesPerScreen);
    const auto screens = parseScreens (findScreenSetupElement (*root));
    StageModel model;
    model.compositionSize = compositionSizeFor (numSlices / slicesPerScreen);

    for (auto _ : state)
        model.rebuildScreens (screens);
}
} // namespace

CORVADINE_BENCH_SETUPS (Relink);
CORVADINE_BENCH_SETUPS (RelinkRebuild);
CORVADINE_BENCH_SETUPS (RelinkReadFile);
CORVADINE_BENCH_SETUPS (RelinkParseScreens);
} // namespace corvadine::bench
