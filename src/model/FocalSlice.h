#pragma once

#include "model/ArenaSlice.h"
#include "model/FocalOptionsMenu.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <unordered_map>
#include <vector>

namespace corvadine
{
class ArenaScreen;
class CoveredButton;
class FocalStageItem;

// One focal of a look: a rectangle of the look's resolution placed over the
// host's slices. It keeps the slices it covers (listening to each, so that a
// deleted slice leaves no pointer behind), the ids the user excluded, one
// shaped toggle per covered slice inside its item, and its settings with the
// "Focal Options" menu.
class FocalSlice : public CorvadineSlice,
                   public juce::Button::Listener,
                   public ArenaSlice::Listener
{
public:
    FocalSlice();
    ~FocalSlice() override;

    // The "focal" subtree: "uId", the four settings, "position", "excluded".
    juce::ValueTree toValueTree() override;
    StageItem* getStageItem() override;
    FocalStageItem* getFocalItem() const;
    void createStageItem() override;

    // Gives the outline the resolution and fits it over the included covered
    // slices (keeping the placement when there are none). A side beyond a
    // look's largest (Look::maxResolutionSide) is refused and changes
    // nothing: the outline would leave the range the item's bounds on the
    // stage are kept in, and the focal would lose its size.
    void setResolution (juce::Point<int> newResolution);
    void setExcluded (juce::int64 sliceId, bool excluded);
    bool isExcluded (juce::int64 sliceId) const;

    void buttonClicked (juce::Button* button) override;
    void arenaSliceDeleted (ArenaSlice* slice) override;

    // Coverage of one slice by the focal, with the listener registrations
    // kept in step; run it over all slices first, then rebuild the buttons.
    void updateCoverage (ArenaSlice* slice);
    // The same over every slice of the screens in their order, with the
    // focal's own placement worked out once for all of them.
    void updateCoverage (const juce::OwnedArray<ArenaScreen>& screens);

    // Every slice of the screens in order, with what the coverage test looks
    // at first: whether the slice is shown on the stage, and the box its
    // placed outline lies in. A store tests every focal against every slice;
    // worked out once for all of them, most slices are ruled out by their
    // box without touching their items.
    struct PlacedOutline;

    struct SliceBox
    {
        ArenaSlice* slice = nullptr;
        juce::Rectangle<float> box;
        bool shown = false;
        // What the exact tests ask of the slice's placed outline, worked out
        // when the first focal comes near it and kept for the others.
        mutable std::shared_ptr<const PlacedOutline> outline;
    };

    static std::vector<SliceBox> placedSliceBoxes (const juce::OwnedArray<ArenaScreen>& screens);

    // The same over slices whose boxes were worked out before, while none of
    // them has moved, been hidden or shown, or been deleted since.
    void updateCoverage (const std::vector<SliceBox>& slices);
    void rebuildCoveredButtons();
    juce::Array<ArenaSlice*> getVisibleSlices() const;
    juce::Array<ArenaSlice*> getActiveSlices() const;

    // The "Focal Options" menu: built from the settings, shown without
    // blocking, and its result applied only while the focal still exists.
    juce::PopupMenu createOptionsMenu() const;
    void showOptionsMenu();
    void applyOptionsResult (int chosenId);

    // The slice a covered-slice button stands for; null once that slice is gone.
    ArenaSlice* sliceOfButton (const CoveredButton* button) const;

    juce::Uuid uId;
    juce::Array<ArenaSlice*> coveredSlices;
    juce::Array<juce::int64> excludedIds;
    juce::OwnedArray<CoveredButton> coveredButtons;
    juce::Point<int> resolution { 1920, 1080 };
    juce::Point<int> compositionSize;
    int distribution = 0;
    int flip = 0;
    int cover = 0;
    int extend = 0;

private:
    // What the coverage test needs of the focal's item, the same for every slice.
    struct Placement
    {
        juce::AffineTransform transform;
        juce::Rectangle<float> bounds;
        bool hasArea = false;
    };

    bool placement (Placement& result) const;
    bool covers (ArenaSlice& slice, const Placement& focal) const;
    bool coversNear (StageItem& sliceItem, const Placement& focal) const;
    bool coversNear (const SliceBox& slice, const Placement& focal, std::unique_ptr<PlacedOutline>& focalOutline) const;
    bool isCovered (ArenaSlice& slice, const Placement* focal) const;
    void attach (ArenaSlice* slice);
    void detach (ArenaSlice* slice);
    void deleteButton (CoveredButton* button);
    void deleteAllButtons();

    // Buttons are matched to their slice by the slice itself: two slices may
    // share an id, and each keeps its own shape.
    std::unordered_map<const CoveredButton*, ArenaSlice*> buttonSlices;

    JUCE_DECLARE_WEAK_REFERENCEABLE (FocalSlice)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FocalSlice)
};
} // namespace corvadine
