#include "stage/TransformerManager.h"

#include "stage/StageItem.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvadine;

namespace
{
using P = juce::Point<float>;
using juce::AffineTransform;

constexpr float halfPi = 1.5707964f;
constexpr float fifteenDegrees = 0.2617994f;

// A transformable item that can be picked, as slice items can.
struct Item final : StageItem
{
    // The rectangle r as it shows on the stage, turned by angle about its centre.
    explicit Item (juce::Rectangle<float> r, float angle = 0.0f)
    {
        const auto turn = AffineTransform::rotation (angle, r.getCentreX(), r.getCentreY());
        setOutline ({ r.getTopLeft().transformedBy (turn), r.getTopRight().transformedBy (turn),
                      r.getBottomRight().transformedBy (turn), r.getBottomLeft().transformedBy (turn) },
                    angle);
        hidden = false;
    }

    bool isSelectable() override { return true; }
    bool canTransform() override { return true; }

    P placed (P local) const { return local.transformedBy (getTransform()); }
    P centre() const { return placed (outline.getBounds().getCentre()); }
    // The direction of the item's own x axis on the stage.
    float axisAngle() const
    {
        const auto d = placed ({ 1.0f, 0.0f }) - placed ({ 0.0f, 0.0f });
        return std::atan2 (d.y, d.x);
    }
};

P placedOn (const juce::Component& c, P local)
{
    return local.transformedBy (c.getTransform());
}

void expectNear (P actual, P expected, float tolerance = 0.01f)
{
    EXPECT_NEAR (actual.x, expected.x, tolerance);
    EXPECT_NEAR (actual.y, expected.y, tolerance);
}

// Two items on a stand-in stage with the centre anchor first in the list.
struct TwoItems : testing::Test
{
    TwoItems()
    {
        stage.setSize (100000, 10000);
        stage.addAndMakeVisible (manager.widget);
        manager.widget.setBounds (stage.getLocalBounds());
        anchor.hidden = false;
        stage.addAndMakeVisible (anchor);
        anchor.setBounds (50000, 5000, 0, 0);

        for (auto* item : { &a, &b })
        {
            stage.addAndMakeVisible (*item);
            items.add (item);
        }

        manager.onSelectionTransformed = [this] { ++transformed; };
        manager.onTransformCommitted = [this] { ++committed; };
    }

    ~TwoItems() override { juce::ModifierKeys::currentModifiers = {}; }

    static void hold (int flags) { juce::ModifierKeys::currentModifiers = juce::ModifierKeys (flags); }

