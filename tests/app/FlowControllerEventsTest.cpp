// What the controller does with the stage's, the items' and the inspector's
// reports: modes, focals, the guide image, resolutions.
#include "app/ControllerHarness.h"

#include "host/HostXmlFile.h"
#include "inspector/FocalDrawer.h"
#include "model/Ids.h"
#include "model/Look.h"
#include "stage/CoveredButton.h"
#include "stage/TransformerManager.h"
#include "support/DocumentContract.h"
#include "support/TestSupport.h"
#include "widgets/SvgButton.h"

#include <gtest/gtest.h>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
juce::ValueTree readDocument (const juce::File& file)
{
    auto root = parseHostXmlFile (file);
    return root != nullptr ? juce::ValueTree::fromXml (*root) : juce::ValueTree();
}

void expectKeepsContract (const juce::File& file)
{
    const auto problems = checkDocumentFile (file);
    EXPECT_TRUE (problems.isEmpty()) << file.getFullPathName() << ":\n" << problems.joinIntoString ("\n");
}

bool lockButtonsAgree (const juce::Array<StageItem*>& items)
{
    for (auto* item : items)
        if (item->lockButton->getToggleState() != item->locked)
            return false;

    return true;
}

juce::Rectangle<float> placedBounds (StageItem& item)
{
    return item.getLocalBounds().toFloat().transformedBy (item.getTransform());
}

// A started controller on a host setup of one screen with `slices` slices.
struct Started
{
    explicit Started (int slices)
    {
        HostFolder seven (7);
        seven.writeSetup (screenSetupText ({ rowOfSlices (1, slices) }));
        harness.start();
    }

    FlowController& controller() { return harness.controller(); }
    TransformerManager& manager() { return *harness.stage->transformerManager; }

    ControllerHarness harness;
};
} // namespace

TEST (FlowControllerEvents, LookModeAndStageModeLockShowAndHide)
{
    Started started (3);
    auto& controller = started.controller();
    auto& harness = started.harness;

    controller.addFocalClicked (0);
    controller.addFocalClicked (1);
    controller.addFocalClicked (1);
    auto* focalOfLook0 = controller.model->looks[0]->focals[0]->getStageItem();
    auto* focalOfLook1 = controller.model->looks[1]->focals[0]->getStageItem();

    controller.lookSelected (1);
    for (auto* item : harness.sliceItems())
        EXPECT_TRUE (item->locked);
    EXPECT_TRUE (focalOfLook0->hidden);
    EXPECT_FALSE (focalOfLook0->isVisible());
    EXPECT_FALSE (focalOfLook1->hidden);
    EXPECT_TRUE (focalOfLook1->isVisible());
    EXPECT_EQ (harness.inspector->focalDrawers.size(), 2);
    ASSERT_TRUE (pumpUntil ([&] { return lockButtonsAgree (harness.sliceItems()); }));

    controller.stageSelected();
    for (auto* item : harness.sliceItems())
        EXPECT_FALSE (item->locked);
    for (auto* item : harness.focalItems())
        EXPECT_TRUE (item->hidden && ! item->isVisible());
    ASSERT_TRUE (pumpUntil ([&] { return lockButtonsAgree (harness.sliceItems()); }));

    // Switching back and forth faster than the clicks arrive ends as the
    // last mode, with every button agreeing.
    controller.lookSelected (0);
    controller.stageSelected();
    controller.lookSelected (1);
    pumpMessageLoop (200);
    for (auto* item : harness.sliceItems())
        EXPECT_TRUE (item->locked && item->lockButton->getToggleState());

    // An item locked behind its button's back is brought in line too.
    auto* odd = harness.sliceItems()[0];
    odd->lockButton->setToggleState (false, juce::dontSendNotification);
    controller.lookSelected (1);
    ASSERT_TRUE (pumpUntil ([&] { return lockButtonsAgree (harness.sliceItems()); }));
    EXPECT_TRUE (odd->locked);
}

