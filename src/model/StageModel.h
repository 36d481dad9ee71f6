#pragma once

#include "host/ScreenInfo.h"
#include "model/ArenaScreen.h"
#include "model/Look.h"

#include <juce_data_structures/juce_data_structures.h>

namespace corvadine
{
class StageItem;

// What stands on the stage: the host's screens with their slices and the
// looks with their focals, with the host composition's size. The controller
// owns one model at a time and builds a new one at every document load.
class StageModel
{
public:
    StageModel() = default;

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

    // Replaces all screens by new ones built from the host's records, each
    // slice placed where the host's composition puts it on the stage (the
    // composition centred on the stage's centre). The items are not added to
    // the stage. Needs compositionSize set first.
    void rebuildScreens (const juce::Array<ScreenInfo>& newScreens);

    // The same for a re-import: every new slice that continues an old one
    // gets the old one's placement and name back, and screens the user had
    // switched off stay off. Returns how many slices got a placement back.
    int mergeScreens (const juce::Array<ScreenInfo>& newScreens);

    // The preview mesh "vertexData" of the visible slices (not part of the
    // document): positions normalised to getVisibleSliceBounds, texture
    // coordinates from the host's input points.
    juce::ValueTree writeVertexDataTree() const;

    juce::Point<int> compositionSize;
    juce::OwnedArray<ArenaScreen> screens;
    juce::OwnedArray<Look> looks;
    // How many looks a loaded document is padded up to.
    const int numLooks = 16;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StageModel)
};

// The stage rectangle the preview mesh is normalised to: the bounds of every
// visible slice's placed outline, grown by 80 on every side;
// (-80, -80, 160, 160) when no slice is visible.
juce::Rectangle<float> getVisibleSliceBounds (const juce::OwnedArray<ArenaScreen>& screens);
} // namespace corvadine
