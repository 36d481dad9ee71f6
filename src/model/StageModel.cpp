#include "model/StageModel.h"

#include "model/Ids.h"
#include "model/MappingGeometry.h"
#include "model/SharedSlices.h"
#include "model/SliceMatching.h"
#include "stage/CoveredButton.h"
#include "stage/StageItem.h"

#include <algorithm>
#include <cstring>
#include <optional>
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

juce::ValueTree StageModel::writeScreenFlagsTree() const
{
    juce::ValueTree tree (ids::arenaScreens);

    for (auto* screen : screens)
    {
        juce::ValueTree screenTree (ids::screen);
        screenTree.setProperty (ids::name, screen->name, nullptr);
        screenTree.setProperty (ids::uniqueId, screen->uniqueId, nullptr);
        screenTree.setProperty (ids::enabled, screen->enabled, nullptr);
        tree.appendChild (screenTree, nullptr);
    }

    return tree;
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
// The looks subtree, first worked out as plain values, then made into nodes:
// either all of them (writeLooksTree) or only those that differ from the
// subtree stored last (storeLooksTree).
namespace
{
struct LookVertices
{
    juce::int64 uniqueId = 0;
    std::vector<float> values;
    std::vector<int> indices; // numbered across the whole subtree
};

struct LookFocal
{
    const FocalSlice* focal = nullptr;
    juce::ValueTree header; // "uId", the settings, "position", "excluded"
    std::vector<LookVertices> vertices;
    std::vector<juce::int64> shared;
};

struct LookValues
{
    juce::Point<int> resolution;
    juce::String sampleUvs;
    std::vector<LookFocal> focals;
};

int countSlices (const juce::OwnedArray<ArenaScreen>& screens)
{
    int count = 0;

    for (auto* screen : screens)
        count += screen->slices.size();

    return count;
}

std::vector<LookValues> looksValues (StageModel& model, mapping::TriangleCache& triangles)
{
    std::vector<LookValues> result;
    result.reserve ((size_t) model.looks.size());

    // Counts across all focals of all looks: the plug-in numbers every
    // vertex of the subtree in document order.
    int vertexOffset = 0;

    // Nothing moves a slice while the looks are written: where each one lies
    // is worked out once for the coverage of all focals.
    const auto sliceBoxes = FocalSlice::placedSliceBoxes (model.screens);

    for (auto* look : model.looks)
    {
        auto& lookValues = result.emplace_back();
        lookValues.resolution = look->resolution;

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
        lookValues.sampleUvs = mapping::sampleUvs (look->resolution, model.compositionSize);
        lookValues.focals.resize (written.size());

        for (size_t f = 0; f < written.size(); ++f)
        {
            auto& focal = *written[f];
            auto& focalValues = lookValues.focals[f];
            focalValues.focal = &focal;
            focalValues.header = focal.toValueTree();

            std::unordered_map<const ArenaSlice*, const CoveredButton*> buttons;
            for (auto* button : focal.coveredButtons)
                if (auto* slice = focal.sliceOfButton (button))
                    buttons.emplace (slice, button); // the first button of a slice counts

            const mapping::FocalTexture texture { focal.resolution, focal.compositionSize, focal.flip };
            focalValues.vertices.resize ((size_t) active[f].size());

            for (int i = 0; i < active[f].size(); ++i)
            {
                auto* slice = active[f].getUnchecked (i);
                auto& vertices = focalValues.vertices[(size_t) i];
                vertices.uniqueId = slice->uniqueId;

                auto found = buttons.find (slice);
                const auto samples = sampleOutline (focal, *slice, found != buttons.end() ? found->second : nullptr);

                const auto count = mapping::appendFocalVertices (vertices.values, slice->inputPoints, samples, texture);
                triangles.appendTriangles (vertices.indices, slice, slice->inputPoints, count, vertexOffset);
                vertexOffset += count;
            }

            focalValues.shared.reserve (shared[f].size());
            for (auto* slice : shared[f])
                focalValues.shared.push_back (slice->uniqueId);
        }
    }

    return result;
}

juce::ValueTree verticesTree (const LookVertices& vertices)
{
    juce::ValueTree tree (ids::vertices);
    tree.setProperty (ids::uniqueId, vertices.uniqueId, nullptr);
    appendVertexData (tree, vertices.values, vertices.indices);
    return tree;
}

juce::ValueTree idListTree (const juce::Identifier& type, const std::vector<juce::int64>& sliceIds)
{
    juce::ValueTree list (type);
    for (auto id : sliceIds)
        list.appendChild (juce::ValueTree (ids::slice, { { ids::uniqueId, id } }), nullptr);
    return list;
}

// The nodes of the looks subtree as the store keeps track of them: each
// with the values it was written from.
struct StoredVertices
{
    juce::ValueTree node;
    LookVertices values;
};

struct StoredFocal
{
    juce::ValueTree node, sharedNode;
    const FocalSlice* focal = nullptr;
    int headerChildren = 0; // "position" and "excluded" come first
    std::vector<StoredVertices> vertices;
    std::vector<juce::int64> shared;
};

struct StoredLook
{
    juce::ValueTree node, focalsNode;
    std::vector<StoredFocal> focals;
};

// A focal's node made afresh, and what the store keeps of it.
StoredFocal makeFocalTree (LookFocal& values)
{
    StoredFocal stored;
    stored.node = values.header;
    stored.focal = values.focal;
    stored.headerChildren = values.header.getNumChildren();

    for (auto& vertices : values.vertices)
    {
        // The values go in before the list joins the focal, so that each one
        // tells only the list of its arrival.
        auto node = verticesTree (vertices);
        stored.node.appendChild (node, nullptr);
        stored.vertices.push_back ({ node, std::move (vertices) });
    }

    stored.sharedNode = idListTree (ids::shared, values.shared);
    stored.node.appendChild (stored.sharedNode, nullptr);
    stored.shared = std::move (values.shared);
    return stored;
}

juce::ValueTree makeLooksTree (std::vector<LookValues>& values, std::vector<StoredLook>* keep)
{
    juce::ValueTree looksTree (ids::looks);

    for (auto& lookValues : values)
    {
        // Appending a filled subtree walks all of it to tell its nodes of
        // their new parent, and appending into a placed tree tells every
        // ancestor: built bottom-up, every vertex value was visited once per
        // level, a tenth of a store. The levels above the vertex lists join
        // their parents first, so each value is visited twice at most.
        StoredLook look;
        look.node = juce::ValueTree (ids::look);
        look.node.setProperty (ids::x, lookValues.resolution.x, nullptr);
        look.node.setProperty (ids::y, lookValues.resolution.y, nullptr);
        looksTree.appendChild (look.node, nullptr);

        look.focalsNode = juce::ValueTree (ids::focals);
        look.node.setProperty (ids::sampleUvs, lookValues.sampleUvs, nullptr);
        look.node.appendChild (look.focalsNode, nullptr);

        for (auto& focalValues : lookValues.focals)
        {
            look.focalsNode.appendChild (focalValues.header, nullptr);
            auto focal = makeFocalTree (focalValues);

            if (keep != nullptr)
                look.focals.push_back (std::move (focal));
        }

        if (keep != nullptr)
            keep->push_back (std::move (look));
    }

    return looksTree;
}
} // namespace

juce::ValueTree StageModel::writeLooksTree()
{
    auto values = looksValues (*this, trianglesOfSlices());
    return makeLooksTree (values, nullptr);
}

//==============================================================================
// The store in place

namespace
{
// Whether two values are the same down to the bit: a double -0 and 0 are
// equal numbers but different text in the file.
bool sameValue (const juce::var& a, const juce::var& b)
{
    if (a.isDouble() || b.isDouble())
    {
        if (! (a.isDouble() && b.isDouble()))
            return false;

        const auto x = (double) a, y = (double) b;
        return std::memcmp (&x, &y, sizeof (double)) == 0;
    }

    return a.equalsWithSameType (b);
}

bool sameFloat (float a, float b)
{
    return std::memcmp (&a, &b, sizeof (float)) == 0;
}

bool samePoints (const juce::Array<juce::Point<float>>& a, const juce::Array<juce::Point<float>>& b)
{
    return a.size() == b.size()
        && (a.isEmpty() || std::memcmp (a.begin(), b.begin(), sizeof (juce::Point<float>) * (size_t) a.size()) == 0);
}

bool sameFloats (const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp (a.data(), b.data(), sizeof (float) * a.size()) == 0);
}

// The same properties in the same order with the same values.
bool sameProperties (const juce::ValueTree& a, const juce::ValueTree& b)
{
    if (a.getNumProperties() != b.getNumProperties())
        return false;

    for (int i = 0; i < a.getNumProperties(); ++i)
    {
        const auto name = a.getPropertyName (i);

        if (name != b.getPropertyName (i) || ! sameValue (a.getProperty (name), b.getProperty (name)))
            return false;
    }

    return true;
}

// The same text in the file: type, properties and children, all in order.
bool sameTree (const juce::ValueTree& a, const juce::ValueTree& b)
{
    if (a.getType() != b.getType() || ! sameProperties (a, b) || a.getNumChildren() != b.getNumChildren())
        return false;

    for (int i = 0; i < a.getNumChildren(); ++i)
        if (! sameTree (a.getChild (i), b.getChild (i)))
            return false;

    return true;
}

// Sets a node's one numeric property to the value. JUCE keeps a value it
// finds equal, so a -0 replacing a 0 (or the other way round) goes in anew.
template <typename Number>
void setNumber (juce::ValueTree& node, const juce::Identifier& name, Number value)
{
    const juce::var newValue (value);

    if (const auto* old = node.getPropertyPointer (name); old != nullptr && ! sameValue (*old, newValue) && *old == newValue)
        node.removeProperty (name, nullptr);

    node.setProperty (name, newValue, nullptr);
}

// A list of "slice" {"uniqueId"} children brought to the ids.
void patchIdList (juce::ValueTree& list, const std::vector<juce::int64>& oldIds, const std::vector<juce::int64>& newIds)
{
    const auto common = std::min (oldIds.size(), newIds.size());

    for (size_t i = 0; i < common; ++i)
        if (oldIds[i] != newIds[i])
        {
            auto child = list.getChild ((int) i);
            child.setProperty (ids::uniqueId, newIds[i], nullptr);
        }

    for (auto i = oldIds.size(); i > common; --i)
        list.removeChild ((int) i - 1, nullptr);

    for (auto i = common; i < newIds.size(); ++i)
        list.appendChild (juce::ValueTree (ids::slice, { { ids::uniqueId, newIds[i] } }), nullptr);
}

// Two lists whose elements match pairwise: the common start and the common
// end, so that a removal or an addition anywhere leaves every other element
// with its counterpart.
template <typename Old, typename New, typename Matches>
std::pair<size_t, size_t> commonEnds (const std::vector<Old>& before, const std::vector<New>& after, Matches&& matches)
{
    const auto shorter = std::min (before.size(), after.size());
    size_t head = 0;

    while (head < shorter && matches (before[head], after[head]))
        ++head;

    size_t tail = 0;

    while (tail < shorter - head && matches (before[before.size() - 1 - tail], after[after.size() - 1 - tail]))
        ++tail;

    return { head, tail };
}

bool sameShape (const StoredVertices& stored, const LookVertices& values)
{
    return stored.values.uniqueId == values.uniqueId
        && stored.values.values.size() == values.values.size()
        && stored.values.indices.size() == values.indices.size();
}

// A "vertices" node of the same shape brought to the new numbers.
void patchVertices (StoredVertices& stored, LookVertices&& values)
{
    auto& node = stored.node;
    const auto& before = stored.values;

    if (! sameFloats (before.values, values.values))
        for (size_t i = 0; i < values.values.size(); ++i)
            if (! sameFloat (before.values[i], values.values[i]))
            {
                auto child = node.getChild ((int) i);
                setNumber (child, ids::value, (double) values.values[i]);
            }

    const auto firstIndex = (int) values.values.size();

    for (size_t i = 0; i < values.indices.size(); ++i)
        if (before.indices[i] != values.indices[i])
        {
            auto child = node.getChild (firstIndex + (int) i);
            child.setProperty (ids::value, values.indices[i], nullptr);
        }

    stored.values = std::move (values);
}

// Whether the focal's node still starts with the header the focal writes
// now: its own properties, then "position" and "excluded".
bool patchFocalHeader (StoredFocal& stored, const juce::ValueTree& header)
{
    if (header.getNumChildren() != stored.headerChildren)
        return false;

    if (! sameProperties (stored.node, header))
    {
        // The focal's properties are a text and four integers, always set in
        // the same order: only their values change.
        if (stored.node.getNumProperties() != header.getNumProperties())
            return false;

        for (int i = 0; i < header.getNumProperties(); ++i)
            if (stored.node.getPropertyName (i) != header.getPropertyName (i))
                return false;

        for (int i = 0; i < header.getNumProperties(); ++i)
        {
            const auto name = header.getPropertyName (i);
            const auto& value = header.getProperty (name);

            if (value.isDouble())
                return false;

            stored.node.setProperty (name, value, nullptr);
        }
    }

    for (int i = 0; i < stored.headerChildren; ++i)
    {
        const auto wanted = header.getChild (i);

        if (! sameTree (stored.node.getChild (i), wanted))
        {
            stored.node.removeChild (i, nullptr);
            stored.node.addChild (wanted.createCopy(), i, nullptr);
        }
    }

    return true;
}

void patchFocal (StoredFocal& stored, LookFocal&& values)
{
    auto& node = stored.node;
    const auto headerChildren = stored.headerChildren;

    auto& before = stored.vertices;
    auto& after = values.vertices;
    const auto [head, tail] = commonEnds (before, after, sameShape);

    for (size_t i = 0; i < head; ++i)
        patchVertices (before[i], std::move (after[i]));

    for (size_t i = 0; i < tail; ++i)
        patchVertices (before[before.size() - 1 - i], std::move (after[after.size() - 1 - i]));

    // The lists between the common ends are made afresh.
    std::vector<StoredVertices> middle;

    for (auto i = head; i < after.size() - tail; ++i)
        middle.push_back ({ verticesTree (after[i]), std::move (after[i]) });

    for (auto i = before.size() - tail; i > head; --i)
        node.removeChild (headerChildren + (int) i - 1, nullptr);

    for (size_t i = 0; i < middle.size(); ++i)
        node.addChild (middle[i].node, headerChildren + (int) (head + i), nullptr);

    before.erase (before.begin() + (std::ptrdiff_t) head, before.end() - (std::ptrdiff_t) tail);
    before.insert (before.begin() + (std::ptrdiff_t) head,
                   std::make_move_iterator (middle.begin()), std::make_move_iterator (middle.end()));

    patchIdList (stored.sharedNode, stored.shared, values.shared);
    stored.shared = std::move (values.shared);
    stored.focal = values.focal;
}

void patchLook (StoredLook& stored, LookValues&& values)
{
    stored.node.setProperty (ids::x, values.resolution.x, nullptr);
    stored.node.setProperty (ids::y, values.resolution.y, nullptr);
    stored.node.setProperty (ids::sampleUvs, values.sampleUvs, nullptr);

    auto& before = stored.focals;
    auto& after = values.focals;

    // Focals are paired by the focal they were written for; a pair whose
    // header no longer fits is made afresh.
    const auto [head, tail] = commonEnds (before, after, [] (const StoredFocal& a, const LookFocal& b) { return a.focal == b.focal; });

    const auto patchOrRemake = [&stored] (StoredFocal& focal, LookFocal&& focalValues)
    {
        if (patchFocalHeader (focal, focalValues.header))
        {
            patchFocal (focal, std::move (focalValues));
            return;
        }

        const auto index = stored.focalsNode.indexOf (focal.node);
        stored.focalsNode.removeChild (index, nullptr);
        focal = makeFocalTree (focalValues);
        stored.focalsNode.addChild (focal.node, index, nullptr);
    };

    for (size_t i = 0; i < head; ++i)
        patchOrRemake (before[i], std::move (after[i]));

    for (size_t i = 0; i < tail; ++i)
        patchOrRemake (before[before.size() - 1 - i], std::move (after[after.size() - 1 - i]));

    std::vector<StoredFocal> middle;

    for (auto i = head; i < after.size() - tail; ++i)
        middle.push_back (makeFocalTree (after[i]));

    for (auto i = before.size() - tail; i > head; --i)
        stored.focalsNode.removeChild ((int) i - 1, nullptr);

    for (size_t i = 0; i < middle.size(); ++i)
        stored.focalsNode.addChild (middle[i].node, (int) (head + i), nullptr);

    before.erase (before.begin() + (std::ptrdiff_t) head, before.end() - (std::ptrdiff_t) tail);
    before.insert (before.begin() + (std::ptrdiff_t) head,
                   std::make_move_iterator (middle.begin()), std::make_move_iterator (middle.end()));
}

// What the store keeps of one slice of "arenaScreens": everything its node
// is written from, the placement as the numbers its text is made of.
struct StoredSlice
{
    juce::ValueTree node;
    const ArenaSlice* slice = nullptr;
    juce::String name;
    juce::int64 uniqueId = 0;
    juce::Array<juce::Point<float>> inputPoints, outputPoints;
    float rotation = 0.0f;
    bool placed = false;
    juce::AffineTransform placement;
    float finalRotation = 0.0f;
};

struct StoredScreen
{
    juce::ValueTree node;
    std::vector<StoredSlice> slices;
};

StoredSlice sliceValues (ArenaSlice& slice)
{
    StoredSlice values;
    values.slice = &slice;
    values.name = slice.name;
    values.uniqueId = slice.uniqueId;
    values.inputPoints = slice.inputPoints;
    values.outputPoints = slice.outputPoints;
    values.rotation = slice.rotation;

    if (auto* item = slice.getStageItem())
    {
        values.placed = true;
        values.placement = item->committedTransform;
        values.finalRotation = item->rotation + item->pendingRotation;
    }

    return values;
}

bool sameTransform (const juce::AffineTransform& s, const juce::AffineTransform& t)
{
    return sameFloat (s.mat00, t.mat00) && sameFloat (s.mat01, t.mat01) && sameFloat (s.mat02, t.mat02)
        && sameFloat (s.mat10, t.mat10) && sameFloat (s.mat11, t.mat11) && sameFloat (s.mat12, t.mat12);
}

// The slice's node brought up to date: its name and id in place, its
// placement by a new "position", anything else by a new node. Nothing is
// copied from the slice while it is unchanged.
void patchSlice (StoredSlice& stored, ArenaSlice& slice, juce::ValueTree& screenNode, int index)
{
    auto* item = slice.getStageItem();

    const bool sameOutline = stored.slice == &slice && stored.placed == (item != nullptr)
                          && sameFloat (stored.rotation, slice.rotation)
                          && samePoints (stored.inputPoints, slice.inputPoints)
                          && samePoints (stored.outputPoints, slice.outputPoints);

    if (! sameOutline)
    {
        screenNode.removeChild (index, nullptr);
        stored = sliceValues (slice);
        stored.node = slice.toValueTree();
        screenNode.addChild (stored.node, index, nullptr);
        return;
    }

    if (stored.name != slice.name)
    {
        stored.node.setProperty (ids::name, slice.name, nullptr);
        stored.name = slice.name;
    }

    if (stored.uniqueId != slice.uniqueId)
    {
        stored.node.setProperty (ids::uniqueId, slice.uniqueId, nullptr);
        stored.uniqueId = slice.uniqueId;
    }

    if (item == nullptr)
        return;

    const auto finalRotation = item->rotation + item->pendingRotation;

    if (! sameTransform (stored.placement, item->committedTransform) || ! sameFloat (stored.finalRotation, finalRotation))
    {
        const auto at = stored.node.indexOf (stored.node.getChildWithName (ids::position));
        stored.node.removeChild (at, nullptr);
        stored.node.addChild (item->positionToValueTree(), at, nullptr);
        stored.placement = item->committedTransform;
        stored.finalRotation = finalRotation;
    }
}

// Notices a change that the store did not make itself, after which what it
// keeps no longer describes the subtree.
struct ChangeWatch : private juce::ValueTree::Listener
{
    ~ChangeWatch() override { watch ({}); }

    void watch (const juce::ValueTree& tree)
    {
        watched.removeListener (this);
        watched = tree;
        watched.addListener (this);
        changedElsewhere = false;
    }

    bool isWatching (const juce::ValueTree& tree) const
    {
        return tree.isValid() && tree == watched && ! changedElsewhere;
    }

    juce::ValueTree watched;
    bool storing = false;
    bool changedElsewhere = false;

private:
    void noteChange()
    {
        if (! storing)
            changedElsewhere = true;
    }

    void valueTreePropertyChanged (juce::ValueTree&, const juce::Identifier&) override { noteChange(); }
    void valueTreeChildAdded (juce::ValueTree&, juce::ValueTree&) override { noteChange(); }
    void valueTreeChildRemoved (juce::ValueTree&, juce::ValueTree&, int) override { noteChange(); }
    void valueTreeChildOrderChanged (juce::ValueTree&, int, int) override { noteChange(); }
};

// Leaves the tree as the document's last child, in place of its first child
// of that type: what replaceChild does, without dropping and re-adding it.
void putLast (juce::ValueTree& document, const juce::ValueTree& tree)
{
    const auto index = document.indexOf (tree);
    const auto last = document.getNumChildren() - 1;

    if (index >= 0 && index != last)
        document.moveChild (index, last, nullptr);
}

void replaceFirstOfType (juce::ValueTree& document, const juce::ValueTree& tree)
{
    auto old = document.getChildWithName (tree.getType());

    if (old.isValid())
        document.removeChild (old, nullptr);

    document.appendChild (tree, nullptr);
}
} // namespace

