#include "stage/SnapTargets.h"

#include "stage/StageItem.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace corvadine;

namespace
{
using P = juce::Point<float>;

const P stageCentre { 50000.0f, 5000.0f };

struct SnapCase
{
    std::string name;
    std::vector<P> points;
    std::vector<P> itemCentres;
    juce::Point<int> centre;
    P p;
    P expectedOffset;
    std::vector<float> expectedXGuides;
    std::vector<float> expectedYGuides;
};

std::vector<float> toVector (const juce::Array<float>& a)
{
    return { a.begin(), a.end() };
}

juce::Array<juce::Point<float>> rectangle (float w, float h)
{
    return { P { 0, 0 }, P { w, 0 }, P { w, h }, P { 0, h } };
}

TEST (SnapTargets, SnapsByAlignmentEvenSpacingAndSymmetryWithTheirTieAndLimitRules)
{
    const juce::Point<int> c { 50000, 5000 };

    const std::vector<SnapCase> cases {
        { "24.0 from the stage centre snaps", { stageCentre }, { stageCentre }, c,
          { 50024.0f, 300.0f }, { 24.0f, 0.0f }, { 50000.0f }, {} },
        { "24.01 from the stage centre does not", { stageCentre }, { stageCentre }, c,
          { 50024.01f, 300.0f }, { 0.0f, 0.0f }, {}, {} },
        { "horizontal guide at the stage centre", { stageCentre }, { stageCentre }, c,
          { 10.0f, 4976.0f }, { 0.0f, -24.0f }, {}, { 5000.0f } },
        { "the later of two equally near points wins on x", { { 100, 0 }, { 148, 0 } }, {}, {},
          { 124.0f, 7000.0f }, { -24.0f, 0.0f }, { 148.0f }, {} },
        { "the later of two equally near points wins on y", { { 0, 1000 }, { 0, 1020 } }, {}, {},
          { 7000.0f, 1010.0f }, { 0.0f, -10.0f }, {}, { 1020.0f } },
        { "exactly aligned gives no guide, and even spacing may still move it",
          { stageCentre, { 100, 0 }, { 99910, 0 } }, { stageCentre }, c,
          { 100.0f, 7777.0f }, { 10.0f, 0.0f }, { 99910.0f, 50000.0f }, {} },
        { "even spacing about the nearest centre", { stageCentre, { 1500, 9000 } },
          { stageCentre, { 1000, 300 } }, c,
          { 510.0f, 7000.0f }, { 10.0f, 0.0f }, { 1500.0f, 1000.0f }, {} },
        { "mirror about the vertical centre line", { stageCentre, { 40000, 9000 } },
          { stageCentre, { 61000, 7000 } }, c,
          { 60010.0f, 7000.0f }, { 10.0f, 0.0f }, { 40000.0f }, {} },
        { "no mirror in y", { stageCentre, { 12345, 4000 } }, { stageCentre, { 33000, 6000 } }, c,
          { 33333.0f, 6010.0f }, { 0.0f, 0.0f }, {}, {} },
        { "no mirror once alignment found an x guide", { stageCentre, { 40000, 9000 }, { 60020, 9000 } },
          { stageCentre, { 61000, 7000 } }, c,
          { 60010.0f, 7000.0f }, { -10.0f, 0.0f }, { 60020.0f }, {} },
        { "an earlier centre at 10.7 stays against a later one at 10.3", { stageCentre, { 20030, 9999 } },
          { stageCentre, { 20010.7f, 2000 }, { 19989.7f, 2000 } }, c,
          { 20000.0f, 2000.0f }, { 8.6f, 0.0f }, { 20030.0f, 20010.7f }, {} },
        { "a later centre at 9.9 takes over", { stageCentre, { 20030, 9999 } },
          { stageCentre, { 20010.7f, 2000 }, { 19989.7f, 2000 }, { 20009.9f, 2000 } }, c,
          { 20000.0f, 2000.0f }, { 10.2f, 0.0f }, { 20030.0f, 20009.9f }, {} },
        { "beyond every centre's limit even spacing mirrors about the origin", { stageCentre, { 60010, 9999 } },
          { stageCentre }, c,
          { -60000.0f, 0.0f }, { 10.0f, 0.0f }, { 60010.0f, 0.0f }, {} },
        { "no targets, no snap", {}, {}, {}, { 50000.0f, 5000.0f }, { 0.0f, 0.0f }, {}, {} },
    };

    for (const auto& k : cases)
    {
        SCOPED_TRACE (k.name);
        SnapTargets targets;
        targets.points.addArray (k.points.data(), (int) k.points.size());
        targets.itemCentres.addArray (k.itemCentres.data(), (int) k.itemCentres.size());
        targets.centre = k.centre;

        juce::Array<float> xGuides { 1.0f, 2.0f }, yGuides { 3.0f };
        const auto o = targets.snap (k.p, xGuides, yGuides);

        EXPECT_NEAR (o.x, k.expectedOffset.x, 0.01f);
        EXPECT_NEAR (o.y, k.expectedOffset.y, 0.01f);
        EXPECT_EQ (toVector (xGuides), k.expectedXGuides);
        EXPECT_EQ (toVector (yGuides), k.expectedYGuides);
    }
}

struct Item final : StageItem
{
    Item (float x, float y, float w, float h)
    {
        setOutline (rectangle (w, h), 0.0f);
        setPlacement (juce::AffineTransform::translation (x, y));
        hidden = false;
    }
};

TEST (SnapTargets, RebuildTakesTheAnchorCentreThenVerticesAndCentresOfTheOtherTargets)
{
    StageItem anchor;
    anchor.setBounds (50000, 5000, 0, 0);
    anchor.hidden = false;

    Item plain (1000, 2000, 100, 50);
    Item locked (3000, 4000, 20, 10);
    locked.locked = true;
    Item hidden (7000, 7000, 10, 10);
    hidden.hidden = true;
    Item selected (8000, 8000, 10, 10);

    SnapTargets targets;
    targets.rebuild ({ &anchor, &plain, &hidden, &selected, &locked }, { &selected });

    EXPECT_EQ (targets.items, (juce::Array<TransformableComponent*> { &anchor, &plain, &locked }));
    EXPECT_EQ (targets.centre, juce::Point<int> (50000, 5000));

    const juce::Array<P> expected { stageCentre,
                                    { 1000, 2000 }, { 1100, 2000 }, { 1100, 2050 }, { 1000, 2050 }, { 1050, 2025 },
                                    { 3000, 4000 }, { 3020, 4000 }, { 3020, 4010 }, { 3000, 4010 }, { 3010, 4005 } };
    EXPECT_EQ (targets.points, expected);
    EXPECT_EQ (targets.itemCentres, (juce::Array<P> { stageCentre, { 1050, 2025 }, { 3010, 4005 } }));

    // A hidden or selected item under the point gives nothing to snap to.
    juce::Array<float> xGuides, yGuides;
    EXPECT_EQ (targets.snap ({ 7005.0f + 3.0f, 7005.0f + 3.0f }, xGuides, yGuides), P());

    // Once nothing is left, nothing stale is either.
    targets.rebuild ({ &hidden }, {});
    EXPECT_TRUE (targets.points.isEmpty());
    EXPECT_EQ (targets.snap ({ 50001.0f, 5001.0f }, xGuides, yGuides), P());
}
} // namespace
