#include "model/StageModel.h"

#include "model/Ids.h"
#include "model/MappingGeometry.h"
#include "model/SharedSlices.h"
#include "model/SliceMatching.h"
#include "stage/CoveredButton.h"
#include "stage/StageItem.h"

#include <unordered_map>
#include <unordered_set>

namespace corvadine
{
namespace
{
// The host composition lies on the stage with its top-left corner here, so
// that its centre is the stage's centre.
juce::Point<float> compositionOffset (juce::Point<int> compositionSize)
{
    return { (float) (50000 - compositionSize.x / 2), (float) (5000 - compositionSize.y / 2) };
}

// The item's outline where the item stands on the stage.
juce::Path placedOutline (const StageItem& item)
{
    auto outline = item.outline;
    outline.applyTransform (item.getTransform());
    return outline;
}

template <typename Visit>
void forEachVisibleSlice (const juce::OwnedArray<ArenaScreen>& screens, Visit&& visit)
{
    for (auto* screen : screens)
        for (auto* slice : screen->slices)
            if (auto* item = slice->getStageItem(); item != nullptr && item->isVisible())
                visit (*slice, *item);
}

void appendVertexData (juce::ValueTree& tree, const std::vector<float>& values, const std::vector<int>& indices)
{
    for (auto value : values)
        tree.appendChild (juce::ValueTree (ids::vertex, { { ids::value, (double) value } }), nullptr);

    for (auto index : indices)
        tree.appendChild (juce::ValueTree (ids::index, { { ids::value, index } }), nullptr);
}

juce::ValueTree sliceList (const juce::Identifier& type, const std::vector<const ArenaSlice*>& slices)
{
    juce::ValueTree list (type);
    for (auto* slice : slices)
        list.appendChild (juce::ValueTree (ids::slice, { { ids::uniqueId, slice->uniqueId } }), nullptr);
    return list;
}

// The outline of the slice in the focal's pixels that the texture
// coordinates are sampled from, or nothing when the focal's distribution
// has none.
std::vector<juce::Point<float>> sampleOutline (const FocalSlice& focal,
                                               ArenaSlice& slice,
                                               const CoveredButton* button)
{
    switch (focal.distribution)
    {
        case 0: // "Perspective": the slice as it lies in the focal, from its button.
            if (button == nullptr)
                return {};
            return mapping::outlineCorners (button->shape,
                                            juce::AffineTransform::translation ((float) button->getX(),
                                                                                (float) button->getY()));

        case 1: // "Duplicate": the whole slice, fitted into the focal.
            if (auto* item = slice.getStageItem())
                return mapping::fitIntoFocal (mapping::outlineCorners (item->getTransformedOutline()),
                                              focal.resolution);
            return {};

        default:
            return {};
    }
}

bool hasSize (FocalSlice& focal)
{
    auto* item = focal.getStageItem();
    return item != nullptr && item->getWidth() > 0 && item->getHeight() > 0;
}
} // namespace

//==============================================================================
StageModel::~StageModel()
{
    looks.clear();
    screens.clear();
}

Look* StageModel::addLook (juce::Point<int> resolution)
{
    auto* look = looks.add (new Look());
    look->resolution = resolution;
    look->compositionSize = compositionSize;
    return look;
}

juce::Array<StageItem*> StageModel::collectStageItems() const
{
    juce::Array<StageItem*> items;

    for (auto* screen : screens)
        for (auto* slice : screen->slices)
            items.add (slice->getStageItem());

    for (auto* look : looks)
        for (auto* focal : look->focals)
            items.add (focal->getStageItem());

    return items;
}

juce::ValueTree StageModel::writeArenaScreensTree() const
{
    juce::ValueTree tree (ids::arenaScreens);

    for (auto* screen : screens)
    {
        juce::ValueTree screenTree (ids::screen);
        screenTree.setProperty (ids::name, screen->name, nullptr);
        screenTree.setProperty (ids::uniqueId, screen->uniqueId, nullptr);
        screenTree.setProperty (ids::enabled, screen->enabled, nullptr);

        for (auto* slice : screen->slices)
            screenTree.appendChild (slice->toValueTree(), nullptr);

        tree.appendChild (screenTree, nullptr);
    }

    return tree;
}

//==============================================================================
juce::ValueTree StageModel::writeLooksTree()
{
    juce::ValueTree looksTree (ids::looks);

    // Counts across all focals of all looks: the plug-in numbers every
    // vertex of the subtree in document order.
    int vertexOffset = 0;

    // Nothing moves a slice while the looks are written: where each one lies
    // is worked out once for the coverage of all focals.
    const auto sliceBoxes = FocalSlice::placedSliceBoxes (screens);

    for (auto* look : looks)
    {
        // Appending a filled subtree walks all of it to tell its nodes of
        // their new parent, and appending into a placed tree tells every
        // ancestor: built bottom-up, every vertex value was visited once per
        // level, a tenth of a store. The levels above the vertex lists join
        // their parents first, so each value is visited twice at most.
        juce::ValueTree lookTree (ids::look);
        lookTree.setProperty (ids::x, look->resolution.x, nullptr);
        lookTree.setProperty (ids::y, look->resolution.y, nullptr);
        looksTree.appendChild (lookTree, nullptr);

        // Coverage of every written focal first, so that what each focal
        // shares is measured against the coverage exported beside it.
        std::vector<FocalSlice*> written;
        std::vector<juce::Array<ArenaSlice*>> active;
        std::vector<std::vector<const ArenaSlice*>> activeForSharing;

        for (auto* focal : look->focals)
        {
            // Without an area a focal shows nothing and covers nothing.
            if (! hasSize (*focal))
                continue;

            focal->updateCoverage (sliceBoxes);

            focal->rebuildCoveredButtons();

            written.push_back (focal);
            active.push_back (focal->getActiveSlices());
            activeForSharing.emplace_back (active.back().begin(), active.back().end());
        }

        const auto shared = sharedSlices (activeForSharing);
        juce::ValueTree focalsTree (ids::focals);
        lookTree.setProperty (ids::sampleUvs, mapping::sampleUvs (look->resolution, compositionSize), nullptr);
        lookTree.appendChild (focalsTree, nullptr);

        for (size_t f = 0; f < written.size(); ++f)
        {
            auto& focal = *written[f];
            auto focalTree = focal.toValueTree();
            focalsTree.appendChild (focalTree, nullptr);

            std::unordered_map<const ArenaSlice*, const CoveredButton*> buttons;
            for (auto* button : focal.coveredButtons)
                if (auto* slice = focal.sliceOfButton (button))
                    buttons.emplace (slice, button); // the first button of a slice counts

            const mapping::FocalTexture texture { focal.resolution, focal.compositionSize, focal.flip };

            for (auto* slice : active[f])
            {
                juce::ValueTree verticesTree (ids::vertices);
                verticesTree.setProperty (ids::uniqueId, slice->uniqueId, nullptr);

                auto found = buttons.find (slice);
                const auto samples = sampleOutline (focal, *slice, found != buttons.end() ? found->second : nullptr);

                std::vector<float> values;
                const auto count = mapping::appendFocalVertices (values, slice->inputPoints, samples, texture);
                appendVertexData (verticesTree, values, mapping::triangleIndices (slice->inputPoints, count, vertexOffset));
                vertexOffset += count;

                // The values go in before the list joins the focal, so that
                // each one tells only the list of its arrival.
                focalTree.appendChild (verticesTree, nullptr);
            }

            focalTree.appendChild (sliceList (ids::shared, shared[f]), nullptr);
        }
    }

    return looksTree;
}

//==============================================================================
void StageModel::rebuildScreens (const juce::Array<ScreenInfo>& newScreens)
{
    screens.clear();

    const auto offset = compositionOffset (compositionSize);

    for (auto& info : newScreens)
    {
        auto screen = std::make_unique<ArenaScreen>();
        screen->uniqueId = info.uniqueId;
        screen->name = info.name;
        screen->enabled = info.enabled;
        screen->outputRes = info.outputRes;
        screen->sliceInfos = info.slices;

        for (auto& sliceInfo : info.slices)
        {
            auto* slice = screen->slices.add (new ArenaSlice());
            slice->name = sliceInfo.name;
            slice->uniqueId = sliceInfo.uniqueId;
            slice->inputPoints = sliceInfo.mask.isEmpty() ? sliceInfo.inputRect : sliceInfo.mask;
            slice->outputPoints = sliceInfo.outputContour.isEmpty() ? sliceInfo.outputRect : sliceInfo.outputContour;
            slice->rotation = sliceInfo.inputOrientation;
            slice->createStageItem();
        }

        for (auto* slice : screen->slices)
            if (auto* item = slice->getStageItem())
                item->setPlacement (item->committedTransform.translated (offset));

        screens.add (screen.release());
    }
}

int StageModel::mergeScreens (const juce::Array<ScreenInfo>& newScreens)
{
    std::unordered_set<juce::int64> switchedOff;
    std::vector<SliceIdentity> saved;
    std::vector<juce::ValueTree> savedPlacements;

    for (auto* screen : screens)
    {
        if (! screen->enabled)
            switchedOff.insert (screen->uniqueId);

        for (auto* slice : screen->slices)
        {
            saved.push_back ({ slice->uniqueId, slice->name, slice->inputPoints, slice->outputPoints });
            auto* item = slice->getStageItem();
            savedPlacements.push_back (item != nullptr ? item->positionToValueTree() : juce::ValueTree());
        }
    }

    rebuildScreens (newScreens);

    std::vector<ArenaSlice*> fresh;
    std::vector<SliceIdentity> freshIdentities;

    for (auto* screen : screens)
    {
        const bool keepOff = switchedOff.count (screen->uniqueId) > 0;
        if (keepOff)
            screen->enabled = false;

        for (auto* slice : screen->slices)
        {
            if (auto* item = slice->getStageItem(); item != nullptr && keepOff)
            {
                item->setVisible (false);
                item->hidden = true;
            }

            fresh.push_back (slice);
            freshIdentities.push_back ({ slice->uniqueId, slice->name, slice->inputPoints, slice->outputPoints });
        }
    }

    const auto matches = matchSlices (saved, freshIdentities);
    int relinked = 0;

    for (size_t i = 0; i < fresh.size(); ++i)
    {
        const auto match = matches[i];
        if (match < 0)
            continue;

        // The item keeps the name it was built with; the slice takes the old one.
        fresh[i]->name = saved[(size_t) match].name;

        if (auto* item = fresh[i]->getStageItem())
            item->positionFromValueTree (savedPlacements[(size_t) match]);

        ++relinked;
    }

    return relinked;
}

//==============================================================================
juce::Rectangle<float> getVisibleSliceBounds (const juce::OwnedArray<ArenaScreen>& screens)
{
    std::vector<juce::Rectangle<float>> boxes;
    forEachVisibleSlice (screens, [&] (ArenaSlice&, StageItem& item) { boxes.push_back (placedOutline (item).getBounds()); });
    return mapping::previewBounds (boxes);
}

juce::ValueTree StageModel::writeVertexDataTree() const
{
    const auto bounds = getVisibleSliceBounds (screens);
    std::vector<float> values;
    std::vector<int> indices;
    int vertexOffset = 0;

    forEachVisibleSlice (screens, [&] (ArenaSlice& slice, StageItem& item)
    {
        const auto corners = mapping::outlineCorners (item.outline, item.getTransform());
        const auto count = mapping::appendPreviewVertices (values, slice.inputPoints, corners, bounds, compositionSize);
        const auto triangles = mapping::triangleIndices (slice.inputPoints, count, vertexOffset);
        indices.insert (indices.end(), triangles.begin(), triangles.end());
        vertexOffset += count;
    });

    juce::ValueTree tree (ids::vertexData);
    appendVertexData (tree, values, indices);
    return tree;
}
} // namespace corvadine
