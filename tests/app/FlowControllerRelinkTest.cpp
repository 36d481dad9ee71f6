// Relinking the stage to the host's screen setup: the poller's road and the
// "Relink" menu's road, on host folders written into the test's HOME.
#include "app/ControllerHarness.h"

#include "host/FileWatcher.h"
#include "host/HostXmlFile.h"
#include "model/Ids.h"
#include "support/DocumentContract.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;
using namespace corvadine::test;
using Kind = DialogManager::Request::Kind;

namespace
{
int countSlices (const FlowController& controller)
{
    int count = 0;

    for (auto* screen : controller.model->screens)
        count += screen->slices.size();

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

juce::StringArray messagesTitled (const DialogManager::ScopedAnswerer& answerer, const juce::String& title)
{
    juce::StringArray messages;

    for (const auto& request : answerer.requests)
        if (request.title == title)
            messages.add (request.message);

    return messages;
}

void expectKeepsContract (const juce::File& file)
{
    const auto problems = checkDocumentFile (file);
    EXPECT_TRUE (problems.isEmpty()) << file.getFullPathName() << ":\n" << problems.joinIntoString ("\n");
}

// Placements come back through their stored text, at six significant digits.
void expectSamePlacement (const juce::AffineTransform& a, const juce::AffineTransform& b)
{
    EXPECT_NEAR (a.mat00, b.mat00, 1.0e-4f);
    EXPECT_NEAR (a.mat01, b.mat01, 1.0e-4f);
    EXPECT_NEAR (a.mat10, b.mat10, 1.0e-4f);
    EXPECT_NEAR (a.mat11, b.mat11, 1.0e-4f);
    EXPECT_NEAR (a.mat02, b.mat02, 0.5f);
    EXPECT_NEAR (a.mat12, b.mat12, 0.5f);
}

// Moves an item as a committed gesture would, and reports the change.
void moveItem (ControllerHarness& harness, StageItem& item, float dx, float dy)
{
    item.setPlacement (item.committedTransform.translated (dx, dy));
    harness.stage->onStageChanged();
}
} // namespace

TEST (FlowControllerRelink, ANewerHostFileRelinksWithinTwoSecondsKeepingPlacements)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }), 5000);

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_EQ (countSlices (controller), 3);

    auto* moved = itemOfSlice (controller, 101);
    ASSERT_NE (moved, nullptr);
    moveItem (harness, *moved, 700.0f, 300.0f);
    const auto placement = moved->committedTransform;

    // The host saves a fourth slice and a larger composition.
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 4) }, { 2560, 1440 }));
    // Seen at the next poll, a second later (more on a loaded machine).
    EXPECT_EQ (FlowController::pollIntervalMs, 1000);
    ASSERT_TRUE (pumpUntil ([&] { return countSlices (controller) == 4; }, 6000));

    auto* again = itemOfSlice (controller, 101);
    ASSERT_NE (again, nullptr);
    expectSamePlacement (again->committedTransform, placement);
    EXPECT_EQ (controller.model->compositionSize, juce::Point<int> (2560, 1440));
    EXPECT_EQ (controller.model->looks[0]->compositionSize, juce::Point<int> (2560, 1440));
    EXPECT_TRUE (harness.stage->items.contains (again));
    EXPECT_EQ (harness.dialogs->requests.size(), 0);

    ASSERT_TRUE (harness.waitForSave());
    const auto root = parseHostXmlFile (juce::File (controller.documentPath));
    ASSERT_NE (root, nullptr);
    const auto written = juce::ValueTree::fromXml (*root);
    EXPECT_EQ (written.getChildWithName (ids::arenaScreens).getChild (0).getNumChildren(), 4);
    EXPECT_EQ ((int) written.getChildWithName (ids::assFile)[ids::x], 2560);
    expectKeepsContract (juce::File (controller.documentPath));
}

