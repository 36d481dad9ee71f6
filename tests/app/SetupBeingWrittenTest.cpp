// A host setup file that the host is still writing, on every road that
// reads one: the import (at first start and on "New"), the poller's relink
// and the menu's "Relink". One rule decides on the decoded text: a file whose
// root element is not closed yet gives no road a part of its setup; a whole
// file gives every road all of it, in UTF-8 or in UTF-16 with a byte order
// mark, with comments and processing instructions before its root.
#include "app/ControllerHarness.h"

#include "host/ArenaSetupReader.h"
#include "host/FileWatcher.h"
#include "host/HostText.h"
#include "host/HostXmlFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
// The setup the host is writing: two screens, five slices.
const std::set<juce::int64> writtenIds { 100, 101, 200, 201, 202 };

// The setup each relink starts from: one screen, three slices.
const std::set<juce::int64> earlierIds { 100, 101, 102 };

std::string writtenSetup()
{
    return screenSetupText ({ rowOfSlices (1, 2, 100), rowOfSlices (2, 3, 200) }, { 2560, 1440 }).toStdString();
}

std::string earlierSetup()
{
    return screenSetupText ({ rowOfSlices (1, 3, 100) }).toStdString();
}

// The same text with a comment and a processing instruction before the
// root, each holding a "<" that is no element.
std::string withNotesBeforeTheRoot (const std::string& setup)
{
    const auto root = setup.find ("<ScreenSetup");
    return setup.substr (0, root) + "<!-- <note> saved by the host </note> -->\n<?tool <ScreenSetup/> ?>\n" + setup.substr (root);
}

struct Encoding
{
    const char* name;
    std::string (*bytesOf) (const std::string& text);
};

const Encoding encodings[] = {
    { "UTF-8", [] (const std::string& text) { return text; } },
    { "UTF-8 with notes before the root", [] (const std::string& text) { return withNotesBeforeTheRoot (text); } },
    { "UTF-16, little-endian", [] (const std::string& text) { return utf16WithByteOrderMark (text, false); } },
    { "UTF-16, big-endian, notes before the root", [] (const std::string& text)
      { return utf16WithByteOrderMark (withNotesBeforeTheRoot (text), true); } },
};

// One state of the setup file and what every road has to take from it: the
// whole setup, or nothing.
struct Case
{
    juce::String name;
    std::string bytes;
    bool whole;
};

// For every encoding: the whole file, and the file cut at every byte from
// the start of its last end tags ("</layers>", "</Screen>", "</screens>",
// "</ScreenSetup>") to its end. Only a cut after the root's end tag is whole.
std::vector<Case> cases()
{
    std::vector<Case> result;
    const auto setup = writtenSetup();
    const auto lastEndTags = setup.rfind ("</layers>");
    const auto rootEnd = setup.rfind ("</ScreenSetup>") + std::string ("</ScreenSetup>").size();

    for (const auto& encoding : encodings)
    {
        const auto whole = encoding.bytesOf (setup);
        // The end tags' place in these bytes: the same text before them.
        const auto tailStart = encoding.bytesOf (setup.substr (0, lastEndTags)).size();
        const auto rootEndAt = encoding.bytesOf (setup.substr (0, rootEnd)).size();

        result.push_back ({ juce::String (encoding.name) + ", whole", whole, true });

        for (auto cut = tailStart; cut < whole.size(); ++cut)
            result.push_back ({ juce::String (encoding.name) + ", cut at " + juce::String ((int) cut) + " of "
                                    + juce::String ((int) whole.size()),
                                whole.substr (0, cut), cut >= rootEndAt });
    }

    return result;
}

std::set<juce::int64> sliceIds (const FlowController& controller)
{
    std::set<juce::int64> ids;

    for (auto* screen : controller.model->screens)
        for (auto* slice : screen->slices)
            ids.insert (slice->uniqueId);

    return ids;
}

juce::String describe (const std::set<juce::int64>& ids)
{
    juce::StringArray parts;

    for (auto id : ids)
        parts.add (juce::String (id));

    return "{" + parts.joinIntoString (", ") + "}";
}

