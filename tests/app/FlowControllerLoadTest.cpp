// Loading documents into the model, onto the stage and into the inspector.
#include "app/ControllerHarness.h"

#include "host/HostXmlFile.h"
#include "model/DocumentFormat.h"
#include "model/FileLess.h"
#include "model/Ids.h"
#include "support/DocumentContract.h"
#include "support/TestSupport.h"
#include "widgets/SvgButton.h"

#include <gtest/gtest.h>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
juce::File applicationFolder()
{
    return test::documentsFolder().getChildFile ("Corvadine");
}

// Writes a document and names it in the preferences as the last one used.
juce::File writeLastDocument (const juce::String& body, const juce::String& name = "Show.xml")
{
    const auto file = applicationFolder().getChildFile (name);
    writeTextFile (file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Corvadine version=\"0.9.9\">\n" + body + "</Corvadine>\n");
    writeTextFile (applicationFolder().getChildFile ("preferences/preferences.xml"),
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<preferences><lastusedfile fullpathname=\""
                       + file.getFullPathName() + "\"/><app version=\"" + FileLess::preferencesAppVersion() + "\"/></preferences>\n");
    return file;
}

juce::String sliceXml (juce::int64 id, int x, int y)
{
    return "<slice name=\"S" + juce::String (id) + "\" uniqueId=\"" + juce::String (id) + "\">"
           "<points name=\"path\" rotation=\"0\"><point x=\"" + juce::String (x) + "\" y=\"" + juce::String (y) + "\"/>"
           "<point x=\"" + juce::String (x + 100) + "\" y=\"" + juce::String (y) + "\"/>"
           "<point x=\"" + juce::String (x + 100) + "\" y=\"" + juce::String (y + 50) + "\"/>"
           "<point x=\"" + juce::String (x) + "\" y=\"" + juce::String (y + 50) + "\"/></points>"
           "<points name=\"outputPoints\"/></slice>";
}

void expectKeepsContract (const juce::File& file)
{
    const auto problems = checkDocumentFile (file);
    EXPECT_TRUE (problems.isEmpty()) << file.getFullPathName() << ":\n" << problems.joinIntoString ("\n");
}

bool lockAgrees (StageItem* item)
{
    return item->lockButton->getToggleState() == item->locked;
}
} // namespace

