// The controller's relink, which merges the host's save into the model in
// place, against the road it took when the merge rebuilt every slice: two
// controllers on copies of the same document in the test's HOME go through
// the same random host saves and user actions, one relinking through its own
// road, the other through the rebuilding one below; after every relink the
// documents they wrote, their models and their stages must be the same.
#include "app/ControllerHarness.h"

#include "host/FileWatcher.h"
#include "host/ScreenSetupFile.h"
#include "model/Ids.h"
#include "model/ModelFixtures.h"
#include "model/ModelState.h"
#include "model/RandomHostSaves.h"
#include "model/ReferenceMerge.h"
#include "stage/FocalStageItem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
// The controller's relink of a readable setup with screens as it ran when
// the merge rebuilt every slice: the composition size handed on, the stage
// emptied, the rebuilding merge, every item put back on the stage and
// stacked, each slice given the mode's lock, the inspector's answer (every
// screen's flag and a store of the document), then the lock buttons brought
// in line as the message loop did it, each as a click would (a locked item
// sent to the back).
int relinkAsRebuilt (ControllerHarness& harness, const juce::File& setup, bool lookMode)
{
    auto& controller = harness.controller();
    auto& model = *controller.model;
    auto& stage = *harness.stage;

    ScreenSetupReadBuffers buffers;
    const auto read = readWholeScreenSetupFile (setup, buffers);

    model.compositionSize = read.compositionSize;

    for (auto* look : model.looks)
    {
        look->compositionSize = read.compositionSize;

        for (auto* focal : look->focals)
        {
            focal->compositionSize = read.compositionSize;

            if (auto* item = focal->getFocalItem())
                item->compositionSize = read.compositionSize;
        }
    }

    stage.clearStage();
    const auto relinked = referenceMergeScreens (model, read.screens);

    const auto items = model.collectStageItems();
    stage.addSlices (items);

    for (auto* item : items)
        if (item != nullptr)
            item->addListener (&controller);

    if (auto* guideItem = controller.backgroundGuide->getStageItem(); guideItem != nullptr && stage.backgroundItem == nullptr)
    {
        stage.backgroundItem = guideItem;
        stage.addSlice (guideItem);
    }

    stage.restack();

    for (auto* item : harness.sliceItems())
        item->locked = lookMode;

    harness.inspector->setScreens (model.writeScreenFlagsTree());

    for (auto* item : harness.sliceItems())
        if (item->lockButton->getToggleState() != item->locked)
            item->lockButton->setToggleState (item->locked, juce::sendNotificationSync);

    // The one known difference: the in-place relink gives the slices the
    // mode's lock before they are stacked, so in look mode they stand where
    // the stack puts locked items (behind the unlocked ones, in front of the
    // guide, largest first), not where each lock's send to the back put them
    // here (behind the guide, in reverse model order). Only the stacking
    // differs; it is what a restack of this stage gives.
    if (lookMode)
        stage.restack();

    return relinked;
}

// What the stage shows: its children back to front, its item list, the
// background slot and the selection, each item named by what it belongs to,
// and every item's lock, buttons, shown state and placement.
juce::String stageStateText (ControllerHarness& harness)
{
    auto& stage = *harness.stage;
    auto& model = *harness.controller().model;

    const auto nameOf = [&] (const juce::Component* c) -> juce::String
    {
        if (c == nullptr)
            return "none";
        if (c == &stage.centreAnchor)
            return "anchor";
        if (c == &stage.transformerManager->widget)
            return "gizmo";
        if (c == &stage.lasso)
            return "lasso";
        if (c == harness.controller().backgroundGuide->getStageItem())
            return "guide";

        for (int s = 0; s < model.screens.size(); ++s)
            for (int i = 0; i < model.screens[s]->slices.size(); ++i)
                if (c == model.screens[s]->slices[i]->getStageItem())
                    return "slice " + juce::String (s) + "." + juce::String (i);

        for (int l = 0; l < model.looks.size(); ++l)
            for (int f = 0; f < model.looks[l]->focals.size(); ++f)
                if (c == model.looks[l]->focals[f]->getStageItem())
                    return "focal " + juce::String (l) + "." + juce::String (f);

        return "other '" + c->getName() + "'";
    };

    juce::String text ("stack");

    for (auto* child : stage.getChildren())
        text << " " << nameOf (child);

    text << "\nitems";

    for (auto* item : stage.items)
        text << " " << nameOf (item);

    text << "\nbackground " << nameOf (stage.backgroundItem) << "\nselection";

    for (auto* item : stage.transformerManager->selection)
        text << " " << nameOf (item);

    text << "\n";

    for (auto* item : stage.items)
        text << nameOf (item) << " locked " << (int) item->locked << " button " << (int) item->lockButton->getToggleState()
             << " remove " << (int) item->removeButton->isEnabled() << " hidden " << (int) item->hidden << " visible "
             << (int) item->isVisible() << " selected " << (int) item->selected << " " << item->getBounds().toString()
             << " t " << transformBits (item->getTransform()) << " c " << transformBits (item->committedTransform) << "\n";

    return text;
}