    juce::Component stage;
    StageItem anchor;
    Item a { { 1000.0f, 1000.0f, 200.0f, 100.0f } };
    Item b { { 10000.0f, 9000.0f, 100.0f, 100.0f } };
    juce::Array<StageItem*> items { &anchor };
    TransformerManager manager { items };
    int transformed = 0, committed = 0;
};

TEST_F (TwoItems, SelectionFollowsClicksAndTheFrameFollowsTheSelection)
{
    manager.selectItem (&a, false);
    EXPECT_EQ (manager.selection, juce::Array<StageItem*> { &a });
    EXPECT_TRUE (a.selected);
    EXPECT_EQ (manager.getTransform(), a.getTransform());
    EXPECT_EQ (manager.getBounds(), juce::Rectangle<int> (0, 0, 200, 100));
    EXPECT_TRUE (manager.widget.isVisible());
    EXPECT_TRUE (manager.widget.showHandles);

    // Clicking a selected item again changes nothing, not even the frame.
    a.setTransform (a.getTransform().translated (5.0f, 0.0f));
    manager.selectItem (&a, false);
    EXPECT_NE (manager.getTransform(), a.getTransform());
    a.setTransform (a.committedTransform);

    // With Shift the frame becomes the box around both, in stage axes.
    manager.selectItem (&b, true);
    EXPECT_EQ (manager.selection, (juce::Array<StageItem*> { &a, &b }));
    EXPECT_TRUE (manager.getTransform().isIdentity());
    EXPECT_EQ (manager.getBounds(), juce::Rectangle<int> (1000, 1000, 9100, 8100));
    EXPECT_EQ (manager.snapTargets.items, juce::Array<TransformableComponent*> { &anchor });

    manager.selectItem (&a, true);
    EXPECT_FALSE (a.selected);
    EXPECT_EQ (manager.selection, juce::Array<StageItem*> { &b });

    // Removing the last selected item hides the gizmo.
    manager.selectItem (&b, true);
    EXPECT_TRUE (manager.selection.isEmpty());
    EXPECT_FALSE (manager.widget.isVisible());
}

TEST_F (TwoItems, OneRotatedScaledItemMovesInItsOwnAxesAndSnapsInThem)
{
    // Turned a quarter turn and doubled: its x runs down the stage, its y to the left.
    Item turned { { 48900.0f, 1950.0f, 200.0f, 100.0f }, halfPi };
    stage.addAndMakeVisible (turned);
    items.add (&turned);
    const auto c = turned.centre();
    turned.setPlacement (turned.getTransform().followedBy (AffineTransform::scale (2.0f, 2.0f, c.x, c.y)));
    expectNear (turned.centre(), { 49000.0f, 2000.0f });

    manager.selectItem (&turned, false);
    manager.widget.activeHandle = 4;

    hold (juce::ModifierKeys::ctrlModifier);
    manager.widget.onMove ({ 20, 0 });
    expectNear (turned.centre(), { 49000.0f, 2040.0f });

    // 495 units up its own y are 990 to the right: 10 short of the centre line.
    manager.widget.onMove ({ 0, -495 });
    expectNear (turned.centre(), { 49990.0f, 2000.0f });
    EXPECT_TRUE (manager.xGuides.isEmpty());
    EXPECT_FALSE (manager.widget.showGuides);

    hold (0);
    manager.widget.onMove ({ 0, -495 });
    expectNear (turned.centre(), { 50000.0f, 2000.0f });
    EXPECT_EQ (manager.xGuides, juce::Array<float> { 50000.0f });
    EXPECT_TRUE (manager.widget.showGuides);
    expectNear (placedOn (manager, manager.getBounds().toFloat().getCentre()), turned.centre());
    EXPECT_EQ (transformed, 3);

    // The end of the drag commits and the guides go.
    manager.widget.onTransformEnd();
    EXPECT_EQ (turned.committedTransform, turned.getTransform());
    EXPECT_TRUE (manager.xGuides.isEmpty());
    EXPECT_FALSE (manager.widget.showGuides);
    EXPECT_EQ (committed, 1);
}

TEST_F (TwoItems, AGroupRotationAddsTheTurnToEveryItem)
{
    Item left { { 2000.0f, 2000.0f, 200.0f, 100.0f }, 0.2f };
    Item right { { 3000.0f, 2000.0f, 100.0f, 300.0f }, -0.5f };
    stage.addAndMakeVisible (left);
    stage.addAndMakeVisible (right);
    items.add (&left);
    items.add (&right);

    manager.selectItem (&left, false);
    manager.selectItem (&right, true);
    manager.widget.onRotate (0.5235988f);
    manager.widget.onTransformEnd();

    EXPECT_NEAR (left.rotation, 0.7235988f, 1.0e-5f);
    EXPECT_NEAR (right.rotation, 0.0235988f, 1.0e-5f);
    EXPECT_NEAR (left.axisAngle(), left.rotation, 1.0e-4f);
    EXPECT_NEAR (right.axisAngle(), right.rotation, 1.0e-4f);
    EXPECT_EQ (left.pendingRotation, 0.0f);

    // The group's frame is axis-aligned again.
    EXPECT_TRUE (manager.getTransform().isIdentity());
    EXPECT_EQ (manager.rotation, 0.0f);
}

TEST_F (TwoItems, ShiftRotationEndsOnAMultipleOfFifteenDegreesAboutTheCentre)
{
    Item turned { { 5000.0f, 3000.0f, 200.0f, 100.0f }, 0.3f };
    stage.addAndMakeVisible (turned);
    items.add (&turned);
    const auto centre = turned.centre();

    manager.selectItem (&turned, false);
    hold (juce::ModifierKeys::shiftModifier);
    manager.widget.onRotate (0.9f);
    manager.widget.onTransformEnd();

    EXPECT_NEAR (turned.rotation, 3.0f * fifteenDegrees, 1.0e-5f);
    EXPECT_NEAR (turned.axisAngle(), 3.0f * fifteenDegrees, 1.0e-4f);
    expectNear (turned.centre(), centre, 1.0f);
    EXPECT_NEAR (manager.rotation, turned.rotation, 1.0e-5f);
}

TEST_F (TwoItems, ScaleStepsKeepTheirPivotAndRefuseAHandleDraggedAcrossIt)
{
    manager.selectItem (&a, false);
    hold (juce::ModifierKeys::ctrlModifier);

    // Bottom-right handle 100 to the right: about the top-left corner.
    manager.widget.onScale (8, -halfPi, 100);
    expectNear (a.placed ({ 0, 0 }), { 1000, 1000 });
    expectNear (a.placed ({ 200, 100 }), { 1300, 1100 });

    // Dragged 300 to the left, across the opposite corner: refused, the
    // last valid size stays; so does a step that is not a number.
    manager.widget.onScale (8, halfPi, 300);
    manager.widget.onScale (8, std::nanf (""), 10);
    expectNear (a.placed ({ 200, 100 }), { 1300, 1100 });
    expectNear (placedOn (manager, { 200, 100 }), { 1300, 1100 });
    EXPECT_EQ (transformed, 1);

    // With Alt about the centre, and refused across the centre.
    hold (juce::ModifierKeys::ctrlModifier | juce::ModifierKeys::altModifier);
    manager.widget.onScale (8, -halfPi, 100);
    expectNear (a.placed ({ 0, 0 }), { 900, 1000 });
    expectNear (a.placed ({ 200, 100 }), { 1300, 1100 });
    manager.widget.onScale (8, halfPi, 150);
    expectNear (a.placed ({ 0, 0 }), { 900, 1000 });

    // With Shift a side handle scales uniformly.
    hold (juce::ModifierKeys::ctrlModifier | juce::ModifierKeys::shiftModifier);
    manager.widget.onScale (5, -halfPi, 100);
    expectNear (a.placed ({ 0, 0 }), { 1000, 975 });
    expectNear (a.placed ({ 200, 100 }), { 1300, 1125 });

    manager.widget.onTransformEnd();
    EXPECT_EQ (a.committedTransform, a.getTransform());
    EXPECT_EQ (manager.committedTransform, a.getTransform());
}

TEST_F (TwoItems, AScaledHandleSnapsUnlessControlIsHeld)
{
    manager.selectItem (&a, false);
    manager.widget.activeHandle = 8;

    // The bottom-right corner dragged from 1200 to 49990: 10 short of the centre line.
    hold (juce::ModifierKeys::ctrlModifier);
    manager.widget.onScale (8, -halfPi, 48790);
    EXPECT_NEAR (a.placed ({ 200, 100 }).x, 49990.0f, 0.05f);

    hold (0);
    manager.widget.onScale (8, -halfPi, 48790);
    EXPECT_NEAR (a.placed ({ 200, 100 }).x, 50000.0f, 0.05f);
    EXPECT_EQ (manager.xGuides, juce::Array<float> { 50000.0f });
}

TEST_F (TwoItems, EveryNudgeMovesInStageAxesAndIsCommittedAtOnce)
{
    Item turned { { 5000.0f, 3000.0f, 200.0f, 100.0f }, 0.5f };
    stage.addAndMakeVisible (turned);
    items.add (&turned);
    manager.selectItem (&turned, false);
    const auto start = turned.centre();

    EXPECT_TRUE (manager.widget.keyPressed (juce::KeyPress (juce::KeyPress::rightKey)));
    expectNear (turned.centre(), start + P (1.0f, 0.0f));
    EXPECT_EQ (turned.committedTransform, turned.getTransform());

    EXPECT_TRUE (manager.widget.keyPressed (juce::KeyPress (juce::KeyPress::downKey, juce::ModifierKeys::shiftModifier, 0)));
    expectNear (turned.centre(), start + P (1.0f, 10.0f));
    EXPECT_EQ (turned.committedTransform, turned.getTransform());
    EXPECT_EQ (manager.committedTransform, turned.getTransform());
    EXPECT_EQ (committed, 2);
    EXPECT_EQ (transformed, 2);

    // A group nudges the same way; nudges never snap.
    manager.selectItem (&a, false);
    manager.selectItem (&b, true);
    manager.widget.activeHandle = 0;
    manager.widget.onNudge ({ -10, 0 });
    expectNear (a.placed ({ 0, 0 }), { 990, 1000 });
    expectNear (b.placed ({ 0, 0 }), { 9990, 9000 });
    EXPECT_EQ (manager.getBounds(), juce::Rectangle<int> (990, 1000, 9100, 8100));
    EXPECT_TRUE (manager.xGuides.isEmpty());
}

TEST_F (TwoItems, ACommitDropsItemsThatWereHiddenAndRefitsToTheRest)
{
    manager.selectItem (&a, false);
    manager.selectItem (&b, true);
    b.setVisible (false);
    manager.commitTransform();

    EXPECT_EQ (manager.selection, juce::Array<StageItem*> { &a });
    EXPECT_FALSE (b.selected);
    EXPECT_EQ (manager.getTransform(), a.getTransform());
    EXPECT_EQ (manager.getBounds(), juce::Rectangle<int> (0, 0, 200, 100));
}

TEST_F (TwoItems, AForgottenItemLeavesTheSelectionAndTheTargets)
{
    manager.selectItem (&a, false);
    manager.selectItem (&b, true);
    manager.forgetItem (&b);
    EXPECT_EQ (manager.selection, juce::Array<StageItem*> { &a });
    EXPECT_EQ (manager.getTransform(), a.getTransform());

    // An unselected one leaves the targets before they are next rebuilt.
    manager.selectItem (&a, false);
    EXPECT_TRUE (manager.snapTargets.items.contains (&b));
    manager.forgetItem (&b);
    EXPECT_FALSE (manager.snapTargets.items.contains (&b));
}
// A rotated item scaled by a handle grows in its own axes about the
// opposite handle (or its centre with Alt): handle and pivot are turned back
// by the item's rotation before the factors are taken, so a sign error there
// would shear or shift every turned slice a user resizes.
TEST_F (TwoItems, ARotatedItemScalesInItsOwnAxesAboutTheOppositeHandle)
{
    for (const float theta : { 0.5235988f, -1.2f, 2.5f })
    {
        SCOPED_TRACE (theta);
        Item turned { { 20000.0f, 5000.0f, 200.0f, 100.0f }, theta };
        stage.addAndMakeVisible (turned);
        items.add (&turned);
        manager.selectItem (&turned, false);

        const auto topLeft = turned.placed ({ 0, 0 });
        const auto centre = turned.centre();
        const P alongX (std::cos (theta), std::sin (theta)), alongY (-std::sin (theta), std::cos (theta));

        // The bottom-right handle dragged 100 along the item's own x axis:
        // the drag's angle is measured from straight down on the stage.
        hold (juce::ModifierKeys::ctrlModifier);
        manager.widget.onScale (8, theta - halfPi, 100);
        expectNear (turned.placed ({ 0, 0 }), topLeft, 0.05f);
        expectNear (turned.placed ({ 200, 100 }), topLeft + alongX * 300.0f + alongY * 100.0f, 0.05f);
        EXPECT_NEAR (turned.axisAngle(), std::remainder (theta, 2.0f * juce::MathConstants<float>::pi), 1.0e-3f);

        // The right side handle with Alt: about the centre, 50 each way.
        hold (juce::ModifierKeys::ctrlModifier | juce::ModifierKeys::altModifier);
        manager.widget.onScale (5, theta - halfPi, 50);
        expectNear (turned.centre(), centre, 0.05f);
        expectNear (turned.placed ({ 200, 50 }), centre + alongX * 150.0f, 0.05f);
        expectNear (turned.placed ({ 100, 100 }), centre + alongY * 50.0f, 0.05f);

        // Dragged the other way past the centre: refused, nothing moves.
        manager.widget.onScale (5, theta + halfPi, 150);
        expectNear (turned.placed ({ 200, 50 }), centre + alongX * 150.0f, 0.05f);

        manager.widget.onTransformEnd();
        EXPECT_NEAR (turned.rotation, theta, 1.0e-5f);
        expectNear (placedOn (manager, { 200, 100 }), turned.placed ({ 200, 100 }), 0.05f);

        manager.clearSelection();
        items.removeAllInstancesOf (&turned);
        stage.removeChildComponent (&turned);
        hold (0);
    }
}

// A group scales in stage axes about the opposite corner of its frame, or
// about the frame's centre with Alt: every item keeps its place relative to
// the pivot, times the factor.
TEST_F (TwoItems, AGroupScalesAboutItsPivot)
{
    manager.selectItem (&a, false);
    manager.selectItem (&b, true);
    ASSERT_EQ (manager.getBounds(), juce::Rectangle<int> (1000, 1000, 9100, 8100));
    hold (juce::ModifierKeys::ctrlModifier);

    // The bottom-right corner 910 to the right: 1.1 wide about (1000, 1000).
    manager.widget.onScale (8, -halfPi, 910);
    expectNear (a.placed ({ 0, 0 }), { 1000, 1000 });
    expectNear (a.placed ({ 200, 100 }), { 1220, 1100 });
    expectNear (b.placed ({ 0, 0 }), { 10900, 9000 });
    expectNear (b.placed ({ 100, 100 }), { 11010, 9100 });

    // The top handle 810 up with Alt: 1.2 high about the centre (5550, 5050).
    hold (juce::ModifierKeys::ctrlModifier | juce::ModifierKeys::altModifier);
    manager.widget.onScale (1, juce::MathConstants<float>::pi, 810);
    expectNear (a.placed ({ 0, 0 }), { 1000, 5050.0f - 4050.0f * 1.2f }, 0.05f);
    expectNear (b.placed ({ 100, 100 }), { 10100, 5050.0f + 4050.0f * 1.2f }, 0.05f);

    manager.widget.onTransformEnd();
    EXPECT_TRUE (manager.getTransform().isIdentity());
    EXPECT_EQ (manager.getBounds(), juce::Rectangle<int> (1000, 190, 9100, 9720));
}

} // namespace
