#include "host/FileWatcher.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace corvadine;

namespace
{
struct RecordingWatcher final : public FileWatcher
{
    void fileChanged (const juce::String& changedPath) override
    {
        reports.add (changedPath);
        timeSeenByHandler = lastModified;

        if (onChange)
            onChange();
    }

    juce::StringArray reports;
    juce::int64 timeSeenByHandler = 0;
    std::function<void()> onChange;
};

// Sets both times of the file, to the nanosecond.
void setModificationTime (const juce::File& file, juce::int64 seconds, long nanoseconds)
{
    const timespec times[2] = { { (time_t) seconds, nanoseconds }, { (time_t) seconds, nanoseconds } };
    ASSERT_EQ (::utimensat (AT_FDCWD, file.getFullPathName().toRawUTF8(), times, 0), 0);
}

struct FileWatcherTest : public testing::Test
{
    void SetUp() override
    {
        file = test::testHome().getChildFile ("Resolume Arena/Preferences/AdvancedOutput.xml");
        test::writeTextFile (file, "<XmlState/>");
        setModificationTime (file, 1700000000, 250000000);
        watcher.path = file.getFullPathName();
        watcher.lastModified = fileModificationMilliseconds (watcher.path);
    }

    juce::File file;
    RecordingWatcher watcher;
};
} // namespace

TEST (FileModificationMilliseconds, DropsTheFractionOfAMillisecondAndGivesZeroWithoutAFile)
{
    auto file = test::testHome().getChildFile ("watched.xml");
    test::writeTextFile (file, "x");

    setModificationTime (file, 1700000000, 123999999);
    EXPECT_EQ (fileModificationMilliseconds (file.getFullPathName()), 1700000000123LL);

    EXPECT_EQ (fileModificationMilliseconds (""), 0);
    EXPECT_EQ (fileModificationMilliseconds (file.getSiblingFile ("gone.xml").getFullPathName()), 0);
}

TEST_F (FileWatcherTest, ArmedWithTheCurrentTimeTheFirstPollReportsNothing)
{
    watcher.timerCallback();
    EXPECT_TRUE (watcher.reports.isEmpty());
    EXPECT_EQ (watcher.lastModified, 1700000000250LL);
}

TEST_F (FileWatcherTest, ANewerTimeIsReportedOnceWithTheTimeAlreadyRecorded)
{
    // Several saves between two polls give one report.
    setModificationTime (file, 1700000001, 0);
    setModificationTime (file, 1700000001, 700000000);
    watcher.timerCallback();
    watcher.timerCallback();

    EXPECT_EQ (watcher.reports, juce::StringArray (file.getFullPathName()));
    EXPECT_EQ (watcher.timeSeenByHandler, 1700000001700LL);
    EXPECT_EQ (watcher.lastModified, 1700000001700LL);
}

TEST_F (FileWatcherTest, TimesWithinOneMillisecondCountAsOne)
{
    setModificationTime (file, 1700000000, 250999999);
    watcher.timerCallback();
    EXPECT_TRUE (watcher.reports.isEmpty());

    setModificationTime (file, 1700000000, 251000000);
    watcher.timerCallback();
    EXPECT_EQ (watcher.reports.size(), 1);
}

TEST_F (FileWatcherTest, AnOlderCopyIsNotReportedAndTheLaterTimeIsKept)
{
    setModificationTime (file, 1600000000, 0);
    watcher.timerCallback();

    EXPECT_TRUE (watcher.reports.isEmpty());
    EXPECT_EQ (watcher.lastModified, 1700000000250LL);
}

TEST_F (FileWatcherTest, ADeletedFileIsNotReportedUntilItIsWrittenAgainLater)
{
    ASSERT_TRUE (file.deleteFile());
    watcher.timerCallback();
    EXPECT_TRUE (watcher.reports.isEmpty());
    EXPECT_EQ (watcher.lastModified, 1700000000250LL);

    // Back, but with a time not later than the one recorded: still nothing.
    test::writeTextFile (file, "<XmlState/>");
    setModificationTime (file, 1700000000, 250000000);
    watcher.timerCallback();
    EXPECT_TRUE (watcher.reports.isEmpty());

    setModificationTime (file, 1700000005, 0);
    watcher.timerCallback();
    EXPECT_EQ (watcher.reports.size(), 1);
    EXPECT_EQ (watcher.lastModified, 1700000005000LL);
}

TEST_F (FileWatcherTest, AnEmptyPathOrAMissingFileNeverReportsWhateverTheRecordedTime)
{
    for (auto path : { juce::String(), file.getSiblingFile ("missing.xml").getFullPathName() })
    {
        for (auto recorded : { (juce::int64) -5, (juce::int64) 0, (juce::int64) 1700000000250LL })
        {
            RecordingWatcher other;
            other.path = path;
            other.lastModified = recorded;
            other.timerCallback();

            EXPECT_TRUE (other.reports.isEmpty()) << path << " " << recorded;
            EXPECT_EQ (other.lastModified, recorded);
        }
    }
}

TEST_F (FileWatcherTest, TheHandlerMayRearmTheWatcherWithAnotherTime)
{
    watcher.onChange = [this] { watcher.lastModified = 1800000000000LL; };
    setModificationTime (file, 1700000002, 0);
    watcher.timerCallback();
    setModificationTime (file, 1700000003, 0);
    watcher.timerCallback();

    EXPECT_EQ (watcher.reports.size(), 1);
    EXPECT_EQ (watcher.lastModified, 1800000000000LL);
}

TEST_F (FileWatcherTest, TheRunningTimerReportsChangesAndKeepsPollingThroughADeletion)
{
    watcher.startTimer (20);

    setModificationTime (file, 1700000010, 0);
    ASSERT_TRUE (test::pumpUntil ([this] { return watcher.reports.size() == 1; }));

    ASSERT_TRUE (file.deleteFile());
    test::pumpMessageLoop (100);
    EXPECT_EQ (watcher.reports.size(), 1);
    EXPECT_TRUE (watcher.isTimerRunning());

    test::writeTextFile (file, "<XmlState/>");
    setModificationTime (file, 1700000020, 0);
    ASSERT_TRUE (test::pumpUntil ([this] { return watcher.reports.size() == 2; }));
    EXPECT_TRUE (watcher.isTimerRunning());
    EXPECT_EQ (watcher.reports[1], file.getFullPathName());
}
