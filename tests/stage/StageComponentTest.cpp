#include "stage/StageComponent.h"

#include "stage/FocalStageItem.h"
#include "stage/ImageStageItem.h"
#include "stage/SliceStageItem.h"
#include "support/TestSupport.h"
#include "widgets/SvgButton.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace corvadine;
using corvadine::test::mouseDragEventAt;
using corvadine::test::mouseEventAt;

namespace
{
using P = juce::Point<float>;

juce::Array<P> corners (juce::Rectangle<float> r)
{
    return { r.getTopLeft(), r.getTopRight(), r.getBottomRight(), r.getBottomLeft() };
}

template <typename ItemType = SliceStageItem>
std::unique_ptr<ItemType> makeItem (juce::Rectangle<float> r, const juce::String& name = {})
{
    auto item = std::make_unique<ItemType>();
    item->setOutline (corners (r), 0.0f);
    item->setName (name);
    item->hidden = false;
    return item;
}

juce::Rectangle<float> placedBounds (const TransformableComponent& item)
{
    auto placed = item.outline;
    placed.applyTransform (item.getTransform());
    return placed.getBounds();
}

struct Stage : testing::Test
{
    ~Stage() override { juce::ModifierKeys::currentModifiers = {}; }

    template <typename ItemType = SliceStageItem>
    ItemType& add (juce::Rectangle<float> r, const juce::String& name = {})
    {
        auto item = makeItem<ItemType> (r, name);
        auto& ref = *item;
        owned.push_back (std::move (item));
        stage.addSlice (&ref);
        return ref;
    }

    juce::Array<StageItem*>& selection() { return stage.transformerManager->selection; }

    // A press on the empty stage, dragged to a second point and released.
    void band (P press, P release)
    {
        stage.mouseDown (mouseEventAt (stage, press));
        stage.mouseDrag (mouseDragEventAt (stage, press, release));
    }

    // Items are deleted before the stage unless a test says otherwise.
    std::unique_ptr<StageComponent> stagePtr = std::make_unique<StageComponent>();
    StageComponent& stage = *stagePtr;
    std::vector<std::unique_ptr<StageItem>> owned;