TEST (FlowControllerLoad, ReadsScreensLooksAndFocalsAsTheDocumentHoldsThem)
{
    juce::String looks;
    looks << "<looks>"
          << "<look x=\"1280\" y=\"720\"><focals><focal uId=\"00ff\" distribution=\"1\" flip=\"3\" extend=\"2\" cover=\"1\">"
          << "<excluded><slice uniqueId=\"11\"/><slice uniqueId=\"11\"/><slice uniqueId=\"12\"/></excluded></focal></focals></look>"
          << "<Look x=\"5\" y=\"5\"/>" // another type: skipped
          << "<look/>"
          << "<look x=\"640\" y=\"480\"/>"
          << "</looks>";

    const auto file = writeLastDocument ("<assFile x=\"1920\" y=\"1080\"/>"
                                         "<arenaScreens>"
                                         "<screen name=\"Front\" uniqueId=\"1\" enabled=\"1\">" + sliceXml (11, 0, 0) + sliceXml (12, 200, 0) + "</screen>"
                                         "<screen name=\"Back\" uniqueId=\"2\">" + sliceXml (21, 0, 300) + "</screen>"
                                         "</arenaScreens>" + looks);

    ControllerHarness harness;
    auto& controller = harness.start();
    auto& model = *controller.model;

    EXPECT_EQ (controller.documentPath, file.getFullPathName());
    EXPECT_EQ (harness.dialogs->requests.size(), 0);
    ASSERT_EQ (model.screens.size(), 2);
    EXPECT_TRUE (model.screens[0]->enabled);
    EXPECT_FALSE (model.screens[1]->enabled); // no "enabled": off
    EXPECT_FALSE (model.screens[0]->slices[0]->getStageItem()->hidden);
    EXPECT_TRUE (model.screens[1]->slices[0]->getStageItem()->hidden);
    EXPECT_FALSE (model.screens[1]->slices[0]->getStageItem()->isVisible());
    EXPECT_EQ (model.screens[0]->slices[1]->inputPoints.size(), 4);

    // Three looks read, padded to 16 with 1920 x 1080.
    ASSERT_EQ (model.looks.size(), 16);
    EXPECT_EQ (model.looks[0]->resolution, juce::Point<int> (1280, 720));
    EXPECT_EQ (model.looks[1]->resolution, juce::Point<int> (0, 0));
    EXPECT_EQ (model.looks[2]->resolution, juce::Point<int> (640, 480));
    EXPECT_EQ (model.looks[15]->resolution, juce::Point<int> (1920, 1080));

    ASSERT_EQ (model.looks[0]->focals.size(), 1);
    auto& focal = *model.looks[0]->focals[0];
    EXPECT_EQ (focal.distribution, 1);
    EXPECT_EQ (focal.flip, 3);
    EXPECT_EQ (focal.extend, 2);
    EXPECT_EQ (focal.cover, 1);
    EXPECT_EQ (uuidToText (focal.uId), "00ff" + juce::String::repeatedString ("0", 28));
    EXPECT_EQ (focal.excludedIds, (juce::Array<juce::int64> { 11, 12 }));
    EXPECT_EQ (focal.compositionSize, juce::Point<int> (1920, 1080));

    // Stage mode: focals hidden, slices unlocked; the stage holds them all.
    EXPECT_TRUE (focal.getStageItem()->hidden);
    for (auto* item : harness.sliceItems())
        EXPECT_FALSE (item->locked);

    // The anchor, the slices and the focal; the guide is the background.
    EXPECT_EQ (harness.stage->items.size(), 1 + 3 + 1);
    EXPECT_TRUE (harness.stage->items.contains (focal.getStageItem()));
    EXPECT_EQ (harness.stage->backgroundItem, controller.backgroundGuide->getStageItem());

    // Nothing to watch: the document names no host file.
    EXPECT_FALSE (controller.FileWatcher::isTimerRunning());

    ASSERT_TRUE (harness.waitForSave());
    expectKeepsContract (file);
}

TEST (FlowControllerLoad, ADocumentWithLooksButNoSlicesKeepsItsLooks)
{
    writeLastDocument ("<assFile x=\"1920\" y=\"1080\"/><arenaScreens/>"
                       "<looks><look x=\"800\" y=\"600\"><focals><focal uId=\"0123456789abcdef0123456789abcdef\"/></focals></look></looks>");

    ControllerHarness harness;
    auto& controller = harness.start();

    EXPECT_TRUE (controller.model->screens.isEmpty());
    EXPECT_EQ (controller.model->looks[0]->resolution, juce::Point<int> (800, 600));
    ASSERT_EQ (controller.model->looks[0]->focals.size(), 1);

    ASSERT_TRUE (harness.waitForSave());
    const auto root = parseHostXmlFile (juce::File (controller.documentPath));
    const auto written = juce::ValueTree::fromXml (*root);
    const auto look = written.getChildWithName (ids::looks).getChild (0);
    EXPECT_EQ ((int) look[ids::x], 800);
    EXPECT_EQ (look.getChildWithName (ids::focals).getNumChildren(), 1);
}

// Looks whose sides a file gives out of range: above the largest a look
// takes they are brought down to it; a side of 0 under focals (their size)
// takes the default, so that the focals are not left out of the next save.
TEST (FlowControllerLoad, LookSidesOutOfRangeKeepTheirFocals)
{
    const juce::String focal = "<focals><focal uId=\"0123456789abcdef0123456789abcdef\"/></focals>";
    writeLastDocument ("<assFile x=\"1920\" y=\"1080\"/><arenaScreens><screen name=\"S\" uniqueId=\"1\" enabled=\"1\">"
                       + sliceXml (11, 0, 0) + "</screen></arenaScreens><looks>"
                       "<look x=\"0\" y=\"720\">" + focal + "</look>"
                       "<look x=\"2147483647\" y=\"99999\">" + focal + "</look>"
                       "<look x=\"-5\" y=\"0\">" + focal + "</look>"
                       "<look x=\"0\" y=\"0\"/></looks>");

    ControllerHarness harness;
    auto& controller = harness.start();
    const juce::Point<int> expected[] = { { 1920, 720 }, { 16384, 16384 }, { 1920, 1080 }, { 0, 0 } };

    for (int i = 0; i < 4; ++i)
    {
        SCOPED_TRACE (i);
        auto* look = controller.model->looks[i];
        EXPECT_EQ (look->resolution, expected[i]);

        if (i < 3)
        {
            ASSERT_EQ (look->focals.size(), 1);
            EXPECT_GT (look->focals[0]->getStageItem()->getWidth(), 0);
            EXPECT_GT (look->focals[0]->getStageItem()->getHeight(), 0);
        }
    }

    ASSERT_TRUE (harness.waitForSave());
    const juce::File file (controller.documentPath);
    const auto written = juce::ValueTree::fromXml (*parseHostXmlFile (file));

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ (written.getChildWithName (ids::looks).getChild (i).getChildWithName (ids::focals).getNumChildren(), 1) << i;

    expectKeepsContract (file);
}

