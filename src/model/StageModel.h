#pragma once

#include "host/ScreenInfo.h"
#include "model/ArenaScreen.h"
#include "model/Look.h"
#include "model/MappingGeometry.h"
#include "model/PreviewMesh.h"

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

namespace corvadine
{
class StageItem;

// What stands on the stage: the host's screens with their slices and the
// looks with their focals, with the host composition's size. The controller
// owns one model at a time and builds a new one at every document load.
class StageModel
{
public:
    StageModel();

    // Deletes the looks first, then the screens: every focal lets go of the
    // slices it covers while those still exist.
    ~StageModel();

    // A new look without focals at the resolution, with the composition
    // size as it is now; owned by the model.
    Look* addLook (juce::Point<int> resolution);

    // The item of every slice of every screen, then of every focal of every
    // look, in model order; hidden and null items included.
    juce::Array<StageItem*> collectStageItems() const;

    // The document's "arenaScreens" subtree.
    juce::ValueTree writeArenaScreensTree() const;
    // The same subtree as the inspector's screen toggles read it: each
    // screen's name, id and flag, without the slices (thousands of point
    // lists on a large show).
    juce::ValueTree writeScreenFlagsTree() const;

    // The document's "looks" subtree with each focal's mapping geometry for
    // the host's plug-in. Recomputes every written focal's coverage against
    // every slice and rebuilds its covered-slice buttons on the way, so the
    // stage shows what was exported.
    //
    // The "index" values number the vertices across the whole subtree in
    // document order, and each one addresses a vertex of its own "vertices"
    // element. A focal without width or height is left out and takes no
    // vertex numbers. All focals of a look are brought up to date before any
    // of them is written, so every "shared" list agrees with the "vertices"
    // written beside it.
    juce::ValueTree writeLooksTree();

    // The store of a commit, one subtree each: afterwards the document is
    // what FileLess::replaceChild (writeArenaScreensTree()) and
    // FileLess::replaceChild (writeLooksTree()) would leave (the subtree
    // equal node for node, as the document's last child), with the same
    // side effects on coverage and buttons. Only what differs from the
    // subtree this model stored last is changed in place, instead of making
    // and dropping every node of it: the looks subtree holds one node per
    // number, tens of thousands, of which a gesture changes a few. A
    // document child this model did not store itself, or one changed by
    // anyone else since, is written afresh.
    void storeArenaScreensTree (juce::ValueTree& document);
    void storeLooksTree (juce::ValueTree& document);

    // Replaces all screens by new ones built from the host's records, each
    // slice placed where the host's composition puts it on the stage (the
    // composition centred on the stage's centre). The items are not added to
    // the stage. Needs compositionSize set first.
    void rebuildScreens (const juce::Array<ScreenInfo>& newScreens);

    // The same for a re-import: every new slice that continues an old one
    // gets the old one's placement and name back, and screens the user had
    // switched off stay off. Returns how many slices got a placement back.
    //
    // The outcome is that of a rebuild followed by giving each matched slice
    // its old name and placement, but made in place: a new slice that
    // continues an old one is the old slice object with its stage item,
    // given the host's values (its outline built again only when the
    // host's input points or orientation changed); only the slices new to
    // the setup are made, and only those gone from it are deleted. The
    // focals let go of every old slice as of a deleted one. Whether an item
    // carried over is shown is left to the caller, which shows every
    // screen's items afresh (the new items start hidden, and those of the
    // screens kept off are hidden).
    int mergeScreens (const juce::Array<ScreenInfo>& newScreens);

    // Works out, for at most `budget` slices whose placement or outline has
    // changed since they were last looked at, what placement their own
    // "position" text gives back (whether it is the same to the bit, or is
    // refused), so that the next merge need not write and read it. True
    // while slices are left to look at. Meant for idle time.
    bool learnPlacements (int budget);

    // The preview mesh "vertexData" of the visible slices (not part of the
    // document): positions normalised to getVisibleSliceBounds, texture
    // coordinates from the host's input points.
    juce::ValueTree writeVertexDataTree() const;

    // The same mesh as plain arrays, the form the preview draws from:
    // equal to previewMeshFromTree (writeVertexDataTree()), without the tree.
    // Message thread only, like every other call here: the slices' triangles
    // are kept between calls.
    PreviewMesh buildPreviewMesh() const;

    juce::Point<int> compositionSize;
    juce::OwnedArray<ArenaScreen> screens;
    juce::OwnedArray<Look> looks;
    // How many looks a loaded document is padded up to.
    const int numLooks = 16;

private:
    // What the store put into the document last, kept to compare the next
    // store with.
    struct StoredSubtrees;
    std::unique_ptr<StoredSubtrees> stored;

    mapping::TriangleCache& trianglesOfSlices() const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StageModel)
};

// The stage rectangle the preview mesh is normalised to: the bounds of every
// visible slice's placed outline, grown by 80 on every side;
// (-80, -80, 160, 160) when no slice is visible.
juce::Rectangle<float> getVisibleSliceBounds (const juce::OwnedArray<ArenaScreen>& screens);
} // namespace corvadine