namespace
{
// What the store keeps of a screen it has just written whole.
StoredScreen storedScreenOf (ArenaScreen& screen, const juce::ValueTree& node)
{
    StoredScreen kept;
    kept.node = node;

    for (int i = 0; i < screen.slices.size(); ++i)
    {
        auto& slice = kept.slices.emplace_back (sliceValues (*screen.slices.getUnchecked (i)));
        slice.node = node.getChild (i);
    }

    return kept;
}
} // namespace

struct StageModel::StoredSubtrees
{
    mapping::TriangleCache triangles;
    ChangeWatch looksWatch, screensWatch;
    std::vector<StoredLook> looks;
    std::vector<StoredScreen> screens;

    // Slices whose placement is known to come back bit for bit from its own
    // "position" text, or known to come back as another transform (the text
    // has six significant digits): a merge that carries one over with its
    // outline unchanged need not write and read it.
    struct PlacementSeen
    {
        // The committed transform looked at, and the one its text gives
        // (when the text is taken at all).
        juce::AffineTransform transform;
        bool comesBack = false;
        std::optional<juce::AffineTransform> fromText;
        // The outline then: whether the text is taken depends on it.
        std::uint64_t outlineStamp = 0;
    };

    std::unordered_map<const ArenaSlice*, PlacementSeen> placementsAsRead;
};

