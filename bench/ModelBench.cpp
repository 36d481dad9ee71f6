// The work the application does on every drag step of a focal, on the store
// after every committed change, on the deferred save a second later and on
// every hand-over of the preview mesh, on generated documents of 256 and
// 2,048 slices with 16 looks of 4 focals.
#include "BenchSupport.h"
#include "DocumentGenerator.h"

#include "model/FileLess.h"
#include "model/FocalSlice.h"
#include "model/Ids.h"
#include "model/PreviewMesh.h"
#include "stage/SnapTargets.h"

#include <benchmark/benchmark.h>

#include <map>

namespace corvadine::bench
{
namespace
{
// Building a 2,048-slice document takes a while; every benchmark of one
// size shares it, and none leaves it changed.
BenchDocument& documentOf (int numSlices)
{
    static std::map<int, std::unique_ptr<BenchDocument>> documents;
    auto& document = documents[numSlices];

    if (document == nullptr)
        document = makeDocument (numSlices);

    return *document;
}

// One step of dragging a focal: the item moves (the gizmo sets its
// transform from the committed one), the stage passes it to the controller,
// which re-tests its coverage of every slice and rebuilds its buttons; the
// gizmo then refreshes its snap targets from every unselected item and snaps
// the dragged handle point.
void DragStep (benchmark::State& state)
{
    auto& document = documentOf ((int) state.range (0));
    // The focal of the look being edited that covers the most slices.
    auto* focal = document.model.looks[0]->focals.getFirst();

    for (auto* candidate : document.model.looks[0]->focals)
        if (candidate->coveredSlices.size() > focal->coveredSlices.size())
            focal = candidate;

    auto* item = focal->getStageItem();
    const auto start = item->committedTransform;
    const juce::Array<StageItem*> selection { item };

    SnapTargets targets;
    juce::Array<float> xGuides, yGuides;
    int step = 0;

    for (auto _ : state)
    {
        // Back and forth by a few units, so coverage changes at the edges.
        const auto dx = (float) (step++ % 8) * 3.0f;
        item->setTransform (start.translated (dx, dx * 0.5f));

        document.updateCoverage (*focal);

        targets.rebuild (document.stageItems, selection);
        const auto handle = item->getBoundsInParent().toFloat().getTopLeft();
        benchmark::DoNotOptimize (targets.snap (handle, xGuides, yGuides));
    }

    item->setTransform (start);
    document.updateCoverage (*focal);
    state.counters["covered"] = focal->coveredSlices.size();
    state.counters["snapPoints"] = targets.points.size();
}

int countNodes (const juce::ValueTree& tree)
{
    int count = 1;

    for (const auto& child : tree)
        count += countNodes (child);

    return count;
}

// The store after a committed change: the "looks" subtree with every
// focal's mapping geometry. Most of its nodes are the one-number "vertex"
// and "index" elements, so their count says how much there was to write.
void Store (benchmark::State& state)
{
    auto& document = documentOf ((int) state.range (0));

    for (auto _ : state)
    {
        auto looks = document.model.writeLooksTree();
        benchmark::DoNotOptimize (looks);
    }

    state.counters["nodes"] = countNodes (document.model.writeLooksTree());
}

// What the nodes of a store cost on their own: a copy of the looks subtree
// made and let go, with nothing computed. The part of Store above this is
// coverage, buttons and geometry.
void StoreNodesOnly (benchmark::State& state)
{
    auto& document = documentOf ((int) state.range (0));
    const auto looks = document.model.writeLooksTree();

    for (auto _ : state)
    {
        auto copy = looks.createCopy();
        benchmark::DoNotOptimize (copy);
    }

    state.counters["nodes"] = countNodes (looks);
}

// The deferred save: the "arenaScreens" subtree goes into the document,
// which the store then writes whole as XML to its file, followed by the
// preferences.
void Save (benchmark::State& state)
{
    auto& document = documentOf ((int) state.range (0));
    const auto file = scratchFolder().getChildFile ("Document " + juce::String (state.range (0)) + ".xml");

    FileLess store;
    store.document = juce::ValueTree (ids::Corvadine);
    store.document.setProperty (ids::version, "0.9.9", nullptr);
    store.documentPath = file.getFullPathName();
    store.replaceChild (document.model.writeLooksTree());

    for (auto _ : state)
    {
        store.replaceChild (document.model.writeArenaScreensTree());
        store.startDeferredSave();
        store.flushPendingSave();
    }

    state.counters["fileKiB"] = (double) file.getSize() / 1024.0;
}

// The deferred save as the message thread feels it: when the timer fires
// it takes a snapshot of the document and the preferences' new text; the
// document's text is made and written on another thread, which is waited for
// outside the timing (the file is the same as Save's).
void SaveOnMessageThread (benchmark::State& state)
{
    auto& document = documentOf ((int) state.range (0));
    const auto file = scratchFolder().getChildFile ("Background " + juce::String (state.range (0)) + ".xml");

    FileLess store;
    store.document = juce::ValueTree (ids::Corvadine);
    store.document.setProperty (ids::version, "0.9.9", nullptr);
    store.documentPath = file.getFullPathName();
    store.replaceChild (document.model.writeLooksTree());
    store.replaceChild (document.model.writeArenaScreensTree());

    for (auto _ : state)
    {
        state.PauseTiming();
        store.startDeferredSave();
        state.ResumeTiming();

        store.timerCallback();

        state.PauseTiming();
        store.flushPendingSave();
        state.ResumeTiming();
    }

    state.counters["fileKiB"] = (double) file.getSize() / 1024.0;
}

// The mesh handed to an open preview after every change, built straight
// into the arrays the preview draws from (the slices' triangles are kept
// between calls).
void MeshHandOver (benchmark::State& state)
{
    auto& document = documentOf ((int) state.range (0));
    size_t numValues = 0;

    for (auto _ : state)
    {
        auto mesh = document.model.buildPreviewMesh();
        numValues = mesh.vertexValues.size() + mesh.indexValues.size();
        benchmark::DoNotOptimize (mesh);
    }

    state.counters["values"] = (double) numValues;
}

// The same mesh made as a "vertexData" tree first, as the hand-over did
// before: for comparison.
void MeshHandOverThroughTree (benchmark::State& state)
{
    auto& document = documentOf ((int) state.range (0));
    int numChildren = 0;

    for (auto _ : state)
    {
        auto mesh = previewMeshFromTree (document.model.writeVertexDataTree());
        numChildren = (int) mesh.indexValues.size();
        benchmark::DoNotOptimize (mesh);
    }

    state.counters["indices"] = numChildren;
}
// A gesture's commit as the controller runs it: the focal of the look being
// edited that covers the most slices is moved by a few units (back and
// forth, so its coverage changes at the edges now and then) and committed;
// the store then writes "arenaScreens" and "looks" into the document and
// starts the deferred save, and the open preview gets a new mesh.
//
// `inPlace` stores as the controller should: each subtree brought up to
// date in place, the mesh built as plain arrays. Otherwise as before: whole
// new subtrees replace the old ones, and the mesh is read from its tree.
struct CommitFixture
{
    CommitFixture (int numSlices, bool storeInPlace)
        : document (documentOf (numSlices)), inPlace (storeInPlace)
    {
        focal = document.model.looks[0]->focals.getFirst();

        for (auto* candidate : document.model.looks[0]->focals)
            if (candidate->coveredSlices.size() > focal->coveredSlices.size())
                focal = candidate;

        start = focal->getStageItem()->committedTransform;

        // No file: the deferred save is started, never written here.
        store.document = juce::ValueTree (ids::Corvadine);
        store.document.setProperty (ids::version, "0.9.9", nullptr);
        store.replaceChild (juce::ValueTree (ids::assFile));
        store.replaceChild (juce::ValueTree (ids::bgImage));
        storeFirst();
    }

