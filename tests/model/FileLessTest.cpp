#include "model/FileLess.h"
#include "model/DocumentFormat.h"
#include "model/Ids.h"
#include "support/TestSupport.h"
#include "widgets/DialogComponent.h"
#include "widgets/DialogManager.h"

#include <gtest/gtest.h>

#include <limits>

using namespace corvadine;

namespace
{
const juce::String header = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n";

juce::File appFolder()
{
    return test::documentsFolder().getChildFile ("Corvadine");
}

// A file in the application folder, which is made first: the store writes
// into folders that exist, it does not make them.
juce::File documentFile (const juce::String& name)
{
    appFolder().createDirectory();
    return appFolder().getChildFile (name);
}

juce::File prefsFile()
{
    return appFolder().getChildFile ("preferences/preferences.xml");
}

juce::String freshPreferences (const juce::String& documentPath)
{
    return header
         + "<preferences>\r\n"
           "  <lastusedfile fullpathname=\"" + documentPath + "\"/>\r\n"
           "  <app version=\"0.9.9.d\"/>\r\n"
           "</preferences>\r\n";
}

// Counts the deferred saves that actually run, and the times the user is
// told that writes fail (without a modal dialog).
struct CountingStore final : FileLess
{
    void timerCallback() override
    {
        ++saves;
        FileLess::timerCallback();
    }

    void showWriteFailure (const juce::String& error) override
    {
        told.add (error);
    }

    int saves = 0;
    juce::StringArray told;
};

void change (FileLess& store, const juce::String& name)
{
    juce::ValueTree child { name };
    store.replaceChild (child);
    store.startDeferredSave();
}
} // namespace

TEST (FileLess, StartsEmptyWithNothingWritten)
{
    FileLess store;

    EXPECT_EQ (store.document.getType(), ids::Corvadine);
    EXPECT_EQ (store.document.getNumProperties(), 0);
    EXPECT_EQ (store.document.getNumChildren(), 0);
    EXPECT_TRUE (store.documentPath.isEmpty());
    EXPECT_FALSE (store.appVersionChanged);
    EXPECT_EQ (store.minimumVersion, "0.9.4");
    EXPECT_FALSE (store.isTimerRunning());
    EXPECT_FALSE (appFolder().exists());
}

TEST (FileLess, FirstRunWritesFreshPreferencesAndFlagsTheUpdate)
{
    FileLess store;
    store.documentPath = "/somewhere/My Show.xml";
    store.savePreferences();

    EXPECT_TRUE (appFolder().isDirectory());
    EXPECT_EQ (prefsFile().loadFileAsString(), freshPreferences ("/somewhere/My Show.xml"));
    EXPECT_TRUE (store.appVersionChanged);
}

TEST (FileLess, UnreadablePreferencesAreReplacedByFreshOnes)
{
    for (const auto* content : { "", "not xml at all", "<preferences><lastusedfile",
                                 // JUCE's own parser never returns from this one.
                                 "<preferences><?p?>text</preferences>",
                                 "<!DOCTYPE p [<!ENTITY a \"&a;\">]><preferences x=\"&a;\"/>" })
    {
        test::writeTextFile (prefsFile(), content);
        FileLess store;
        store.documentPath = "/a/b.xml";
        store.savePreferences();

        EXPECT_EQ (prefsFile().loadFileAsString(), freshPreferences ("/a/b.xml")) << content;
        EXPECT_TRUE (store.appVersionChanged) << content;
    }
}