StageModel::StageModel()
    : stored (std::make_unique<StoredSubtrees>())
{
}

mapping::TriangleCache& StageModel::trianglesOfSlices() const
{
    // Room for the slices of now and of one setup before.
    stored->triangles.keepAtMost (2 * (size_t) countSlices (screens) + 64);
    return stored->triangles;
}

void StageModel::storeLooksTree (juce::ValueTree& document)
{
    auto values = looksValues (*this, trianglesOfSlices());

    if (! document.isValid())
        return;

    auto& watch = stored->looksWatch;
    auto current = document.getChildWithName (ids::looks);

    if (! watch.isWatching (current) || stored->looks.size() != values.size())
    {
        std::vector<StoredLook> keep;
        auto tree = makeLooksTree (values, &keep);
        replaceFirstOfType (document, tree);
        stored->looks = std::move (keep);
        watch.watch (tree);
        return;
    }

    const juce::ScopedValueSetter<bool> storing (watch.storing, true);

    for (size_t i = 0; i < values.size(); ++i)
        patchLook (stored->looks[i], std::move (values[i]));

    putLast (document, current);
}

void StageModel::storeArenaScreensTree (juce::ValueTree& document)
{
    if (! document.isValid())
        return;

    auto& watch = stored->screensWatch;
    auto current = document.getChildWithName (ids::arenaScreens);

    if (! watch.isWatching (current))
    {
        auto tree = writeArenaScreensTree();
        std::vector<StoredScreen> keep;

        for (int s = 0; s < screens.size(); ++s)
            keep.push_back (storedScreenOf (*screens.getUnchecked (s), tree.getChild (s)));

        replaceFirstOfType (document, tree);
        stored->screens = std::move (keep);
        watch.watch (tree);
        return;
    }

    const juce::ScopedValueSetter<bool> storing (watch.storing, true);
    auto& storedScreens = stored->screens;

    // Screens gone from the end, then new ones at the end, each written whole.
    while ((int) storedScreens.size() > screens.size())
    {
        current.removeChild (current.getNumChildren() - 1, nullptr);
        storedScreens.pop_back();
    }

    for (auto s = (int) storedScreens.size(); s < screens.size(); ++s)
    {
        juce::ValueTree screenTree (ids::screen);
        current.appendChild (screenTree, nullptr);
        storedScreens.push_back ({ screenTree, {} });
    }

    for (int s = 0; s < screens.size(); ++s)
    {
        auto* screen = screens.getUnchecked (s);
        auto& storedScreen = storedScreens[(size_t) s];
        storedScreen.node.setProperty (ids::name, screen->name, nullptr);
        storedScreen.node.setProperty (ids::uniqueId, screen->uniqueId, nullptr);
        storedScreen.node.setProperty (ids::enabled, screen->enabled, nullptr);

        // The slices the screen held at the last store at its start and its
        // end keep their nodes; those between are replaced, so a slice added
        // or removed rewrites that slice alone.
        std::vector<const ArenaSlice*> now (screen->slices.begin(), screen->slices.end());
        auto& slices = storedScreen.slices;
        const auto [head, tail] = commonEnds (slices, now, [] (const StoredSlice& before, const ArenaSlice* slice)
                                              { return before.slice == slice; });

        const auto goneEnd = slices.size() - tail;

        for (auto i = goneEnd; i > head; --i)
            storedScreen.node.removeChild ((int) i - 1, nullptr);

        slices.erase (slices.begin() + (std::ptrdiff_t) head, slices.begin() + (std::ptrdiff_t) goneEnd);

        for (auto i = head; i < now.size() - tail; ++i)
        {
            auto& slice = *screen->slices.getUnchecked ((int) i);
            auto values = sliceValues (slice);
            values.node = slice.toValueTree();
            storedScreen.node.addChild (values.node, (int) i, nullptr);
            slices.insert (slices.begin() + (std::ptrdiff_t) i, std::move (values));
        }

        for (int i = 0; i < screen->slices.size(); ++i)
            patchSlice (slices[(size_t) i], *screen->slices.getUnchecked (i), storedScreen.node, i);
    }

    putLast (document, current);
}