juce::String fileText (const juce::String& path)
{
    return juce::File (path).loadFileAsString();
}

// A setup of a few screens of a few rectangles.
juce::Array<ScreenInfo> firstSetup (juce::Random& random, juce::int64& nextId)
{
    juce::Array<ScreenInfo> screens;
    const auto numScreens = 2 + random.nextInt (2);

    for (int s = 0; s < numScreens; ++s)
    {
        ScreenInfo screen;
        screen.uniqueId = nextId++;
        screen.name = "Screen " + juce::String (s + 1);

        for (int i = 0, count = 2 + random.nextInt (4); i < count; ++i)
        {
            const juce::Rectangle<float> area ((float) random.nextInt (1600), (float) random.nextInt (900),
                                               (float) (40 + random.nextInt (300)), (float) (30 + random.nextInt (200)));
            screen.slices.add (rectangleSlice (nextId, "Slice " + juce::String (nextId), area));
            ++nextId;
        }

        screens.add (screen);
    }

    return screens;
}

// One action of the user's between two host saves, made on both
// controllers alike; returns what it did.
juce::String userAction (ControllerHarness& merged, ControllerHarness& rebuilt, bool& lookMode, juce::Random& random)
{
    const auto both = [&] (const std::function<void (ControllerHarness&)>& action)
    {
        action (merged);
        action (rebuilt);
    };

    switch (random.nextInt (7))
    {
        case 0:
            if (const auto count = merged.inspector->screenDrawers.size(); count > 0)
            {
                const auto index = random.nextInt (count);
                both ([index] (ControllerHarness& h) { h.inspector->drawerClicked (h.inspector->screenDrawers[index]); });
                return "screen " + juce::String (index) + " toggled";
            }
            break;

        case 1:
            if (const auto count = merged.sliceItems().size(); count > 0)
            {
                const auto index = random.nextInt (count);
                const auto dx = (float) random.nextInt (900) - 450.0f, dy = (float) random.nextInt (500) - 250.0f;
                both ([=] (ControllerHarness& h)
                {
                    auto* item = h.sliceItems()[index];
                    item->setPlacement (item->committedTransform.translated (dx, dy));
                    h.stage->onStageChanged();
                });
                return "slice " + juce::String (index) + " moved";
            }
            break;

        case 2:
            both ([] (ControllerHarness& h) { h.inspector->drawerClicked (h.inspector->lookDrawer); });
            lookMode = true;
            return "look mode";

        case 3:
            both ([] (ControllerHarness& h) { h.inspector->drawerClicked (h.inspector->stageDrawer); });
            lookMode = false;
            return "stage mode";

        case 4:
        {
            const auto look = merged.inspector->lookIndex;
            both ([look] (ControllerHarness& h) { h.controller().addFocalClicked (look); });
            // Focal ids are drawn at random: the twin takes the other's.
            rebuilt.controller().model->looks[look]->focals.getLast()->uId
                = merged.controller().model->looks[look]->focals.getLast()->uId;
            both ([] (ControllerHarness& h) { h.controller().storeDocument(); });
            return "focal added";
        }

        case 5:
            if (const auto count = merged.sliceItems().size(); count > 0)
            {
                const auto index = random.nextInt (count);
                both ([index] (ControllerHarness& h) { h.stage->transformerManager->selectItem (h.sliceItems()[index], false); });
                return "slice " + juce::String (index) + " selected";
            }
            break;

        default:
            break;
    }

    return "nothing";
}

