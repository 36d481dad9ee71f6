// The controller's own work at the two setup sizes: a gesture's commit as
// the stage reports it (the stage-changed handler: the guide and the whole
// document stored, the inspector's focal drawers rebuilt), with and without
// the preview's mesh built after it, and a relink from the host's setup file
// as the poller starts it (the file read, the screens merged, the stage
// refilled, the document stored).
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

// The poller's road: the watched file has changed.
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
CORVADINE_BENCH_SETUPS (ControllerRelink);
} // namespace corvadine::bench
