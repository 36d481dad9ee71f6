// The poller's relink reads the host's setup file on a thread of its own and
// merges the result on the message thread. These tests are also built with
// ThreadSanitizer (see tests/preview/CMakeLists.txt).
#include "app/ControllerHarness.h"

#include "host/FileWatcher.h"
#include "model/Ids.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
int countSlices (const FlowController& controller)
{
    int count = 0;

    for (auto* screen : controller.model->screens)
        count += screen->slices.size();

    return count;
}

// The slices the document holds (every screen's).
int countDocumentSlices (const FlowController& controller)
{
    int count = 0;

    for (const auto& screen : controller.document.getChildWithName (ids::arenaScreens))
        count += screen.getNumChildren();

    return count;
}

StageItem* itemOfSlice (const FlowController& controller, juce::int64 uniqueId)
{
    for (auto* screen : controller.model->screens)
        for (auto* slice : screen->slices)
            if (slice->uniqueId == uniqueId)
                return slice->getStageItem();

    return nullptr;
}

// One pass of the message loop: the messages that are waiting, at most a
// millisecond of them.
void pumpOnce()
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
}

// Gives the read's thread time to finish without running the message loop,
// so that its result waits in the queue. On a machine too loaded for that
// the result may come later; the tests hold either way.
void letTheReadFinish()
{
    std::this_thread::sleep_for (std::chrono::milliseconds (300));
}
} // namespace

TEST (FlowControllerRelinkRead, APolledReadLeavesTheMessageThreadAndIsMergedInOneGo)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 40) }), 5000);

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_EQ (countSlices (controller), 40);
    ASSERT_TRUE (harness.waitForSave());

    auto* moved = itemOfSlice (controller, 105);
    ASSERT_NE (moved, nullptr);
    moved->setPlacement (moved->committedTransform.translated (300.0f, 200.0f));
    harness.stage->onStageChanged();
    const auto placement = moved->committedTransform;
    const auto oldStageItems = harness.stage->items.size();

    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 60) }, { 2560, 1440 }));

    // The poll sees the change: the read starts and nothing has changed yet.
    controller.FileWatcher::timerCallback();
    ASSERT_TRUE (controller.isRelinkReadPending());
    EXPECT_EQ (countSlices (controller), 40);
    EXPECT_FALSE (controller.FileWatcher::isTimerRunning());

    // At every pass of the message loop the model, the stage and the
    // document are all the old setup or all the new one, and the poll stays
    // held until the merge is over.
    const auto end = juce::Time::getMillisecondCounter() + 8000;
    int passes = 0;

    while (controller.isRelinkReadPending() && juce::Time::getMillisecondCounter() < end)
    {
        pumpOnce();
        ++passes;

        const auto slices = countSlices (controller);
        const bool old = slices == 40 && controller.model->compositionSize == juce::Point<int> (1920, 1080)
                         && countDocumentSlices (controller) == 40 && harness.stage->items.size() == oldStageItems;
        const bool merged = slices == 60 && controller.model->compositionSize == juce::Point<int> (2560, 1440)
                            && countDocumentSlices (controller) == 60 && harness.stage->items.size() == oldStageItems + 20;
        ASSERT_TRUE (old || merged) << "pass " << passes << ": " << slices << " slices";
        ASSERT_TRUE (merged || ! controller.FileWatcher::isTimerRunning());
    }

    ASSERT_FALSE (controller.isRelinkReadPending());
    EXPECT_EQ (countSlices (controller), 60);
    EXPECT_EQ (countDocumentSlices (controller), 60);
    EXPECT_EQ ((int) controller.document.getChildWithName (ids::assFile)[ids::x], 2560);
    EXPECT_TRUE (controller.FileWatcher::isTimerRunning());
    EXPECT_EQ (controller.lastModified, fileModificationMilliseconds (seven.setupFile().getFullPathName()));
    EXPECT_EQ (harness.dialogs->requests.size(), 0);

    auto* again = itemOfSlice (controller, 105);
    ASSERT_NE (again, nullptr);
    EXPECT_NEAR (again->committedTransform.getTranslationX(), placement.getTranslationX(), 0.5f);
    EXPECT_NEAR (again->committedTransform.getTranslationY(), placement.getTranslationY(), 0.5f);
    EXPECT_TRUE (harness.stage->items.contains (again));

    // Nothing more comes of that change.
    pumpMessageLoop (100);
    EXPECT_FALSE (controller.isRelinkReadPending());
    EXPECT_EQ (countSlices (controller), 60);
}