//==============================================================================
namespace
{
juce::Array<juce::Point<float>> inputPointsOf (const SliceInfo& record)
{
    return record.mask.isEmpty() ? record.inputRect : record.mask;
}

juce::Array<juce::Point<float>> outputPointsOf (const SliceInfo& record)
{
    return record.outputContour.isEmpty() ? record.outputRect : record.outputContour;
}

// The slice's own values as an import takes them from the host's record.
void takeRecord (ArenaSlice& slice, const SliceInfo& record)
{
    slice.name = record.name;
    slice.uniqueId = record.uniqueId;
    slice.inputPoints = inputPointsOf (record);
    slice.outputPoints = outputPointsOf (record);
    slice.rotation = record.inputOrientation;
}

// Where the import puts a new item: its outline's own placement moved into
// the composition's frame on the stage.
void placeAsImported (StageItem& item, juce::Point<float> offset)
{
    item.setPlacement (item.committedTransform.translated (offset));
}

std::unique_ptr<ArenaSlice> importedSlice (const SliceInfo& record)
{
    auto slice = std::make_unique<ArenaSlice>();
    takeRecord (*slice, record);
    slice->createStageItem();
    return slice;
}

std::unique_ptr<ArenaScreen> emptyScreen (const ScreenInfo& info, bool withRecords = true)
{
    auto screen = std::make_unique<ArenaScreen>();
    screen->uniqueId = info.uniqueId;
    screen->name = info.name;
    screen->enabled = info.enabled;
    screen->outputRes = info.outputRes;

    if (withRecords)
        screen->sliceInfos = info.slices;

    return screen;
}

// Bit for bit: an outline built from the same bits is the same outline.
bool sameBits (const juce::Array<juce::Point<float>>& a, const juce::Array<juce::Point<float>>& b)
{
    return a.size() == b.size()
        && (a.isEmpty() || std::memcmp (a.begin(), b.begin(), sizeof (juce::Point<float>) * (size_t) a.size()) == 0);
}

bool sameBits (float a, float b)
{
    return std::memcmp (&a, &b, sizeof (float)) == 0;
}

bool sameRecord (const SliceInfo& a, const SliceInfo& b)
{
    return a.name == b.name && a.uniqueId == b.uniqueId && a.enabled == b.enabled && a.flip == b.flip
        && sameBits (a.inputRect, b.inputRect) && sameBits (a.inputOrientation, b.inputOrientation)
        && sameBits (a.mask, b.mask) && sameBits (a.outputRect, b.outputRect)
        && sameBits (a.outputOrientation, b.outputOrientation) && sameBits (a.outputContour, b.outputContour);
}

bool sameRecords (const juce::Array<SliceInfo>& a, const juce::Array<SliceInfo>& b)
{
    if (a.size() != b.size())
        return false;

    for (int i = 0; i < a.size(); ++i)
        if (! sameRecord (a.getReference (i), b.getReference (i)))
            return false;

    return true;
}

bool sameBits (const juce::AffineTransform& a, const juce::AffineTransform& b)
{
    const float x[] { a.mat00, a.mat01, a.mat02, a.mat10, a.mat11, a.mat12 };
    const float y[] { b.mat00, b.mat01, b.mat02, b.mat10, b.mat11, b.mat12 };
    return std::memcmp (x, y, sizeof (x)) == 0;
}

// The slice's own values from the host's record, its point lists taken
// from the record's identity (made from the same record).
void takeRecord (ArenaSlice& slice, const SliceInfo& record, SliceIdentity&& identity)
{
    slice.name = record.name;
    slice.uniqueId = record.uniqueId;
    slice.inputPoints = std::move (identity.inputPoints);
    slice.outputPoints = std::move (identity.outputPoints);
    slice.rotation = record.inputOrientation;
}

// Whether giving the item its own placement back through its "position"
// text would leave it as it is: its outline stays, it is not in the middle
// of a gesture and its placement is one known to come back from its text.
bool placementComesBack (const StageItem& item, bool sameOutline, const juce::AffineTransform* asRead)
{
    const auto finalRotation = item.rotation + item.pendingRotation;

    return sameOutline && asRead != nullptr && sameBits (*asRead, item.committedTransform)
        && sameBits (item.getTransform(), item.committedTransform)
        && std::isfinite (finalRotation) && sameBits (finalRotation, item.rotation);
}

// An old slice carried into the new setup for the record it was matched
// with: afterwards it is what a slice imported from the record would be
// once given the old placement back (the caller gives the old name back).
// Its item is kept; its outline is built again only when the record's
// input points or orientation differ. True when the placement it has now
// came back unchanged from its text.
bool carryOver (ArenaSlice& slice, const SliceInfo& record, SliceIdentity&& identity, bool sameOutline,
                bool comesBack, const juce::AffineTransform* fromText, juce::Point<float> offset,
                const juce::ValueTree& placement)
{
    // The focals that covered it let go, as they do of a deleted slice: they
    // find it again at their next coverage update, in the model's order.
    slice.releaseListeners();
    takeRecord (slice, record, std::move (identity));

    auto* item = slice.getStageItem();

    if (item == nullptr)
    {
        slice.createStageItem();
        item = slice.getStageItem();
        placeAsImported (*item, offset);
        item->positionFromValueTree (placement);
        return false;
    }

    item->setName (record.name);

    if (comesBack)
        return true;

    // With the same outline, the old placement replaces all the import's
    // placement would have set. Otherwise, or when it is refused, the item
    // is placed as a new one is, from a blank placement.
    const auto before = item->committedTransform;

    // What its text would give is known already (the same outline, the
    // text taken).
    if (fromText != nullptr)
    {
        item->takePlacementFromOwnText (*fromText);
        return sameBits (before, item->committedTransform);
    }

    if (sameOutline && item->positionFromValueTree (placement))
        return sameBits (before, item->committedTransform);

    item->committedTransform = {};
    item->rotation = 0.0f;
    item->pendingRotation = 0.0f;
    item->setOutline (slice.inputPoints, slice.rotation);
    placeAsImported (*item, offset);
    item->positionFromValueTree (placement);
    return false;
}
} // namespace