    ~CommitFixture()
    {
        store.stopTimer();
        focal->getStageItem()->setPlacement (start);
        document.model.writeLooksTree();
    }

    void moveFocal()
    {
        const auto dx = (float) (step++ % 8) * 3.0f;
        focal->getStageItem()->setPlacement (start.translated (dx, dx * 0.5f));
    }

    // The store that puts the subtrees into the document: kept apart from
    // the commits measured, so that a profile can tell them apart.
    __attribute__ ((noinline)) void storeFirst()
    {
        if (inPlace)
        {
            document.model.storeArenaScreensTree (store.document);
            document.model.storeLooksTree (store.document);
        }
        else
        {
            store.replaceChild (document.model.writeArenaScreensTree());
            store.replaceChild (document.model.writeLooksTree());
        }
    }

    __attribute__ ((noinline)) void storeDocument()
    {
        if (inPlace)
        {
            document.model.storeArenaScreensTree (store.document);
            document.model.storeLooksTree (store.document);
        }
        else
        {
            store.replaceChild (document.model.writeArenaScreensTree());
            store.replaceChild (document.model.writeLooksTree());
        }

        store.startDeferredSave();
    }

    __attribute__ ((noinline)) PreviewMesh buildMesh() const
    {
        if (inPlace)
            return document.model.buildPreviewMesh();

        return previewMeshFromTree (document.model.writeVertexDataTree());
    }

    BenchDocument& document;
    const bool inPlace;
    FocalSlice* focal = nullptr;
    juce::AffineTransform start;
    FileLess store;
    int step = 0;
};

void runCommits (benchmark::State& state, bool inPlace)
{
    CommitFixture commit ((int) state.range (0), inPlace);
    size_t meshValues = 0;

    for (auto _ : state)
    {
        commit.moveFocal();
        commit.storeDocument();
        auto mesh = commit.buildMesh();
        meshValues = mesh.vertexValues.size();
        benchmark::DoNotOptimize (mesh);
    }

    state.counters["meshValues"] = (double) meshValues;
}

// The whole commit with the preview open: store and mesh.
void Commit (benchmark::State& state) { runCommits (state, true); }

// The same as it was done before: whole subtrees, the mesh through its tree.
void CommitWhole (benchmark::State& state) { runCommits (state, false); }

// The store of a commit alone (no preview open).
void CommitStore (benchmark::State& state)
{
    CommitFixture commit ((int) state.range (0), true);

    for (auto _ : state)
    {
        commit.moveFocal();
        commit.storeDocument();
    }
}

// The preview's mesh of a commit alone, as plain arrays.
void CommitMesh (benchmark::State& state)
{
    CommitFixture commit ((int) state.range (0), true);

    for (auto _ : state)
    {
        auto mesh = commit.buildMesh();
        benchmark::DoNotOptimize (mesh);
    }
}
} // namespace

CORVADINE_BENCH_SETUPS (DragStep);
CORVADINE_BENCH_SETUPS (Store);
CORVADINE_BENCH_SETUPS (StoreNodesOnly);
CORVADINE_BENCH_SETUPS (Save);
CORVADINE_BENCH_SETUPS (SaveOnMessageThread);
CORVADINE_BENCH_SETUPS (MeshHandOver);
CORVADINE_BENCH_SETUPS (MeshHandOverThroughTree);
CORVADINE_BENCH_COMMIT_SETUPS (Commit);
CORVADINE_BENCH_COMMIT_SETUPS (CommitWhole);
CORVADINE_BENCH_COMMIT_SETUPS (CommitStore);
CORVADINE_BENCH_COMMIT_SETUPS (CommitMesh);
} // namespace corvadine::bench