TEST (FileLess, ExistingPreferencesKeepForeignContentAndAreUpdatedInPlace)
{
    test::writeTextFile (prefsFile(),
                         "<?xml version=\"1.0\"?>\n"
                         "<Settings owner=\"plugin\">\n"
                         "  <window x=\"12\"/>\n"
                         "  <LastUsedFile fullpathname=\"/old.xml\" extra=\"kept\"/>\n"
                         "  <lastusedfile fullpathname=\"/second.xml\"/>\n"
                         "  <plugin name=\"FFGLCorvadine\"/>\n"
                         "</Settings>\n");

    FileLess store;
    store.documentPath = "/new/doc.xml";
    store.savePreferences();

    EXPECT_EQ (prefsFile().loadFileAsString(),
               header
             + "<Settings owner=\"plugin\">\r\n"
               "  <window x=\"12\"/>\r\n"
               "  <LastUsedFile fullpathname=\"/new/doc.xml\" extra=\"kept\"/>\r\n"
               "  <lastusedfile fullpathname=\"/second.xml\"/>\r\n"
               "  <plugin name=\"FFGLCorvadine\"/>\r\n"
               "  <app version=\"0.9.9.d\"/>\r\n"
               "</Settings>\r\n");
    EXPECT_TRUE (store.appVersionChanged);

    // A second write finds both elements where they are.
    store.documentPath = "/newer.xml";
    store.savePreferences();
    const auto text = prefsFile().loadFileAsString();
    EXPECT_TRUE (text.contains ("<LastUsedFile fullpathname=\"/newer.xml\" extra=\"kept\"/>"));
    EXPECT_EQ (text.indexOf ("<app "), text.lastIndexOf ("<app "));
}

TEST (FileLess, PreferencesNeverReadAFileTheirDoctypeNames)
{
    // A preferences file naming an outside file as its DTD: reading it there
    // would take that file's text into the preferences (or, for a device or
    // a pipe, never end).
    const auto outside = test::testHome().getChildFile ("outside.dtd");
    test::writeTextFile (outside, "<!ENTITY secret \"from-the-outside-file\">");
    test::writeTextFile (prefsFile(),
                         "<?xml version=\"1.0\"?>\n"
                         "<!DOCTYPE preferences SYSTEM \"" + outside.getFullPathName() + "\">\n"
                         "<preferences><note>&secret;</note>"
                         "<lastusedfile fullpathname=\"/old.xml\"/><app version=\"0.9.9.d\"/></preferences>\n");

    FileLess store;
    store.documentPath = "/new/doc.xml";
    store.savePreferences();

    const auto text = prefsFile().loadFileAsString();
    EXPECT_FALSE (text.contains ("from-the-outside-file")) << text;
    EXPECT_TRUE (text.contains ("<lastusedfile fullpathname=\"/new/doc.xml\"/>")) << text;
}

TEST (FileLess, AppVersionChangedFollowsTheRecordedVersionExactly)
{
    struct Case { const char* app; bool changed; };
    const Case cases[] = {
        { "<app version=\"0.9.9.d\"/>", false },
        { "<APP version=\"0.9.9.d\"/>", false }, // tags ignore case
        { "<app version=\"0.9.9\"/>", true },
        { "<app version=\"0.9.9.D\"/>", true },  // values do not
        { "<app Version=\"0.9.9.d\"/>", true },  // nor attribute names
        { "<app/>", true },
        { "", true },
    };

    for (const auto& c : cases)
    {
        test::writeTextFile (prefsFile(), juce::String ("<preferences><lastusedfile fullpathname=\"\"/>") + c.app
                                              + "</preferences>");
        FileLess store;
        store.savePreferences();
        EXPECT_EQ (store.appVersionChanged, c.changed) << c.app;

        // Once set, the flag stays, though the file now names this version.
        store.savePreferences();
        EXPECT_EQ (store.appVersionChanged, c.changed) << c.app;
        EXPECT_TRUE (prefsFile().loadFileAsString().contains ("version=\"0.9.9.d\""));
    }
}

