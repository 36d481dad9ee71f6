#include "model/FocalSlice.h"

#include "model/ArenaScreen.h"
#include "model/CoverageGeometry.h"
#include "model/DocumentFormat.h"
#include "model/Ids.h"
#include "model/Look.h"
#include "stage/FocalStageItem.h"
#include "widgets/SvgButton.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace corvadine
{
namespace
{
juce::String idText (juce::int64 id) { return juce::String (id); }

bool isUsable (juce::Rectangle<float> r)
{
    return std::isfinite (r.getX()) && std::isfinite (r.getY()) && std::isfinite (r.getWidth())
        && std::isfinite (r.getHeight()) && r.getWidth() > 0.0f && r.getHeight() > 0.0f;
}

juce::Rectangle<float> placedBounds (const StageItem& item)
{
    auto path = item.outline;
    path.applyTransform (item.getTransform());
    return path.getBounds();
}

// Largest first at the back, so a small slice inside a large one stays clickable.
struct ByShapeArea
{
    static int compareElements (const CoveredButton* a, const CoveredButton* b)
    {
        auto area = [] (const CoveredButton* button)
        {
            auto box = button->shape.getBounds();
            return (double) box.getWidth() * box.getHeight();
        };

        auto difference = area (a) - area (b);
        return difference < 0.0 ? -1 : (difference > 0.0 ? 1 : 0);
    }
};
} // namespace

FocalSlice::FocalSlice() = default;

FocalSlice::~FocalSlice()
{
    for (auto* slice : coveredSlices)
        slice->removeListener (this);

    deleteAllButtons();
    coveredSlices.clear();
    excludedIds.clear();
}

StageItem* FocalSlice::getStageItem() { return stageItem.get(); }

FocalStageItem* FocalSlice::getFocalItem() const
{
    return static_cast<FocalStageItem*> (stageItem.get());
}

void FocalSlice::createStageItem()
{
    // The buttons are children of the item they were made for; the next
    // rebuild makes them afresh inside the new one.
    deleteAllButtons();

    auto item = std::make_unique<FocalStageItem>();
    item->overlay = std::make_unique<FocalOverlay>();
    item->addChildComponent (*item->overlay);
    item->hidden = false;
    item->setVisible (true);
    item->onPopupMenu = [this] { showOptionsMenu(); };

    stageItem = std::move (item);
}

juce::ValueTree FocalSlice::toValueTree()
{
    juce::ValueTree tree (ids::focal);
    tree.setProperty (ids::uId, uuidToText (uId), nullptr);
    tree.setProperty (ids::distribution, distribution, nullptr);
    tree.setProperty (ids::flip, flip, nullptr);
    tree.setProperty (ids::extend, extend, nullptr);
    tree.setProperty (ids::cover, cover, nullptr);

    if (auto* item = getFocalItem())
        tree.appendChild (item->positionToValueTree(), nullptr);

    juce::ValueTree excluded (ids::excluded);

    for (auto id : excludedIds)
    {
        juce::ValueTree entry (ids::slice);
        entry.setProperty (ids::uniqueId, id, nullptr);
        excluded.appendChild (entry, nullptr);
    }

    tree.appendChild (excluded, nullptr);
    return tree;
}

void FocalSlice::setResolution (juce::Point<int> newResolution)
{
    if (newResolution.x > Look::maxResolutionSide || newResolution.y > Look::maxResolutionSide)
        return;

    resolution = newResolution;

    auto* item = getFocalItem();
    if (item == nullptr)
        return;

    auto w = (float) resolution.x;
    auto h = (float) resolution.y;
    item->setOutline (rectangleOutline (w, h), 0.0f);

    juce::Rectangle<float> area;

    for (auto* slice : coveredSlices)
        if (! isExcluded (slice->uniqueId))
            if (auto* sliceItem = slice->getStageItem())
            {
                auto bounds = placedBounds (*sliceItem);
                if (isUsable (bounds))
                    area = area.getUnion (bounds);
            }

    // Fitting divides by the outline's size: a resolution with a side of 0
    // keeps the placement it has.
    if (resolution.x > 0 && resolution.y > 0 && isUsable (area))
        item->fitOutlineInto (area);

    item->resolution = resolution;
}

void FocalSlice::setExcluded (juce::int64 sliceId, bool excluded)
{
    if (excluded)
        excludedIds.addIfNotAlreadyThere (sliceId);
    else
        excludedIds.removeAllInstancesOf (sliceId);
}

bool FocalSlice::isExcluded (juce::int64 sliceId) const { return excludedIds.contains (sliceId); }

ArenaSlice* FocalSlice::sliceOfButton (const CoveredButton* button) const
{
    auto found = buttonSlices.find (button);
    return found != buttonSlices.end() ? found->second : nullptr;
}

void FocalSlice::buttonClicked (juce::Button* button)
{
    auto* item = getFocalItem();
    if (item == nullptr)
        return;

    // The toggle has already flipped: a button switched off excludes its slice.
    if (item->selected)
        if (auto* slice = sliceOfButton (dynamic_cast<CoveredButton*> (button)))
            if (coveredSlices.contains (slice) && button->getComponentID() == idText (slice->uniqueId))
                setExcluded (slice->uniqueId, ! button->getToggleState());

    // The listeners may rebuild the buttons (deleting this one) or delete
    // the focal: nothing is touched afterwards.
    item->sendItemChanged();
}

void FocalSlice::arenaSliceDeleted (ArenaSlice* slice)
{
    coveredSlices.removeAllInstancesOf (slice);

    for (auto& entry : buttonSlices)
        if (entry.second == slice)
            entry.second = nullptr;
}

//==============================================================================
// Coverage

bool FocalSlice::placement (Placement& result) const
{
    auto* focalItem = getFocalItem();

    if (focalItem == nullptr)
        return false;

    result.transform = focalItem->getTransform();
    result.bounds = focalItem->outline.getBoundsTransformed (result.transform);
    result.hasArea = coverage::hasArea (focalItem->outline, result.transform);
    return true;
}

namespace
{
// The box the item's placed outline lies in.
juce::Rectangle<float> placedBox (const StageItem& item)
{
    return item.outline.getBoundsTransformed (item.getTransform());
}
} // namespace

bool FocalSlice::covers (ArenaSlice& slice, const Placement& focal) const
{
    auto* sliceItem = slice.getStageItem();

    if (sliceItem == nullptr)
        return false;

    // The bounds test is cheap and sorts out nearly every slice of a large
    // setup before any path is copied or walked.
    if (coverage::boundsApart (focal.bounds, placedBox (*sliceItem)))
        return false;

    return coversNear (*sliceItem, focal);
}

// The exact tests, for a slice whose box lies near the focal's.
bool FocalSlice::coversNear (StageItem& sliceItem, const Placement& focal) const
{
    auto* focalItem = getFocalItem();

    if (focalItem == nullptr)
        return false;

    const auto slicePlacement = sliceItem.getTransform();

    if (! focal.hasArea || ! coverage::hasArea (sliceItem.outline, slicePlacement))
        return false;

    if (focalItem->containsOutlineOf (sliceItem) || sliceItem.containsOutlineOf (*focalItem))
        return true;

    if (cover != 1)
        return false;

    auto placedSlice = sliceItem.outline;
    placedSlice.applyTransform (slicePlacement);
    auto placedFocal = focalItem->outline;
    placedFocal.applyTransform (focal.transform);
    return coverage::outlinesCross (placedSlice, placedFocal);
}

// An item's outline where it stands, with what the containment test asks of
// it worked out once. The numbers are those of
// TransformableComponent::containsOutlineOf and juce::Path::contains, made
// in the same order, so every answer is theirs; only the copying, placing,
// growing and flattening of both outlines for every pair is gone.
struct FocalSlice::PlacedOutline
{
    struct Edge
    {
        float x1, y1, x2, y2;
    };

    PlacedOutline (const juce::Path& outline, const juce::AffineTransform& placement)
        : placed (outline)
    {
        // Nothing is asked of an outline without an area.
        hasArea = coverage::hasArea (outline, placement);

        if (! hasArea)
            return;

        placed.applyTransform (placement);

        const auto box = placed.getBounds();
        roundedBox = box.toNearestInt();

        for (juce::PathFlatteningIterator it (placed, {}, 0.6f); it.next();)
            testedPoints.emplace_back (it.x1, it.y1);

        auto grown = placed;
        grown.scaleToFit (box.getX() - 1.0f, box.getY() - 1.0f,
                          juce::jmax (0.0f, box.getWidth() + 2.0f), juce::jmax (0.0f, box.getHeight() + 2.0f),
                          true);

        // The bounds as the path keeps them: the least and greatest of its
        // coordinates (its rectangle's right edge may round differently).
        bool first = true;

        for (juce::Path::Iterator it (grown); it.next();)
        {
            const auto extend = [&] (float x, float y)
            {
                minX = first ? x : juce::jmin (minX, x);
                maxX = first ? x : juce::jmax (maxX, x);
                minY = first ? y : juce::jmin (minY, y);
                maxY = first ? y : juce::jmax (maxY, y);
                first = false;
            };

            switch (it.elementType)
            {
                case juce::Path::Iterator::startNewSubPath:
                case juce::Path::Iterator::lineTo:      extend (it.x1, it.y1); break;
                case juce::Path::Iterator::quadraticTo: extend (it.x1, it.y1); extend (it.x2, it.y2); break;
                case juce::Path::Iterator::cubicTo:     extend (it.x1, it.y1); extend (it.x2, it.y2); extend (it.x3, it.y3); break;
                case juce::Path::Iterator::closePath:
                default:                                break;
            }
        }

        for (juce::PathFlatteningIterator it (grown, {}, juce::Path::defaultToleranceForTesting); it.next();)
            grownEdges.push_back ({ it.x1, it.y1, it.x2, it.y2 });

        nonZeroWinding = grown.isUsingNonZeroWinding();
    }

    // juce::Path::contains of the grown outline.
    bool grownContains (float x, float y) const
    {
        if (x <= minX || x >= maxX || y <= minY || y >= maxY)
            return false;

        int positiveCrossings = 0;
        int negativeCrossings = 0;

        for (const auto& e : grownEdges)
        {
            if ((e.y1 <= y && e.y2 > y) || (e.y2 <= y && e.y1 > y))
            {
                const auto intersectX = e.x1 + (e.x2 - e.x1) * (y - e.y1) / (e.y2 - e.y1);

                if (intersectX <= x)
                {
                    if (e.y1 < e.y2)
                        ++positiveCrossings;
                    else
                        ++negativeCrossings;
                }
            }
        }

        return nonZeroWinding ? (negativeCrossings != positiveCrossings)
                              : ((negativeCrossings + positiveCrossings) & 1) != 0;
    }

    // TransformableComponent::containsOutlineOf: the other lies inside this
    // one grown by a unit, or both have the same rounded bounds.
    bool containsOutlineOf (const PlacedOutline& other) const
    {
        if (roundedBox == other.roundedBox)
            return true;

        for (auto point : other.testedPoints)
            if (! grownContains (point.x, point.y))
                return false;

        return true;
    }

    juce::Path placed;
    juce::Rectangle<int> roundedBox;
    std::vector<juce::Point<float>> testedPoints;
    std::vector<Edge> grownEdges;
    float minX = 0.0f, minY = 0.0f, maxX = 0.0f, maxY = 0.0f;
    bool nonZeroWinding = true;
    bool hasArea = false;
};

// coversNear on outlines placed once for all the slices and focals of a store.
bool FocalSlice::coversNear (const SliceBox& candidate, const Placement& focal, std::unique_ptr<PlacedOutline>& focalOutline) const
{
    auto* focalItem = getFocalItem();
    auto* sliceItem = candidate.slice->getStageItem();

    if (focalItem == nullptr || sliceItem == nullptr || ! focal.hasArea)
        return false;

    if (candidate.outline == nullptr)
        candidate.outline = std::make_shared<const PlacedOutline> (sliceItem->outline, sliceItem->getTransform());

    const auto& slice = *candidate.outline;

    if (! slice.hasArea)
        return false;

    if (focalOutline == nullptr)
        focalOutline = std::make_unique<PlacedOutline> (focalItem->outline, focal.transform);

    if (focalOutline->containsOutlineOf (slice) || slice.containsOutlineOf (*focalOutline))
        return true;

    if (cover != 1)
        return false;

    return coverage::outlinesCross (slice.placed, focalOutline->placed);
}

bool FocalSlice::isCovered (ArenaSlice& slice, const Placement* focal) const
{
    auto* sliceItem = slice.getStageItem();
    return focal != nullptr && sliceItem != nullptr && ! sliceItem->hidden && covers (slice, *focal);
}

// A slice is listened to exactly while it is in the covered list: it is
// registered when it joins, so no call has to re-check the others.
void FocalSlice::attach (ArenaSlice* slice)
{
    if (coveredSlices.addIfNotAlreadyThere (slice))
        slice->addListener (this);
}

void FocalSlice::detach (ArenaSlice* slice)
{
    slice->removeListener (this);
    coveredSlices.removeAllInstancesOf (slice);
}

void FocalSlice::updateCoverage (ArenaSlice* slice)
{
    if (slice == nullptr)
        return;

    Placement focal;
    const auto* placed = placement (focal) ? &focal : nullptr;

    if (isCovered (*slice, placed))
        attach (slice);
    else
        detach (slice);
}

// The outcome is that of the one-slice call over each slice in turn: the
// slices still covered keep their order, the newly covered follow in the
// order met. Only the few slices covered before are looked up.
void FocalSlice::updateCoverage (const juce::OwnedArray<ArenaScreen>& screens)
{
    updateCoverage (placedSliceBoxes (screens));
}

std::vector<FocalSlice::SliceBox> FocalSlice::placedSliceBoxes (const juce::OwnedArray<ArenaScreen>& screens)
{
    std::vector<SliceBox> boxes;
    size_t count = 0;

    for (auto* screen : screens)
        count += static_cast<size_t> (screen->slices.size());

    boxes.reserve (count);

    for (auto* screen : screens)
        for (auto* slice : screen->slices)
        {
            if (slice == nullptr)
                continue;

            auto* item = slice->getStageItem();
            const bool shown = item != nullptr && ! item->hidden;
            boxes.push_back ({ slice, shown ? placedBox (*item) : juce::Rectangle<float>(), shown, {} });
        }

    return boxes;
}

void FocalSlice::updateCoverage (const std::vector<SliceBox>& slices)
{
    Placement focal;
    const auto placed = placement (focal);

    // The covered list is short next to the slices tested: it is searched
    // sorted, without hashing every slice.
    std::vector<ArenaSlice*> before (coveredSlices.begin(), coveredSlices.end());
    std::sort (before.begin(), before.end());

    const auto wasCovered = [&before] (ArenaSlice* slice)
    {
        return std::binary_search (before.begin(), before.end(), slice);
    };

    std::vector<ArenaSlice*> joined, left;
    std::unique_ptr<PlacedOutline> focalOutline;

    for (const auto& candidate : slices)
    {
        auto* slice = candidate.slice;
        const bool covered = placed && candidate.shown
                          && ! coverage::boundsApart (focal.bounds, candidate.box)
                          && coversNear (candidate, focal, focalOutline);

        if (covered != (! before.empty() && wasCovered (slice)))
            (covered ? joined : left).push_back (slice);
    }

    if (! left.empty())
    {
        for (auto* slice : left)
            slice->removeListener (this);

        std::sort (left.begin(), left.end());
        coveredSlices.removeIf ([&left] (ArenaSlice* slice) { return std::binary_search (left.begin(), left.end(), slice); });
    }

    // Newly covered slices join in the order of the screens.
    for (auto* slice : joined)
        attach (slice);
}

juce::Array<ArenaSlice*> FocalSlice::getVisibleSlices() const
{
    juce::Array<ArenaSlice*> visible;

    for (auto* slice : coveredSlices)
        if (auto* item = slice->getStageItem(); item != nullptr && ! item->hidden)
            visible.add (slice);

    return visible;
}

juce::Array<ArenaSlice*> FocalSlice::getActiveSlices() const
{
    juce::Array<ArenaSlice*> active;

    for (auto* slice : getVisibleSlices())
        if (! isExcluded (slice->uniqueId))
            active.add (slice);

    return active;
}

//==============================================================================
// Covered-slice buttons

void FocalSlice::deleteButton (CoveredButton* button)
{
    button->removeListener (this);

    if (auto* item = getFocalItem())
        item->coveredButtons.removeAllInstancesOf (button);

    buttonSlices.erase (button);
    coveredButtons.removeObject (button, true);
}

void FocalSlice::deleteAllButtons()
{
    for (int i = coveredButtons.size(); --i >= 0;)
        deleteButton (coveredButtons[i]);
}

void FocalSlice::rebuildCoveredButtons()
{
    auto* item = getFocalItem();

    if (item == nullptr)
    {
        deleteAllButtons();
        return;
    }

    auto belongsTo = [this] (CoveredButton* button, ArenaSlice* slice)
    {
        return sliceOfButton (button) == slice && button->getComponentID() == idText (slice->uniqueId);
    };

    // A focal without an area has no frame to show slices in: it covers nothing.
    auto frame = coverage::focalFrame (item->outline, item->getTransform(), item->rotation + item->pendingRotation);
    auto slicesShown = frame.valid ? coveredSlices : juce::Array<ArenaSlice*>();

    juce::Array<CoveredButton*> keep;

    for (auto* slice : slicesShown)
        for (auto* button : coveredButtons)
            if (belongsTo (button, slice))
                keep.add (button);

    for (int i = coveredButtons.size(); --i >= 0;)
        if (! keep.contains (coveredButtons[i]))
            deleteButton (coveredButtons[i]);

    for (auto* slice : slicesShown)
    {
        auto* sliceItem = slice->getStageItem();
        if (sliceItem == nullptr)
            continue;

        CoveredButton* button = nullptr;

        for (auto* kept : keep)
            if (belongsTo (kept, slice))
                button = kept;

        if (button == nullptr)
        {
            button = new CoveredButton();
            button->setClickingTogglesState (true);
            button->addListener (this);
            button->setComponentID (idText (slice->uniqueId));
            button->setName (sliceItem->getName());
            item->coveredButtons.addIfNotAlreadyThere (button);
            button->setVisible (true);
            item->addChildComponent (button);

            if (item->overlay != nullptr)
                item->overlay->toFront (false);

            item->removeButton->toFront (false);
            coveredButtons.add (button);
            buttonSlices[button] = slice;
        }

        auto shape = coverage::buttonShape (coverage::shapeInFrame (sliceItem->outline, sliceItem->getTransform(), frame));
        button->setBounds (shape.bounds);
        button->shape = shape.shape;
        button->focalSelected = item->selected;
        button->repaint();
        button->setToggleState (! isExcluded (slice->uniqueId), juce::dontSendNotification);
    }

    if (coveredButtons.size() > 1)
    {
        ByShapeArea order;
        coveredButtons.sort (order, true);

        for (auto* button : coveredButtons)
            button->toBack();
    }
}

//==============================================================================
// "Focal Options"

juce::PopupMenu FocalSlice::createOptionsMenu() const
{
    return FocalOptionsMenu::create ({ distribution, flip, cover });
}

// The menu runs while the message loop goes on: a relink may delete the
// model, this focal with it, before the menu closes.
void FocalSlice::showOptionsMenu()
{
    createOptionsMenu().showMenuAsync (juce::PopupMenu::Options(),
                                       [focal = juce::WeakReference<FocalSlice> (this)] (int chosenId)
                                       {
                                           if (auto* f = focal.get())
                                               f->applyOptionsResult (chosenId);
                                       });
}

void FocalSlice::applyOptionsResult (int chosenId)
{
    FocalOptionsMenu::Settings settings { distribution, flip, cover };

    if (FocalOptionsMenu::apply (chosenId, settings))
    {
        distribution = settings.distribution;
        flip = settings.flip;
        cover = settings.cover;
    }

    if (auto* item = getStageItem())
        item->sendItemChanged();
}
} // namespace corvadine
