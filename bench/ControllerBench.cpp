// The controller's own work at the two setup sizes: a gesture's commit as
// the stage reports it (the stage-changed handler: the guide and the whole
// document stored, the inspector's focal drawers rebuilt), with and without
// the preview's mesh built after it, and a relink from the host's setup file
// (the file read, the screens merged, the stage refilled, the document
// stored) as the "Relink" menu runs it, all on the message thread, and as
// the poller runs it, the file read on a thread of its own.
#include "BenchSupport.h"
#include "SetupGenerator.h"

#include "app/FlowController.h"
#include "host/ArenaSetupReader.h"
#include "inspector/LookInspector.h"
#include "model/DocumentFormat.h"
#include "stage/StageComponent.h"
#include "widgets/DialogManager.h"

#include <benchmark/benchmark.h>

#include <map>
#include <optional>

namespace corvadine::bench
{
namespace
{
// A running controller over a generated host setup, with 16 looks of 4
// focals placed over slices and the first look shown in the inspector (its
// four focal drawers rebuilt at every store). Made once per size, and let go
// while JUCE still runs.
struct ControllerSetup final : public juce::DeletedAtShutdown
{
    explicit ControllerSetup (int numSlices)
    {
        // Each size keeps its documents, preferences and host folder apart.
        const auto home = scratchFolder().getChildFile ("controller-home-" + juce::String (numSlices));
        home.createDirectory();
        ::setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);

        const auto setup = makeHostSetup (numSlices / slicesPerScreen);
        const auto setupFile = arenaFolderForVersion (7).getChildFile ("Preferences/AdvancedOutput.xml");
        setupFile.getParentDirectory().createDirectory();
        setup->writeTo (setupFile, documentTextFormat());

        // Start-up asks nothing here; should anything ask, nobody waits.
        const DialogManager::ScopedAnswerer answerer ([] (const DialogManager::Request&) { return 0; });

        controller = std::make_unique<FlowController> (&stage, &inspector);

        // Each focal is shaped to a slice a little further along, so the
        // looks cover different parts of the stage.
        juce::Array<StageItem*> slices;
        for (auto* screen : controller->model->screens)
            for (auto* slice : screen->slices)
                slices.add (slice->getStageItem());

        auto& manager = *stage.transformerManager;

        for (int look = 0; look < 16; ++look)
            for (int focal = 0; focal < 4; ++focal)
            {
                manager.selectItem (slices[(look * 4 + focal) * 7 % slices.size()], false);
                controller->addFocalClicked (look);
            }

        controller->lookSelected (0);
        movedFocal = controller->model->looks[0]->focals[0]->getStageItem();
        start = movedFocal->committedTransform;
    }

    ~ControllerSetup() override
    {
        controller.reset();
    }

    // One committed nudge of the first look's first focal, back and forth.
    void nudge (int step)
    {
        const auto dx = (float) (step % 8) * 3.0f;
        movedFocal->setPlacement (start.translated (dx, dx * 0.5f));
    }

