// Start-up, shutdown and the deferred save of the controller, on real files
// in the test's own HOME.
#include "app/ControllerHarness.h"

#include "host/ArenaSetupReader.h"
#include "host/HostXmlFile.h"
#include "host/PluginInstaller.h"
#include "model/FileLess.h"
#include "model/Ids.h"
#include "platform/Trash.h"
#include "support/DocumentContract.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
juce::File applicationFolder()
{
    return test::documentsFolder().getChildFile ("Corvadine");
}

juce::ValueTree readDocument (const juce::File& file)
{
    auto root = parseHostXmlFile (file);
    return root != nullptr ? juce::ValueTree::fromXml (*root) : juce::ValueTree();
}

juce::String preferencesEntry (const juce::String& tag, const juce::String& attribute)
{
    auto root = parseHostXmlFile (applicationFolder().getChildFile ("preferences/preferences.xml"));

    if (root == nullptr)
        return "<no preferences>";

    auto* element = root->getChildByName (tag);
    return element != nullptr ? element->getStringAttribute (attribute) : "<missing>";
}

void writePreferencesNaming (const juce::File& document)
{
    writeTextFile (applicationFolder().getChildFile ("preferences/preferences.xml"),
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<preferences>\n  <lastusedfile fullpathname=\""
                       + document.getFullPathName() + "\"/>\n  <app version=\"" + FileLess::preferencesAppVersion()
                       + "\"/>\n</preferences>\n");
}

int countRequests (const DialogManager::ScopedAnswerer& answerer, DialogManager::Request::Kind kind)
{
    int count = 0;

    for (const auto& request : answerer.requests)
        if (request.kind == kind)
            ++count;

    return count;
}

void expectKeepsContract (const juce::File& file)
{
    const auto problems = checkDocumentFile (file);
    EXPECT_TRUE (problems.isEmpty()) << file.getFullPathName() << ":\n" << problems.joinIntoString ("\n");
}
} // namespace

TEST (FlowControllerStartup, FirstStartMakesTheDocumentThePreferencesAndThePlugins)
{
    HostFolder seven (7), six (6);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }, { 1280, 720 }));
    six.writeSetup (screenSetupText ({ rowOfSlices (2, 2) }, { 1920, 1080 }));

    ControllerHarness harness;
    harness.hostVersionAnswer = 1;
    auto& controller = harness.start();

    const auto document = applicationFolder().getChildFile ("NewCorvadineDocument.xml");
    EXPECT_EQ (controller.documentPath, document.getFullPathName());
    EXPECT_EQ (preferencesEntry ("lastusedfile", "fullpathname"), document.getFullPathName());
    EXPECT_EQ (preferencesEntry ("app", "version"), FileLess::preferencesAppVersion());

    // Both host versions are installed: the import asked which one.
    EXPECT_EQ (countRequests (*harness.dialogs, DialogManager::Request::Kind::hostVersion), 1);
    EXPECT_EQ (controller.assFilePath, seven.setupFile().getFullPathName());
    EXPECT_EQ (controller.model->compositionSize, juce::Point<int> (1280, 720));
    EXPECT_EQ (harness.sliceItems().size(), 3);

    // Created empty at once, written by the deferred save about a second later.
    EXPECT_TRUE (document.existsAsFile());
    EXPECT_EQ (document.getSize(), 0);
    EXPECT_TRUE (controller.FileLess::isTimerRunning());
    ASSERT_TRUE (harness.waitForSave());

    const auto written = readDocument (document);
    ASSERT_TRUE (written.isValid());
    EXPECT_EQ (written.getType(), ids::Corvadine);
    EXPECT_EQ (written[ids::version].toString(), "0.9.9");

    for (const auto* type : { &ids::assFile, &ids::bgImage, &ids::arenaScreens, &ids::looks })
        EXPECT_TRUE (written.getChildWithName (*type).isValid()) << type->toString();

    const auto link = written.getChildWithName (ids::assFile);
    EXPECT_EQ (link[ids::name].toString(), seven.setupFile().getFullPathName());
    EXPECT_EQ ((int) link[ids::x], 1280);
    EXPECT_EQ ((int) link[ids::y], 720);
    EXPECT_EQ (written.getChildWithName (ids::arenaScreens).getChild (0).getNumChildren(), 3);
    EXPECT_EQ (written.getChildWithName (ids::looks).getNumChildren(), 16);
    expectKeepsContract (document);

    // The poller watches the imported setup file.
    EXPECT_TRUE (controller.FileWatcher::isTimerRunning());
    EXPECT_EQ (controller.FileWatcher::path, seven.setupFile().getFullPathName());

    // First run: the plug-ins are unpacked into each installed host's folder.
    for (const auto* bundle : { "FFGLCorvadine.bundle", "FFGLCorvadineTestCard.bundle" })
        EXPECT_TRUE (pluginBundleFolderForVersion (7).getChildFile (bundle).isDirectory()) << bundle;

    EXPECT_TRUE (pluginBundleFolderForVersion (6).getChildFile ("FFGLCorvadine.bundle").isDirectory());
}