    void TearDown() override { owned.clear(); }
};

TEST_F (Stage, StartsAndClearsToTheCentreAnchorAlone)
{
    const auto check = [this]
    {
        EXPECT_EQ (stage.items, juce::Array<StageItem*> { &stage.centreAnchor });
        EXPECT_EQ (stage.centreAnchor.getBounds(), juce::Rectangle<int> (50000, 5000, 0, 0));
        EXPECT_TRUE (selection().isEmpty());
        EXPECT_EQ (stage.backgroundItem, nullptr);
    };

    EXPECT_EQ (stage.getBounds(), juce::Rectangle<int> (0, 0, 100000, 10000));
    EXPECT_EQ (stage.transformerManager->widget.getBounds(), stage.getLocalBounds());
    check();

    auto& item = add ({ 1000, 1000, 100, 100 });
    auto& guide = add<ImageStageItem> ({ 0, 0, 500, 500 });
    stage.backgroundItem = &guide;
    stage.transformerManager->selectItem (&item, false);
    stage.clearStage();
    check();
    EXPECT_FALSE (item.selected);
}

TEST_F (Stage, RestackPutsTheGuideBehindLockedItemsBehindUnlockedOnesLargestFirst)
{
    auto& l1 = add ({ 100, 100, 5, 2 }, "L1");
    auto& u1 = add ({ 200, 100, 5, 1 }, "U1");
    auto& u2 = add ({ 300, 100, 10, 5 }, "U2");
    auto& l2 = add ({ 400, 100, 10, 10 }, "L2");
    auto& guide = add<ImageStageItem> ({ 0, 0, 1000, 1000 });
    stage.backgroundItem = &guide;
    l1.locked = l2.locked = true;
    stage.transformerManager->selectItem (&u1, false);

    stage.restack();

    const juce::Array<juce::Component*> expected { &guide, &l2, &l1, &u2, &stage.centreAnchor, &stage.lasso,
                                                   &u1, &stage.transformerManager->widget };
    EXPECT_EQ (stage.getChildren(), expected);
}

// The restack moves only what is out of place; its order must be the one
// that sending every item to the back in turn and the selection to the
// front leaves, whatever order the children start in.
TEST_F (Stage, RestackGivesTheOrderOfSendingEachItemToTheBackInTurn)
{
    const auto stepByStep = [this]
    {
        std::vector<StageItem*> unlocked, locked;

        for (auto* item : stage.items)
            (item->locked ? locked : unlocked).push_back (item);

        for (auto* group : { &unlocked, &locked })
        {
            const auto area = [] (StageItem* item)
            {
                const auto b = item->getTransformedOutline().getBounds();
                return b.getWidth() * b.getHeight();
            };
            std::stable_sort (group->begin(), group->end(), [&] (StageItem* x, StageItem* y) { return area (x) < area (y); });

            for (auto* item : *group)
                item->toBack();
        }

        if (stage.backgroundItem != nullptr)
            stage.backgroundItem->toBack();

        for (auto* item : stage.transformerManager->selection)
            item->toFront (false);

        stage.transformerManager->widget.toFront (false);
    };

    juce::Random random (77);

    for (int run = 0; run < 60; ++run)
    {
        owned.clear();
        stage.clearStage();
        const auto count = random.nextInt (40);

        for (int i = 0; i < count; ++i)
        {
            // Few sizes, so that equal areas are common.
            const auto side = (float) (10 * (1 + random.nextInt (4)));
            auto& item = add ({ (float) random.nextInt (5000), (float) random.nextInt (5000), side, side * (1 + random.nextInt (2)) });
            item.locked = random.nextInt (3) == 0;

            if (random.nextInt (5) == 0)
                stage.transformerManager->selectItem (&item, true);
        }

        if (count > 0 && random.nextBool())
            stage.backgroundItem = stage.items[1 + random.nextInt (count)];

        // The children shuffled, then both ways run from the same start.
        for (int i = 0; i < stage.getNumChildComponents(); ++i)
            stage.getChildComponent (random.nextInt (stage.getNumChildComponents()))->toBack();

        const auto start = stage.getChildren();
        stepByStep();
        const auto expected = stage.getChildren();

        for (int i = start.size(); --i >= 0;)
            start[i]->toBack();

        ASSERT_EQ (stage.getChildren(), start) << run;
        stage.restack();
        EXPECT_EQ (stage.getChildren(), expected) << "run " << run;

        // Restacking what is stacked moves nothing.
        stage.restack();
        EXPECT_EQ (stage.getChildren(), expected) << "run " << run;
    }
}

TEST_F (Stage, TheBandSelectsWhatItCrossesOrEnclosesButNeverFocalsHiddenItemsOrTheAnchor)
{
    auto& small = add ({ 20000, 2000, 100, 100 }, "small");
    add ({ 30000, 1000, 4000, 4000 }, "big");
    auto& locked = add ({ 40000, 2000, 100, 100 }, "locked");
    locked.locked = true;
    add<FocalStageItem> ({ 22000, 2000, 100, 100 }, "focal");
    auto hiddenItem = makeItem ({ 24000, 2000, 100, 100 }, "hidden");
    hiddenItem->hidden = true;
    stage.addSlice (hiddenItem.get());
    EXPECT_FALSE (hiddenItem->isVisible());

    struct Case
    {
        std::string name;
        P press, release;
        juce::Array<StageItem*> expected;
    };

    const std::vector<Case> cases {
        { "touching an edge of the outline", { 19900, 1900 }, { 20000, 2050 }, { &small } },
        { "enclosing an item", { 19950, 1950 }, { 20150, 2150 }, { &small } },
        { "dragged up and to the left", { 20150, 2150 }, { 19950, 1950 }, { &small } },
        { "inside a large item", { 31000, 2000 }, { 32000, 3000 }, {} },
        { "over a focal and a hidden item", { 21900, 1900 }, { 24200, 2200 }, {} },
        { "over the centre anchor", { 49900, 4900 }, { 50100, 5100 }, {} },
        { "over a locked slice", { 39950, 1950 }, { 40150, 2150 }, { &locked } },
    };

    for (const auto& k : cases)
    {
        SCOPED_TRACE (k.name);
        band (k.press, k.release);
        EXPECT_EQ (selection(), k.expected);
        EXPECT_TRUE (stage.lasso.isVisible());
        EXPECT_EQ (stage.lasso.getBounds(), juce::Rectangle<int> (k.press.toInt(), k.release.toInt()));

        for (auto* item : k.expected)
            EXPECT_TRUE (item->selected);

        stage.mouseUp (mouseDragEventAt (stage, k.press, k.release));
        EXPECT_FALSE (stage.lasso.isVisible());
    }

    // A press without a drag clears the selection all the same.
    stage.transformerManager->selectItem (&small, false);
    stage.mouseDown (mouseEventAt (stage, { 10, 10 }));
    stage.mouseUp (mouseEventAt (stage, { 10, 10 }));
    EXPECT_TRUE (selection().isEmpty());
    EXPECT_FALSE (small.selected);

    // A press on a locked guide image starts the band as on the empty stage.
    auto& guide = add<ImageStageItem> ({ 19000, 1000, 3000, 3000 });
    guide.locked = true;
    stage.backgroundItem = &guide;
    stage.transformerManager->selectItem (&small, false);
    guide.mouseDown (mouseEventAt (guide, { 900, 900 }));
    EXPECT_TRUE (selection().isEmpty());
    EXPECT_TRUE (stage.lasso.isVisible());
    guide.mouseDrag (mouseDragEventAt (guide, { 900, 900 }, { 1150, 1150 }));
    EXPECT_EQ (stage.lasso.getBounds(), juce::Rectangle<int> (19900, 1900, 250, 250));
    EXPECT_EQ (selection(), juce::Array<StageItem*> { &small });
    guide.mouseUp (mouseDragEventAt (guide, { 900, 900 }, { 1150, 1150 }));
    EXPECT_FALSE (stage.lasso.isVisible());

    stage.removeSlice (hiddenItem.get());
}

TEST_F (Stage, PressesOnItemsSelectAndDragTheSelectionAndReportIt)
{
    auto& a = add ({ 20000, 2000, 100, 100 }, "a");
    auto& b = add ({ 21000, 2000, 100, 100 }, "b");
    juce::Array<StageItem*> clicked, lastTransformed;
    int transformedCalls = 0, changes = 0;
    stage.onItemClicked = [&] (StageItem* item) { clicked.add (item); };
    stage.onItemsTransformed = [&] (juce::Array<StageItem*> s) { lastTransformed = s; ++transformedCalls; };
    stage.onStageChanged = [&] { ++changes; };
    juce::ModifierKeys::currentModifiers = juce::ModifierKeys::ctrlModifier;

    a.mouseDown (mouseEventAt (a, { 50, 50 }));
    b.mouseDown (mouseEventAt (b, { 50, 50 }, juce::ModifierKeys::shiftModifier));
    EXPECT_EQ (selection(), (juce::Array<StageItem*> { &a, &b }));
    EXPECT_EQ (clicked, (juce::Array<StageItem*> { &a, &b }));

    // A press without Shift on a selected item keeps the whole selection,
    // and the drag moves all of it.
    a.mouseDown (mouseEventAt (a, { 50, 50 }));
    a.mouseDrag (mouseDragEventAt (a, { 50, 50 }, { 150, 80 }));
    EXPECT_EQ (placedBounds (a).getTopLeft(), P (20100, 2030));
    EXPECT_EQ (placedBounds (b).getTopLeft(), P (21100, 2030));
    EXPECT_EQ (lastTransformed, (juce::Array<StageItem*> { &a, &b }));
    EXPECT_EQ (changes, 0);
    a.mouseUp (mouseDragEventAt (a, { 50, 50 }, { 150, 80 }));
    EXPECT_EQ (changes, 1);
    EXPECT_EQ (a.committedTransform, a.getTransform());

    // Shift-pressing a selected item takes it out; the drag then moves the rest.
    a.mouseDown (mouseEventAt (a, { 50, 50 }, juce::ModifierKeys::shiftModifier));
    EXPECT_EQ (selection(), juce::Array<StageItem*> { &b });
    a.mouseDrag (mouseDragEventAt (a, { 50, 50 }, { 60, 50 }));
    a.mouseUp (mouseDragEventAt (a, { 50, 50 }, { 60, 50 }));
    EXPECT_EQ (placedBounds (a).getTopLeft(), P (20100, 2030));
    EXPECT_EQ (placedBounds (b).getTopLeft(), P (21110, 2030));
    EXPECT_EQ (changes, 2);

    // Each arrow key is a committed step of its own.
    EXPECT_TRUE (stage.transformerManager->widget.keyPressed (juce::KeyPress (juce::KeyPress::leftKey)));
    EXPECT_EQ (placedBounds (b).getTopLeft(), P (21109, 2030));
    EXPECT_EQ (lastTransformed, juce::Array<StageItem*> { &b });
    EXPECT_EQ (changes, 3);
    EXPECT_EQ (transformedCalls, 3);
}

TEST_F (Stage, RemovingAnItemTakesItOutOfTheListAndTheSelection)
{
    auto& a = add ({ 20000, 2000, 100, 100 });
    auto& b = add ({ 21000, 2000, 100, 100 });
    stage.transformerManager->selectItem (&a, false);

    stage.removeSlice (&a);
    EXPECT_FALSE (a.selected);
    EXPECT_TRUE (selection().isEmpty());
    EXPECT_FALSE (stage.items.contains (&a));
    EXPECT_EQ (a.getParentComponent(), &stage);

    stage.removeSlice (&b);
    EXPECT_FALSE (b.selected);
    EXPECT_EQ (stage.items, juce::Array<StageItem*> { &stage.centreAnchor });

    // Added again, and twice, it is listed once.
    stage.addSlice (&b);
    stage.addSlice (&b);
    EXPECT_EQ (stage.items, (juce::Array<StageItem*> { &stage.centreAnchor, &b }));
}

TEST_F (Stage, ANewItemOverTheSelectionCoversItsFrameAndIsSelectedAlone)
{
    auto& a = add ({ 20000, 2000, 100, 100 });
    auto& b = add ({ 21000, 2000, 100, 100 });
    auto& c = add ({ 20500, 3000, 100, 100 });
    for (auto* item : { &a, &b, &c })
        stage.transformerManager->selectItem (item, true);

    const auto frame = stage.transformerManager->getBounds().toFloat();
    EXPECT_EQ (frame, juce::Rectangle<float> (20000, 2000, 1100, 1100));

    auto wide = makeItem ({ 0, 0, 200, 100 });
    wide->hidden = true;
    stage.addSliceOverSelection (wide.get());
    const auto placed = placedBounds (*wide);
    EXPECT_NEAR (placed.getCentreX(), frame.getCentreX(), 0.01f);
    EXPECT_NEAR (placed.getCentreY(), frame.getCentreY(), 0.01f);
    EXPECT_NEAR (placed.getHeight(), 1100.0f, 0.01f);
    EXPECT_NEAR (placed.getWidth(), 2200.0f, 0.01f);
    EXPECT_EQ (selection(), juce::Array<StageItem*> { wide.get() });
    EXPECT_TRUE (wide->isVisible());
    EXPECT_TRUE (wide->hidden);

    stage.clearStage();
    auto lone = makeItem ({ 300, 400, 200, 100 });
    stage.addSliceOverSelection (lone.get());
    EXPECT_EQ (placedBounds (*lone), juce::Rectangle<float> (300, 400, 200, 100));
    EXPECT_EQ (selection(), juce::Array<StageItem*> { lone.get() });

    stage.clearStage();
}

TEST_F (Stage, OneDroppedImageFileInAnyLetterCaseBecomesTheGuide)
{
    const auto folder = test::testHome();
    const auto path = [&] (const char* name) { return folder.getChildFile (name).getFullPathName(); };

    struct Case
    {
        juce::StringArray files;
        bool accepted;
    };

    const std::vector<Case> cases {
        { { path ("a.png") }, true },
        { { path ("b.JPG") }, true },
        { { path ("c.Jpeg") }, true },
        { { path ("d.gif") }, false },
        { { path ("e") }, false },
        { { path ("f.png.txt") }, false },
        { { path ("g.png"), path ("h.png") }, false },
        { {}, false },
        { { "relative.png" }, false },
    };

    for (const auto& k : cases)
    {
        SCOPED_TRACE (k.files.joinIntoString (" "));
        EXPECT_EQ (stage.isInterestedInFileDrag (k.files), k.accepted);
    }

    juce::Array<juce::File> dropped;
    stage.onFileDropped = [&] (juce::File f) { dropped.add (f); };
    stage.filesDropped ({ path ("b.JPG") }, 10, 10);
    stage.filesDropped ({ path ("d.gif") }, 10, 10);
    EXPECT_EQ (dropped, juce::Array<juce::File> { folder.getChildFile ("b.JPG") });
}

TEST_F (Stage, ADeletedItemLeavesTheListTheSelectionTheTargetsAndTheBackground)
{
    auto a = makeItem ({ 20000, 2000, 100, 100 });
    auto b = makeItem ({ 21000, 2000, 100, 100 });
    auto guide = makeItem<ImageStageItem> ({ 0, 0, 500, 500 });
    for (auto* item : { (StageItem*) a.get(), (StageItem*) b.get(), (StageItem*) guide.get() })
        stage.addSlice (item);
    stage.backgroundItem = guide.get();
    stage.transformerManager->selectItem (a.get(), false);
    stage.transformerManager->selectItem (b.get(), true);

    auto* rawA = a.get();
    a.reset();
    EXPECT_FALSE (stage.items.contains (rawA));
    EXPECT_EQ (selection(), juce::Array<StageItem*> { b.get() });
    EXPECT_FALSE (stage.transformerManager->snapTargets.items.contains (rawA));
    EXPECT_EQ (stage.transformerManager->getTransform(), b->getTransform());

    stage.transformerManager->selectItem (b.get(), true);
    auto* rawB = b.get();
    b.reset();
    EXPECT_FALSE (stage.transformerManager->snapTargets.items.contains (rawB));

    guide.reset();
    EXPECT_EQ (stage.backgroundItem, nullptr);
    stage.restack();
    EXPECT_EQ (stage.items, juce::Array<StageItem*> { &stage.centreAnchor });
}

TEST_F (Stage, ItemsOutliveTheStageWithoutCallingBackIntoIt)
{
    auto item = makeItem ({ 20000, 2000, 100, 100 });
    stage.addSlice (item.get());
    stagePtr.reset();

    EXPECT_FALSE (item->onMouseDown);
    item->mouseDown (mouseEventAt (*item, { 5, 5 }));
    item.reset();
}

TEST_F (Stage, AZoomLaysTheHandlesOutAgainAtTheirNewSize)
{
    auto& a = add ({ 20000, 2000, 100, 100 });
    stage.transformerManager->selectItem (&a, false);
    auto& widget = stage.transformerManager->widget;
    EXPECT_EQ (widget.handleDraggers[0]->getWidth(), 40);

    stage.setTransform (juce::AffineTransform::scale (0.3f));
    EXPECT_EQ (widget.handleSize, 22);
    EXPECT_EQ (widget.handleDraggers[0]->getBounds(), juce::Rectangle<int> (20000 - 22, 2000 - 22, 44, 44));

    stage.setTransform (juce::AffineTransform::scale (50.0f));
    EXPECT_EQ (widget.handleSize, 1);
    EXPECT_EQ (widget.handleDraggers[8]->getWidth(), 2);
}

// In a real window: the keyboard focus and the buttons under the gizmo.
struct StageInWindow : Stage
{
    void SetUp() override
    {
        window.setBounds (50, 50, 1000, 300);
        window.addAndMakeVisible (stage);
        stage.setTransform (juce::AffineTransform::scale (0.01f));
        window.addAndMakeVisible (editor);
        editor.setBounds (0, 200, 300, 30);
        window.addToDesktop (0);
        window.setVisible (true);
        window.toFront (true);
        test::pumpMessageLoop (50);
    }