    StageComponent stage;
    LookInspector inspector;
    std::unique_ptr<FlowController> controller;
    StageItem* movedFocal = nullptr;
    juce::AffineTransform start;
};

ControllerSetup& setupOf (int numSlices)
{
    static std::map<int, ControllerSetup*> setups;
    auto& setup = setups[numSlices];

    if (setup == nullptr)
        setup = new ControllerSetup (numSlices);

    return *setup;
}

void ControllerCommit (benchmark::State& state)
{
    auto& setup = setupOf ((int) state.range (0));
    int step = 0;

    for (auto _ : state)
    {
        setup.nudge (step++);
        setup.stage.onStageChanged();
    }

    state.counters["focalDrawers"] = setup.inspector.focalDrawers.size();
}

// The same with the preview's mesh built after every store, as the store
// hands it to an open preview window (no window here: the drawing happens on
// the preview's own thread).
void ControllerCommitWithPreview (benchmark::State& state)
{
    auto& setup = setupOf ((int) state.range (0));
    int step = 0;

    for (auto _ : state)
    {
        setup.nudge (step++);
        setup.stage.onStageChanged();
        benchmark::DoNotOptimize (setup.controller->model->buildPreviewMesh());
    }
}

// A relink as the poller runs it: the watched file has changed, the file is
// read and parsed on the controller's reading thread while the message loop
// runs, and the result is merged, the stage rebuilt and the document stored
// on the message thread. Timed until merged; the message thread's share is
// the message that merged (merge, stage and store in one go), and the
// longest any message held the message thread while the relink ran (the
// window's longest freeze; the lock buttons' update after the merge counts
// too).
struct PolledRelinkTimes
{
    double totalMs = 0.0;
    double mergeMs = 0.0;
    double longestBlockMs = 0.0;
};

PolledRelinkTimes relinkAsPolled (ControllerSetup& setup)
{
    auto& controller = *setup.controller;
    auto* messageManager = juce::MessageManager::getInstance();
    const auto now = [] { return juce::Time::getMillisecondCounterHiRes(); };
    PolledRelinkTimes times;

    const auto start = now();
    controller.fileChanged (controller.assFilePath);
    times.longestBlockMs = now() - start;

    // One message at a time (or a millisecond's sleep when none is waiting).
    const auto pumpOnce = [&]
    {
        const auto before = now();
        messageManager->runDispatchLoopUntil (0);
        const auto blockMs = now() - before;
        times.longestBlockMs = juce::jmax (times.longestBlockMs, blockMs);
        return blockMs;
    };

    while (controller.isRelinkReadPending())
        times.mergeMs = pumpOnce();

    times.totalMs = now() - start;

    const auto settle = now() + 30.0;

    while (now() < settle)
        pumpOnce();

    // The deferred save is written here, outside the figures, so that it
    // does not land in the next relink.
    controller.flushPendingSave();
    return times;
}

void ControllerRelinkPolled (benchmark::State& state)
{
    auto& setup = setupOf ((int) state.range (0));
    double mergeMs = 0.0, longestBlockMs = 0.0;

    for (auto _ : state)
    {
        const auto times = relinkAsPolled (setup);
        state.SetIterationTime (times.totalMs / 1000.0);
        mergeMs = juce::jmax (mergeMs, times.mergeMs);
        longestBlockMs = juce::jmax (longestBlockMs, times.longestBlockMs);
    }

    state.counters["maxMergeMs"] = mergeMs;
    state.counters["maxBlockMs"] = longestBlockMs;
}

// The same relink, timed by its time on the message thread: the message
// that merged the read, rebuilt the stage and stored the document.
void ControllerRelinkPolledMessageThread (benchmark::State& state)
{
    auto& setup = setupOf ((int) state.range (0));
    double longestBlockMs = 0.0;

    for (auto _ : state)
    {
        const auto times = relinkAsPolled (setup);
        state.SetIterationTime (times.mergeMs / 1000.0);
        longestBlockMs = juce::jmax (longestBlockMs, times.longestBlockMs);
    }

    state.counters["maxBlockMs"] = longestBlockMs;
}

// Judged on their own times (the reading thread's work is not the
// message thread's CPU time): until merged, and the merge.
const bool polledRelinkGoals = []
{
    setGoalMilliseconds ("ControllerRelinkPolled/2048", 100.0);
    setGoalMilliseconds ("ControllerRelinkPolled/8192", 400.0);

    for (const auto size : { smallSetup, largeSetup, hugeSetup })
        setGoalMilliseconds ("ControllerRelinkPolledMessageThread/" + juce::String (size), 16.0);

    return true;
}();

// The host saves its setup again and the poller relinks: either the save
// changes one slice (moved by a few pixels, the usual save) or it is another
// preset, where every slice is new (other ids, every point elsewhere, so
// nothing matches). Each run alternates between the setup the controller
// started from and the changed one, so every run relinks a change. Timed by
// the longest the message thread was held (a frame is 16 ms); the whole
// relink, the read on its thread included, is a figure of its own.
enum class HostChange
{
    oneSlice,
    everySlice
};

// Every point of the elements below `element` moved along x.
void movePoints (juce::XmlElement& element, float dx)
{
    for (auto* child : element.getChildIterator())
    {
        if (child->hasTagName ("v"))
            child->setAttribute ("x", child->getDoubleAttribute ("x") + dx);

        movePoints (*child, dx);
    }
}

juce::String hostSetupText (int numSlices, std::optional<HostChange> change)
{
    const auto numScreens = numSlices / slicesPerScreen;

    if (! change)
        return makeHostSetup (numScreens)->toString (documentTextFormat());

    if (*change == HostChange::everySlice)
    {
        auto setup = makeHostSetup (numScreens, 1770000000000);
        movePoints (*setup, 3.0f);
        return setup->toString (documentTextFormat());
    }

    auto setup = makeHostSetup (numScreens);
    auto* screens = setup->getChildByName ("ScreenSetup")->getChildByName ("screens");
    auto* firstSlice = screens->getFirstChildElement()->getChildByName ("layers")->getFirstChildElement();
    movePoints (*firstSlice->getChildByName ("InputRect"), 25.0f);
    return setup->toString (documentTextFormat());
}

void relinkHostChanges (benchmark::State& state, HostChange change, const juce::String& name)
{
    const auto numSlices = (int) state.range (0);
    auto& setup = setupOf (numSlices);
    const auto file = juce::File (setup.controller->assFilePath);
    const auto before = hostSetupText (numSlices, {});
    const auto changed = hostSetupText (numSlices, change);
    const auto figure = name + "/" + juce::String (numSlices);
    bool isChanged = false;

    for (auto _ : state)
    {
        isChanged = ! isChanged;
        file.replaceWithText (isChanged ? changed : before);

        const auto times = relinkAsPolled (setup);
        state.SetIterationTime (times.longestBlockMs / 1000.0);
        recordFigureMilliseconds (figure + " longest block", times.longestBlockMs);
        recordFigureMilliseconds (figure + " total", times.totalMs);
    }

    // The other benchmarks start from the setup the controller started with.
    if (isChanged)
    {
        file.replaceWithText (before);
        relinkAsPolled (setup);
    }

    state.counters["slices"] = numSlices;
}

void ControllerRelinkOneSliceChanged (benchmark::State& state)
{
    relinkHostChanges (state, HostChange::oneSlice, "ControllerRelinkOneSliceChanged");
}

void ControllerRelinkEverySliceNew (benchmark::State& state)
{
    relinkHostChanges (state, HostChange::everySlice, "ControllerRelinkEverySliceNew");
}

// A host save that changes a few slices: no block over a frame at 2,048
// slices, none over 50 ms at 8,192. Another preset: no block over a frame
// at 2,048, the whole relink within 100 ms at 2,048 and 400 ms at 8,192.
const bool hostChangeGoals = []
{
    for (const auto& [size, block] : { std::pair<int, double> { largeSetup, 16.0 }, { hugeSetup, 50.0 } })
    {
        const auto name = "ControllerRelinkOneSliceChanged/" + juce::String (size);
        setGoalMilliseconds (name, block);
        setFigureGoalMilliseconds (name + " longest block", block);
    }

    setGoalMilliseconds ("ControllerRelinkEverySliceNew/2048", 16.0);
    setFigureGoalMilliseconds ("ControllerRelinkEverySliceNew/2048 longest block", 16.0);
    setFigureGoalMilliseconds ("ControllerRelinkEverySliceNew/2048 total", 100.0);
    setFigureGoalMilliseconds ("ControllerRelinkEverySliceNew/8192 total", 400.0);
    return true;
}();

// The "Relink" menu's road, which reads on the message thread: the watched
// file read, merged, stage and store, all at once.
void ControllerRelink (benchmark::State& state)
{
    auto& setup = setupOf ((int) state.range (0));
    const auto path = setup.controller->assFilePath;

    for (auto _ : state)
        benchmark::DoNotOptimize (setup.controller->relinkScreenSetup (path));

    state.counters["slices"] = (double) state.range (0);
}
} // namespace

CORVADINE_BENCH_SETUPS (ControllerCommit);
CORVADINE_BENCH_SETUPS (ControllerCommitWithPreview);
CORVADINE_BENCH_COMMIT_SETUPS (ControllerRelink);
CORVADINE_BENCH_COMMIT_SETUPS (ControllerRelinkPolled)->UseManualTime();
CORVADINE_BENCH_COMMIT_SETUPS (ControllerRelinkPolledMessageThread)->UseManualTime();
CORVADINE_BENCH_COMMIT_SETUPS (ControllerRelinkOneSliceChanged)->UseManualTime();
CORVADINE_BENCH_COMMIT_SETUPS (ControllerRelinkEverySliceNew)->UseManualTime();
} // namespace corvadine::bench