TEST (FlowControllerStartup, WithoutAnyHostTheNewDocumentHasNoScreensAndNothingIsWatched)
{
    ControllerHarness harness;
    auto& controller = harness.start();

    EXPECT_EQ (harness.dialogs->requests.size(), 0);
    EXPECT_TRUE (controller.model->screens.isEmpty());
    EXPECT_EQ (controller.model->looks.size(), 16);
    EXPECT_EQ (controller.model->compositionSize, juce::Point<int> (1920, 1080));
    EXPECT_FALSE (controller.FileWatcher::isTimerRunning());

    ASSERT_TRUE (harness.waitForSave());
    expectKeepsContract (juce::File (controller.documentPath));
    EXPECT_FALSE (arenaFolderForVersion (7).exists());
    EXPECT_FALSE (arenaFolderForVersion (6).exists());
}

TEST (FlowControllerStartup, SecondStartReopensTheLastDocumentWithWhatTheUserDid)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }));

    ControllerHarness harness;
    auto& first = harness.start();
    first.addFocalClicked (0);
    const auto focalId = first.model->looks[0]->focals[0]->uId;
    const auto path = first.documentPath;
    ASSERT_TRUE (harness.waitForSave());

    auto& second = harness.restart();
    EXPECT_EQ (second.documentPath, path);
    ASSERT_EQ (second.model->looks[0]->focals.size(), 1);
    EXPECT_EQ (second.model->looks[0]->focals[0]->uId, focalId);
    EXPECT_EQ (harness.sliceItems().size(), 3);
    EXPECT_FALSE (applicationFolder().getChildFile ("NewCorvadineDocument 2.xml").exists());

    // Linked already: no import, so no question.
    EXPECT_EQ (countRequests (*harness.dialogs, DialogManager::Request::Kind::hostVersion), 0);

    ASSERT_TRUE (harness.waitForSave());
    const auto written = readDocument (juce::File (path));
    EXPECT_EQ (written[ids::version].toString(), "0.9.9");
    EXPECT_EQ (written.getChildWithName (ids::looks).getChild (0).getChildWithName (ids::focals).getNumChildren(), 1);
    expectKeepsContract (juce::File (path));
}