TEST (FlowControllerRelink, AHalfWrittenHostFileChangesNothingAndTheWholeWriteRelinks)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }), 5000);

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_TRUE (harness.waitForSave());

    auto* guideItem = controller.backgroundGuide->getStageItem();
    const auto path = controller.documentPath;
    const auto documentBytes = fileBytes (juce::File (path));
    const auto stageItems = harness.stage->items;
    const auto whole = screenSetupText ({ rowOfSlices (1, 5) });
    const auto bytes = whole.toStdString();

    for (const auto offset : { (size_t) 0, (size_t) 10, bytes.size() / 3, bytes.size() / 2, bytes.size() - 20, bytes.size() - 2 })
    {
        SCOPED_TRACE ((int) offset);
        const auto file = seven.setupFile();
        file.replaceWithData (bytes.data(), offset);
        const auto written = fileModificationMilliseconds (file.getFullPathName());

        // The poll has seen this write, and its read has come back.
        ASSERT_TRUE (pumpUntil ([&] { return controller.lastModified >= written; }, 6000));
        ASSERT_TRUE (pumpUntil ([&] { return ! controller.isRelinkReadPending(); }, 6000));
        pumpMessageLoop (50);

        EXPECT_EQ (countSlices (controller), 3);
        EXPECT_EQ (controller.documentPath, path);
        EXPECT_EQ (harness.stage->items, stageItems);
        EXPECT_EQ (controller.backgroundGuide->getStageItem(), guideItem);
        EXPECT_FALSE (controller.FileLess::isTimerRunning());
        EXPECT_EQ (fileBytes (juce::File (path)), documentBytes);
        EXPECT_TRUE (controller.FileWatcher::isTimerRunning());
    }

    seven.writeSetup (whole);
    ASSERT_TRUE (pumpUntil ([&] { return countSlices (controller) == 5; }, 6000));
    EXPECT_EQ (controller.documentPath, path);
}

TEST (FlowControllerRelink, AHostFileWithoutScreensStartsANewDocumentAndKeepsTheOldOneWhole)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }), 5000);

    ControllerHarness harness;
    auto& controller = harness.start();
    controller.addFocalClicked (0);
    ASSERT_TRUE (harness.waitForSave());

    const juce::File old (controller.documentPath);
    controller.addFocalClicked (1);

    // Still pending when the host empties its setup: written first.
    seven.writeSetup (screenSetupText ({}));
    ASSERT_TRUE (pumpUntil ([&] { return controller.documentPath != old.getFullPathName(); }, 6000));

    EXPECT_EQ (controller.documentPath, old.getSiblingFile ("NewCorvadineDocument 2.xml").getFullPathName());
    EXPECT_TRUE (controller.model->screens.isEmpty());
    EXPECT_EQ (harness.dialogs->requests.size(), 0);

    const auto root = parseHostXmlFile (old);
    ASSERT_NE (root, nullptr);
    const auto kept = juce::ValueTree::fromXml (*root);
    EXPECT_EQ (kept.getChildWithName (ids::arenaScreens).getChild (0).getNumChildren(), 3);
    EXPECT_EQ (kept.getChildWithName (ids::looks).getChild (1).getChildWithName (ids::focals).getNumChildren(), 1);
    expectKeepsContract (old);

    ASSERT_TRUE (harness.waitForSave());
    expectKeepsContract (juce::File (controller.documentPath));
}

TEST (FlowControllerRelink, TheRelinkMessageCountsRelinkedAndNewSlices)
{
    struct Case
    {
        std::vector<juce::int64> newIds;
        const char* message;
    };

    const Case cases[] = {
        { { 100, 101, 102, 200, 201 }, "Relinked 3 out of 4 slices. 2 new slices created." },
        { { 100, 101, 102, 103 }, "Relinked 4 out of 4 slices." },
        { { 100, 101 }, "Relinked 2 out of 4 slices." },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.message);
        test::documentsFolder().deleteRecursively();
        HostFolder seven (7);
        seven.writeSetup (screenSetupText ({ rowOfSlices (1, 4) }), 5000);

        ControllerHarness harness;
        auto& controller = harness.start();
        ASSERT_EQ (countSlices (controller), 4);

        FixtureScreen screen { 1, "Screen 1", {} };
        for (size_t i = 0; i < c.newIds.size(); ++i)
            screen.slices.push_back ({ c.newIds[i], "Slice " + juce::String ((int) c.newIds[i]), { 100 + (int) i * 120, 300, 100, 50 } });

        seven.writeSetup (screenSetupText ({ screen }), 2000);
        controller.relinkStage();

        EXPECT_EQ (messagesTitled (*harness.dialogs, "Stage relinked..."), juce::StringArray { c.message });
        EXPECT_EQ (countSlices (controller), (int) c.newIds.size());
    }
}

