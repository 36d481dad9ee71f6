#include "model/StageModel.h"

#include "host/ArenaSetupReader.h"
#include "host/CompositionSize.h"
#include "model/Finite.h"
#include "model/Ids.h"
#include "model/ModelFixtures.h"
#include "stage/StageItem.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
juce::Point<float> translationOf (const juce::AffineTransform& t)
{
    return { t.mat02, t.mat12 };
}

std::vector<ArenaSlice*> slicesOf (StageModel& model)
{
    std::vector<ArenaSlice*> slices;
    for (auto* screen : model.screens)
        for (auto* slice : screen->slices)
            slices.push_back (slice);
    return slices;
}

// The corners of the item's outline where the item stands on the stage.
juce::Array<juce::Point<float>> placedPoints (const StageItem& item)
{
    juce::Array<juce::Point<float>> points;
    juce::Path::Iterator it (item.outline);

    while (it.next())
        if (it.elementType == juce::Path::Iterator::startNewSubPath || it.elementType == juce::Path::Iterator::lineTo)
            points.add (juce::Point<float> (it.x1, it.y1).transformedBy (item.getTransform()));

    return points;
}
} // namespace

TEST (ScreenRebuild, PlacesTheCompositionCentredOnTheStage)
{
    struct Case { juce::Point<int> size; juce::Point<float> offset; };
    const Case cases[] = { { { 1920, 1080 }, { 49040, 4460 } }, { { 1921, 1081 }, { 49040, 4460 } },
                           { { 0, 0 }, { 50000, 5000 } } };

    for (auto c : cases)
    {
        auto model = test::modelWith (c.size, { test::screenOf (1, { test::rectangleSlice (1, "corner", { 0, 0, 100, 50 }),
                                                                     test::rectangleSlice (2, "all", { 0, 0, 1920, 1080 }) }) });
        auto& corner = *model->screens[0]->slices[0];
        EXPECT_EQ (test::placedBounds (corner), juce::Rectangle<float> (c.offset.x, c.offset.y, 100, 50));
        EXPECT_EQ (corner.getStageItem()->committedTransform, corner.getStageItem()->getTransform());
    }

    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { test::rectangleSlice (2, "all", { 0, 0, 1920, 1080 }) }) });
    EXPECT_EQ (test::placedBounds (*model->screens[0]->slices[0]).getCentre(), juce::Point<float> (50000, 5000));
}

TEST (ScreenRebuild, TakesTheMaskAndTheOutputContourWhenTheSliceHasThem)
{
    auto withBoth = test::rectangleSlice (1, "masked", { 0, 0, 100, 100 });
    withBoth.mask = test::pointList ({ { 10, 10 }, { 90, 10 }, { 50, 90 } });
    withBoth.outputContour = test::pointList ({ { 1, 1 }, { 2, 2 }, { 3, 1 } });
    withBoth.inputOrientation = 0.25f;

    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (9, { withBoth, test::rectangleSlice (2, "plain", { 0, 0, 10, 10 }) }) });
    auto& screen = *model->screens[0];
    EXPECT_EQ (screen.uniqueId, 9);
    EXPECT_EQ (screen.sliceInfos.size(), 2);

    auto& masked = *screen.slices[0];
    EXPECT_EQ (masked.inputPoints, withBoth.mask);
    EXPECT_EQ (masked.outputPoints, withBoth.outputContour);
    EXPECT_FLOAT_EQ (masked.rotation, 0.25f);
    EXPECT_EQ (masked.name, "masked");
    EXPECT_EQ (masked.getStageItem()->getName(), "masked");

    auto& plain = *screen.slices[1];
    EXPECT_EQ (plain.inputPoints.size(), 4);
    EXPECT_EQ (plain.outputPoints.size(), 4);

    // A slice without input points is built all the same.
    SliceInfo empty;
    model->rebuildScreens ({ test::screenOf (1, { empty }) });
    ASSERT_EQ (model->screens[0]->slices.size(), 1);
    EXPECT_NE (model->screens[0]->slices[0]->getStageItem(), nullptr);
}