TEST (FlowControllerStartup, ALastDocumentThatCannotBeAdoptedIsLeftByteForByte)
{
    struct Case
    {
        const char* fileName;
        const char* text;
        const char* newDocumentName;
    };

    const Case cases[] = {
        { "Old.xml", "<?xml version=\"1.0\"?>\n<Corvadine version=\"0.9.3\"><looks/></Corvadine>\n", "NewCorvadineDocument.xml" },
        { "Other.xml", "<?xml version=\"1.0\"?>\n<corvadine version=\"0.9.9\"/>\n", "NewCorvadineDocument.xml" },
        { "Cut.xml", "<?xml version=\"1.0\"?>\n<Corvadine version=\"0.9.9\"><looks><look x=\"19", "NewCorvadineDocument.xml" },
        // Cut inside its last end tags: a part of a document, which a save
        // would make the whole of it.
        { "CutAtTheEnd.xml", "<?xml version=\"1.0\"?>\n<Corvadine version=\"0.9.9\"><looks><look x=\"1920\"/></looks></Corvad",
          "NewCorvadineDocument.xml" },
        { "Hostile.xml", "<!DOCTYPE a [<!ENTITY a \"aaaa\">]><Corvadine version=\"0.9.9\">&a;</Corvadine>", "NewCorvadineDocument.xml" },
        // The new-document file itself, holding something else: kept, and
        // the new document takes the next name.
        { "NewCorvadineDocument.xml", "<Show><cue/></Show>", "NewCorvadineDocument 2.xml" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.fileName);
        applicationFolder().deleteRecursively();

        const auto last = applicationFolder().getChildFile (c.fileName);
        writeTextFile (last, c.text);
        writePreferencesNaming (last);
        const auto before = fileBytes (last);

        {
            ControllerHarness harness;
            auto& controller = harness.start();
            const auto expected = applicationFolder().getChildFile (c.newDocumentName);
            EXPECT_EQ (controller.documentPath, expected.getFullPathName());
            ASSERT_TRUE (harness.waitForSave());
            EXPECT_EQ (preferencesEntry ("lastusedfile", "fullpathname"), expected.getFullPathName());
            expectKeepsContract (expected);
        }

        EXPECT_EQ (fileBytes (last), before);
    }
}

TEST (FlowControllerStartup, PreferencesNamingNothingUsableStartANewDocument)
{
    const juce::String cases[] = {
        "",                                                  // empty file
        "not xml at all",                                    // unreadable
        "<preferences/>",                                    // no entry
        "<preferences><LASTUSEDFILE fullpathname=\"\"/></preferences>", // empty name, tag in another case
        "<preferences><lastusedfile fullpathname=\"relative/doc.xml\"/></preferences>",
        "<preferences><lastusedfile fullpathname=\"/nowhere/gone.xml\"/></preferences>",
    };

    for (const auto& text : cases)
    {
        SCOPED_TRACE (text);
        applicationFolder().deleteRecursively();
        writeTextFile (applicationFolder().getChildFile ("preferences/preferences.xml"), text);

        ControllerHarness harness;
        auto& controller = harness.start();
        EXPECT_EQ (controller.documentPath, applicationFolder().getChildFile ("NewCorvadineDocument.xml").getFullPathName());
        EXPECT_TRUE (controller.FileLess::isTimerRunning());
    }

    // A folder in place of the document counts as missing.
    applicationFolder().deleteRecursively();
    const auto folder = applicationFolder().getChildFile ("AFolder.xml");
    folder.createDirectory();
    writePreferencesNaming (folder);

    ControllerHarness harness;
    EXPECT_EQ (harness.start().documentPath, applicationFolder().getChildFile ("NewCorvadineDocument.xml").getFullPathName());
    EXPECT_TRUE (folder.isDirectory());
}

TEST (FlowControllerStartup, ADocumentWithoutVersionIsAdoptedAndStamped)
{
    const auto last = applicationFolder().getChildFile ("Show.xml");
    writeTextFile (last, "<?xml version=\"1.0\"?>\n<Corvadine><assFile x=\"1920\" y=\"1080\"/></Corvadine>\n");
    writePreferencesNaming (last);

    ControllerHarness harness;
    auto& controller = harness.start();
    EXPECT_EQ (controller.documentPath, last.getFullPathName());
    EXPECT_EQ (controller.document[ids::version].toString(), "0.9.9");
    ASSERT_TRUE (harness.waitForSave());
    EXPECT_EQ (readDocument (last)[ids::version].toString(), "0.9.9");
}