TEST (FlowControllerRelinkRead, AChangeWrittenWhileTheFileIsReadIsReadAfterTheMerge)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }), 5000);

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_EQ (countSlices (controller), 3);

    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 4) }), 3000);
    controller.FileWatcher::timerCallback();
    ASSERT_TRUE (controller.isRelinkReadPending());

    // Read, not yet merged, when the host writes again.
    letTheReadFinish();
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 6) }));
    const auto written = fileModificationMilliseconds (seven.setupFile().getFullPathName());

    // The first read is merged; the next poll sees the newer write.
    ASSERT_TRUE (pumpUntil ([&] { return countSlices (controller) == 6; }, 8000)) << countSlices (controller);
    ASSERT_TRUE (pumpUntil ([&] { return ! controller.isRelinkReadPending(); }, 8000));
    EXPECT_EQ (controller.lastModified, written);
    EXPECT_EQ (countDocumentSlices (controller), 6);
    EXPECT_TRUE (controller.FileWatcher::isTimerRunning());
}

TEST (FlowControllerRelinkRead, AReadOvertakenByARelinkALoadOrAnotherFileIsDropped)
{
    enum class Overtaken { byRelink, byNewDocument, otherFile };

    for (const auto how : { Overtaken::byRelink, Overtaken::byNewDocument, Overtaken::otherFile })
    {
        SCOPED_TRACE ((int) how);
        test::documentsFolder().deleteRecursively();
        HostFolder seven (7);
        seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }), 5000);

        ControllerHarness harness;
        auto& controller = harness.start();
        ASSERT_EQ (countSlices (controller), 3);
        const auto path = seven.setupFile().getFullPathName();

        // A read of a setup with 4 slices comes back after the controller
        // went on to one with 5.
        const auto other = testHome().getChildFile ("Other setup.xml");
        writeTextFile (other, screenSetupText ({ rowOfSlices (1, 4) }));

        if (how == Overtaken::otherFile)
        {
            // Reported for a file that is not the watched one.
            controller.fileChanged (other.getFullPathName());
        }
        else
        {
            seven.writeSetup (screenSetupText ({ rowOfSlices (1, 4) }), 3000);
            controller.FileWatcher::timerCallback();
        }

        ASSERT_TRUE (controller.isRelinkReadPending());
        letTheReadFinish();

        const int expected = how == Overtaken::otherFile ? 3 : 5;

        if (how == Overtaken::byRelink)
        {
            seven.writeSetup (screenSetupText ({ rowOfSlices (1, 5) }), 1000);
            controller.relinkScreenSetup (path);
        }
        else if (how == Overtaken::byNewDocument)
        {
            seven.writeSetup (screenSetupText ({ rowOfSlices (1, 5) }), 1000);
            ASSERT_TRUE (controller.writePendingSaveOrAsk());
            ASSERT_TRUE (controller.newDocument());
            controller.loadDocument();
        }

        EXPECT_EQ (countSlices (controller), expected);
        ASSERT_TRUE (pumpUntil ([&] { return ! controller.isRelinkReadPending(); }, 8000));
        pumpMessageLoop (100);

        EXPECT_EQ (countSlices (controller), expected);
        EXPECT_EQ (countDocumentSlices (controller), expected);
        EXPECT_EQ (controller.FileWatcher::path, path);
        EXPECT_TRUE (controller.FileWatcher::isTimerRunning());
        EXPECT_EQ (harness.dialogs->requests.size(), 0);
    }
}