TEST (FileLess, VersionTableAgainstTheMinimum)
{
    FileLess store;
    struct Case { const char* version; bool accepted; };
    const Case cases[] = {
        { "0.9.4", true },  { "0.9.9", true },   { "0.9.10", true }, { "0.10.0", true },
        { "1.0.0", true },  { "0.9.4.7", true }, { " 0.+9.4x", true }, { "0.9.3", false },
        { "0.8.12", false }, { "0.9", false },   { "", false },      { "abc", false },
        { "-1.9.9", false }, { "99999999999999999999.0.0", true },
    };

    for (const auto& c : cases)
        EXPECT_EQ (store.isVersionAtLeast (c.version), c.accepted) << c.version;

    store.minimumVersion = "1";
    EXPECT_TRUE (store.isVersionAtLeast ("1.0.0"));
    EXPECT_FALSE (store.isVersionAtLeast ("0.99.99"));
}

TEST (FileLess, LoadCheckTable)
{
    FileLess store;
    struct Case { const char* text; FileLess::LoadCheck expected; };
    const Case cases[] = {
        { "<Corvadine version=\"0.9.9\"/>", FileLess::LoadCheck::accepted },
        { "<Corvadine/>", FileLess::LoadCheck::accepted }, // no version reads as 1.0.0
        { "<Corvadine version=\"0.9.4\"><looks/></Corvadine>", FileLess::LoadCheck::accepted },
        { "<corvadine version=\"0.9.9\"/>", FileLess::LoadCheck::notADocument },
        { "<preferences/>", FileLess::LoadCheck::notADocument },
        { "<Corvadine version=\"0.9.3\"/>", FileLess::LoadCheck::tooOld },
        { "<Corvadine version=\"\"/>", FileLess::LoadCheck::tooOld },
        { "", FileLess::LoadCheck::notADocument },
        { "<Corvadine version=\"1.0\"><looks>", FileLess::LoadCheck::notADocument },
    };

    for (const auto& c : cases)
    {
        const auto file = test::documentsFolder().getChildFile ("candidate.xml");
        test::writeTextFile (file, c.text);
        const auto root = juce::parseXML (file);
        EXPECT_EQ (store.checkDocument (root.get()), c.expected) << c.text;
    }

    EXPECT_EQ (store.checkDocument (juce::parseXML (juce::File ("/no/such/file.xml")).get()),
               FileLess::LoadCheck::notADocument);
}

TEST (FileLess, DeferredSaveWritesOnceASecondAfterTheFirstChangeWithAllChanges)
{
    const auto file = documentFile ("show.xml");
    CountingStore store;
    store.documentPath = file.getFullPathName();
    store.document.setProperty (ids::version, "0.9.9", nullptr);

    const auto start = juce::Time::getMillisecondCounter();
    change (store, "looks");
    test::pumpMessageLoop (800);
    EXPECT_FALSE (file.exists());

    // A second change while the save waits does not move the save later.
    // Made late in the wait, so a restarted wait would be clearly later.
    change (store, "assFile");
    ASSERT_TRUE (test::pumpUntil ([&] { return file.existsAsFile(); }, 5000));
    const auto elapsed = juce::Time::getMillisecondCounter() - start;
    EXPECT_GE (elapsed, 1000u);
    EXPECT_LT (elapsed, 1800u); // a restarted wait would have needed at least 1800 ms
    EXPECT_TRUE (store.flushPendingSave()); // the background write, done with the preferences

    EXPECT_EQ (file.loadFileAsString(),
               header
             + "<Corvadine version=\"0.9.9\">\r\n"
               "  <looks/>\r\n"
               "  <assFile/>\r\n"
               "</Corvadine>\r\n");
    EXPECT_FALSE (store.isTimerRunning());
    EXPECT_EQ (prefsFile().loadFileAsString(), freshPreferences (file.getFullPathName()));

    test::pumpMessageLoop (1200);
    EXPECT_EQ (store.saves, 1);

    // A change after the save starts a new wait, which writes it.
    change (store, "bgImage");
    EXPECT_TRUE (store.isTimerRunning());
    EXPECT_FALSE (file.loadFileAsString().contains ("bgImage"));
    store.timerCallback();
    EXPECT_FALSE (store.isTimerRunning());
    // The save is written in the background; a flush waits for it.
    EXPECT_TRUE (store.flushPendingSave());
    EXPECT_TRUE (file.loadFileAsString().contains ("<bgImage/>"));
    EXPECT_FALSE (store.isTimerRunning());
}