TEST (FlowControllerStartup, ABurstOfChangesIsWrittenOnce)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }));

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_TRUE (harness.waitForSave());
    const juce::File document (controller.documentPath);

    for (int i = 0; i < 5; ++i)
    {
        harness.stage->onStageChanged();
        pumpMessageLoop (40);
    }

    controller.addFocalClicked (0);
    EXPECT_EQ (countWrites (document, 4000), 1);
    expectKeepsContract (document);
}

TEST (FlowControllerStartup, QuittingHalfASecondAfterAChangeWritesIt)
{
    HostFolder seven (7);
    seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }));

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_TRUE (harness.waitForSave());
    const juce::File document (controller.documentPath);

    controller.addFocalClicked (3);
    pumpMessageLoop (500);
    harness.quit();

    const auto written = readDocument (document);
    EXPECT_EQ (written.getChildWithName (ids::looks).getChild (3).getChildWithName (ids::focals).getNumChildren(), 1);
    expectKeepsContract (document);
}

TEST (FlowControllerStartup, AnUnchangedVersionOnlyAddsMissingPlugins)
{
    HostFolder seven (7), six (6);
    {
        ControllerHarness harness;
        harness.start();
    }

    const auto bundle7 = pluginBundleFolderForVersion (7).getChildFile ("FFGLCorvadineTestCard.bundle");
    const auto bundle6 = pluginBundleFolderForVersion (6).getChildFile ("FFGLCorvadine.bundle");
    ASSERT_TRUE (bundle7.isDirectory());
    ASSERT_TRUE (bundle6.isDirectory());

    // A file the user changed inside a bundle stays as it is; a missing
    // bundle comes back.
    const auto marker = bundle6.getChildFile ("user-note.txt");
    writeTextFile (marker, "kept");
    bundle7.deleteRecursively();

    ControllerHarness harness;
    harness.start();
    EXPECT_TRUE (bundle7.isDirectory());
    EXPECT_TRUE (marker.existsAsFile());
}

TEST (FlowControllerStartup, AnUpdateReplacesThePluginsUnlessTheUserSkipsIt)
{
    struct Case
    {
        const char* name;
        bool moveFails;
        int answer; // to "Can't update plugins": 0 "OK", 1 "Skip update"
        bool oldBundleKept;
    };

    const Case cases[] = {
        { "moved to the Trash and unpacked again", false, 0, false },
        { "the move fails, the user skips", true, 1, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        test::documentsFolder().deleteRecursively();
        HostFolder seven (7);

        // Another application version ran last.
        writeTextFile (applicationFolder().getChildFile ("preferences/preferences.xml"),
                       "<preferences><app version=\"0.9.8.d\"/></preferences>");
        const auto marker = pluginBundleFolderForVersion (7).getChildFile ("FFGLCorvadine.bundle/old-build.txt");
        writeTextFile (marker, "old");

        int failures = 0;
        Trash::ScopedMover mover ([&] (const juce::File& item)
        {
            if (c.moveFails)
            {
                ++failures;
                return false;
            }

            return item.deleteRecursively();
        });

        ControllerHarness harness;
        harness.answer = [&] (const DialogManager::Request& request)
        {
            EXPECT_EQ (request.title, "Can't update plugins");
            return c.answer;
        };
        harness.start();

        EXPECT_EQ (failures > 0, c.moveFails);
        EXPECT_EQ (marker.existsAsFile(), c.oldBundleKept);
        EXPECT_EQ (harness.dialogs->requests.size(), c.moveFails ? 1 : 0);
        EXPECT_TRUE (pluginBundleFolderForVersion (7).getChildFile ("FFGLCorvadine.bundle").isDirectory());

        if (! c.moveFails)
            EXPECT_TRUE (pluginBundleFolderForVersion (7).getChildFile ("FFGLCorvadineTestCard.bundle").isDirectory());
    }
}