TEST (FlowControllerEvents, ANewFocalIsCentredOrShapedToTheSelection)
{
    Started started (3);
    auto& controller = started.controller();
    auto& harness = started.harness;

    // Nothing selected: centred on the stage.
    controller.addFocalClicked (2);
    auto* centred = controller.model->looks[2]->focals[0]->getStageItem();
    const auto centre = placedBounds (*centred).getCentre();
    EXPECT_NEAR (centre.x, 50000.0f, 1.0f);
    EXPECT_NEAR (centre.y, 5000.0f, 1.0f);
    EXPECT_EQ (started.manager().selection, juce::Array<StageItem*> { centred });
    EXPECT_FALSE (centred->hidden);
    EXPECT_EQ (harness.inspector->focalDrawers.size(), 1);

    // A slice selected: the focal covers it.
    auto* slice = harness.sliceItems()[1];
    started.manager().selectItem (slice, false);
    controller.addFocalClicked (2);
    auto* shaped = controller.model->looks[2]->focals[1]->getStageItem();
    EXPECT_TRUE (placedBounds (*shaped).expanded (1.0f).contains (placedBounds (*slice)));
    EXPECT_EQ (started.manager().selection, juce::Array<StageItem*> { shaped });
    EXPECT_EQ (harness.inspector->focalDrawers.size(), 2);
    EXPECT_TRUE (controller.model->looks[2]->focals[1]->coveredSlices.size() >= 1);

    ASSERT_TRUE (harness.waitForSave());
    const auto written = readDocument (juce::File (controller.documentPath));
    EXPECT_EQ (written.getChildWithName (ids::looks).getChild (2).getChildWithName (ids::focals).getNumChildren(), 2);
    expectKeepsContract (juce::File (controller.documentPath));
}

TEST (FlowControllerEvents, ARemovedFocalLeavesTheSelectionTheLookAndTheWrittenDocument)
{
    Started started (3);
    auto& controller = started.controller();
    auto& harness = started.harness;

    controller.addFocalClicked (0);
    controller.addFocalClicked (0);
    controller.lookSelected (0);
    auto* going = controller.model->looks[0]->focals[0]->getStageItem();
    const auto keptId = controller.model->looks[0]->focals[1]->uId;
    started.manager().selectItem (going, false);
    ASSERT_TRUE (harness.waitForSave());

    const juce::Component::SafePointer<StageItem> watch (going);
    controller.stageItemDeleteRequested (going);

    EXPECT_EQ (watch.getComponent(), nullptr);
    ASSERT_EQ (controller.model->looks[0]->focals.size(), 1);
    EXPECT_EQ (controller.model->looks[0]->focals[0]->uId, keptId);
    EXPECT_TRUE (started.manager().selection.isEmpty());
    EXPECT_FALSE (harness.stage->items.contains (going));
    ASSERT_EQ (harness.inspector->focalDrawers.size(), 1);
    EXPECT_FALSE (harness.inspector->focalDrawers[0]->active);

    ASSERT_TRUE (harness.waitForSave());
    const auto written = readDocument (juce::File (controller.documentPath));
    const auto focals = written.getChildWithName (ids::looks).getChild (0).getChildWithName (ids::focals);
    ASSERT_EQ (focals.getNumChildren(), 1);
    EXPECT_EQ (focals.getChild (0)[ids::uId].toString(), keptId.toString());
    expectKeepsContract (juce::File (controller.documentPath));
}

