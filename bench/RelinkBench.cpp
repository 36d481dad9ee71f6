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

#include "host/ArenaSetupReader.h"
#include "host/CompositionSize.h"
#include "host/HostXmlFile.h"
#include "host/ScreenSetupFile.h"
#include "host/ScreenSetupFormat.h"
#include "stage/StageComponent.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The relink's reading at the host's largest setups too (hugeSetup: 256
// screens of 32).
#define CORVADINE_BENCH_HOST_SETUPS(function) \
    BENCHMARK (function)->Arg (smallSetup)->Arg (largeSetup)->Arg (hugeSetup)->Unit (benchmark::kMillisecond)

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

// Reading the watched file as the relink does it now: read, parsed once
// into the light tree, the setup found, its composition size and its
// screens read (readScreenSetupFile). Before timing, its result is checked
// field by field against JUCE's parser and the functions on juce::XmlElement.
void RelinkReadSetupFile (benchmark::State& state)
{
    const auto file = writeHostSetupFile ((int) state.range (0));
    juce::String difference;

    if (! sameScreenSetupRead (readScreenSetupFile (file), readScreenSetupElement (parseHostXmlFile (file).get()), difference))
    {
        state.SkipWithError (("differs from the element functions: " + difference).toRawUTF8());
        return;
    }

    int numScreens = 0;

    for (auto _ : state)
    {
        const auto read = readScreenSetupFile (file);
        numScreens = read.screens.size();
        benchmark::DoNotOptimize (read.screens.getRawDataPointer());
    }

    state.counters["screens"] = numScreens;
    state.counters["fileKiB"] = (double) file.getSize() / 1024.0;
}

// The whole relink as the user meets it after the host saved its setup:
// the watched file read and parsed, the composition size given to the
// model, the screens merged (each matching slice keeps its placement), and
// the stage emptied and refilled with the new items and restacked, as the
// controller does it.
void RelinkFromFile (benchmark::State& state)
{
    const auto numSlices = (int) state.range (0);
    auto previous = makeDocument (numSlices);
    const auto file = writeHostSetupFile (numSlices);
    StageComponent stage;
    int relinked = 0;

    for (auto _ : state)
    {
        const auto read = readScreenSetupFile (file);
        stage.clearStage();
        previous->model.compositionSize = read.compositionSize;
        relinked = previous->model.mergeScreens (read.screens);

        for (auto* item : previous->model.collectStageItems())
            stage.addSlice (item);

        stage.restack();
    }

    state.counters["relinked"] = relinked;
}

// Peak memory of a whole import of the generated setup, measured in a child
// process so that nothing the other benchmarks hold counts: the host's files
// read as the importer reads them (the setup reader made, reloaded), the
// composition size taken, the model rebuilt from the screens and its screens
// written into a document tree. Reported as the growth of the child's peak
// resident size over what it started with, in MiB.
double importPeakMiB (int numSlices)
{
    const auto home = scratchFolder().getChildFile ("import home " + juce::String (numSlices));
    const auto documents = home.getChildFile ("Documents");
    const auto preferences = documents.getChildFile ("Resolume Arena/Preferences");
    const auto presets = documents.getChildFile ("Resolume Arena/Presets/Advanced Output");
    preferences.createDirectory();
    presets.createDirectory();
    preferences.getChildFile ("AdvancedOutput.xml").replaceWithText ("<ScreenSetup name=\"ScreenSetup\" presetFile=\"Bench\"/>");

    if (! presets.getChildFile ("Bench.xml").existsAsFile())
        writeHostSetupFile (numSlices).copyFileTo (presets.getChildFile ("Bench.xml"));

    int pipeEnds[2];

    if (::pipe (pipeEnds) != 0)
        return -1.0;

    const auto child = ::fork();

    if (child == 0)
    {
        ::close (pipeEnds[0]);
        ::setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);

        // Free memory the parent left is given back and the high-water mark
        // reset, so that memory the import reuses counts as well.
        ::malloc_trim (0);

        if (auto* clearRefs = std::fopen ("/proc/self/clear_refs", "w"))
        {
            std::fputs ("5", clearRefs);
            std::fclose (clearRefs);
        }

        const auto statusKiB = [] (const char* field)
        {
            double kiB = -1.0;

            if (auto* status = std::fopen ("/proc/self/status", "r"))
            {
                char line[256];
                const auto length = std::strlen (field);

                while (std::fgets (line, sizeof (line), status) != nullptr)
                    if (std::strncmp (line, field, length) == 0)
                        kiB = std::atof (line + length);

                std::fclose (status);
            }

            return kiB;
        };

        const auto residentKiB = [&] { return statusKiB ("VmHWM:"); };
        const auto before = statusKiB ("VmRSS:");
        double peakMiB = -1.0;

        {
            ArenaSetupReader reader;
            reader.reload();
            StageModel model;
            model.compositionSize = importCompositionSize (reader.screenSetup.get(), reader.composition.get());
            model.rebuildScreens (reader.screens);
            const auto screensTree = model.writeArenaScreensTree();
            benchmark::DoNotOptimize (screensTree.getNumChildren());

            if (reader.screens.size() * slicesPerScreen == numSlices)
                peakMiB = (residentKiB() - before) / 1024.0;
        }

        [[maybe_unused]] const auto written = ::write (pipeEnds[1], &peakMiB, sizeof (peakMiB));
        ::_exit (0);
    }

    ::close (pipeEnds[1]);
    double peakMiB = -1.0;

    if (child < 0 || ::read (pipeEnds[0], &peakMiB, sizeof (peakMiB)) != (ssize_t) sizeof (peakMiB))
        peakMiB = -1.0;

    ::close (pipeEnds[0]);

    if (child > 0)
        ::waitpid (child, nullptr, 0);

    return peakMiB;
}

void ImportPeakMemory (benchmark::State& state)
{
    double peakMiB = -1.0;

    for (auto _ : state)
        peakMiB = importPeakMiB ((int) state.range (0));

    if (peakMiB < 0.0)
        state.SkipWithError ("the import in the child process failed");

    state.counters["peakMiB"] = peakMiB;
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
CORVADINE_BENCH_HOST_SETUPS (RelinkReadSetupFile);
CORVADINE_BENCH_HOST_SETUPS (RelinkFromFile);
CORVADINE_BENCH_HOST_SETUPS (ImportPeakMemory)->Iterations (1)->Repetitions (1);
} // namespace corvadine::bench
