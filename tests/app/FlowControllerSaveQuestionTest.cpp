// The question asked before a switch when the pending save cannot be written.
#include "app/ControllerHarness.h"
#include "app/FileChoosers.h"

#include "host/HostXmlFile.h"
#include "model/Ids.h"
#include "support/DocumentContract.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <type_traits>

#include <sys/stat.h>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
// Whether the store's flush tells success from failure.
constexpr bool flushReports = std::is_same_v<decltype (std::declval<FileLess&>().flushPendingSave()), bool>;
} // namespace

TEST (FlowControllerSaveQuestion, AWrittenSaveAsksNothing)
{
    ControllerHarness harness;
    auto& controller = harness.start();
    controller.addFocalClicked (0);
    ASSERT_TRUE (controller.FileLess::isTimerRunning());

    EXPECT_TRUE (controller.writePendingSaveOrAsk());
    EXPECT_FALSE (controller.FileLess::isTimerRunning());
    EXPECT_EQ (harness.dialogs->requests.size(), 0);

    const auto root = parseHostXmlFile (juce::File (controller.documentPath));
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (juce::ValueTree::fromXml (*root).getChildWithName (ids::looks).getChild (0).getChildWithName (ids::focals).getNumChildren(), 1);

    // Nothing pending: nothing to do.
    EXPECT_TRUE (controller.writePendingSaveOrAsk());
}

TEST (FlowControllerSaveQuestion, AFailedSaveAsksRetrySaveAsOrDiscard)
{
    if constexpr (! flushReports)
    {
        GTEST_SKIP() << "the store's flush does not report failures yet";
    }
    else
    {
        struct Case
        {
            const char* name;
            std::vector<int> answers; // per question, in order
            bool goesOn;
            bool savedWhere;      // written at the original path (after Retry) ...
            bool savedElsewhere;  // ... or at the chosen one
        };

        const Case cases[] = {
            { "retry after the folder came back", { 0 }, true, true, false },
            { "save as", { 1 }, true, false, true },
            { "discard", { 2 }, true, false, false },
            { "closed without a button", { -1 }, false, false, false },
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.name);
            ControllerHarness harness;
            auto& controller = harness.start();

            // A folder that does not exist: the store creates none, so the write fails.
            const auto folder = testHome().getChildFile (juce::String ("gone-") + juce::String (juce::Random::getSystemRandom().nextInt()));
            const auto target = folder.getChildFile ("Show.xml");
            controller.setDocumentPath (target.getFullPathName());
            controller.addFocalClicked (0);

            const auto elsewhere = testHome().getChildFile ("Elsewhere.xml");
            elsewhere.deleteFile();
            ScopedFileChooserAnswerer chooser ([&] (const FileChoice&) { return std::optional<juce::File> (elsewhere); });

            size_t asked = 0;
            harness.answer = [&] (const DialogManager::Request& request) -> int
            {
                EXPECT_EQ (request.kind, DialogManager::Request::Kind::choice);
                EXPECT_EQ (request.buttons, (juce::StringArray { "Retry", "Save as...", "Discard changes" }));
                EXPECT_TRUE (request.message.contains (target.getFullPathName()));

                if (asked >= c.answers.size())
                    return -1;

                const auto answer = c.answers[asked++];

                if (answer == 0)
                    folder.createDirectory();

                return answer;
            };

            EXPECT_EQ (controller.writePendingSaveOrAsk(), c.goesOn);
            EXPECT_EQ (asked, c.answers.size());
            EXPECT_EQ (target.existsAsFile(), c.savedWhere);
            EXPECT_EQ (elsewhere.existsAsFile() && elsewhere.getSize() > 0, c.savedElsewhere);
            EXPECT_EQ (controller.FileLess::isTimerRunning(), ! c.goesOn);

            if (c.savedWhere)
                EXPECT_TRUE (checkDocumentFile (target).isEmpty());
            if (c.savedElsewhere)
            {
                EXPECT_EQ (controller.documentPath, elsewhere.getFullPathName());
                EXPECT_TRUE (checkDocumentFile (elsewhere).isEmpty());
            }

            // Leave nothing failing behind for the harness's quit.
            controller.FileLess::stopTimer();
        }
    }
}

TEST (FlowControllerSaveQuestion, AHostFileWithoutScreensDoesNotDropAnUnwritableSave)
{
    if constexpr (! flushReports)
    {
        GTEST_SKIP() << "the store's flush does not report failures yet";
    }
    else
    {
        HostFolder seven (7);
        seven.writeSetup (screenSetupText ({ rowOfSlices (1, 3) }), 5000);

        ControllerHarness harness;
        auto& controller = harness.start();
        const auto target = testHome().getChildFile ("missing-folder/Show.xml");
        controller.setDocumentPath (target.getFullPathName());
        controller.addFocalClicked (0);

        // The user stays with the document.
        harness.answer = [] (const DialogManager::Request&) { return -1; };
        seven.writeSetup (screenSetupText ({}));
        EXPECT_EQ (controller.relinkScreenSetup (seven.setupFile().getFullPathName()), 0);

        EXPECT_EQ (controller.documentPath, target.getFullPathName());
        EXPECT_EQ (controller.model->looks[0]->focals.size(), 1);
        EXPECT_EQ (harness.dialogs->requests.size(), 1);
        controller.FileLess::stopTimer();
    }
}

TEST (FlowControllerSaveQuestion, AReadOnlyDocumentIsAskedAboutAndStaysAsItIs)
{
    struct Case
    {
        const char* name;
        int answer;
        bool savedElsewhere;
    };

    for (const auto& c : { Case { "save as", 1, true }, Case { "discard", 2, false } })
    {
        SCOPED_TRACE (c.name);
        ControllerHarness harness;
        auto& controller = harness.start();

        // Mode 444 in a folder that can be written: the rename could replace
        // it, but the file says it may not be written.
        const auto readOnly = testHome().getChildFile (juce::String ("Read-only ") + c.name + ".xml");
        writeTextFile (readOnly, "<Corvadine version=\"0.9.9\"/>");
        ASSERT_EQ (::chmod (readOnly.getFullPathName().toRawUTF8(), 0444), 0);
        controller.setDocumentPath (readOnly.getFullPathName());
        controller.addFocalClicked (0);

        const auto elsewhere = testHome().getChildFile (juce::String ("Writable ") + c.name + ".xml");
        ScopedFileChooserAnswerer chooser ([&] (const FileChoice&) { return std::optional<juce::File> (elsewhere); });
        juce::StringArray questions;
        harness.answer = [&] (const DialogManager::Request& request)
        {
            if (request.kind != DialogManager::Request::Kind::choice)
                return 0;

            questions.add (request.message);
            return c.answer;
        };

        EXPECT_TRUE (controller.writePendingSaveOrAsk());
        ASSERT_EQ (questions.size(), 1);
        EXPECT_TRUE (questions[0].contains ("Permission denied")) << questions[0];
        EXPECT_TRUE (questions[0].endsWith ("File: " + readOnly.getFullPathName())) << questions[0];
        EXPECT_EQ (readOnly.loadFileAsString(), "<Corvadine version=\"0.9.9\"/>");
        EXPECT_EQ (elsewhere.existsAsFile(), c.savedElsewhere);

        if (c.savedElsewhere)
            EXPECT_TRUE (checkDocumentFile (elsewhere).isEmpty());

        struct stat status {};
        ASSERT_EQ (::stat (readOnly.getFullPathName().toRawUTF8(), &status), 0);
        EXPECT_EQ (status.st_mode & 07777, 0444u);
    }
}