TEST (ScreenMerge, ReImportScenarios)
{
    using test::rectangleSlice;
    const juce::Rectangle<float> r1 { 0, 0, 100, 100 }, r2 { 200, 0, 100, 100 }, r3 { 400, 0, 100, 100 };

    struct Case
    {
        const char* what;
        std::vector<SliceInfo> before, after;
        int relinked;
        std::vector<int> placementFrom; // per new slice: the old slice whose placement it has, or -1
        std::vector<const char*> names; // per new slice, after the merge
    };

    auto withOutput = [] (SliceInfo slice, juce::Rectangle<float> area)
    {
        slice.outputRect = { area.getTopLeft(), area.getTopRight(), area.getBottomRight(), area.getBottomLeft() };
        return slice;
    };

    const Case cases[] = {
        { "unchanged ids", { rectangleSlice (1, "a", r1), rectangleSlice (2, "b", r2) },
          { rectangleSlice (1, "a", r1), rectangleSlice (2, "b", r2) }, 2, { 0, 1 }, { "a", "b" } },
        { "renamed by the host, same id: the old name stays", { rectangleSlice (1, "a", r1) },
          { rectangleSlice (1, "host name", r3) }, 1, { 0 }, { "a" } },
        { "new id, same name", { rectangleSlice (1, "a", r1) }, { rectangleSlice (5, "a", r3) }, 1, { 0 }, { "a" } },
        { "new ids sharing a name fall back to the input points",
          { rectangleSlice (1, "a", r1), rectangleSlice (2, "b", r2) },
          { rectangleSlice (5, "x", r2), rectangleSlice (6, "x", r1) }, 2, { 1, 0 }, { "b", "a" } },
        { "identical input points of two new slices: the output points decide",
          { withOutput (rectangleSlice (1, "a", r1), r1), withOutput (rectangleSlice (2, "b", r2), r2) },
          { withOutput (rectangleSlice (5, "x", r3), r2), withOutput (rectangleSlice (6, "x", r3), r3) }, 1, { 1, -1 }, { "b", "x" } },
        { "two old slices with one id: the later placement", { rectangleSlice (1, "a", r1), rectangleSlice (1, "b", r2) },
          { rectangleSlice (1, "c", r3) }, 1, { 1 }, { "b" } },
        { "nothing in common keeps the rebuild placement", { rectangleSlice (1, "a", r1) },
          { rectangleSlice (2, "b", r2), rectangleSlice (3, "c", r3) }, 0, { -1, -1 }, { "b", "c" } },
        { "no new slices", { rectangleSlice (1, "a", r1) }, {}, 0, {}, {} },
    };

    for (auto& c : cases)
    {
        auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, c.before) });

        // The user's moves and turns, different for every old slice.
        std::vector<juce::AffineTransform> userPlacements;
        std::vector<float> userRotations;
        int n = 0;
        for (auto* slice : slicesOf (*model))
        {
            auto* item = slice->getStageItem();
            item->pendingRotation = 0.1f * (float) ++n;
            item->setPlacement (item->committedTransform.rotated (0.1f * (float) n).translated (1000.0f * (float) n, 7.0f));
            userPlacements.push_back (item->committedTransform);
            userRotations.push_back (item->rotation);
        }

        const auto relinked = model->mergeScreens ({ test::screenOf (1, c.after) });
        EXPECT_EQ (relinked, c.relinked) << c.what;

        auto fresh = slicesOf (*model);
        ASSERT_EQ (fresh.size(), c.after.size()) << c.what;

        for (size_t i = 0; i < fresh.size(); ++i)
        {
            auto* item = fresh[i]->getStageItem();
            EXPECT_EQ (fresh[i]->name, juce::String (c.names[i])) << c.what;
            EXPECT_EQ (item->getName(), c.after[i].name) << c.what; // the item keeps its built name

            if (auto from = c.placementFrom[i]; from >= 0)
            {
                auto expected = translationOf (userPlacements[(size_t) from]);
                EXPECT_NEAR (translationOf (item->committedTransform).x, expected.x, 0.1f) << c.what;
                EXPECT_NEAR (translationOf (item->committedTransform).y, expected.y, 0.1f) << c.what;
                EXPECT_NEAR (item->rotation, userRotations[(size_t) from], 1e-5f) << c.what;
            }
            else
            {
                auto area = juce::Rectangle<float>::findAreaContainingPoints (c.after[i].inputRect.begin(), c.after[i].inputRect.size());
                EXPECT_EQ (test::placedBounds (*fresh[i]), test::onStage (*model, area)) << c.what;
            }
        }
    }
}

TEST (ScreenMerge, ScreensTheUserSwitchedOffStayOff)
{
    auto model = test::modelWith ({ 1920, 1080 },
        { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 10, 10 }) }),
          test::screenOf (2, { test::rectangleSlice (2, "b", { 20, 0, 10, 10 }) }),
          test::screenOf (3, { test::rectangleSlice (3, "c", { 40, 0, 10, 10 }) }) });
    model->screens[0]->enabled = false;
    model->screens[2]->enabled = false;

    // Screen 1 comes back; screen 3 comes back with another id; a new
    // screen 4 is hidden by the host.
    model->mergeScreens ({ test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 10, 10 }) }),
                           test::screenOf (2, { test::rectangleSlice (2, "b", { 20, 0, 10, 10 }) }),
                           test::screenOf (30, { test::rectangleSlice (3, "c", { 40, 0, 10, 10 }) }),
                           test::screenOf (4, { test::rectangleSlice (4, "d", { 60, 0, 10, 10 }) }, false) });

    ASSERT_EQ (model->screens.size(), 4);
    EXPECT_FALSE (model->screens[0]->enabled);
    auto* offItem = model->screens[0]->slices[0]->getStageItem();
    EXPECT_TRUE (offItem->hidden);
    EXPECT_FALSE (offItem->isVisible());

    EXPECT_TRUE (model->screens[1]->enabled);
    EXPECT_TRUE (model->screens[2]->enabled);
    EXPECT_FALSE (model->screens[3]->enabled);
}