// Writes the bytes as the host's setup file and gives it a modification
// time later than every one before, so that the poller sees each write.
void writeSetupBytes (const HostFolder& host, const std::string& bytes)
{
    static juce::int64 lastWrite = juce::Time::currentTimeMillis() - 100000;
    const auto file = host.setupFile();
    file.getParentDirectory().createDirectory();
    ASSERT_TRUE (file.replaceWithData (bytes.data(), bytes.size()));

    lastWrite += 10;
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = (time_t) (lastWrite / 1000);
    times[0].tv_nsec = times[1].tv_nsec = (long) (lastWrite % 1000) * 1000000L;
    ASSERT_EQ (::utimensat (AT_FDCWD, file.getFullPathName().toRawUTF8(), times, 0), 0);
}

// How long an import waits for the host to finish a write, while it lives.
struct ScopedHostWriteWait
{
    explicit ScopedHostWriteWait (int ms) { ArenaSetupReader::hostWriteWaitMs = ms; }
    ~ScopedHostWriteWait() { ArenaSetupReader::hostWriteWaitMs = previous; }
    const int previous = ArenaSetupReader::hostWriteWaitMs;
};

// The poller's road, one poll: the time the file has now is seen, the read
// runs on its thread and is merged.
void pollOnce (FlowController& controller)
{
    controller.FileWatcher::timerCallback();
    ASSERT_TRUE (pumpUntil ([&] { return ! controller.isRelinkReadPending(); }, 10000));
}

juce::String lastRelinkMessage (const ControllerHarness& harness)
{
    for (int i = harness.dialogs->requests.size(); --i >= 0;)
        if (harness.dialogs->requests[i].title == "Stage relinked...")
            return harness.dialogs->requests[i].message;

    return {};
}
} // namespace

// The rule itself, on the decoded text of every case: the verdict each road
// below is held to.
TEST (SetupBeingWritten, EveryCaseIsDecidedOnItsDecodedText)
{
    int numWhole = 0, numBeingWritten = 0;

    for (const auto& c : cases())
    {
        auto text = hostTextFromBytes (c.bytes.data(), c.bytes.size());
        finishHostXmlText (text);
        EXPECT_EQ (isWholeHostXml (text.c_str()), c.whole) << c.name;
        (c.whole ? numWhole : numBeingWritten)++;
    }

    // Four whole files, each also cut just after its root's end tag, and the
    // UTF-16 ones also cut in the middle of the line end's unit after it.
    EXPECT_EQ (numWhole, 4 * 2 + 2);
    EXPECT_GT (numBeingWritten, 4 * 50);
}

// The import on "New": the whole setup, or nothing of it (the road of a
// setup that cannot be read) while the file stays watched.
TEST (SetupBeingWritten, TheImportTakesAllOrNothing)
{
    const ScopedHostWriteWait noWait (0);
    HostFolder seven (7);
    writeSetupBytes (seven, writtenSetup());

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_EQ (sliceIds (controller), writtenIds);

    for (const auto& c : cases())
    {
        SCOPED_TRACE (c.name);
        writeSetupBytes (seven, c.bytes);
        ASSERT_TRUE (controller.newDocument());
        controller.loadDocument();

        EXPECT_EQ (describe (sliceIds (controller)), describe (c.whole ? writtenIds : std::set<juce::int64> {}));
        EXPECT_EQ (controller.model->compositionSize, c.whole ? juce::Point<int> (2560, 1440) : juce::Point<int> (1920, 1080));
        EXPECT_EQ (controller.assFilePath, seven.setupFile().getFullPathName());
        EXPECT_EQ (controller.FileWatcher::path, seven.setupFile().getFullPathName());

        // A file still being written is read again by the next poll.
        if (! c.whole)
            EXPECT_EQ (controller.lastModified, 0);
    }
}