TEST (FlowControllerEvents, ADroppedPictureBecomesTheGuideAndItsRemovalIsSaved)
{
    Started started (2);
    auto& controller = started.controller();
    auto& harness = started.harness;
    const auto png = writePngFile ("stage plan.png", 640, 360);

    controller.lookSelected (0);
    harness.stage->onFileDropped (png);

    // Back in stage mode, the guide on the stage and unlocked.
    for (auto* item : harness.sliceItems())
        EXPECT_FALSE (item->locked);

    auto* guide = controller.backgroundGuide->getStageItem();
    ASSERT_NE (guide, nullptr);
    EXPECT_EQ (controller.backgroundGuide->file, png.getFullPathName());
    EXPECT_EQ (harness.stage->backgroundItem, guide);
    EXPECT_FALSE (guide->locked);
    EXPECT_TRUE (controller.FileLess::isTimerRunning());

    ASSERT_TRUE (harness.waitForSave());
    auto written = readDocument (juce::File (controller.documentPath));
    EXPECT_EQ (written.getChildWithName (ids::bgImage)[ids::file].toString(), png.getFullPathName());
    EXPECT_TRUE (checkDocumentFile (juce::File (controller.documentPath), { false, true }).isEmpty());

    // A second picture: the same item takes it.
    const auto second = writePngFile ("second.png", 300, 300);
    harness.stage->onFileDropped (second);
    EXPECT_EQ (controller.backgroundGuide->getStageItem(), guide);
    EXPECT_EQ (harness.stage->backgroundItem, guide);

    // Unlocking selects it, locking empties the selection.
    guide->lockButton->setToggleState (true, juce::sendNotificationSync);
    EXPECT_TRUE (started.manager().selection.isEmpty());
    guide->lockButton->setToggleState (false, juce::sendNotificationSync);
    EXPECT_EQ (started.manager().selection, juce::Array<StageItem*> { guide });

    // Removed: gone from the stage and from the saved document.
    const juce::Component::SafePointer<StageItem> watch (guide);
    controller.stageItemDeleteRequested (guide);
    EXPECT_EQ (watch.getComponent(), nullptr);
    EXPECT_EQ (controller.backgroundGuide->getStageItem(), nullptr);
    EXPECT_EQ (harness.stage->backgroundItem, nullptr);
    EXPECT_TRUE (started.manager().selection.isEmpty());

    ASSERT_TRUE (harness.waitForSave());
    written = readDocument (juce::File (controller.documentPath));
    EXPECT_FALSE (written.getChildWithName (ids::bgImage).isValid());
    expectKeepsContract (juce::File (controller.documentPath));

    // It stays gone after a restart.
    auto& again = harness.restart();
    EXPECT_TRUE (again.backgroundGuide->file.isEmpty());

    // A file that does not decode while the guide has no image item.
    const auto text = testHome().getChildFile ("notes.png");
    writeTextFile (text, "not a picture");
    again.stageItemDeleteRequested (again.backgroundGuide->getStageItem());
    harness.stage->onFileDropped (text);
    EXPECT_EQ (again.backgroundGuide->getStageItem(), nullptr);
    EXPECT_EQ (harness.stage->backgroundItem, nullptr);
}

TEST (FlowControllerEvents, AResolutionChangeReachesEveryLookWithoutFocals)
{
    Started started (3);
    auto& controller = started.controller();
    auto& looks = controller.model->looks;

    for (int i : { 0, 1, 2, 3 })
        controller.addFocalClicked (i);

    looks[0]->resolution = { 1024, 768 };
    started.manager().selectItem (started.harness.sliceItems()[0], false);

    controller.lookResolutionChanged (2, { 1280, 720 });

    EXPECT_EQ (looks[0]->resolution, juce::Point<int> (1024, 768));
    EXPECT_EQ (looks[1]->resolution, juce::Point<int> (1920, 1080));
    EXPECT_EQ (looks[2]->resolution, juce::Point<int> (1280, 720));
    EXPECT_EQ (looks[2]->focals[0]->resolution, juce::Point<int> (1280, 720));
    EXPECT_EQ (looks[3]->resolution, juce::Point<int> (1920, 1080));

    for (int i = 4; i < looks.size(); ++i)
        EXPECT_EQ (looks[i]->resolution, juce::Point<int> (1280, 720)) << i;

    EXPECT_TRUE (started.manager().selection.isEmpty());

    // A side of 0 is not a size.
    controller.lookResolutionChanged (2, { 0, 720 });
    EXPECT_EQ (looks[2]->resolution, juce::Point<int> (1280, 720));

    ASSERT_TRUE (started.harness.waitForSave());
    const auto written = readDocument (juce::File (controller.documentPath));
    EXPECT_EQ ((int) written.getChildWithName (ids::looks).getChild (9)[ids::x], 1280);
    expectKeepsContract (juce::File (controller.documentPath));
}