TEST (FileLess, PendingSaveIsWrittenWhenTheStoreIsDestroyed)
{
    const auto file = documentFile ("quit.xml");
    test::writeTextFile (file, "<Corvadine/>");

    {
        FileLess store;
        store.documentPath = file.getFullPathName();
        change (store, "looks");
    }

    EXPECT_EQ (file.loadFileAsString(), header + "<Corvadine>\r\n  <looks/>\r\n</Corvadine>\r\n");
    EXPECT_EQ (prefsFile().loadFileAsString(), freshPreferences (file.getFullPathName()));

    // Without a pending save, destruction writes nothing.
    const auto other = documentFile ("idle.xml");
    test::writeTextFile (other, "untouched");
    {
        FileLess store;
        store.documentPath = other.getFullPathName();
        store.replaceChild (juce::ValueTree { ids::looks });
    }
    EXPECT_EQ (other.loadFileAsString(), "untouched");
}

TEST (FileLess, PendingSaveGoesToTheOldFileBeforeTheDocumentOrPathChanges)
{
    const auto first = documentFile ("first.xml");
    const auto second = documentFile ("second.xml");
    const auto third = documentFile ("third.xml");

    FileLess store;
    store.documentPath = first.getFullPathName();
    change (store, "looks");

    juce::ValueTree loaded { ids::Corvadine };
    loaded.setProperty (ids::version, "0.9.5", nullptr);
    store.replaceDocument (loaded, second.getFullPathName());

    EXPECT_EQ (first.loadFileAsString(), header + "<Corvadine>\r\n  <looks/>\r\n</Corvadine>\r\n");
    EXPECT_FALSE (store.isTimerRunning());
    EXPECT_EQ (store.document, loaded);
    EXPECT_EQ (store.documentPath, second.getFullPathName());
    EXPECT_FALSE (second.exists());

    // "Save as...": the pending change reaches the old file, then the new path.
    change (store, "assFile");
    store.setDocumentPath (third.getFullPathName());
    EXPECT_EQ (second.loadFileAsString(), header + "<Corvadine version=\"0.9.5\">\r\n  <assFile/>\r\n</Corvadine>\r\n");
    EXPECT_EQ (store.documentPath, third.getFullPathName());
    store.startDeferredSave();
    store.timerCallback();
    EXPECT_TRUE (store.flushPendingSave());
    EXPECT_EQ (third.loadFileAsString(), second.loadFileAsString());

    // An invalid tree is refused: the store keeps its document and path.
    store.replaceDocument ({}, first.getFullPathName());
    EXPECT_EQ (store.document, loaded);
    EXPECT_EQ (store.documentPath, third.getFullPathName());
}

TEST (FileLess, FailedWriteIsTriedAgainASecondLater)
{
    // A regular file where the document's folder should be: no write can succeed.
    const auto blocker = appFolder().getChildFile ("shows");
    test::writeTextFile (blocker, "in the way");
    const auto file = blocker.getChildFile ("show.xml");

    CountingStore store;
    store.documentPath = file.getFullPathName();
    change (store, "looks");
    store.timerCallback();
    EXPECT_FALSE (store.flushPendingSave());

    EXPECT_FALSE (file.exists());
    EXPECT_TRUE (store.isTimerRunning());
    EXPECT_EQ (store.getTimerInterval(), 1000);
    EXPECT_TRUE (store.lastWriteFailed());
    EXPECT_EQ (store.lastWriteError(), file.getFullPathName() + ": Not a directory");

    // Told once, after the save, however many retries fail meanwhile.
    EXPECT_TRUE (store.told.isEmpty());
    ASSERT_TRUE (test::pumpUntil ([&] { return store.saves >= 3; }, 5000));
    EXPECT_EQ (store.told, juce::StringArray { file.getFullPathName() + ": Not a directory" });

    blocker.deleteFile();
    blocker.createDirectory();
    ASSERT_TRUE (test::pumpUntil ([&] { return ! store.lastWriteFailed(); }, 5000));
    EXPECT_EQ (file.loadFileAsString(), header + "<Corvadine>\r\n  <looks/>\r\n</Corvadine>\r\n");
    EXPECT_FALSE (store.isTimerRunning());
    EXPECT_FALSE (store.lastWriteFailed());
    EXPECT_EQ (store.told.size(), 1);
}