TEST (FlowControllerRelink, RelinkAsksForTheHostVersionOnlyWhenBothAreInstalled)
{
    struct Case
    {
        bool six, seven;
        int answer;
        int questions;
        int watchedVersion;
    };

    const Case cases[] = {
        { false, true, 0, 0, 7 },
        { true, false, 1, 0, 6 },
        { true, true, 0, 1, 6 },
        { true, true, 1, 1, 7 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.six ? "6 " : "") + (c.seven ? "7 " : "") + "answer " + juce::String (c.answer));
        test::documentsFolder().deleteRecursively();
        std::unique_ptr<HostFolder> six, seven;

        if (c.six)
            (six = std::make_unique<HostFolder> (6))->writeSetup (screenSetupText ({ rowOfSlices (6, 2, 600) }));
        if (c.seven)
            (seven = std::make_unique<HostFolder> (7))->writeSetup (screenSetupText ({ rowOfSlices (7, 3, 700) }));

        ControllerHarness harness;
        harness.hostVersionAnswer = c.answer;
        auto& controller = harness.start();
        harness.dialogs->requests.clear();

        // The poll stays held while the question is open.
        bool pollRanDuringQuestion = false;
        harness.onDialog = [&] (const DialogManager::Request&)
        {
            pollRanDuringQuestion |= controller.FileWatcher::isTimerRunning();
        };

        controller.relinkStage();

        int questions = 0;
        for (const auto& request : harness.dialogs->requests)
            if (request.kind == Kind::hostVersion)
                ++questions;

        EXPECT_EQ (questions, c.questions);
        EXPECT_FALSE (pollRanDuringQuestion);
        EXPECT_TRUE (controller.FileWatcher::isTimerRunning());
        const auto& watched = c.watchedVersion == 6 ? *six : *seven;
        EXPECT_EQ (controller.assFilePath, watched.setupFile().getFullPathName());
        EXPECT_EQ (controller.FileWatcher::path, watched.setupFile().getFullPathName());
    }
}

TEST (FlowControllerRelink, RelinkWithoutAHostStartsANewDocumentAndSaysSo)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }));

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_TRUE (harness.waitForSave());
    const auto old = controller.documentPath;

    seven.folder.deleteRecursively();
    controller.relinkStage();

    EXPECT_NE (controller.documentPath, old);
    EXPECT_EQ (messagesTitled (*harness.dialogs, "Stage relinked..."), juce::StringArray { "Relinked 0 out of 3 slices." });
    EXPECT_FALSE (controller.FileWatcher::isTimerRunning());
    expectKeepsContract (juce::File (old));
}

TEST (FlowControllerRelink, TheRealHostFilesImportAndRelink)
{
    if (! installHostSamples())
        GTEST_SKIP() << "the host samples are not beside the checkout";

    ControllerHarness harness;
    auto& controller = harness.start();

    ASSERT_EQ (controller.model->screens.size(), 4);
    EXPECT_EQ (countSlices (controller), 38);

    int hiddenScreens = 0;
    for (auto* screen : controller.model->screens)
        if (! screen->enabled)
        {
            ++hiddenScreens;
            for (auto* slice : screen->slices)
                EXPECT_TRUE (slice->getStageItem()->hidden && ! slice->getStageItem()->isVisible());
        }

    EXPECT_EQ (hiddenScreens, 2);
    EXPECT_TRUE (controller.assFilePath.endsWith ("2 Faces.xml")) << controller.assFilePath;

    ASSERT_TRUE (harness.waitForSave());
    expectKeepsContract (juce::File (controller.documentPath));

    // The host saves the preset again: every slice gets its placement back.
    auto* first = controller.model->screens[0]->slices[0]->getStageItem();
    moveItem (harness, *first, 250.0f, -120.0f);
    const auto placement = first->committedTransform;
    const auto firstId = controller.model->screens[0]->slices[0]->uniqueId;

    EXPECT_EQ (controller.relinkScreenSetup (controller.assFilePath), 38);
    EXPECT_EQ (countSlices (controller), 38);
    expectSamePlacement (itemOfSlice (controller, firstId)->committedTransform, placement);
}