void expectSameDocumentsAndStages (ControllerHarness& merged, ControllerHarness& rebuilt, const juce::String& context)
{
    ASSERT_TRUE (merged.controller().flushPendingSave()) << context;
    ASSERT_TRUE (rebuilt.controller().flushPendingSave()) << context;

    EXPECT_EQ (fileText (merged.controller().documentPath), fileText (rebuilt.controller().documentPath)) << context;
    EXPECT_EQ (modelStateText (*merged.controller().model), modelStateText (*rebuilt.controller().model)) << context;
    EXPECT_EQ (stageStateText (merged), stageStateText (rebuilt)) << context;
}
} // namespace

TEST (FlowControllerRelinkCompare, RelinkingInPlaceGivesWhatTheRebuildingRelinkGaveOverRandomHostSaves)
{
    const juce::int64 seeds[] = { 7301, 7302, 7303, 7304, 7305, 7306 };
    constexpr int steps = 6;

    for (const auto seed : seeds)
    {
        SCOPED_TRACE ("seed " + juce::String (seed));
        test::documentsFolder().deleteRecursively();
        juce::Random random (seed);
        juce::int64 nextId = 1000;
        const juce::Point<int> composition { 1920, 1080 };

        HostFolder seven (7);
        auto host = firstSetup (random, nextId);
        seven.writeSetup (hostSetupText (host, composition), 60000);
        const auto setupPath = seven.setupFile().getFullPathName();
        auto setupTime = fileModificationMilliseconds (setupPath);

        ControllerHarness merged, rebuilt;
        merged.start();

        // A guide image and focals in two looks, saved, so that both
        // controllers load the same document from its file.
        merged.stage->onFileDropped (writePngFile ("guide.png", 320, 200));
        merged.controller().addFocalClicked (0);
        merged.controller().addFocalClicked (1);
        ASSERT_TRUE (merged.waitForSave());
        merged.restart();
        ASSERT_TRUE (merged.waitForSave());

        rebuilt.start();
        ASSERT_EQ (rebuilt.controller().documentPath, merged.controller().documentPath);
        rebuilt.controller().setDocumentPath (testHome().getChildFile ("Rebuilt.xml").getFullPathName());
        rebuilt.controller().startDeferredSave();

        // The twin never polls: every relink of it goes through the road above.
        rebuilt.controller().FileWatcher::stopTimer();
        rebuilt.controller().lastModified = std::numeric_limits<juce::int64>::max();

        bool lookMode = false;
        pumpMessageLoop (20);
        expectSameDocumentsAndStages (merged, rebuilt, "at the start");

        for (int step = 0; step < steps && ! ::testing::Test::HasFailure(); ++step)
        {
            juce::String context ("step " + juce::String (step) + ": ");

            for (int i = 0, count = random.nextInt (3); i < count; ++i)
                context << userAction (merged, rebuilt, lookMode, random) << "; ";

            // The lock buttons follow the modes through the message loop.
            pumpMessageLoop (20);

            const auto save = randomHostSave (host, random, composition, nextId);

            // A setup without screens starts a new document, a road of its own.
            if (save.screens.isEmpty())
                continue;

            host = save.screens;
            context << "host: " << save.changes;

            // Each save newer than the last, as the poller needs it.
            writeTextFile (seven.setupFile(), hostSetupText (host, composition));
            setupTime += 1000;
            ageFile (seven.setupFile(), (int) (juce::Time::currentTimeMillis() - setupTime));

            // Every other save through the poller's road (one poll, the read
            // on its thread, the merge from the message loop), the others
            // through the relink's call.
            if (step % 2 == 0)
            {
                merged.controller().FileWatcher::timerCallback();
                ASSERT_TRUE (merged.controller().isRelinkReadPending()) << context;
                ASSERT_TRUE (pumpUntil ([&] { return ! merged.controller().isRelinkReadPending(); }, 6000)) << context;
                relinkAsRebuilt (rebuilt, seven.setupFile(), lookMode);
            }
            else
            {
                const auto relinked = merged.controller().relinkScreenSetup (setupPath);
                EXPECT_EQ (relinked, relinkAsRebuilt (rebuilt, seven.setupFile(), lookMode)) << context;
            }

            pumpMessageLoop (20);
            expectSameDocumentsAndStages (merged, rebuilt, context);
        }

        EXPECT_TRUE (rebuilt.dialogs->requests.isEmpty());
        EXPECT_TRUE (merged.dialogs->requests.isEmpty());
    }
}
