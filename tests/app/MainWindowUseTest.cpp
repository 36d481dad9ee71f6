// The main window used as a show operator uses it: the fly-out, the look
// drawer, focals, resolutions and a dropped picture, through the pointer and
// the keyboard in a real window, with the document read back from disk.
#include "app/ControllerHarness.h"
#include "app/MainWindowDriver.h"

#include "host/HostXmlFile.h"
#include "inspector/FocalDrawer.h"
#include "inspector/InspectorTestSupport.h"
#include "inspector/ResolutionDrawer.h"
#include "model/Ids.h"
#include "support/DocumentContract.h"
#include "support/TestSupport.h"

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

juce::ValueTree focalsOfLook (const juce::ValueTree& document, int look)
{
    return document.getChildWithName (ids::looks).getChild (look).getChildWithName (ids::focals);
}

void expectKeepsContract (const juce::File& file)
{
    const auto problems = checkDocumentFile (file);
    EXPECT_TRUE (problems.isEmpty()) << file.getFullPathName() << ":\n" << problems.joinIntoString ("\n");
}

// A focal the user can see and pick: on the stage, shown, with a size.
void expectFocalOnTheStage (FlowController& controller, StageComponent& stage, int look)
{
    ASSERT_EQ (controller.model->looks[look]->focals.size(), 1);
    auto* item = controller.model->looks[look]->focals[0]->getStageItem();
    EXPECT_TRUE (stage.items.contains (item));
    EXPECT_GT (item->getWidth(), 0);
    EXPECT_GT (item->getHeight(), 0);
    const auto onStage = item->getBoundsInParent();
    EXPECT_TRUE (onStage.intersects (stage.getLocalBounds())) << onStage.toString();
}

struct Operator
{
    explicit Operator (int screens = 1)
    {
        std::vector<FixtureScreen> setup;
        for (int i = 0; i < screens; ++i)
            setup.push_back (rowOfSlices (i + 1, 3, 100 + 100 * i));

        HostFolder seven (7);
        seven.writeSetup (screenSetupText (setup));
        driver.start();
    }

    LookInspector& inspector() { return driver.inspector(); }
    FlowController& controller() { return driver.controller(); }
    StageComponent& stage() { return *driver.main().stage; }

    // "Look 1" clicked in the open fly-out.
    void showLookOne()
    {
        ASSERT_TRUE (driver.openFlyOut());
        driver.clickDrawerHeader (*inspector().lookDrawer);
        ASSERT_TRUE (inspector().lookDrawer->active);
    }

    void clickPlus()
    {
        auto& plus = *inspector().plusButton;
        ASSERT_TRUE (plus.isShowing());
        driver.clickAt (plus, plus.getLocalBounds().getCentre());
    }

    MainWindowDriver driver;
};
} // namespace

// The panel folds only when the pointer leaves it. With the "Stage" drawer
// open, "Look 1" stands low; clicking it folds the "Stage" drawer, and the
// inspector then ends above the still pointer.
TEST (MainWindowUse, TheFlyOutStaysOpenUnderAStillPointerAndFoldsWhenItLeaves)
{
    Operator op (3);
    auto& driver = op.driver;
    auto& inspector = op.inspector();
    ASSERT_TRUE (driver.openFlyOut());
    auto& stageCog = *inspector.stageDrawer->cogButton;
    driver.clickAt (stageCog, stageCog.getLocalBounds().getCentre());
    ASSERT_TRUE (inspector.stageDrawer->expanded);
    ASSERT_TRUE (pumpUntil ([&] { return driver.flyOutIsOpen(); }, 3000));

    const auto lookHeaderInPanel = driver.flyOut().getLocalPoint (inspector.lookDrawer, juce::Point<int> (20, 25));
    op.showLookOne();
    ASSERT_FALSE (inspector.stageDrawer->expanded);
    ASSERT_GT (lookHeaderInPanel.y, inspector.getHeight());
    pumpMessageLoop (400);
    EXPECT_TRUE (driver.flyOutIsOpen()) << driver.flyOut().getBounds().toString();

    // "+" is there at once.
    op.clickPlus();
    EXPECT_EQ (op.controller().model->looks[0]->focals.size(), 1);
    pumpMessageLoop (400);
    EXPECT_TRUE (driver.flyOutIsOpen());

    // An exit reported while the real pointer stays on "+" (the mouse
    // handling told of the pointer below the panel) leaves it open too.
    auto& plus = *inspector.plusButton;
    auto* peer = driver.main().getPeer();
    const auto below = driver.main().getLocalPoint (&plus, plus.getLocalBounds().getCentre().translated (0, 40)).toFloat();
    const auto reportPointerBelow = [&]
    {
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, below, {}, juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, juce::Time::currentTimeMillis());
    };
    reportPointerBelow();
    pumpMessageLoop (400);
    EXPECT_TRUE (driver.flyOutIsOpen()) << driver.flyOut().getBounds().toString();

    op.clickPlus();
    EXPECT_EQ (op.controller().model->looks[0]->focals.size(), 2);

    // The pointer then leaves for the stage: the panel folds, although the
    // mouse handling took it for gone already and reports no exit.
    reportPointerBelow();
    juce::Desktop::setMousePosition (driver.main().localAreaToGlobal (juce::Rectangle<int> (400, 400, 1, 1)).getPosition());
    EXPECT_TRUE (pumpUntil ([&] { return driver.flyOut().getHeight() == FlyOutComponent::tabHeight
                                         && ! juce::Desktop::getInstance().getAnimator().isAnimating (&driver.flyOut()); },
                            3000))
        << driver.flyOut().getBounds().toString();

    // And opens again when the pointer comes back.
    EXPECT_TRUE (driver.openFlyOut());
}

