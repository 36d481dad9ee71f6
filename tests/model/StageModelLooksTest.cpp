#include "model/StageModel.h"

#include "model/Ids.h"
#include "model/MeshChecks.h"
#include "model/ModelFixtures.h"
#include "stage/StageItem.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvadine;

namespace
{
struct Vertex { double x, y, u, v; };

struct Written
{
    juce::int64 uniqueId = 0;
    std::vector<Vertex> vertices;
    std::vector<int> indices;
};

Written readVertices (const juce::ValueTree& vertices)
{
    Written written;
    written.uniqueId = (juce::int64) vertices[ids::uniqueId];
    std::vector<double> values;

    for (auto child : vertices)
    {
        if (child.hasType (ids::vertex))
            values.push_back ((double) child[ids::value]);
        else if (child.hasType (ids::index))
            written.indices.push_back ((int) child[ids::value]);
    }

    for (size_t i = 0; i + 3 < values.size(); i += 4)
        written.vertices.push_back ({ values[i], values[i + 1], values[i + 2], values[i + 3] });

    return written;
}

juce::ValueTree focalTree (const juce::ValueTree& looks, int look, int focal)
{
    return looks.getChild (look).getChildWithName (ids::focals).getChild (focal);
}

std::vector<Written> verticesOf (const juce::ValueTree& focal)
{
    std::vector<Written> result;
    for (auto child : focal)
        if (child.hasType (ids::vertices))
            result.push_back (readVertices (child));
    return result;
}

std::vector<juce::int64> sharedOf (const juce::ValueTree& focal)
{
    std::vector<juce::int64> ids;
    for (auto child : focal.getChildWithName (ids::shared))
        ids.push_back ((juce::int64) child[ids::uniqueId]);
    return ids;
}

void expectIndexRange (const Written& written, int first, int last)
{
    ASSERT_FALSE (written.indices.empty());
    EXPECT_EQ (*std::min_element (written.indices.begin(), written.indices.end()), first);
    EXPECT_EQ (*std::max_element (written.indices.begin(), written.indices.end()), last);
}

void expectClean (const juce::ValueTree& looks, bool inRange = true)
{
    auto check = test::checkLooksTree (looks, inRange);
    EXPECT_TRUE (check.problems.isEmpty()) << check.problems.joinIntoString ("\n");
}

// One 200 x 100 slice at (100, 100) of a 1920 x 1080 composition.
std::unique_ptr<StageModel> oneSliceModel()
{
    return test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { test::rectangleSlice (7, "s", { 100, 100, 200, 100 }) }) });
}
} // namespace

TEST (LookExport, ALookWithoutFocalsHasItsResolutionSampleUvsAndEmptyFocals)
{
    StageModel model;
    model.compositionSize = { 1920, 1080 };
    model.addLook ({ 1920, 1080 });
    model.addLook ({ 960, 540 });

    auto looks = model.writeLooksTree();
    ASSERT_EQ (looks.getType(), ids::looks);
    ASSERT_EQ (looks.getNumChildren(), 2);

    auto look = looks.getChild (0);
    EXPECT_EQ (look.getType(), ids::look);
    EXPECT_EQ (look.getPropertyName (0), ids::x);
    EXPECT_EQ (look.getPropertyName (1), ids::y);
    EXPECT_EQ (look.getPropertyName (2), ids::sampleUvs);
    EXPECT_EQ ((int) look[ids::x], 1920);
    EXPECT_EQ (look[ids::sampleUvs].toString(), "0 0 1 1");
    EXPECT_EQ (looks.getChild (1)[ids::sampleUvs].toString(), "0.25 0.25 0.5 0.5");
    ASSERT_EQ (look.getNumChildren(), 1);
    EXPECT_EQ (look.getChild (0).getType(), ids::focals);
    EXPECT_EQ (look.getChild (0).getNumChildren(), 0);
}