namespace
{
// A relink's road over every case, from the earlier setup: the whole setup
// merged, or the document kept as it is. After a whole one the earlier setup
// is relinked again.
void expectRelinkTakesAllOrNothing (const std::function<void (FlowController&)>& relink,
                                    const std::function<void (const ControllerHarness&, const Case&)>& alsoExpect)
{
    HostFolder seven (7);
    writeSetupBytes (seven, earlierSetup());

    ControllerHarness harness;
    auto& controller = harness.start();
    ASSERT_EQ (sliceIds (controller), earlierIds);
    const auto path = controller.documentPath;

    for (const auto& c : cases())
    {
        SCOPED_TRACE (c.name);
        writeSetupBytes (seven, c.bytes);
        relink (controller);

        EXPECT_EQ (describe (sliceIds (controller)), describe (c.whole ? writtenIds : earlierIds));
        EXPECT_EQ (controller.model->compositionSize, c.whole ? juce::Point<int> (2560, 1440) : juce::Point<int> (1920, 1080));
        EXPECT_EQ (controller.documentPath, path);
        EXPECT_EQ (controller.assFilePath, seven.setupFile().getFullPathName());
        EXPECT_EQ (controller.FileWatcher::path, seven.setupFile().getFullPathName());
        alsoExpect (harness, c);

        if (c.whole)
        {
            writeSetupBytes (seven, earlierSetup());
            relink (controller);
            ASSERT_EQ (sliceIds (controller), earlierIds);
        }
    }
}
} // namespace

// The poller's relink: nothing is shown.
TEST (SetupBeingWritten, ThePollersRelinkTakesAllOrNothing)
{
    expectRelinkTakesAllOrNothing ([] (FlowController& controller) { pollOnce (controller); },
                                   [] (const ControllerHarness& harness, const Case&)
                                   {
                                       EXPECT_EQ (harness.dialogs->requests.size(), 0);
                                   });
}

// The menu's relink: the user is told when the setup could not be read.
TEST (SetupBeingWritten, TheMenusRelinkTakesAllOrNothing)
{
    expectRelinkTakesAllOrNothing ([] (FlowController& controller) { controller.relinkStage(); },
                                   [] (const ControllerHarness& harness, const Case& c)
                                   {
                                       const auto message = lastRelinkMessage (harness);
                                       EXPECT_EQ (message.contains ("could not be read"), ! c.whole) << message;
                                   });
}

// At first start, a setup the host is still writing gives an empty stage
// that follows the file: its next whole write brings the setup.
TEST (SetupBeingWritten, AnImportThatFindsTheFileBeingWrittenRelinksAtItsNextWholeWrite)
{
    const ScopedHostWriteWait shortWait (100);
    HostFolder seven (7);
    const auto setup = writtenSetup();
    writeSetupBytes (seven, setup.substr (0, setup.size() - 5));

    ControllerHarness harness;
    auto& controller = harness.start();
    EXPECT_TRUE (sliceIds (controller).empty());
    EXPECT_EQ (controller.FileWatcher::path, seven.setupFile().getFullPathName());
    EXPECT_TRUE (controller.FileWatcher::isTimerRunning());

    // Finished before the first poll, and (as the host's clock may have it)
    // with a time earlier than the one seen at the import: read all the same.
    seven.setupFile().replaceWithData (setup.data(), setup.size());
    ageFile (seven.setupFile(), 400000);
    ASSERT_TRUE (pumpUntil ([&] { return sliceIds (controller) == writtenIds; }, 8000));
    EXPECT_EQ (controller.model->compositionSize, juce::Point<int> (2560, 1440));
    EXPECT_EQ (harness.dialogs->requests.size(), 0);
}

// The import waits a moment for a write the host is in the middle of, and
// then takes the whole setup.
TEST (SetupBeingWritten, TheImportWaitsForAWriteThatEndsWithinMoments)
{
    const ScopedHostWriteWait wait (5000);
    HostFolder seven (7);
    const auto setup = utf16WithByteOrderMark (writtenSetup());
    writeSetupBytes (seven, setup.substr (0, setup.size() / 2));

    std::thread host ([&]
    {
        std::this_thread::sleep_for (std::chrono::milliseconds (300));
        seven.setupFile().replaceWithData (setup.data(), setup.size());
    });

    const auto started = juce::Time::getMillisecondCounterHiRes();
    ControllerHarness harness;
    auto& controller = harness.start();
    const auto took = juce::Time::getMillisecondCounterHiRes() - started;
    host.join();

    EXPECT_EQ (sliceIds (controller), writtenIds);
    EXPECT_GE (took, 250.0);
    EXPECT_NE (controller.lastModified, 0);
}
