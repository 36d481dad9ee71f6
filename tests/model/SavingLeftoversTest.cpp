// The store on real files where a save cannot go through as usual: a file
// that may not be written, preferences that cannot be written while the
// document can, temporary files that interrupted writes left beside a
// document that lives elsewhere (behind a link), and an empty file that a
// discarded save never filled.
#include "model/DocumentFormat.h"
#include "model/FileLess.h"
#include "model/Ids.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace corvadine;

namespace
{
juce::File appFolder()
{
    return test::documentsFolder().getChildFile ("Corvadine");
}

juce::File prefsFile()
{
    return appFolder().getChildFile ("preferences/preferences.xml");
}

struct RecordingStore final : FileLess
{
    void showWriteFailure (const juce::String& error) override { told.add (error); }
    juce::StringArray told;
};

mode_t modeOf (const juce::File& file)
{
    struct stat status {};
    return ::stat (file.getFullPathName().toRawUTF8(), &status) == 0 ? status.st_mode & 07777 : 0;
}

ino_t inodeOf (const juce::File& file)
{
    struct stat status {};
    return ::stat (file.getFullPathName().toRawUTF8(), &status) == 0 ? status.st_ino : 0;
}

juce::StringArray namesIn (const juce::File& folder)
{
    juce::StringArray names;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
        names.add (entry.getFile().getFileName());

    names.sort (false);
    return names;
}
} // namespace