TEST (LookExport, VertexNumbersRunAcrossFocalsAndLooks)
{
    // Two slices side by side; each focal covers both.
    auto model = test::modelWith ({ 1920, 1080 },
        { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 100, 100 }), test::rectangleSlice (2, "b", { 100, 0, 100, 100 }) }) });
    const auto both = test::onStage (*model, { 0, 0, 200, 100 });

    auto* first = model->addLook ({ 200, 100 });
    test::addFocal (*first, both);
    test::addFocal (*first, both);
    test::addFocal (*model->addLook ({ 200, 100 }), both);

    auto looks = model->writeLooksTree();
    expectClean (looks);

    auto a = verticesOf (focalTree (looks, 0, 0));
    auto b = verticesOf (focalTree (looks, 0, 1));
    auto c = verticesOf (focalTree (looks, 1, 0));
    ASSERT_EQ (a.size(), 2u);
    ASSERT_EQ (b.size(), 2u);
    ASSERT_EQ (c.size(), 2u);

    EXPECT_EQ (a[0].vertices.size(), 4u);
    EXPECT_EQ (a[0].indices.size(), 6u);
    expectIndexRange (a[0], 0, 3);
    expectIndexRange (a[1], 4, 7);
    expectIndexRange (b[0], 8, 11);
    expectIndexRange (b[1], 12, 15);
    expectIndexRange (c[0], 16, 19);
    expectIndexRange (c[1], 20, 23);
    EXPECT_EQ (a[0].uniqueId, 1);
    EXPECT_EQ (a[1].uniqueId, 2);
}

TEST (LookExport, AFocalWithoutWidthOrHeightIsLeftOutAndTakesNoNumbers)
{
    auto model = oneSliceModel();
    const auto slice = test::onStage (*model, { 100, 100, 200, 100 });

    for (auto resolution : { juce::Point<int> (0, 100), juce::Point<int> (200, 0) })
    {
        auto* look = model->addLook (resolution);
        test::addFocal (*look, slice);
    }
    test::addFocal (*model->addLook ({ 200, 100 }), slice);

    auto looks = model->writeLooksTree();
    expectClean (looks, false);

    EXPECT_EQ (looks.getChild (0).getChildWithName (ids::focals).getNumChildren(), 0);
    EXPECT_EQ (looks.getChild (1).getChildWithName (ids::focals).getNumChildren(), 0);
    EXPECT_EQ (looks.getChild (1)[ids::sampleUvs].toString(), "0.447917 0.5 0.104167 0");

    auto written = verticesOf (focalTree (looks, 2, 0));
    ASSERT_EQ (written.size(), 1u);
    expectIndexRange (written[0], 0, 3);
}

TEST (LookExport, PerspectiveOnTheSliceSamplesTheWholeFocalAndMirrorsTurnIt)
{
    struct Case { int flip; double topLeftU, topLeftV; };
    const Case cases[] = { { 0, 0, 1 }, { 1, 1, 1 }, { 2, 0, 0 }, { 3, 1, 0 } };

    for (auto c : cases)
    {
        auto model = oneSliceModel();
        test::addFocal (*model->addLook ({ 200, 100 }), test::onStage (*model, { 100, 100, 200, 100 }), 0, c.flip);

        auto looks = model->writeLooksTree();
        expectClean (looks);

        auto written = verticesOf (focalTree (looks, 0, 0));
        ASSERT_EQ (written.size(), 1u) << "flip " << c.flip;
        ASSERT_EQ (written[0].vertices.size(), 4u);

        auto& v = written[0].vertices;
        // Input points (100, 100) and (300, 200) of the 1920 x 1080 composition.
        EXPECT_NEAR (v[0].x, 100.0 / 1920 * 2 - 1, 1e-6);
        EXPECT_NEAR (v[0].y, -(100.0 / 1080 * 2 - 1), 1e-6);
        EXPECT_NEAR (v[2].x, 300.0 / 1920 * 2 - 1, 1e-6);

        EXPECT_NEAR (v[0].u, c.topLeftU, 1e-6) << "flip " << c.flip;
        EXPECT_NEAR (v[0].v, c.topLeftV, 1e-6) << "flip " << c.flip;
        EXPECT_NEAR (v[2].u, 1 - c.topLeftU, 1e-6) << "flip " << c.flip;
        EXPECT_NEAR (v[2].v, 1 - c.topLeftV, 1e-6) << "flip " << c.flip;
    }
}

TEST (LookExport, DuplicateShowsTheWholeSliceCentredInTheFocal)
{
    // A 100 x 100 focal covering a 200 x 100 slice: scale 0.5, v from 0.25
    // to 0.75 before the turn-over.
    auto model = oneSliceModel();
    test::addFocal (*model->addLook ({ 100, 100 }), test::onStage (*model, { 100, 100, 200, 100 }), 1, 2);

    auto looks = model->writeLooksTree();
    expectClean (looks);

    auto written = verticesOf (focalTree (looks, 0, 0));
    ASSERT_EQ (written.size(), 1u);
    auto& v = written[0].vertices;
    ASSERT_EQ (v.size(), 4u);
    EXPECT_NEAR (v[0].u, 0.0, 1e-6);  EXPECT_NEAR (v[0].v, 0.25, 1e-6);
    EXPECT_NEAR (v[2].u, 1.0, 1e-6);  EXPECT_NEAR (v[2].v, 0.75, 1e-6);
}