TEST (FileLess, NewDocumentTakesTheFirstNameThatHoldsNoDocument)
{
    const auto folder = appFolder();
    const auto plain = folder.getChildFile ("NewCorvadineDocument.xml");

    FileLess store;
    store.document.setProperty (ids::version, "0.9.9", nullptr);
    store.replaceChild (juce::ValueTree { ids::looks });
    store.replaceChild (juce::ValueTree { ids::assFile });

    // No file yet: it is created empty and recorded as the last used file.
    store.newDocument();
    EXPECT_EQ (store.documentPath, plain.getFullPathName());
    EXPECT_TRUE (plain.existsAsFile());
    EXPECT_EQ (plain.getSize(), 0);
    EXPECT_EQ (store.document.getNumChildren(), 0);
    EXPECT_EQ (store.document[ids::version].toString(), "0.9.9");
    EXPECT_EQ (prefsFile().loadFileAsString(), freshPreferences (plain.getFullPathName()));
    EXPECT_FALSE (store.isTimerRunning());

    // An empty file of that name is taken again.
    store.newDocument();
    EXPECT_EQ (store.documentPath, plain.getFullPathName());

    // Files holding documents, and a folder, are passed over, and stay as they are.
    const juce::String firstShow = "<Corvadine version=\"0.9.9\"><looks/></Corvadine>";
    test::writeTextFile (plain, firstShow);
    folder.getChildFile ("NewCorvadineDocument 2.xml").createDirectory();
    test::writeTextFile (folder.getChildFile ("NewCorvadineDocument 3.xml"), "x");

    store.newDocument();
    const auto fourth = folder.getChildFile ("NewCorvadineDocument 4.xml");
    EXPECT_EQ (store.documentPath, fourth.getFullPathName());
    EXPECT_TRUE (fourth.existsAsFile());
    EXPECT_EQ (plain.loadFileAsString(), firstShow);
    EXPECT_EQ (folder.getChildFile ("NewCorvadineDocument 3.xml").loadFileAsString(), "x");
    EXPECT_TRUE (prefsFile().loadFileAsString().contains (fourth.getFullPathName()));
}

TEST (FileLess, NewDocumentWritesThePendingSaveOfTheOldDocumentFirst)
{
    const auto file = documentFile ("before new.xml");

    FileLess store;
    store.documentPath = file.getFullPathName();
    change (store, "looks");
    store.newDocument();

    EXPECT_EQ (file.loadFileAsString(), header + "<Corvadine>\r\n  <looks/>\r\n</Corvadine>\r\n");
    EXPECT_EQ (appFolder().getChildFile ("NewCorvadineDocument.xml").getSize(), 0);
}