    void TearDown() override
    {
        Stage::TearDown();
        window.removeFromDesktop();
    }

    juce::Component window;
    juce::TextEditor editor;
};

TEST_F (StageInWindow, TheGizmoTakesTheFocusWhenTheSelectionChangesNotOnEveryRefresh)
{
    auto& a = add ({ 20000, 2000, 1000, 1000 });
    auto& b = add ({ 40000, 2000, 1000, 1000 });
    auto& widget = stage.transformerManager->widget;

    stage.transformerManager->selectItem (&a, false);
    ASSERT_TRUE (widget.hasKeyboardFocus (false));

    editor.grabKeyboardFocus();
    ASSERT_TRUE (editor.hasKeyboardFocus (false));
    stage.transformerManager->updateWidget();
    stage.transformerManager->commitTransform();
    EXPECT_TRUE (editor.hasKeyboardFocus (false));

    stage.transformerManager->selectItem (&b, true);
    EXPECT_TRUE (widget.hasKeyboardFocus (false));
}

TEST_F (StageInWindow, AClickThroughTheGizmoReachesTheSelectedItemsButtons)
{
    auto& a = add ({ 20000, 2000, 1000, 1000 });
    a.lockButton->setVisible (true);
    a.resized();
    a.mouseDown (mouseEventAt (a, { 500, 500 }));
    EXPECT_EQ (selection(), juce::Array<StageItem*> { &a });

    // Released without a drag on the lock button's place: a click for the item.
    const auto onButton = a.getLocalArea (a.lockButton.get(), a.lockButton->getLocalBounds()).getCentre().toFloat();
    auto& body = *stage.transformerManager->widget.moveDragger;
    body.mouseUp (mouseEventAt (body, body.getLocalPoint (&a, onButton)));
    EXPECT_TRUE (test::pumpUntil ([&] { return a.locked; }));
}

TEST_F (Stage, DrawsTheStageWithASelectionAndTheGizmo)
{
    stage.setTransform (juce::AffineTransform::scale (0.2f));
    auto& left = add ({ 48200, 4400, 1000, 600 }, "Left");
    auto& middle = add ({ 49600, 4700, 700, 900 }, "Middle");
    add ({ 50700, 4000, 900, 500 }, "Right");

    stage.transformerManager->selectItem (&left, false);
    stage.transformerManager->selectItem (&middle, true);
    stage.restack();

    // A drag under way that snaps the group's top-left corner to the stage centre's y.
    auto& widget = stage.transformerManager->widget;
    widget.activeHandle = 0;
    widget.onMove ({ 0, 590 });
    EXPECT_EQ (stage.transformerManager->yGuides, juce::Array<float> { 5000.0f });
    EXPECT_EQ (placedBounds (left).getY(), 5000.0f);
    EXPECT_TRUE (widget.showGuides);

    const juce::Rectangle<int> area { 47500, 3500, 5000, 3500 };
    const auto snapshot = stage.createComponentSnapshot (area, true, 0.2f);
    juce::Image picture (juce::Image::ARGB, snapshot.getWidth(), snapshot.getHeight(), true);
    {
        juce::Graphics g (picture);
        g.fillAll (juce::Colour (0xff1e1e1e));
        g.drawImageAt (snapshot, 0, 0);
    }
    EXPECT_TRUE (test::writeSnapshot (picture, "stage-with-selection").existsAsFile());

    // Selected items are filled yellow, the other one purple.
    const auto at = [&] (P stagePoint) { return picture.getPixelAt ((int) ((stagePoint.x - 47500) * 0.2f), (int) ((stagePoint.y - 3500) * 0.2f)); };
    const auto yellow = at (placedBounds (left).getCentre() + P (0, 150));
    EXPECT_GT (yellow.getRed(), 150);
    EXPECT_GT (yellow.getGreen(), 150);
    EXPECT_LT (yellow.getBlue(), 100);
    const auto purple = at ({ 51150, 4400 });
    EXPECT_GT (purple.getBlue(), purple.getGreen());

    widget.onTransformEnd();
    EXPECT_FALSE (widget.showGuides);
}
} // namespace
