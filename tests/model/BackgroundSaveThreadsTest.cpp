// The deferred save writes on a thread of its own while the message thread
// goes on changing the document. Built into the main test program and, with
// the preview's threading tests, into the ThreadSanitizer build.

#include "model/DocumentFormat.h"
#include "model/FileLess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace corvadine
{
namespace
{
struct QuietStore final : FileLess
{
    void showWriteFailure (const juce::String& error) override { told.add (error); }
    juce::StringArray told;
};

// A document with enough nodes that a write takes a while: screens of
// slices, each with a few points, and a looks subtree of single numbers.
juce::ValueTree sizeableDocument()
{
    juce::ValueTree document ("Corvadine");
    juce::ValueTree screens ("arenaScreens");

    for (int s = 0; s < 8; ++s)
    {
        juce::ValueTree screen ("screen");
        screen.setProperty ("name", "Screen " + juce::String (s), nullptr);

        for (int i = 0; i < 64; ++i)
        {
            juce::ValueTree slice ("slice");
            slice.setProperty ("uniqueId", s * 1000 + i, nullptr);
            slice.setProperty ("name", "Slice " + juce::String (i), nullptr);

            for (int p = 0; p < 4; ++p)
            {
                juce::ValueTree point ("point");
                point.setProperty ("x", i * 10.5 + p, nullptr);
                point.setProperty ("y", s * 7.25 - p, nullptr);
                slice.appendChild (point, nullptr);
            }

            screen.appendChild (slice, nullptr);
        }

        screens.appendChild (screen, nullptr);
    }

    document.appendChild (screens, nullptr);

    juce::ValueTree looks ("looks");

    for (int i = 0; i < 4000; ++i)
    {
        juce::ValueTree index ("index");
        index.setProperty ("value", i, nullptr);
        looks.appendChild (index, nullptr);
    }

    document.appendChild (looks, nullptr);
    return document;
}

// Changes the document in place the way a store does: properties set,
// nodes added, removed and moved.
void editInPlace (juce::ValueTree& document, int round)
{
    auto screens = document.getChildWithName ("arenaScreens");
    auto slice = screens.getChild (round % screens.getNumChildren()).getChild (round % 64);
    slice.setProperty ("name", "Edited " + juce::String (round), nullptr);

    auto looks = document.getChildWithName ("looks");
    looks.getChild (round % looks.getNumChildren()).setProperty ("value", -round, nullptr);

    juce::ValueTree extra ("index");
    extra.setProperty ("value", round, nullptr);
    looks.appendChild (extra, nullptr);
    looks.removeChild (0, nullptr);

    document.moveChild (document.indexOf (screens), document.getNumChildren() - 1, nullptr);
    document.setProperty ("round", round, nullptr);
}
} // namespace

TEST (BackgroundSaveThreads, EditsDuringBackgroundWritesNeverReachTheFileHalfDone)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory).getChildFile ("Corvadine");
    ASSERT_TRUE (folder.createDirectory());
    const auto file = folder.getChildFile ("Threads.xml");

    QuietStore store;
    store.documentPath = file.getFullPathName();
    store.document = sizeableDocument();

    for (int round = 1; round <= 12; ++round)
    {
        // The save starts its write; the message thread keeps changing the
        // document and lets the write's outcome come back now and then.
        store.startDeferredSave();
        store.timerCallback();
        const auto written = documentToText (store.document);

        for (int edit = 0; edit < 20; ++edit)
        {
            editInPlace (store.document, round * 100 + edit);

            if (edit % 5 == 0)
                test::pumpMessageLoop (1);
        }

        // A flush waits for the write in flight: the file holds the document
        // as it was when the save took its snapshot.
        ASSERT_TRUE (store.flushPendingSave());
        ASSERT_EQ (file.loadFileAsString().toStdString(), written) << "round " << round;
    }

    // The last changes go out with one more save, which quitting waits for.
    store.startDeferredSave();
    ASSERT_TRUE (test::pumpUntil ([&] { return ! store.isSaving(); }, 30000));
    EXPECT_EQ (file.loadFileAsString().toStdString(), documentToText (store.document));
    EXPECT_TRUE (store.told.isEmpty());
}
} // namespace corvadine