void StageModel::rebuildScreens (const juce::Array<ScreenInfo>& newScreens)
{
    screens.clear();
    stored->placementsAsRead.clear();

    const auto offset = compositionOffset (compositionSize);

    for (auto& info : newScreens)
    {
        auto screen = emptyScreen (info);

        for (auto& sliceInfo : info.slices)
            screen->slices.add (importedSlice (sliceInfo).release());

        for (auto* slice : screen->slices)
            if (auto* item = slice->getStageItem())
                placeAsImported (*item, offset);

        screens.add (screen.release());
    }
}

namespace
{
// Whether what was learned of the item's placement still holds: the same
// committed transform and the same outline.
template <typename Seen>
bool stillHolds (const Seen& seen, const StageItem& item)
{
    return sameBits (seen.transform, item.committedTransform) && seen.outlineStamp == item.getOutlineStamp();
}
} // namespace

bool StageModel::learnPlacements (int budget)
{
    auto& seen = stored->placementsAsRead;

    for (auto* screen : screens)
        for (auto* slice : screen->slices)
        {
            auto* item = slice->getStageItem();

            if (item == nullptr)
                continue;

            if (const auto found = seen.find (slice); found != seen.end() && stillHolds (found->second, *item))
                continue;

            if (budget-- <= 0)
                return true;

            const auto fromText = item->placementFromOwnText();
            seen[slice] = { item->committedTransform, fromText && sameBits (*fromText, item->committedTransform), fromText, item->getOutlineStamp() };
        }

    return false;
}