TEST (SavingLeftovers, AFileThatMayNotBeWrittenStaysAsItIsAndTheFailureIsToldOnce)
{
    struct Case
    {
        const char* name;
        mode_t mode;
        bool written;
    };

    // Tests run as root, whom the system lets write any file: a file with
    // no write bit at all is read-only all the same.
    const Case cases[] = {
        { "read-only for all (444)", 0444, false },
        { "read-only for its owner alone (400)", 0400, false },
        { "read-only, executable (555)", 0555, false },
        { "writable by its owner (644)", 0644, true },
        { "writable by its owner alone (600)", 0600, true },
        { "writable by its group only (464)", 0464, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto folder = test::testHome().getChildFile ("Writable " + juce::String::toHexString ((int) c.mode));
        const auto file = folder.getChildFile ("Show.xml");
        test::writeTextFile (file, "<Corvadine version=\"0.9.9\"/>");
        ASSERT_EQ (::chmod (file.getFullPathName().toRawUTF8(), c.mode), 0);

        RecordingStore store;
        store.documentPath = file.getFullPathName();
        store.document.setProperty (ids::version, "0.9.9", nullptr);
        store.document.setProperty ("changed", true, nullptr);
        store.startDeferredSave();

        EXPECT_EQ (store.flushPendingSave(), c.written);
        EXPECT_EQ (modeOf (file), c.mode);
        EXPECT_EQ (namesIn (folder).joinIntoString (", "), "Show.xml"); // nothing beside it

        if (c.written)
        {
            EXPECT_EQ (file.loadFileAsString().toStdString(), documentToText (store.document));
            EXPECT_FALSE (store.lastWriteFailed());
            continue;
        }

        EXPECT_EQ (file.loadFileAsString(), "<Corvadine version=\"0.9.9\"/>");
        EXPECT_EQ (store.lastWriteError(), file.getFullPathName() + ": Permission denied");
        EXPECT_TRUE (store.isTimerRunning()); // tried again, as for a full disk

        // Told once, from the message loop, whatever the retries.
        ASSERT_TRUE (test::pumpUntil ([&] { return ! store.told.isEmpty(); }, 3000));
        test::pumpMessageLoop (2300);
        EXPECT_EQ (store.told, juce::StringArray (file.getFullPathName() + ": Permission denied"));
        EXPECT_EQ (file.loadFileAsString(), "<Corvadine version=\"0.9.9\"/>");
        EXPECT_EQ (modeOf (file), c.mode);

        // The user's word: the changes are given up, the file stays.
        store.discardPendingSave();
        EXPECT_EQ (file.loadFileAsString(), "<Corvadine version=\"0.9.9\"/>");
    }
}

TEST (SavingLeftovers, WhenOnlyThePreferencesCannotBeWrittenOnlyTheyAreTriedAgain)
{
    const auto file = test::testHome().getChildFile ("Shows/Show.xml");
    file.getParentDirectory().createDirectory();

    // A folder where the preferences file should be: they cannot be written.
    ASSERT_TRUE (prefsFile().createDirectory());

    RecordingStore store;
    store.documentPath = file.getFullPathName();
    store.document.setProperty (ids::version, "0.9.9", nullptr);
    store.startDeferredSave();
    ASSERT_TRUE (test::pumpUntil ([&] { return file.existsAsFile() && store.preferencesWriteHasFailed(); }, 5000));
    EXPECT_TRUE (store.preferencesWriteHasFailed());
    EXPECT_TRUE (store.preferencesWriteFailure().startsWith (prefsFile().getFullPathName() + ": "));
    EXPECT_FALSE (store.isDocumentPending());
    const auto firstWrite = inodeOf (file);

    // Retried every second, the preferences alone: the document, which is
    // on disk, is never written again (each write is a new file).
    test::pumpMessageLoop (3500);
    EXPECT_TRUE (store.isSaving());
    EXPECT_EQ (inodeOf (file), firstWrite);
    EXPECT_TRUE (store.preferencesWriteHasFailed());
    EXPECT_TRUE (store.flushPendingSave()); // the document is on disk
    EXPECT_EQ (inodeOf (file), firstWrite);

    // A change is written, once.
    store.document.setProperty ("changed", 1, nullptr);
    store.startDeferredSave();
    ASSERT_TRUE (test::pumpUntil ([&] { return inodeOf (file) != firstWrite; }, 5000));
    const auto secondWrite = inodeOf (file);
    EXPECT_EQ (file.loadFileAsString().toStdString(), documentToText (store.document));
    test::pumpMessageLoop (2500);
    EXPECT_EQ (inodeOf (file), secondWrite);

    // The preferences can be written again: the next retry writes them, and
    // nothing more is tried.
    ASSERT_TRUE (prefsFile().deleteRecursively());
    ASSERT_TRUE (test::pumpUntil ([&] { return ! store.lastWriteFailed(); }, 5000));
    EXPECT_TRUE (prefsFile().loadFileAsString().contains (file.getFullPathName()));
    ASSERT_TRUE (test::pumpUntil ([&] { return ! store.isSaving(); }, 3000));
    EXPECT_EQ (inodeOf (file), secondWrite);
    EXPECT_EQ (store.told.size(), 1); // the preferences' failure, once
}

TEST (SavingLeftovers, OpeningADocumentRemovesWhatInterruptedWritesOfItLeftBesideItsTarget)
{
    struct Case
    {
        const char* name;
        bool throughLink;
    };

    for (const auto& c : { Case { "behind a link", true }, Case { "in a folder of its own", false } })
    {
        SCOPED_TRACE (c.name);
        const auto elsewhere = test::testHome().getChildFile (juce::String ("Elsewhere ") + (c.throughLink ? "linked" : "plain"));
        const auto target = elsewhere.getChildFile ("Target.xml");
        test::writeTextFile (target, "<Corvadine version=\"0.9.9\"/>");

        auto opened = target;

        if (c.throughLink)
        {
            opened = appFolder().getChildFile ("Linked.xml");
            appFolder().createDirectory();
            ASSERT_EQ (::symlink (target.getFullPathName().toRawUTF8(), opened.getFullPathName().toRawUTF8()), 0);
        }

        // What killed writes of this file leave, and what is someone else's.
        const juce::StringArray leftovers { ".Target.xml.0123456789ab.tmp", ".Target.xml.fedcba987654.tmp" };
        const juce::StringArray others { ".Target.xml.backup", "Target.xml.0123456789ab.tmp", ".Target.xml.0123456789AB.tmp",
                                         ".Target.xml.0123456789a.tmp", ".Other.xml.0123456789ab.tmp",
                                         ".Target.xml.0123456789ab.tmp.old", "Notes.txt" };

        for (const auto& name : leftovers)
            test::writeTextFile (elsewhere.getChildFile (name), "<Corvadine half");

        for (const auto& name : others)
            test::writeTextFile (elsewhere.getChildFile (name), "someone else's");

        // A link of our temporary name is not a file of ours either.
        const auto linkedLeftover = elsewhere.getChildFile (".Target.xml.00000000abcd.tmp");
        ASSERT_EQ (::symlink (elsewhere.getChildFile ("Notes.txt").getFullPathName().toRawUTF8(),
                              linkedLeftover.getFullPathName().toRawUTF8()), 0);

        FileLess store;
        ASSERT_TRUE (store.replaceDocument (juce::ValueTree (ids::Corvadine), opened.getFullPathName()));

        auto expected = others;
        expected.add ("Target.xml");
        expected.add (linkedLeftover.getFileName());
        expected.sort (false);
        EXPECT_EQ (namesIn (elsewhere).joinIntoString (", "), expected.joinIntoString (", "));
        EXPECT_EQ (target.loadFileAsString(), "<Corvadine version=\"0.9.9\"/>");
        EXPECT_EQ (opened.isSymbolicLink(), c.throughLink);
    }
}

TEST (SavingLeftovers, ADiscardedSaveLeavesNoEmptyFileAndNothingElseGoes)
{
    struct Case
    {
        const char* name;
        const char* content; // nullptr: no file
        bool link;
        bool remains;
    };

    const Case cases[] = {
        { "an empty file that no write filled", "", false, false },
        { "a file that holds the last save", "<Corvadine/>", false, true },
        { "a link to an empty file", "", true, true },
        { "no file at all", nullptr, false, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto folder = test::testHome().getChildFile ("Discard " + juce::String (c.name));
        const auto file = folder.getChildFile ("Show.xml");
        auto path = file;
        folder.createDirectory();

        if (c.content != nullptr)
            test::writeTextFile (file, c.content);

        if (c.link)
        {
            path = folder.getChildFile ("Link.xml");
            ASSERT_EQ (::symlink (file.getFullPathName().toRawUTF8(), path.getFullPathName().toRawUTF8()), 0);
        }

        RecordingStore store;
        store.documentPath = path.getFullPathName();
        store.startDeferredSave();
        store.discardPendingSave();

        EXPECT_FALSE (store.isSaving());
        EXPECT_EQ (path.exists() || path.isSymbolicLink(), c.remains);

        if (c.remains)
            EXPECT_EQ (file.loadFileAsString(), c.content);
    }
}