TEST (ScreenMerge, DeletedSlicesLeaveTheFocalsThatCoveredThem)
{
    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 100, 100 }) }) });
    auto& focal = test::addFocal (*model->addLook ({ 100, 100 }), test::onStage (*model, { 0, 0, 100, 100 }));
    model->writeLooksTree();
    ASSERT_EQ (focal.coveredSlices.size(), 1);

    EXPECT_EQ (model->mergeScreens ({}), 0);
    EXPECT_TRUE (model->screens.isEmpty());
    EXPECT_TRUE (focal.coveredSlices.isEmpty());

    // The next export sees the focal covering nothing.
    auto looks = model->writeLooksTree();
    EXPECT_EQ (looks.getChild (0).getChildWithName (ids::focals).getChild (0).getNumChildren(), 3); // position, excluded, shared
}

// The whole import road on the real host files: found and read as the host
// left them, sized, rebuilt, and re-imported over itself.
TEST (ScreenRebuild, PlacesTheRealHostSetupInsideTheCompositionFrame)
{
    const auto samples = test::hostSamplesFolder().getChildFile ("Resolume Arena");

    if (! samples.isDirectory())
        GTEST_SKIP() << "no host samples beside the checkout";

    ASSERT_TRUE (samples.copyDirectoryTo (test::documentsFolder().getChildFile ("Resolume Arena")));

    ArenaSetupReader reader;
    reader.reload();

    StageModel model;
    model.compositionSize = importCompositionSize (reader.screenSetup.get(), reader.composition.get());
    ASSERT_EQ (model.compositionSize, juce::Point<int> (1920, 1080));
    model.rebuildScreens (reader.screens);

    const juce::Rectangle<float> frame { 49040.0f, 4460.0f, 1920.0f, 1080.0f };
    ASSERT_EQ (frame.getCentre(), juce::Point<float> (50000.0f, 5000.0f));

    auto slices = slicesOf (model);
    ASSERT_EQ (slices.size(), 38u);

    for (auto* slice : slices)
    {
        auto* item = slice->getStageItem();
        ASSERT_NE (item, nullptr);
        EXPECT_TRUE (isFinite (item->getTransform())) << slice->name;
        EXPECT_EQ (item->committedTransform, item->getTransform()) << slice->name;

        // Every corner of the outline stands where its composition pixel lies in the frame.
        const auto placed = placedPoints (*item);
        ASSERT_EQ (placed.size(), slice->inputPoints.size()) << slice->name;

        for (int i = 0; i < placed.size(); ++i)
        {
            const auto expected = slice->inputPoints[i] + frame.getPosition();
            EXPECT_NEAR (placed[i].x, expected.x, 0.01f) << slice->name << " point " << i;
            EXPECT_NEAR (placed[i].y, expected.y, 0.01f) << slice->name << " point " << i;
        }

        EXPECT_TRUE (frame.expanded (0.01f).contains (test::placedBounds (*slice))) << slice->name;
    }

    // The same setup again: every slice continues itself, user moves kept,
    // and the screens the host hides are still off.
    auto* moved = slices[5]->getStageItem();
    moved->setPlacement (moved->committedTransform.translated (300.0f, -40.0f));
    const auto movedTo = moved->getTransform();

    EXPECT_EQ (model.mergeScreens (reader.screens), 38);
    // The placement goes through the document's text of a transform, six
    // significant digits: a tenth of a unit this far out on the stage.
    const auto restored = slicesOf (model)[5]->getStageItem()->getTransform();
    EXPECT_NEAR (restored.mat02, movedTo.mat02, 0.05f);
    EXPECT_NEAR (restored.mat12, movedTo.mat12, 0.05f);
    EXPECT_EQ (restored.mat00, 1.0f);
    EXPECT_EQ (restored.mat11, 1.0f);
    EXPECT_FALSE (model.screens[0]->enabled);
    EXPECT_FALSE (model.screens[1]->enabled);
    EXPECT_TRUE (model.screens[2]->enabled);
}
