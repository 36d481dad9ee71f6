// The in-place merge against the merge that rebuilds every slice: random
// runs of host saves and user edits, compared on the document's text and on
// every slice's and focal's state after each relink.
#include "model/StageModel.h"

#include "model/Ids.h"
#include "model/ModelState.h"
#include "model/RandomHostSaves.h"
#include "model/RandomModels.h"
#include "model/ReferenceMerge.h"
#include "stage/StageItem.h"

#include <gtest/gtest.h>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
// The slices of switched-on screens shown, the others hidden, as the
// controller shows them after a relink.
void showEnabledScreens (StageModel& model)
{
    for (auto* screen : model.screens)
        for (auto* slice : screen->slices)
        {
            slice->getStageItem()->hidden = ! screen->enabled;
            slice->getStageItem()->setVisible (screen->enabled);
        }
}

juce::Array<ScreenInfo> hostRecordsOf (const StageModel& model)
{
    juce::Array<ScreenInfo> screens;

    for (auto* screen : model.screens)
    {
        ScreenInfo info;
        info.uniqueId = screen->uniqueId;
        info.name = screen->name;
        info.enabled = true;
        info.outputRes = screen->outputRes;
        info.slices = screen->sliceInfos;
        screens.add (info);
    }

    return screens;
}

// The two models after a store: the in-place one stored in place, the
// reference written whole.
void expectSame (StageModel& merged, juce::ValueTree& document, StageModel& reference, const juce::String& context)
{
    // Focal ids are drawn at random: the twin takes the other's.
    for (int l = 0; l < juce::jmin (merged.looks.size(), reference.looks.size()); ++l)
        for (int f = 0; f < juce::jmin (merged.looks[l]->focals.size(), reference.looks[l]->focals.size()); ++f)
            reference.looks[l]->focals[f]->uId = merged.looks[l]->focals[f]->uId;

    merged.storeArenaScreensTree (document);
    merged.storeLooksTree (document);

    const auto referenceScreens = reference.writeArenaScreensTree().toXmlString();
    const auto referenceLooks = reference.writeLooksTree().toXmlString();

    EXPECT_EQ (document.getChildWithName (ids::arenaScreens).toXmlString(), referenceScreens) << context;
    EXPECT_EQ (document.getChildWithName (ids::looks).toXmlString(), referenceLooks) << context;
    EXPECT_EQ (modelStateText (merged), modelStateText (reference)) << context;
}
} // namespace

TEST (ScreenMergeInPlace, GivesWhatARebuildingMergeGivesOverRandomHostSaves)
{
    for (int run = 0; run < 24; ++run)
    {
        juce::Random random (9100 + run), twin (9100 + run), learning (700 + run);
        auto merged = randomModel (random, 2 + run % 3, 3 + run % 4, 2, 3);
        auto reference = randomModel (twin, 2 + run % 3, 3 + run % 4, 2, 3);

        juce::ValueTree document (ids::Corvadine);
        juce::int64 nextId = 100000;

        for (int step = 0; step < 12; ++step)
        {
            // A user's edit now and then, the same on both.
            if (random.nextInt (3) == 0)
            {
                auto same = random;
                randomEdit (*merged, random);
                randomEdit (*reference, same);
            }

            // The user switches a screen off or on before the host saves.
            if (random.nextInt (4) == 0 && ! merged->screens.isEmpty())
            {
                const auto s = random.nextInt (merged->screens.size());

                for (auto* model : { merged.get(), reference.get() })
                {
                    model->screens[s]->enabled = ! model->screens[s]->enabled;
                    showEnabledScreens (*model);
                }
            }

            const auto save = randomHostSave (hostRecordsOf (*merged), random, merged->compositionSize, nextId);
            const auto context = "run " + juce::String (run) + " step " + juce::String (step) + ": " + save.changes;

            // Idle time before the save, now and then, long enough to look
            // at some placements, all or none: the merge takes what is known.
            if (learning.nextBool())
                merged->learnPlacements (learning.nextInt (3) == 0 ? 1000 : learning.nextInt (12));

            const auto relinked = merged->mergeScreens (save.screens);
            const auto relinkedByReference = referenceMergeScreens (*reference, save.screens);
            EXPECT_EQ (relinked, relinkedByReference) << context;

            showEnabledScreens (*merged);
            showEnabledScreens (*reference);
            expectSame (*merged, document, *reference, context);

            if (::testing::Test::HasFailure())
                return;
        }
    }
}
