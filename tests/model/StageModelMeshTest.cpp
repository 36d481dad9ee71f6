#include "model/StageModel.h"

#include "model/Ids.h"
#include "model/MeshChecks.h"
#include "model/ModelFixtures.h"
#include "stage/StageItem.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
std::vector<double> vertexValues (const juce::ValueTree& mesh)
{
    std::vector<double> values;
    for (auto child : mesh)
        if (child.hasType (ids::vertex))
            values.push_back ((double) child[ids::value]);
    return values;
}

std::vector<int> indexValues (const juce::ValueTree& mesh)
{
    std::vector<int> values;
    for (auto child : mesh)
        if (child.hasType (ids::index))
            values.push_back ((int) child[ids::value]);
    return values;
}
} // namespace

TEST (PreviewMesh, NoVisibleSliceGivesTheMarginAloneAndAnEmptyMesh)
{
    StageModel empty;
    EXPECT_EQ (getVisibleSliceBounds (empty.screens), juce::Rectangle<float> (-80, -80, 160, 160));

    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 1920, 1080 }) }) });
    test::showSlices (*model, false);
    EXPECT_EQ (getVisibleSliceBounds (model->screens), juce::Rectangle<float> (-80, -80, 160, 160));

    auto mesh = model->writeVertexDataTree();
    EXPECT_EQ (mesh.getType(), ids::vertexData);
    EXPECT_EQ (mesh.getNumChildren(), 0);
}

TEST (PreviewMesh, OneSliceOverTheWholeComposition)
{
    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 1920, 1080 }) }) });
    EXPECT_EQ (getVisibleSliceBounds (model->screens), juce::Rectangle<float> (48960, 4380, 2080, 1240));

    auto mesh = model->writeVertexDataTree();
    auto values = vertexValues (mesh);
    ASSERT_EQ (values.size(), 16u);
    // Top-left, then bottom-right corner.
    EXPECT_NEAR (values[0], -12.0 / 13.0, 1e-6);
    EXPECT_NEAR (values[1], 27.0 / 31.0, 1e-6);
    EXPECT_DOUBLE_EQ (values[2], 0.0);
    EXPECT_DOUBLE_EQ (values[3], 0.0);
    EXPECT_NEAR (values[8], 12.0 / 13.0, 1e-6);
    EXPECT_NEAR (values[9], -27.0 / 31.0, 1e-6);
    EXPECT_DOUBLE_EQ (values[10], 1.0);
    EXPECT_DOUBLE_EQ (values[11], 1.0);

    auto indices = indexValues (mesh);
    ASSERT_EQ (indices.size(), 6u);
    for (auto index : indices)
        EXPECT_TRUE (index >= 0 && index <= 3);

    // Every "vertex" before every "index".
    EXPECT_TRUE (mesh.getChild (15).hasType (ids::vertex));
    EXPECT_TRUE (mesh.getChild (16).hasType (ids::index));
}

TEST (PreviewMesh, SlicesFollowEachOtherAndHiddenOnesTakeNoPart)
{
    auto model = test::modelWith ({ 1920, 1080 },
        { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 100, 100 }), test::rectangleSlice (2, "hidden", { 1000, 900, 100, 100 }) }),
          test::screenOf (2, { test::rectangleSlice (3, "b", { 200, 0, 100, 100 }) }) });
    auto* hidden = model->screens[0]->slices[1]->getStageItem();
    hidden->hidden = true;
    hidden->setVisible (false);

    EXPECT_EQ (getVisibleSliceBounds (model->screens), test::onStage (*model, { 0, 0, 300, 100 }).expanded (80));

    auto mesh = model->writeVertexDataTree();
    EXPECT_EQ (vertexValues (mesh).size(), 32u);
    auto indices = indexValues (mesh);
    ASSERT_EQ (indices.size(), 12u);
    for (size_t i = 6; i < 12; ++i)
        EXPECT_TRUE (indices[i] >= 4 && indices[i] <= 7);
}

TEST (PreviewMesh, PositionsFollowTheItemTextureCoordinatesStayTheHosts)
{
    auto model = test::modelWith ({ 1920, 1080 },
        { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 960, 540 }), test::rectangleSlice (2, "b", { 960, 540, 960, 540 }) }) });
    auto* moved = model->screens[0]->slices[1]->getStageItem();
    moved->setPlacement (moved->committedTransform.translated (300, 200));

    const auto bounds = getVisibleSliceBounds (model->screens);
    EXPECT_EQ (bounds, test::onStage (*model, { 0, 0, 1920 + 300, 1080 + 200 }).expanded (80));

    auto values = vertexValues (model->writeVertexDataTree());
    ASSERT_EQ (values.size(), 32u);
    // The moved slice's first vertex: where its item now stands, with the
    // texture coordinates of the host's input point (960, 540).
    const auto stage = test::onStage (*model, { 960 + 300, 540 + 200, 0, 0 }).getPosition();
    EXPECT_NEAR (values[16], ((stage.x - bounds.getX()) / bounds.getWidth() - 0.5) * 2, 1e-5);
    EXPECT_NEAR (values[17], ((stage.y - bounds.getY()) / bounds.getHeight() - 0.5) * -2, 1e-5);
    EXPECT_DOUBLE_EQ (values[18], 0.5);
    EXPECT_DOUBLE_EQ (values[19], 0.5);
}

TEST (PreviewMesh, SlicesOfFewPointsAndRepeatedPointsKeepEveryIndexValid)
{
    auto two = test::rectangleSlice (2, "two", {});
    two.inputRect = test::pointList ({ { 0, 0 }, { 100, 100 } });
    auto one = test::rectangleSlice (3, "one", {});
    one.inputRect = test::pointList ({ { 50, 50 } });
    auto none = test::rectangleSlice (4, "none", {});
    none.inputRect = {};
    auto closed = test::rectangleSlice (5, "closed", {});
    closed.mask = test::pointList ({ { 0, 0 }, { 100, 0 }, { 100, 100 }, { 0, 100 }, { 0, 0 } });

    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { two, one, none, closed }) });
    auto mesh = model->writeVertexDataTree();

    auto check = test::checkVertexDataTree (mesh);
    EXPECT_TRUE (check.problems.isEmpty()) << check.problems.joinIntoString ("\n");
    // Two vertices for the two-point slice, none for one point or none, one
    // per point of the ring that repeats its first point.
    EXPECT_EQ (check.vertexCount, 2 + 5);
    EXPECT_EQ (check.triangleCount, 2);
}
