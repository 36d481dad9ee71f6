#include "model/ReferenceMerge.h"

#include "model/SliceMatching.h"
#include "stage/StageItem.h"

#include <unordered_set>
#include <vector>

namespace corvadine::test
{
int referenceMergeScreens (StageModel& model, const juce::Array<ScreenInfo>& newScreens)
{
    std::unordered_set<juce::int64> switchedOff;
    std::vector<SliceIdentity> saved;
    std::vector<juce::ValueTree> savedPlacements;

    for (auto* screen : model.screens)
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

    model.rebuildScreens (newScreens);

    std::vector<ArenaSlice*> fresh;
    std::vector<SliceIdentity> freshIdentities;

    for (auto* screen : model.screens)
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
} // namespace corvadine::test
