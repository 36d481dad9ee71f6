#include "model/StageModel.h"

#include "model/Ids.h"
#include "model/ModelFixtures.h"
#include "stage/FocalStageItem.h"
#include "stage/StageItem.h"

#include <gtest/gtest.h>

using namespace corvadine;

TEST (StageModel, CollectsSliceItemsInScreenOrderThenFocalItems)
{
    auto model = test::modelWith ({ 1920, 1080 },
        { test::screenOf (1, { test::rectangleSlice (11, "a", { 0, 0, 10, 10 }), test::rectangleSlice (12, "b", { 20, 0, 10, 10 }) }),
          test::screenOf (2, { test::rectangleSlice (21, "c", { 0, 20, 10, 10 }), test::rectangleSlice (22, "d", { 20, 20, 10, 10 }),
                               test::rectangleSlice (23, "e", { 40, 20, 10, 10 }) }) });
    auto& focal = test::addFocal (*model->addLook ({ 1920, 1080 }), { 49000, 4400, 100, 100 });
    model->addLook ({ 1920, 1080 });

    auto items = model->collectStageItems();
    ASSERT_EQ (items.size(), 6);
    EXPECT_EQ (items[0], model->screens[0]->slices[0]->getStageItem());
    EXPECT_EQ (items[2], model->screens[1]->slices[0]->getStageItem());
    EXPECT_EQ (items[4], model->screens[1]->slices[2]->getStageItem());
    EXPECT_EQ (items[5], focal.getStageItem());
}

TEST (StageModel, WritesEveryScreenWithItsSlices)
{
    StageModel empty;
    EXPECT_EQ (empty.writeArenaScreensTree().getType(), ids::arenaScreens);
    EXPECT_EQ (empty.writeArenaScreensTree().getNumChildren(), 0);

    auto model = test::modelWith ({ 1920, 1080 },
        { test::screenOf (5, {}), test::screenOf (-6, { test::rectangleSlice (61, "s", { 0, 0, 10, 10 }) }, false) });

    auto tree = model->writeArenaScreensTree();
    ASSERT_EQ (tree.getNumChildren(), 2);

    auto first = tree.getChild (0);
    EXPECT_EQ (first.getType(), ids::screen);
    EXPECT_EQ (first.getNumProperties(), 3);
    EXPECT_EQ (first.getPropertyName (0), ids::name);
    EXPECT_EQ (first.getPropertyName (1), ids::uniqueId);
    EXPECT_EQ (first.getPropertyName (2), ids::enabled);
    EXPECT_EQ (first.getNumChildren(), 0);
    EXPECT_TRUE ((bool) first[ids::enabled]);

    auto second = tree.getChild (1);
    EXPECT_EQ ((juce::int64) second[ids::uniqueId], -6);
    EXPECT_FALSE ((bool) second[ids::enabled]);
    ASSERT_EQ (second.getNumChildren(), 1);
    EXPECT_EQ (second.getChild (0).getType(), ids::slice);
    EXPECT_EQ ((juce::int64) second.getChild (0)[ids::uniqueId], 61);
}

TEST (StageModel, ALookTakesTheCompositionSizeOfItsTimeAndGivesItToItsFocals)
{
    StageModel model;
    model.compositionSize = { 1920, 1080 };
    auto* before = model.addLook ({ 800, 600 });
    model.compositionSize = { 1280, 720 };
    auto* after = model.addLook ({ 640, 480 });

    EXPECT_EQ (before->compositionSize, juce::Point<int> (1920, 1080));
    EXPECT_EQ (after->compositionSize, juce::Point<int> (1280, 720));
    EXPECT_EQ (after->resolution, juce::Point<int> (640, 480));
    EXPECT_EQ (model.looks.size(), 2);
    EXPECT_EQ (model.numLooks, 16);

    auto& focal = test::addFocal (*after, { 0, 0, 100, 100 });
    EXPECT_EQ (focal.resolution, juce::Point<int> (640, 480));
    EXPECT_EQ (focal.compositionSize, juce::Point<int> (1280, 720));
    EXPECT_EQ (focal.getFocalItem()->compositionSize, juce::Point<int> (1280, 720));
}

TEST (StageModel, DeletingTheModelWhileFocalsCoverSlicesLeavesNothingDangling)
{
    // Under AddressSanitizer: the focals let go of their slices before the
    // slices are deleted, and no deleted slice is told about later.
    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 100, 100 }) }) });
    auto* look = model->addLook ({ 100, 100 });
    test::addFocal (*look, test::onStage (*model, { 0, 0, 100, 100 }));
    test::addFocal (*look, test::onStage (*model, { -50, -50, 200, 200 }));
    model->writeLooksTree();

    auto* slice = model->screens[0]->slices[0];
    EXPECT_TRUE (slice->hasListener (look->focals[0]));
    EXPECT_TRUE (slice->hasListener (look->focals[1]));

    // Deleting a look alone unregisters its focals from the slice.
    model->looks.clear();
    EXPECT_TRUE (slice->listeners.isEmpty());

    model.reset();
}