TEST (FlowControllerEvents, ClicksOnFocalsAndFocalDrawersMarkTheDrawer)
{
    Started started (3);
    auto& controller = started.controller();
    auto& drawers = started.harness.inspector->focalDrawers;

    controller.addFocalClicked (0);
    controller.addFocalClicked (0);
    controller.lookSelected (0);
    ASSERT_EQ (drawers.size(), 2);

    auto* second = controller.model->looks[0]->focals[1]->getStageItem();
    started.harness.stage->onItemClicked (second);
    EXPECT_FALSE (drawers[0]->active);
    EXPECT_TRUE (drawers[1]->active);

    started.harness.stage->onItemClicked (started.harness.sliceItems()[0]);
    EXPECT_FALSE (drawers[0]->active);
    EXPECT_FALSE (drawers[1]->active);

    controller.focalDrawerClicked (0, 0);
    EXPECT_TRUE (drawers[0]->active);
    EXPECT_EQ (started.manager().selection,
               juce::Array<StageItem*> { controller.model->looks[0]->focals[0]->getStageItem() });
}

TEST (FlowControllerEvents, SwitchingAScreenOffHidesItsSlicesAndIsStored)
{
    Started started (3);
    auto& controller = started.controller();
    ASSERT_TRUE (started.harness.waitForSave());

    controller.screenEnabledChanged (0, false);
    for (auto* item : started.harness.sliceItems())
        EXPECT_TRUE (item->hidden && ! item->isVisible());

    // Out of range: nothing.
    controller.screenEnabledChanged (7, false);

    controller.screensChanged();
    ASSERT_TRUE (started.harness.waitForSave());
    const auto written = readDocument (juce::File (controller.documentPath));
    EXPECT_FALSE ((bool) written.getChildWithName (ids::arenaScreens).getChild (0)[ids::enabled]);
}

TEST (FlowControllerEvents, MovingAFocalUpdatesItsCoverageAndTheCommitStoresIt)
{
    Started started (3);
    auto& controller = started.controller();
    auto& harness = started.harness;

    auto* slice = harness.sliceItems()[0];
    started.manager().selectItem (slice, false);
    controller.addFocalClicked (0);
    auto* focal = controller.model->looks[0]->focals[0];
    ASSERT_GE (focal->coveredSlices.size(), 1);
    ASSERT_TRUE (harness.waitForSave());

    // Dragged far away: no longer covering anything; nothing stored yet.
    auto* item = focal->getStageItem();
    item->setTransform (item->committedTransform.translated (20000.0f, 0.0f));
    harness.stage->onItemsTransformed ({ item, slice });
    EXPECT_TRUE (focal->coveredSlices.isEmpty());
    EXPECT_FALSE (controller.FileLess::isTimerRunning());

    item->setPlacement (item->getTransform());
    harness.stage->onStageChanged();
    EXPECT_TRUE (controller.FileLess::isTimerRunning());
    ASSERT_TRUE (harness.waitForSave());
    expectKeepsContract (juce::File (controller.documentPath));
}

// Whatever height is typed for a look, its focal stays whole: on the stage
// with a size, in the document and after the next start, or the change is
// refused and the focal keeps its resolution.
TEST (FlowControllerEvents, NoTypedHeightLosesAFocal)
{
    constexpr int limit = Look::maxResolutionSide;

    struct Case
    {
        const char* typed;
        int height;
    };

    const Case cases[] = {
        { "0", 1080 }, { "1", 1 }, { "16384", limit }, { "16385", limit }, { "2147483647", limit }, { "100000000000", limit },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.typed);
        test::documentsFolder().deleteRecursively();
        Started started (3);
        auto& harness = started.harness;
        auto* controller = &started.controller();

        // Over the first slice, so that the focal is fitted to it.
        started.manager().selectItem (harness.sliceItems()[0], false);
        controller->addFocalClicked (0);
        controller->lookSelected (0);

        auto& label = harness.inspector->resolutionDrawer->heightLabel;
        label.setText (c.typed, juce::dontSendNotification);
        harness.inspector->resolutionDrawer->labelTextChanged (&label);

        const juce::Point<int> expected (1920, c.height);
        EXPECT_EQ (label.getText(), juce::String (c.height));
        EXPECT_EQ (controller->model->looks[0]->resolution, expected);

        for (int run = 0; run < 2; ++run)
        {
            SCOPED_TRACE (run == 0 ? "typed" : "after the next start");
            ASSERT_EQ (controller->model->looks[0]->focals.size(), 1);
            auto* focal = controller->model->looks[0]->focals[0];
            auto* item = focal->getStageItem();
            EXPECT_EQ (focal->resolution, expected);
            EXPECT_EQ (item->getWidth(), 1920);
            EXPECT_EQ (item->getHeight(), c.height);
            EXPECT_TRUE (harness.stage->items.contains (item));
            EXPECT_TRUE (item->getBoundsInParent().intersects (harness.stage->getLocalBounds()));
            EXPECT_GE (focal->coveredSlices.size(), 1);

            ASSERT_TRUE (harness.waitForSave());
            const juce::File file (controller->documentPath);
            const auto look = readDocument (file).getChildWithName (ids::looks).getChild (0);
            EXPECT_EQ ((int) look[ids::y], c.height);
            EXPECT_EQ (look.getChildWithName (ids::focals).getNumChildren(), 1);
            expectKeepsContract (file);

            controller = &harness.restart();
        }
    }
}

