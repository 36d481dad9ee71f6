#include "model/ArenaSlice.h"

#include "model/DocumentFormat.h"
#include "model/Ids.h"
#include "stage/SliceStageItem.h"

namespace corvadine
{
ArenaSlice::ArenaSlice() = default;

// The slice is already going away, so there is nothing to bail out for;
// the list's own iteration copes with listeners that remove themselves.
ArenaSlice::~ArenaSlice()
{
    listeners.call ([this] (Listener& l) { l.arenaSliceDeleted (this); });
}

StageItem* ArenaSlice::getStageItem() { return stageItem.get(); }

void ArenaSlice::createStageItem()
{
    auto item = std::make_unique<SliceStageItem>();
    item->setOutline (inputPoints, rotation);
    stageItem = std::move (item);
    stageItem->setName (name);
}

void ArenaSlice::addListener (Listener* listener) { listeners.add (listener); }
void ArenaSlice::removeListener (Listener* listener) { listeners.remove (listener); }
bool ArenaSlice::hasListener (Listener* listener) const { return listeners.contains (listener); }

void ArenaSlice::releaseListeners()
{
    listeners.call ([this] (Listener& l) { l.arenaSliceDeleted (this); });
    listeners.clear();
}

juce::ValueTree ArenaSlice::toValueTree()
{
    juce::ValueTree tree (ids::slice);
    tree.setProperty (ids::name, name, nullptr);
    tree.setProperty (ids::uniqueId, uniqueId, nullptr);

    auto path = writePointsTree (ids::path.toString(), inputPoints);
    // "rotation" stands right after the list's "name".
    path.setProperty (ids::rotation, finiteOr ((double) rotation), nullptr);
    tree.appendChild (path, nullptr);

    tree.appendChild (writePointsTree (ids::outputPoints.toString(), outputPoints), nullptr);

    if (stageItem != nullptr)
        tree.appendChild (stageItem->positionToValueTree(), nullptr);

    return tree;
}
} // namespace corvadine