// "Relink" says it created slices only when a merge or a new document did:
// a setup that cannot be read, or one without screens while the document's
// changes cannot be saved, leaves the slices that were there.
TEST (FlowControllerRelink, EveryRoadOfTheRelinkMessageTellsWhatHappened)
{
    struct Case
    {
        const char* road;
        juce::String setup;
        // Through a preset that AdvancedOutput.xml names.
        bool preset;
        bool saveFails;
        int slicesAfter;
        bool sameDocument;
        const char* message;
    };

    FixtureScreen changed { 1, "Screen 1", {} };
    for (auto id : { 100, 101, 102, 200, 201 })
        changed.slices.push_back ({ id, "Slice " + juce::String (id), { 100 + (id % 100) * 120, 300, 100, 50 } });

    const auto whole = screenSetupText ({ rowOfSlices (1, 4) });

    const Case cases[] = {
        { "merged", screenSetupText ({ changed }), false, false, 5, true, "Relinked 3 out of 4 slices. 2 new slices created." },
        // The preset the host is writing, cut off.
        { "unreadable", whole.dropLastCharacters (40), true, false, 4, true,
          "Relinked 0 out of 4 slices. The host's screen setup could not be read; the stage follows it once the host has written it again." },
        { "no screens, new document", screenSetupText ({}), false, false, 0, false, "Relinked 0 out of 4 slices." },
        { "no screens, document kept", screenSetupText ({}), false, true, 4, true,
          "Relinked 0 out of 4 slices. The host's screen setup holds no screens; the document stays as it is, since its changes could not be saved." },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.road);
        test::documentsFolder().deleteRecursively();
        HostFolder seven (7);
        seven.writeSetup (whole, 5000);

        ControllerHarness harness;
        // The save question is closed without an answer: the user stays.
        harness.answer = [] (const DialogManager::Request& request) { return request.title == "Can't save document" ? -1 : 0; };
        auto& controller = harness.start();
        ASSERT_EQ (countSlices (controller), 4);
        ASSERT_TRUE (harness.waitForSave());

        if (c.saveFails)
        {
            // A folder that does not exist: the pending save cannot be written.
            controller.setDocumentPath (testHome().getChildFile ("gone").getChildFile ("Show.xml").getFullPathName());
            controller.addFocalClicked (0);
        }

        const auto document = controller.documentPath;
        const auto* modelBefore = controller.model.get();
        if (c.preset)
        {
            writeTextFile (seven.folder.getChildFile ("Presets/Advanced Output/Show.xml"), c.setup);
            seven.writeSetup ("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<XmlState name=\"AdvancedOutput\" presetFile=\"Show\"/>\n", 2000);
        }
        else
        {
            seven.writeSetup (c.setup, 2000);
        }

        harness.dialogs->requests.clear();
        controller.relinkStage();

        EXPECT_EQ (messagesTitled (*harness.dialogs, "Stage relinked..."), juce::StringArray { c.message });
        EXPECT_EQ (countSlices (controller), c.slicesAfter);
        EXPECT_EQ (controller.documentPath == document, c.sameDocument);
        EXPECT_EQ (messagesTitled (*harness.dialogs, "Can't save document").size(), c.saveFails ? 1 : 0);

        if (c.saveFails)
        {
            EXPECT_EQ (controller.model.get(), modelBefore);
            controller.discardPendingSave();
        }
    }
}

// A relink while a look is shown keeps look mode: the slices it brings come
// in locked like the others (and their lock buttons agree), the look's
// focals stay shown, the other looks' hidden.
TEST (FlowControllerRelink, ARelinkInLookModeBringsItsNewSlicesInLocked)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 4) }), 5000);

    ControllerHarness harness;
    auto& controller = harness.start();
    controller.addFocalClicked (0);
    controller.addFocalClicked (1);
    // "Look 1" clicked: look mode for the first look.
    harness.inspector->drawerClicked (harness.inspector->lookDrawer);
    ASSERT_TRUE (harness.inspector->lookDrawer->active);

    FixtureScreen changed { 1, "Screen 1", {} };
    for (auto id : { 100, 101, 200, 201, 202 })
        changed.slices.push_back ({ id, "Slice " + juce::String (id), { 100 + (id % 100) * 120, 300, 100, 50 } });

    seven.writeSetup (screenSetupText ({ changed }), 2000);
    controller.relinkStage();
    ASSERT_EQ (countSlices (controller), 5);
    EXPECT_EQ (messagesTitled (*harness.dialogs, "Stage relinked..."),
               juce::StringArray { "Relinked 2 out of 4 slices. 3 new slices created." });

    for (auto* item : harness.sliceItems())
        EXPECT_TRUE (item->locked);

    ASSERT_TRUE (pumpUntil ([&]
    {
        for (auto* item : harness.sliceItems())
            if (item->lockButton->getToggleState() != item->locked)
                return false;
        return true;
    }, 2000));

    EXPECT_FALSE (controller.model->looks[0]->focals[0]->getStageItem()->hidden);
    EXPECT_TRUE (controller.model->looks[1]->focals[0]->getStageItem()->hidden);
    EXPECT_TRUE (harness.inspector->lookDrawer->active);

    // Back in stage mode every slice, new or old, is unlocked.
    controller.stageSelected();
    for (auto* item : harness.sliceItems())
        EXPECT_FALSE (item->locked);
}