// A click through the gizmo on a selected focal toggles every covered-slice
// button under the point, two overlapping ones together, and each toggle
// reaches the focal's exclusions and the document: this is how users leave
// slices out.
TEST (FlowControllerEvents, AGizmoClickOnAFocalTogglesEveryCoveredSliceUnderThePoint)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ { 1, "Screen 1", { { 100, "Left", { 100, 100, 200, 100 } },
                                                            { 101, "Right", { 200, 100, 200, 100 } },
                                                            { 102, "Apart", { 500, 100, 100, 100 } } } } }));
    ControllerHarness harness;
    auto& controller = harness.start();
    auto& manager = *harness.stage->transformerManager;

    manager.setSelection (harness.sliceItems());
    controller.addFocalClicked (0);
    controller.lookSelected (0);
    auto* focal = controller.model->looks[0]->focals[0];
    ASSERT_EQ (focal->coveredButtons.size(), 3);
    ASSERT_EQ (manager.selection, juce::Array<StageItem*> { focal->getStageItem() });

    // A press and release without a drag on the gizmo's body, at a stage
    // point given in composition pixels (the composition is centred on the
    // stage's centre).
    auto& widget = manager.widget;
    const auto clickAt = [&] (juce::Point<float> inComposition)
    {
        const auto onStage = inComposition + juce::Point<float> (50000.0f - 960.0f, 5000.0f - 540.0f);
        auto& body = *widget.moveDragger;
        const auto event = mouseEventAt (body, body.getLocalPoint (harness.stage.get(), onStage));
        widget.draggerMouseDown (&body, event);
        widget.draggerMouseUp (event);
        // The buttons are clicked through the message loop.
        pumpMessageLoop (100);
    };

    const auto excluded = [&] { return focal->excludedIds; };
    using Ids = juce::Array<juce::int64>;

    clickAt ({ 250.0f, 150.0f }); // where Left and Right overlap
    EXPECT_EQ (excluded(), (Ids { 100, 101 }));

    clickAt ({ 550.0f, 150.0f });
    EXPECT_EQ (excluded(), (Ids { 100, 101, 102 }));

    clickAt ({ 150.0f, 150.0f }); // Left alone
    EXPECT_EQ (excluded(), (Ids { 101, 102 }));

    clickAt ({ 250.0f, 150.0f }); // both flip: Left off again, Right on
    EXPECT_EQ (excluded(), (Ids { 102, 100 }));

    // The buttons show the exclusions, and the document holds them.
    for (auto* button : focal->coveredButtons)
        EXPECT_EQ (button->getToggleState(), ! focal->excludedIds.contains (button->getComponentID().getLargeIntValue()))
            << button->getComponentID();

    ASSERT_TRUE (harness.waitForSave());
    const auto written = readDocument (juce::File (controller.documentPath));
    const auto stored = written.getChildWithName (ids::looks).getChild (0).getChildWithName (ids::focals).getChild (0)
                            .getChildWithName (ids::excluded);
    ASSERT_EQ (stored.getNumChildren(), 2);
    EXPECT_EQ ((juce::int64) stored.getChild (0)[ids::uniqueId], 102);
    EXPECT_EQ ((juce::int64) stored.getChild (1)[ids::uniqueId], 100);
}