TEST (LookExport, CompositionCornersGiveTheEdgesOfTheNormalisedRange)
{
    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { test::rectangleSlice (3, "all", { 0, 0, 1920, 1080 }) }) });
    test::addFocal (*model->addLook ({ 1920, 1080 }), test::onStage (*model, { 0, 0, 1920, 1080 }));

    auto looks = model->writeLooksTree();
    auto v = verticesOf (focalTree (looks, 0, 0))[0].vertices;
    ASSERT_EQ (v.size(), 4u);
    EXPECT_DOUBLE_EQ (v[0].x, -1.0); EXPECT_DOUBLE_EQ (v[0].y, 1.0);
    EXPECT_DOUBLE_EQ (v[2].x, 1.0);  EXPECT_DOUBLE_EQ (v[2].y, -1.0);
}

TEST (LookExport, SharedListsEachSliceOncePerOtherFocalThatHasItActive)
{
    auto model = oneSliceModel();
    const auto slice = test::onStage (*model, { 100, 100, 200, 100 });
    auto* look = model->addLook ({ 200, 100 });
    for (int i = 0; i < 4; ++i)
        test::addFocal (*look, slice);

    // The fourth focal excludes the slice: it writes no vertices for it and
    // shares nothing, and the others do not count it.
    look->focals[3]->setExcluded (7, true);

    auto looks = model->writeLooksTree();
    expectClean (looks);

    for (int f = 0; f < 3; ++f)
    {
        EXPECT_EQ (sharedOf (focalTree (looks, 0, f)), (std::vector<juce::int64> { 7, 7 })) << "focal " << f;
        EXPECT_EQ (verticesOf (focalTree (looks, 0, f)).size(), 1u);
    }

    EXPECT_TRUE (sharedOf (focalTree (looks, 0, 3)).empty());
    EXPECT_TRUE (verticesOf (focalTree (looks, 0, 3)).empty());
}

TEST (LookExport, SharedAgreesWithTheCoverageWrittenBesideIt)
{
    // The second focal is moved off the slice after the last export: the
    // first focal must not list it as sharing on the strength of the old
    // coverage.
    auto model = oneSliceModel();
    const auto slice = test::onStage (*model, { 100, 100, 200, 100 });
    auto* look = model->addLook ({ 200, 100 });
    test::addFocal (*look, slice);
    auto& second = test::addFocal (*look, slice);
    model->writeLooksTree();

    second.getStageItem()->fitOutlineInto (slice.translated (5000, 0));
    auto looks = model->writeLooksTree();

    EXPECT_TRUE (sharedOf (focalTree (looks, 0, 0)).empty());
    EXPECT_TRUE (verticesOf (focalTree (looks, 0, 1)).empty());
}

TEST (LookExport, ZeroSizesAndDegenerateSlicesStayFiniteAndNumbered)
{
    // A composition of no size, a slice folded onto a line in "Duplicate"
    // mode, a slice of two points and one of a single point.
    auto degenerate = test::rectangleSlice (2, "line", { 100, 100, 200, 0 });
    auto twoPoints = test::rectangleSlice (3, "two", {});
    twoPoints.inputRect = test::pointList ({ { 10, 10 }, { 400, 300 } });
    auto onePoint = test::rectangleSlice (4, "one", {});
    onePoint.inputRect = test::pointList ({ { 50, 50 } });

    auto model = test::modelWith ({ 1920, 1080 },
        { test::screenOf (1, { test::rectangleSlice (1, "s", { 0, 0, 400, 300 }), degenerate, twoPoints, onePoint }) });
    const auto around = test::onStage (*model, { -10, -10, 420, 320 });
    model->compositionSize = {};

    for (int distribution : { 0, 1, 2 })
        for (auto* look : { model->addLook ({ 400, 300 }), model->addLook ({ 0, 0 }) })
            test::addFocal (*look, around, distribution, 0, 1);

    auto looks = model->writeLooksTree();
    auto check = test::checkLooksTree (looks, false);
    EXPECT_TRUE (check.problems.isEmpty()) << check.problems.joinIntoString ("\n");
    EXPECT_GT (check.vertexCount, 0);

    for (auto look : looks)
        for (auto focal : look.getChildWithName (ids::focals))
            for (auto& written : verticesOf (focal))
                if (written.uniqueId == 4)
                    EXPECT_TRUE (written.vertices.empty() && written.indices.empty());
}

