// What becomes of the document when the session ends from outside the
// window (signals to this very process), and the quit question's roads that
// could leave something behind or forget a rescued copy.
#include "app/ControllerHarness.h"
#include "app/FileChoosers.h"
#include "app/SessionEnd.h"

#include "model/DocumentFormat.h"
#include "model/FileLess.h"
#include "model/Ids.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
struct QuietStore final : FileLess
{
    void showWriteFailure (const juce::String&) override {}
};

juce::StringArray namesIn (const juce::File& folder)
{
    juce::StringArray names;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
        names.add (entry.getFile().getFileName());

    names.sort (false);
    return names;
}

int requestsTitled (const DialogManager::ScopedAnswerer& answerer, const juce::String& title)
{
    int count = 0;

    for (const auto& request : answerer.requests)
        count += request.title == title ? 1 : 0;

    return count;
}
} // namespace

TEST (SessionEnd, ASignalWritesThePendingSaveOrSaysWhyNotAndEnds)
{
    struct Case
    {
        const char* name;
        int signalNumber;
        bool writable;
        int exitStatus;
    };

    const Case cases[] = {
        { "SIGTERM", SIGTERM, true, 0 },
        { "SIGHUP", SIGHUP, true, 0 },
        { "SIGTERM, the document cannot be written", SIGTERM, false, 1 },
        { "SIGHUP, the document cannot be written", SIGHUP, false, 1 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto folder = testHome().getChildFile (juce::String ("Signal ") + juce::String (c.signalNumber) + (c.writable ? " ok" : " gone"));

        if (c.writable)
            folder.createDirectory();

        const auto file = folder.getChildFile ("Show.xml");
        QuietStore store;
        store.documentPath = file.getFullPathName();
        store.document.setProperty (ids::version, "0.9.9", nullptr);
        store.startDeferredSave();

        std::optional<int> ended;
        int asked = 0;
        testing::internal::CaptureStderr();
        {
            SessionEnd sessionEnd ({ [&]() -> FileLess* { return &store; },
                                     [&] { ++asked; },
                                     [&] (int status) { ended = status; } });
            ASSERT_EQ (std::raise (c.signalNumber), 0);
            EXPECT_TRUE (pumpUntil ([&] { return ended.has_value(); }, 3000));

            // Only one end, whatever comes after.
            std::raise (c.signalNumber);
            pumpMessageLoop (100);
        }
        const auto said = juce::String (testing::internal::GetCapturedStderr());

        EXPECT_EQ (ended, std::optional<int> (c.exitStatus));
        EXPECT_EQ (asked, 0); // nobody to ask at logout
        EXPECT_FALSE (store.isSaving());

        if (c.writable)
        {
            EXPECT_EQ (file.loadFileAsString().toStdString(), documentToText (store.document));
            EXPECT_TRUE (said.isEmpty()) << said;
        }
        else
        {
            EXPECT_FALSE (file.exists());
            EXPECT_TRUE (said.contains ("couldn't save the document: No such file or directory")) << said;
            EXPECT_TRUE (said.contains ("File: " + file.getFullPathName())) << said;
        }
    }
}

TEST (SessionEnd, SigintAsksLikeTheDesktopAndASecondOneWhileADialogIsUpEnds)
{
    const auto file = testHome().getChildFile ("gone/Show.xml");
    QuietStore store;
    store.documentPath = file.getFullPathName();
    store.startDeferredSave();

    std::optional<int> ended;
    int asked = 0;
    juce::Component question;

    testing::internal::CaptureStderr();
    SessionEnd sessionEnd ({ [&]() -> FileLess* { return &store; },
                             [&]
                             {
                                 // The window asks, and the user stays.
                                 ++asked;
                             },
                             [&] (int status) { ended = status; } });

    // The first Ctrl+C asks; so does one after the user chose to stay.
    std::raise (SIGINT);
    ASSERT_TRUE (pumpUntil ([&] { return asked == 1; }, 3000));
    std::raise (SIGINT);
    ASSERT_TRUE (pumpUntil ([&] { return asked == 2; }, 3000));
    EXPECT_FALSE (ended.has_value());
    EXPECT_TRUE (store.isSaving());

    // Pressed again while a dialog is up: the application ends, saying why
    // the changes could not be kept.
    question.enterModalState (false);
    std::raise (SIGINT);
    ASSERT_TRUE (pumpUntil ([&] { return ended.has_value(); }, 3000));
    question.exitModalState (0);
    const auto said = juce::String (testing::internal::GetCapturedStderr());

    EXPECT_EQ (asked, 2);
    EXPECT_EQ (ended, std::optional<int> (1));
    EXPECT_TRUE (said.contains ("Interrupted (SIGINT), and I couldn't save the document")) << said;
    EXPECT_FALSE (store.isSaving());
}

TEST (SessionEnd, SaveAsOntoAFullDiskThenDiscardLeavesNothing)
{
    struct Case
    {
        const char* name;
        bool emptyFileMadeBefore; // as the menu's "Save as..." makes one
    };

    for (const auto& c : { Case { "nothing made before", false }, Case { "an empty file made before", true } })
    {
        SCOPED_TRACE (c.name);
        SmallDisk disk (testHome().getChildFile (juce::String ("Disk ") + (c.emptyFileMadeBefore ? "1" : "0")), 256);

        if (! disk.mounted)
            GTEST_SKIP() << "no right to mount a small disk here";

        ControllerHarness harness;
        auto& controller = harness.start();
        const auto show = disk.mountPoint.getChildFile ("Show.xml");

        if (c.emptyFileMadeBefore)
            ASSERT_TRUE (show.create().wasOk());

        disk.fill();
        controller.setDocumentPath (show.getFullPathName());
        controller.addFocalClicked (0);

        const auto copy = disk.mountPoint.getChildFile ("Copy.xml");
        ScopedFileChooserAnswerer chooser ([&] (const FileChoice&) { return std::optional<juce::File> (copy); });

        // "Save as..." onto the same disk, which fails too; then "Discard changes".
        std::vector<int> answers { 1, 2 };
        size_t asked = 0;
        harness.answer = [&] (const DialogManager::Request& request)
        {
            if (request.kind != DialogManager::Request::Kind::choice)
                return -1;

            return asked < answers.size() ? answers[asked++] : -1;
        };

        EXPECT_TRUE (controller.readyToQuit());
        EXPECT_EQ (asked, 2u);
        EXPECT_EQ (namesIn (disk.mountPoint).joinIntoString (", "), "filler");
    }
}

TEST (SessionEnd, ACopyThePreferencesCannotNameIsToldOnceBeforeQuitting)
{
    struct Case
    {
        const char* name;
        bool preferencesWritable;
        int answer; // to the save question
        bool told;
    };

    const Case cases[] = {
        { "saved elsewhere, preferences unwritable", false, 1, true },
        { "saved elsewhere, preferences written", true, 1, false },
        { "discarded, preferences unwritable", false, 2, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ControllerHarness harness;
        auto& controller = harness.start();
        const auto preferences = preferencesFile();

        // A folder where the preferences file should be: they cannot be written.
        if (! c.preferencesWritable)
        {
            preferences.deleteFile();
            ASSERT_TRUE (preferences.createDirectory());
        }

        const auto unwritable = testHome().getChildFile (juce::String ("gone ") + juce::String (c.answer) + "/Show.xml");
        controller.setDocumentPath (unwritable.getFullPathName());
        controller.addFocalClicked (0);

        const auto copy = testHome().getChildFile (juce::String ("Rescued ") + c.name + ".xml");
        ScopedFileChooserAnswerer chooser ([&] (const FileChoice&) { return std::optional<juce::File> (copy); });
        juce::StringArray notes;
        harness.answer = [&] (const DialogManager::Request& request)
        {
            if (request.kind == DialogManager::Request::Kind::choice)
                return c.answer;

            if (request.title == "Saved, but not noted")
                notes.add (request.message);

            return 0;
        };

        EXPECT_TRUE (controller.readyToQuit());
        EXPECT_EQ (copy.existsAsFile(), c.answer == 1);
        EXPECT_EQ (notes.size(), c.told ? 1 : 0);

        if (c.told)
        {
            EXPECT_TRUE (notes[0].endsWith ("File: " + copy.getFullPathName())) << notes[0];
            EXPECT_TRUE (notes[0].contains ("Is a directory")) << notes[0];
            EXPECT_TRUE (notes[0].contains ("\"Load\"")) << notes[0];
        }

        // Once: asking to quit again tells nothing more.
        EXPECT_TRUE (controller.readyToQuit());
        EXPECT_EQ (requestsTitled (*harness.dialogs, "Saved, but not noted"), c.told ? 1 : 0);

        if (! c.preferencesWritable)
            preferences.deleteRecursively();
    }
}