TEST (FlowControllerLoad, AnUnlinkedDocumentImportsButKeepsItsOwnSlices)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 5) }, { 3840, 2160 }));

    // "assFile" 0, 0 and slices of its own: the import gives size and link only.
    writeLastDocument ("<assFile x=\"0\" y=\"0\"/><arenaScreens><screen name=\"Mine\" uniqueId=\"9\" enabled=\"1\">"
                       + sliceXml (91, 0, 0) + "</screen></arenaScreens>");

    ControllerHarness harness;
    auto& controller = harness.start();

    EXPECT_EQ (controller.model->compositionSize, juce::Point<int> (3840, 2160));
    EXPECT_EQ (controller.assFilePath, seven.setupFile().getFullPathName());
    ASSERT_EQ (controller.model->screens.size(), 1);
    EXPECT_EQ (controller.model->screens[0]->name, "Mine");
    EXPECT_TRUE (controller.FileWatcher::isTimerRunning());

    // One side 0 is a stored size: no import.
    harness.quit();
    writeLastDocument ("<assFile x=\"0\" y=\"1080\"/>");
    auto& again = harness.start();
    EXPECT_EQ (again.model->compositionSize, juce::Point<int> (0, 1080));
    EXPECT_TRUE (again.model->screens.isEmpty());
    ASSERT_TRUE (harness.waitForSave());
    expectKeepsContract (juce::File (again.documentPath));
}

TEST (FlowControllerLoad, TheGuideImageComesBackLockedOrAsAnEmptyUnlockedItem)
{
    const auto png = writePngFile ("guide.png", 400, 200);

    const auto withImage = "<assFile x=\"1920\" y=\"1080\"/><bgImage file=\"" + png.getFullPathName()
                           + "\" bounds=\"10,20;400 200\"><position transform=\"1, 0, 49000, 0, 1, 4000\" finalRotation=\"0\"/></bgImage>";
    writeLastDocument (withImage);

    ControllerHarness harness;
    auto& controller = harness.start();
    auto* item = controller.backgroundGuide->getStageItem();
    ASSERT_NE (item, nullptr);
    EXPECT_EQ (controller.backgroundGuide->file, png.getFullPathName());
    EXPECT_TRUE (item->locked);
    EXPECT_EQ (item->getBounds(), juce::Rectangle<int> (10, 20, 400, 200));
    EXPECT_EQ (item->committedTransform, juce::AffineTransform::translation (49000.0f, 4000.0f));
    EXPECT_EQ (harness.stage->backgroundItem, item);

    // The lock button catches up through the message loop and its report
    // empties the selection.
    ASSERT_TRUE (pumpUntil ([&] { return lockAgrees (item); }));
    EXPECT_FALSE (item->removeButton->isEnabled());
    EXPECT_TRUE (harness.stage->transformerManager->selection.isEmpty());

    // The file is gone: no image, unlocked, still the background item; its
    // bounds and position are not applied.
    harness.quit();
    png.deleteFile();
    auto& again = harness.start();
    auto* empty = again.backgroundGuide->getStageItem();
    ASSERT_NE (empty, nullptr);
    EXPECT_FALSE (empty->locked);
    EXPECT_NE (empty->getBounds(), juce::Rectangle<int> (10, 20, 400, 200));
    EXPECT_EQ (harness.stage->backgroundItem, empty);
    pumpMessageLoop (50);
    EXPECT_TRUE (lockAgrees (empty));
}