TEST (FlowControllerRelinkRead, AReadThatComesBackDuringAQuestionIsMergedAfterIt)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }), 5000);

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_TRUE (harness.waitForSave());

    // A change that cannot be written: the user is asked.
    const auto writable = controller.documentPath;
    controller.setDocumentPath (testHome().getChildFile ("missing-folder/Show.xml").getFullPathName());
    controller.addFocalClicked (0);

    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 5) }));
    controller.FileWatcher::timerCallback();
    ASSERT_TRUE (controller.isRelinkReadPending());

    // The question's own message loop runs while the read comes back.
    int slicesDuringQuestion = -1;
    bool pollRanDuringQuestion = false;
    harness.onDialog = [&] (const DialogManager::Request&)
    {
        pumpMessageLoop (400);
        slicesDuringQuestion = countSlices (controller);
        pollRanDuringQuestion |= controller.FileWatcher::isTimerRunning();
    };

    // The user stays with the document.
    harness.answer = [] (const DialogManager::Request&) { return -1; };
    EXPECT_FALSE (controller.writePendingSaveOrAsk());
    harness.onDialog = nullptr;
    EXPECT_EQ (slicesDuringQuestion, 3);
    EXPECT_FALSE (pollRanDuringQuestion);

    // The merge follows, and the change goes to a file that can be written.
    controller.setDocumentPath (writable);
    ASSERT_TRUE (pumpUntil ([&] { return countSlices (controller) == 5; }, 8000));
    ASSERT_TRUE (pumpUntil ([&] { return ! controller.isRelinkReadPending(); }, 8000));
    EXPECT_EQ (controller.model->looks[0]->focals.size(), 1);
    EXPECT_TRUE (controller.FileWatcher::isTimerRunning());
}

TEST (FlowControllerRelinkRead, QuittingWhileAReadRunsNeitherCrashesNorMerges)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }), 5000);

    ControllerHarness harness;
    harness.start();
    ASSERT_TRUE (harness.waitForSave());

    // A setup that takes a while to read (a few hundred milliseconds in
    // the sanitizers' build).
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 600) }));

    for (const int delayMs : { 0, 1, 5, 20, 80 })
    {
        SCOPED_TRACE (delayMs);
        auto& controller = harness.restart();
        ASSERT_EQ (countSlices (controller), 3);

        controller.fileChanged (seven.setupFile().getFullPathName());
        ASSERT_TRUE (controller.isRelinkReadPending());
        std::this_thread::sleep_for (std::chrono::milliseconds (delayMs));

        // Quitting as the application does; whatever the read posted finds
        // no controller.
        harness.quit();
        pumpMessageLoop (50);
    }

    // The last document still holds the setup it had.
    auto& controller = harness.restart();
    EXPECT_EQ (countSlices (controller), 3);
}

TEST (FlowControllerRelinkRead, TheInspectorShowsTheRelinkedScreensWithTheirFlags)
{
    HostFolder seven (7);
    auto hidden = rowOfSlices (2, 2, 200);
    hidden.hidden = true;
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 2), hidden }), 5000);

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_EQ (harness.inspector->screenDrawers.size(), 2);

    // The user switches the first screen off; the host adds a third.
    harness.inspector->screenDrawers[0]->setActive (false);
    controller.screenEnabledChanged (0, false);

    FixtureScreen third { 3, "Third screen", { { 300, "Slice 300", { 0, 0, 40, 40 } } } };
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 2), hidden, third }));
    controller.FileWatcher::timerCallback();
    ASSERT_TRUE (pumpUntil ([&] { return ! controller.isRelinkReadPending(); }, 8000));

    ASSERT_EQ (controller.model->screens.size(), 3);
    ASSERT_EQ (harness.inspector->screenDrawers.size(), 3);

    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE (i);
        auto* screen = controller.model->screens[i];
        auto* drawer = harness.inspector->screenDrawers[i];
        EXPECT_EQ (drawer->getName(), screen->name);
        EXPECT_EQ (drawer->active, screen->enabled);
    }

    EXPECT_FALSE (controller.model->screens[0]->enabled);
    EXPECT_FALSE (controller.model->screens[1]->enabled);
    EXPECT_TRUE (controller.model->screens[2]->enabled);
    EXPECT_EQ (harness.inspector->screenDrawers[2]->getName(), "Third screen");
}