TEST (FileLess, ReplaceChildAndGetOrCreateChild)
{
    FileLess store;
    auto& doc = store.document;
    doc.appendChild (juce::ValueTree { ids::looks }.setProperty (ids::x, 1, nullptr), nullptr);
    doc.appendChild (juce::ValueTree { ids::bgImage }, nullptr);
    doc.appendChild (juce::ValueTree { ids::looks }.setProperty (ids::x, 2, nullptr), nullptr);

    // Only the first of the type goes; the new one goes last.
    store.replaceChild (juce::ValueTree { ids::looks }.setProperty (ids::x, 3, nullptr));
    ASSERT_EQ (doc.getNumChildren(), 3);
    EXPECT_EQ (doc.getChild (0).getType(), ids::bgImage);
    EXPECT_EQ (static_cast<int> (doc.getChild (1)[ids::x]), 2);
    EXPECT_EQ (static_cast<int> (doc.getChild (2)[ids::x]), 3);

    // A type the document does not hold is only appended.
    store.replaceChild (juce::ValueTree { ids::assFile });
    EXPECT_EQ (doc.getNumChildren(), 4);
    EXPECT_EQ (doc.getChild (3).getType(), ids::assFile);

    // Existing: the first of its type, nothing added.
    EXPECT_EQ (store.getOrCreateChild (ids::looks), doc.getChild (1));
    EXPECT_EQ (doc.getNumChildren(), 4);

    // Missing: a new empty child, now the last.
    auto screens = store.getOrCreateChild (ids::arenaScreens);
    EXPECT_EQ (doc.getNumChildren(), 5);
    EXPECT_EQ (doc.getChild (4), screens);
    EXPECT_EQ (screens.getNumProperties() + screens.getNumChildren(), 0);
}

TEST (FileLess, FoldersAreCreatedWhenAskedFor)
{
    EXPECT_FALSE (appFolder().exists());
    EXPECT_EQ (documentsFolder(), appFolder());
    EXPECT_TRUE (appFolder().isDirectory());

    // The preferences' folder is made, the file itself only by a whole
    // write: an empty file made first is all a crash would leave.
    const auto prefs = preferencesFile();
    EXPECT_EQ (prefs, prefsFile());
    EXPECT_TRUE (prefs.getParentDirectory().isDirectory());
    EXPECT_FALSE (prefs.exists());

    // An existing file is left as it is.
    test::writeTextFile (prefs, "<preferences/>");
    preferencesFile();
    EXPECT_EQ (prefs.loadFileAsString(), "<preferences/>");
}

TEST (FileLess, SavedDocumentHoldsNoNonFiniteNumber)
{
    const auto file = documentFile ("finite.xml");
    FileLess store;
    store.documentPath = file.getFullPathName();
    juce::ValueTree position { ids::position };
    position.setProperty (ids::finalRotation, std::numeric_limits<double>::infinity(), nullptr);
    store.replaceChild (position);
    store.startDeferredSave();
    store.timerCallback();
    store.flushPendingSave();

    EXPECT_EQ (file.loadFileAsString(),
               header + "<Corvadine>\r\n  <position finalRotation=\"0.0\"/>\r\n</Corvadine>\r\n");
}

TEST (FileLess, LoadErrorDialogShowsItsMessageUntilOkIsPressed)
{
    juce::String title, message;
    juce::StringArray buttons;

    test::callAfter (100, [&]
    {
        auto* dialog = dynamic_cast<DialogComponent*> (juce::Component::getCurrentlyModalComponent());

        if (dialog == nullptr || dialog->buttons.isEmpty())
        {
            ADD_FAILURE() << "no dialog on screen";
            juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
            return;
        }

        title = dialog->titleLabel.getText();
        message = dialog->messageLabel.getText();

        for (auto* button : dialog->buttons)
            buttons.add (button->getButtonText());

        test::clickThroughWindow (*dialog->buttons[0]);
    });

    showLoadErrorDialog();

    EXPECT_EQ (title, "Oh no! Load error...");
    EXPECT_EQ (message, "I couldn't read that file. Are you sure it's a valid Corvadine document?");
    EXPECT_EQ (buttons, juce::StringArray { "Ok" });
    EXPECT_TRUE (DialogManager::getInstance().getCurrentMessage().isEmpty());
}
