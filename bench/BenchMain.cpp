// Entry point of the benchmarks: starts JUCE (stage items are components),
// runs Google Benchmark with its console table and then prints one line per
// benchmark with its median wall and CPU time, next to the goal where there is one,
// so that two runs compare at a glance.
#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <unistd.h>

namespace
{
// Medians for the large (2,048-slice) setups; the 256-slice setups aim an
// order of magnitude below.
const std::map<juce::String, double> goalsMs {
    { "DragStep/2048", 1.0 },   { "DragStep/256", 0.1 },
    { "SaveOnMessageThread/2048", 16.0 }, { "SaveOnMessageThread/256", 16.0 },
    // The controller: a commit within one 60 Hz frame, so arrow-key nudges
    // never lag; a relink from the host's file within a tenth of a second.
    { "ControllerCommit/2048", 16.0 },            { "ControllerCommit/256", 16.0 },
    { "ControllerCommitWithPreview/2048", 16.0 }, { "ControllerCommitWithPreview/256", 16.0 },
    { "ControllerRelink/2048", 100.0 },           { "ControllerRelink/256", 100.0 },
    // A gesture's commit with the preview open (store and preview mesh)
    // within one frame.
    { "Commit/2048", 16.0 },
};

// Figures of roads the application no longer takes as they stand: kept for
// comparison, not judged, with the road that is judged instead.
const std::map<juce::String, juce::String> notJudged {
    { "Store/", "the controller stores the looks in place, judged as ControllerCommit" },
    { "Save/", "the text is made and written on the saving thread, judged as SaveOnMessageThread" },
    { "Relink/", "one part of the polled relink's merge, judged as ControllerRelinkOneSliceChanged" },
    { "RelinkFromFile/", "the file is read off the message thread and the stage kept in place, "
                         "judged as ControllerRelinkOneSliceChanged and ControllerRelinkEverySliceNew" },
};

const juce::String* notJudgedReason (const std::string& benchmarkName)
{
    const juce::String name (benchmarkName);

    for (const auto& [prefix, reason] : notJudged)
        if (name.startsWith (prefix))
            return &reason;

    return nullptr;
}

// Goals for benchmarks that report a peak memory ("peakMiB").
const std::map<juce::String, double> memoryGoalsMiB {
    { "ImportPeakMemory/2048/iterations:1/repeats:1", 100.0 },
    { "ImportPeakMemory/8192/iterations:1/repeats:1", 400.0 },
};

std::optional<double> goalFor (const std::string& benchmarkName)
{
    const juce::String name (benchmarkName);

    for (const auto* goals : { &goalsMs, &corvadine::bench::registeredGoalsMilliseconds() })
        if (const auto goal = goals->find (name); goal != goals->end())
            return goal->second;

    return {};
}

class MedianSummaryReporter final : public benchmark::ConsoleReporter
{
public:
    // Colours only on a terminal, so a saved log stays readable.
    MedianSummaryReporter()
        : ConsoleReporter (::isatty (STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular)
    {
    }

    void ReportRuns (const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns (runs);

        for (const auto& run : runs)
        {
            const auto isMedian = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const auto single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;

            // A benchmark with a minimum time of its own carries it in its
            // name; the summary names it without.
            auto name = run.run_name.str();

            if (const auto option = name.find ("/min_time:"); option != std::string::npos)
                name.erase (option);

            // A benchmark that times itself (work on other threads that the
            // CPU time of this one does not see) is judged on its own time.
            const auto manual = name.find ("/manual_time");

            if (manual != std::string::npos)
                name.erase (manual);

            if (isMedian || single)
                medians.push_back ({ name, run.GetAdjustedRealTime(), run.GetAdjustedCPUTime(), run.time_unit,
                                     manual != std::string::npos });

            if (const auto peak = run.counters.find ("peakMiB"); (isMedian || single) && peak != run.counters.end())
                peaks.push_back ({ name, peak->second.value });
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();

        // Goals are judged on CPU time: on a shared machine the wall time
        // also counts the time spent waiting for a core.
        std::printf ("\nMedians per benchmark (wall, CPU):\n");

        for (const auto& median : medians)
        {
            const auto unit = benchmark::GetTimeUnitString (median.unit);
            std::printf ("median %-30s %10.3f %-2s %10.3f %-2s", median.name.c_str(), median.wall, unit, median.cpu, unit);

            if (const auto* reason = notJudgedReason (median.name))
            {
                std::printf ("   not judged: %s", reason->toRawUTF8());
            }
            else if (const auto goal = goalFor (median.name))
            {
                // Shown in the benchmark's own unit.
                const auto goalInUnit = *goal * benchmark::GetTimeUnitMultiplier (median.unit) / 1000.0;
                const auto judged = median.manualTime ? median.wall : median.cpu;
                std::printf ("   goal < %g %s: %s%s", goalInUnit, unit, judged < goalInUnit ? "met" : "MISSED",
                             median.manualTime ? " (own time)" : "");
            }

            std::printf ("\n");
        }

        for (const auto& peak : peaks)
        {
            std::printf ("peak   %-28s %10.1f MiB", peak.first.c_str(), peak.second);

            if (const auto goal = memoryGoalsMiB.find (juce::String (peak.first)); goal != memoryGoalsMiB.end())
                std::printf ("   goal < %g MiB: %s", goal->second, peak.second < goal->second ? "met" : "MISSED");

            std::printf ("\n");
        }

        for (const auto& [name, figure] : corvadine::bench::recordedFigures())
        {
            if (figure.values.empty())
                continue;

            auto sorted = figure.values;
            std::sort (sorted.begin(), sorted.end());
            const auto median = sorted[sorted.size() / 2];
            const auto worst = sorted.back();
            std::printf ("figure %-44s first %8.2f ms  median %8.2f ms  worst %8.2f ms (%d runs)", name.toRawUTF8(),
                         figure.values.front(), median, worst, (int) figure.values.size());

            if (figure.goalMs)
                std::printf ("   goal < %g ms: %s (worst, first run included)", *figure.goalMs,
                             worst < *figure.goalMs ? "met" : "MISSED");

            std::printf ("\n");
        }

        std::fflush (stdout);
    }

private:
    struct Median
    {
        std::string name;
        double wall;
        double cpu;
        benchmark::TimeUnit unit;
        bool manualTime = false;
    };

    std::vector<Median> medians;
    std::vector<std::pair<std::string, double>> peaks;
};
} // namespace

int main (int argc, char** argv)
{
    // The deferred save also writes the preferences below HOME: keep them
    // out of the real account.
    const auto home = corvadine::bench::scratchFolder().getChildFile ("home");
    home.createDirectory();
    ::setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    ::unsetenv ("XDG_DOCUMENTS_DIR");
    ::unsetenv ("XDG_CONFIG_HOME");
    ::unsetenv ("XDG_DATA_HOME");

    juce::ScopedJuceInitialiser_GUI juce;

    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    MedianSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    benchmark::Shutdown();

    corvadine::bench::removeScratchFolder();
    return 0;
}