// Look 1, "+", expand Look 1, a height of 99999999999 and Return: the focal
// stays on the stage, in the document and after the next start.
TEST (MainWindowUse, AHugeHeightTypedForLookOneKeepsItsFocal)
{
    Operator op;
    auto& driver = op.driver;
    op.showLookOne();
    op.clickPlus();
    ASSERT_EQ (op.controller().model->looks[0]->focals.size(), 1);

    auto& lookDrawer = *op.inspector().lookDrawer;
    driver.clickAt (*lookDrawer.cogButton, lookDrawer.cogButton->getLocalBounds().getCentre());
    ASSERT_TRUE (lookDrawer.expanded);

    auto& heightLabel = op.inspector().resolutionDrawer->heightLabel;
    ASSERT_TRUE (heightLabel.isShowing());
    driver.clickAt (heightLabel, heightLabel.getLocalBounds().getCentre());
    ASSERT_TRUE (pumpUntil ([&] { return heightLabel.getCurrentTextEditor() != nullptr
                                          && heightLabel.getCurrentTextEditor()->hasKeyboardFocus (true); }, 2000));
    heightLabel.getCurrentTextEditor()->selectAll();
    driver.type ("99999999999");
    driver.pressKey (juce::KeyPress::returnKey);
    ASSERT_TRUE (pumpUntil ([&] { return ! heightLabel.isBeingEdited(); }, 2000));

    // The label shows the side the look took.
    const auto limit = Look::maxResolutionSide;
    EXPECT_EQ (heightLabel.getText(), juce::String (limit));
    EXPECT_EQ (op.controller().model->looks[0]->resolution, juce::Point<int> (1920, limit));
    expectFocalOnTheStage (op.controller(), op.stage(), 0);
    EXPECT_EQ (op.inspector().focalDrawers.size(), 1);

    ASSERT_TRUE (driver.waitForSave());
    const juce::File file (op.controller().documentPath);
    const auto written = readDocument (file);
    EXPECT_EQ ((int) written.getChildWithName (ids::looks).getChild (0)[ids::y], limit);
    EXPECT_EQ (focalsOfLook (written, 0).getNumChildren(), 1);
    expectKeepsContract (file);

    driver.restart();
    EXPECT_EQ (op.controller().documentPath, file.getFullPathName());
    EXPECT_EQ (op.controller().model->looks[0]->resolution, juce::Point<int> (1920, limit));
    expectFocalOnTheStage (op.controller(), op.stage(), 0);
    ASSERT_TRUE (driver.waitForSave());
    EXPECT_EQ (focalsOfLook (readDocument (file), 0).getNumChildren(), 1);
}

// After a picture is dropped in look mode, stage and inspector both show
// stage mode, and nothing hidden is picked or moved: not by a focal drawer,
// not by a changed setting, not by the arrow keys.
TEST (MainWindowUse, ADropInLookModeLeavesStageAndInspectorInStageMode)
{
    Operator op;
    auto& driver = op.driver;
    auto& inspector = op.inspector();
    auto& manager = *op.stage().transformerManager;
    op.showLookOne();
    op.clickPlus();
    auto* focal = op.controller().model->looks[0]->focals[0];
    auto* focalItem = focal->getStageItem();
    ASSERT_FALSE (focalItem->hidden);
    ASSERT_EQ (manager.selection, juce::Array<StageItem*> { focalItem });

    op.stage().filesDropped ({ writePngFile ("plan.png", 320, 180).getFullPathName() }, 10, 10);
    pumpMessageLoop (100);

    EXPECT_TRUE (inspector.stageDrawer->active);
    EXPECT_FALSE (inspector.lookDrawer->active);
    EXPECT_FALSE (inspector.lookDrawer->expanded);
    for (auto* button : { inspector.plusButton.get(), inspector.nextButton.get(), inspector.prevButton.get() })
        EXPECT_FALSE (button->isVisible());
    EXPECT_TRUE (focalItem->hidden);
    EXPECT_FALSE (focalItem->isVisible());
    EXPECT_FALSE (manager.selection.contains (focalItem));

    // The look's focal drawer, a slice toggle in it, a setting: none picks
    // the hidden focal.
    const auto placement = focalItem->getTransform();
    op.controller().focalDrawerClicked (0, 0);
    EXPECT_FALSE (manager.selection.contains (focalItem));
    focalItem->sendItemChanged();
    EXPECT_FALSE (manager.selection.contains (focalItem));

    // A selected slice whose screen is switched off leaves the selection;
    // the arrow keys then move nothing that is hidden.
    auto* slice = op.controller().model->screens[0]->slices[0]->getStageItem();
    manager.selectItem (slice, false);
    const auto slicePlacement = slice->getTransform();
    op.controller().screenEnabledChanged (0, false);
    EXPECT_TRUE (slice->hidden);
    EXPECT_FALSE (manager.selection.contains (slice));

    op.stage().grabKeyboardFocus();
    for (auto key : { juce::KeyPress::leftKey, juce::KeyPress::downKey })
        driver.pressKey (key);

    EXPECT_EQ (slice->getTransform(), slicePlacement);
    EXPECT_EQ (focalItem->getTransform(), placement);
    EXPECT_FALSE (focalItem->selected);
    EXPECT_FALSE (slice->selected);
}