TEST (LookExport, RandomPlacementsKeepTheNumberingRule)
{
    juce::Random random (20261210);
    int verticesWritten = 0;

    for (int round = 0; round < 12; ++round)
    {
        juce::Array<ScreenInfo> screens;
        juce::int64 nextId = 1;

        for (int s = 0; s < 2; ++s)
        {
            std::vector<SliceInfo> slices;
            for (int i = 0; i < 6; ++i)
            {
                auto area = juce::Rectangle<float> (random.nextFloat() * 1600, random.nextFloat() * 900,
                                                    10 + random.nextFloat() * 400, 10 + random.nextFloat() * 300);
                auto slice = test::rectangleSlice (nextId++, "slice " + juce::String (i), area);
                slice.inputOrientation = random.nextBool() ? random.nextFloat() * 3.0f : 0.0f;

                // Some slices with a mask (which may cross itself) or a
                // ring that repeats its first point.
                if (random.nextInt (3) == 0)
                {
                    const auto centre = area.getCentre();
                    const int n = 3 + random.nextInt (7);
                    for (int k = 0; k < n; ++k)
                    {
                        const auto angle = random.nextFloat() * juce::MathConstants<float>::twoPi;
                        const auto radius = 5 + random.nextFloat() * 150;
                        slice.mask.add (centre + juce::Point<float> (std::cos (angle), std::sin (angle)) * radius);
                    }
                    if (random.nextBool())
                        slice.mask.add (slice.mask.getFirst());
                }
                slices.push_back (slice);
            }
            screens.add (test::screenOf (s + 1, slices));
        }

        const juce::Point<int> sizes[] = { { 1920, 1080 }, { 1280, 720 }, { 0, 0 } };
        auto model = test::modelWith (sizes[random.nextInt (3)], screens);

        for (int l = 0; l < 3; ++l)
        {
            auto* look = model->addLook ({ random.nextInt (3) == 0 ? 0 : 1 + random.nextInt (2000), 1 + random.nextInt (2000) });
            for (int f = 0; f < 3; ++f)
            {
                auto area = test::onStage (*model, { random.nextFloat() * 1600 - 100, random.nextFloat() * 900 - 100,
                                                     50 + random.nextFloat() * 800, 50 + random.nextFloat() * 600 });
                auto& focal = test::addFocal (*look, area, random.nextInt (3), random.nextInt (5), random.nextInt (2));
                if (random.nextInt (4) == 0)
                    focal.setExcluded (1 + random.nextInt ((int) nextId), true);
            }
        }

        auto looks = model->writeLooksTree();
        auto check = test::checkLooksTree (looks, false);
        EXPECT_TRUE (check.problems.isEmpty()) << "round " << round << "\n" << check.problems.joinIntoString ("\n");
        verticesWritten += check.vertexCount;

        // One vertex per input point of the slice the element stands for.
        std::map<juce::int64, int> pointCounts;
        for (auto* screen : model->screens)
            for (auto* slice : screen->slices)
                pointCounts[slice->uniqueId] = slice->inputPoints.size();

        for (auto look : looks)
            for (auto focal : look.getChildWithName (ids::focals))
                for (auto& written : verticesOf (focal))
                    if (! written.vertices.empty())
                        EXPECT_EQ ((int) written.vertices.size(), pointCounts[written.uniqueId]);
    }

    // The placements do cover slices.
    EXPECT_GT (verticesWritten, 100);
}

TEST (LookExport, SlicesSharingAnIdEachSampleTheirOwnShape)
{
    // A document without ids gives every slice the id 0: each "vertices"
    // still takes its texture coordinates from its own slice's button.
    auto model = test::modelWith ({ 1920, 1080 },
        { test::screenOf (1, { test::rectangleSlice (0, "left", { 0, 0, 100, 100 }), test::rectangleSlice (0, "right", { 100, 0, 100, 100 }) }) });
    test::addFocal (*model->addLook ({ 200, 100 }), test::onStage (*model, { 0, 0, 200, 100 }));

    auto looks = model->writeLooksTree();
    expectClean (looks);

    auto written = verticesOf (focalTree (looks, 0, 0));
    ASSERT_EQ (written.size(), 2u);
    ASSERT_EQ (written[0].vertices.size(), 4u);
    ASSERT_EQ (written[1].vertices.size(), 4u);
    EXPECT_NEAR (written[0].vertices[0].u, 0.0, 1e-6);
    EXPECT_NEAR (written[0].vertices[1].u, 0.5, 1e-6);
    EXPECT_NEAR (written[1].vertices[0].u, 0.5, 1e-6);
    EXPECT_NEAR (written[1].vertices[1].u, 1.0, 1e-6);
}