int StageModel::mergeScreens (const juce::Array<ScreenInfo>& newScreens)
{
    std::unordered_set<juce::int64> switchedOff;
    std::vector<ArenaSlice*> oldSlices;
    std::vector<SliceIdentity> saved;

    // The old slices' point lists move into their identities: a slice carried
    // over takes the record's lists, one gone is deleted.
    for (auto* screen : screens)
    {
        if (! screen->enabled)
            switchedOff.insert (screen->uniqueId);

        for (auto* slice : screen->slices)
        {
            oldSlices.push_back (slice);
            saved.push_back ({ slice->uniqueId, slice->name, std::move (slice->inputPoints), std::move (slice->outputPoints) });
        }
    }

    std::vector<SliceIdentity> fresh;
    fresh.reserve (saved.size());

    for (auto& info : newScreens)
        for (auto& record : info.slices)
            fresh.push_back ({ record.uniqueId, record.name, inputPointsOf (record), outputPointsOf (record) });

    const auto matches = matchSlices (saved, fresh);

    // The first new slice that continues an old one takes the old object
    // over, any later one is made anew. Every matched old slice's placement
    // is taken as it is now, before any slice changes, unless the one slice
    // that continues it keeps it as it is.
    auto& asRead = stored->placementsAsRead;
    std::vector<int> carried (fresh.size(), -1);
    std::vector<char> sameOutline (fresh.size(), 0), comesBack (fresh.size(), 0);
    std::vector<std::optional<juce::AffineTransform>> fromText (fresh.size());
    std::vector<int> uses (oldSlices.size(), 0);

    for (size_t i = 0; i < fresh.size(); ++i)
    {
        const auto match = matches[i];
        if (match < 0)
            continue;

        const auto m = (size_t) match;

        if (uses[m]++ == 0)
            carried[i] = match;
    }

    {
        size_t k = 0;

        for (auto& info : newScreens)
            for (auto& record : info.slices)
            {
                if (carried[k] >= 0)
                {
                    const auto m = (size_t) carried[k];
                    sameOutline[k] = sameBits (saved[m].inputPoints, fresh[k].inputPoints)
                                  && sameBits (oldSlices[m]->rotation, record.inputOrientation) ? 1 : 0;

                    if (auto* item = oldSlices[m]->getStageItem(); item != nullptr && uses[m] == 1)
                    {
                        const auto found = asRead.find (oldSlices[m]);
                        const auto* seen = found != asRead.end() && stillHolds (found->second, *item) ? &found->second : nullptr;
                        comesBack[k] = placementComesBack (*item, sameOutline[k] != 0, seen != nullptr && seen->comesBack ? &seen->transform : nullptr) ? 1 : 0;

                        // With the same outline, the placement its text gives is known.
                        if (comesBack[k] == 0 && sameOutline[k] != 0 && seen != nullptr && seen->fromText)
                            fromText[k] = *seen->fromText;
                    }
                }

                ++k;
            }
    }

    std::vector<juce::ValueTree> placements (oldSlices.size());

    for (size_t i = 0; i < fresh.size(); ++i)
        if (const auto match = matches[i]; match >= 0 && comesBack[i] == 0 && ! fromText[i] && ! placements[(size_t) match].isValid())
            if (auto* item = oldSlices[(size_t) match]->getStageItem())
                placements[(size_t) match] = item->positionToValueTree();

    // The old screens let go of their slices; those not carried over are
    // deleted once the new screens stand.
    std::vector<std::unique_ptr<ArenaSlice>> old;
    old.reserve (oldSlices.size());

    std::vector<std::unique_ptr<ArenaScreen>> oldScreens;

    for (auto* screen : screens)
    {
        for (auto* slice : screen->slices)
            old.emplace_back (slice);

        screen->slices.clear (false);
        oldScreens.emplace_back (screen);
    }

    screens.clear (false);

    const auto offset = compositionOffset (compositionSize);
    size_t i = 0;
    int relinked = 0;

    for (auto& info : newScreens)
    {
        // The host's records of a screen that came back unchanged are moved
        // over rather than copied.
        const auto at = (size_t) screens.size();
        const bool sameScreen = at < oldScreens.size() && oldScreens[at]->uniqueId == info.uniqueId
                             && sameRecords (oldScreens[at]->sliceInfos, info.slices);
        auto screen = emptyScreen (info, ! sameScreen);

        if (sameScreen)
            screen->sliceInfos.swapWith (oldScreens[at]->sliceInfos);

        const bool keepOff = switchedOff.count (info.uniqueId) > 0;

        if (keepOff)
            screen->enabled = false;

        for (auto& record : info.slices)
        {
            const auto match = matches[i];
            std::unique_ptr<ArenaSlice> slice;

            if (carried[i] >= 0)
            {
                slice = std::move (old[(size_t) carried[i]]);

                if (carryOver (*slice, record, std::move (fresh[i]), sameOutline[i] != 0, comesBack[i] != 0,
                               fromText[i] ? &*fromText[i] : nullptr, offset, placements[(size_t) match]))
                {
                    const auto& item = *slice->getStageItem();
                    asRead[slice.get()] = { item.committedTransform, true, item.committedTransform, item.getOutlineStamp() };
                }
                else
                    asRead.erase (slice.get());
            }
            else
            {
                slice = std::make_unique<ArenaSlice>();
                takeRecord (*slice, record, std::move (fresh[i]));
                slice->createStageItem();

                if (auto* item = slice->getStageItem())
                {
                    placeAsImported (*item, offset);

                    if (match >= 0)
                        item->positionFromValueTree (placements[(size_t) match]);
                }
            }

            if (match >= 0)
            {
                // The item keeps the name it was built with; the slice takes the old one.
                slice->name = saved[(size_t) match].name;
                ++relinked;
            }

            if (auto* item = slice->getStageItem(); item != nullptr && keepOff)
            {
                item->setVisible (false);
                item->hidden = true;
            }

            screen->slices.add (slice.release());
            ++i;
        }

        screens.add (screen.release());
    }

    // The old slices left over are gone from the host's setup: deleted from
    // the last to the first, as the screens delete theirs.
    while (! old.empty())
    {
        if (old.back() != nullptr)
            asRead.erase (old.back().get());

        old.pop_back();
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

PreviewMesh StageModel::buildPreviewMesh() const
{
    const auto bounds = getVisibleSliceBounds (screens);
    auto& triangles = trianglesOfSlices();
    PreviewMesh mesh;
    int vertexOffset = 0;

    forEachVisibleSlice (screens, [&] (ArenaSlice& slice, StageItem& item)
    {
        const auto corners = mapping::outlineCorners (item.outline, item.getTransform());
        const auto count = mapping::appendPreviewVertices (mesh.vertexValues, slice.inputPoints, corners, bounds, compositionSize);
        triangles.appendTriangles (mesh.indexValues, &slice, slice.inputPoints, count, vertexOffset);
        vertexOffset += count;
    });

    return mesh;
}

juce::ValueTree StageModel::writeVertexDataTree() const
{
    const auto mesh = buildPreviewMesh();
    juce::ValueTree tree (ids::vertexData);
    appendVertexData (tree, mesh.vertexValues, mesh.indexValues);
    return tree;
}
} // namespace corvadine
