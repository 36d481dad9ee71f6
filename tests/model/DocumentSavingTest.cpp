// The store's saves on real files: whole files after crashes and on a full
// disk, no temporary files left behind, links and permissions kept, and
// nothing XML forbids in any file it writes.
#include "host/HostXmlFile.h"
#include "host/ScreenSetupFormat.h"
#include "model/DocumentFormat.h"
#include "model/FileLess.h"
#include "model/Ids.h"
#include "model/StageModel.h"
#include "support/TestSupport.h"
#include "widgets/DialogComponent.h"
#include "widgets/DialogManager.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <atomic>
#include <random>
#include <thread>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

// A store that records what it would tell the user, instead of a dialog.
struct RecordingStore final : FileLess
{
    void timerCallback() override
    {
        ++saves;
        FileLess::timerCallback();
    }

    void showWriteFailure (const juce::String& error) override { told.add (error); }

    int saves = 0;
    juce::StringArray told;
};

juce::StringArray temporaryFilesIn (const juce::File& folder)
{
    juce::StringArray names;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
        if (isTemporaryFileName (entry.getFile().getFileName()))
            names.add (entry.getFile().getFileName());

    return names;
}

// A document shaped like the application's: screens of slices, each with its
// outline, output points and placement, and looks of focals with mapping
// geometry. The generation changes every slice's name and some numbers, so
// two generations differ throughout the file.
juce::ValueTree generatedDocument (int numSlices, int generation)
{
    std::mt19937 random (12345);
    std::uniform_real_distribution<float> coordinate (-5000.0f, 5000.0f);

    juce::ValueTree document (ids::Corvadine);
    document.setProperty (ids::version, "0.9.9", nullptr);
    document.setProperty ("generation", generation, nullptr);

    juce::ValueTree screens (ids::arenaScreens);
    constexpr int slicesPerScreen = 32;

    for (int s = 0; s * slicesPerScreen < numSlices; ++s)
    {
        juce::ValueTree screen (ids::screen);
        screen.setProperty (ids::name, "Screen " + juce::String (s), nullptr);
        screen.setProperty (ids::uniqueId, (juce::int64) 1666869860000 + s, nullptr);
        screen.setProperty (ids::enabled, true, nullptr);

        for (int i = 0; i < slicesPerScreen && s * slicesPerScreen + i < numSlices; ++i)
        {
            juce::ValueTree slice (ids::slice);
            slice.setProperty (ids::name, "Slice " + juce::String (s * slicesPerScreen + i) + " of generation " + juce::String (generation), nullptr);
            slice.setProperty (ids::uniqueId, (juce::int64) 1670085950000 + s * slicesPerScreen + i, nullptr);

            juce::Array<juce::Point<float>> outline, output;
            const auto numPoints = i % 5 == 0 ? 20 : 4;

            for (int p = 0; p < numPoints; ++p)
                outline.add ({ coordinate (random) + (float) generation, coordinate (random) });

            for (int p = 0; p < 4; ++p)
                output.add ({ coordinate (random), coordinate (random) });

            auto path = writePointsTree ("path", outline);
            path.setProperty ("rotation", 0.25 * generation, nullptr);
            slice.appendChild (path, nullptr);
            slice.appendChild (writePointsTree ("outputPoints", output), nullptr);

            juce::ValueTree position (ids::position);
            position.setProperty (ids::transform, "1, 0, " + juce::String (coordinate (random)) + ", 0, 1, " + juce::String (coordinate (random)), nullptr);
            position.setProperty (ids::finalRotation, 0.0, nullptr);
            slice.appendChild (position, nullptr);
            screen.appendChild (slice, nullptr);
        }

        screens.appendChild (screen, nullptr);
    }

    juce::ValueTree looks (ids::looks);

    for (int l = 0; l < 16; ++l)
    {
        juce::ValueTree look ("look");
        look.setProperty (ids::x, 1920, nullptr);
        look.setProperty (ids::y, 1080, nullptr);
        juce::ValueTree focals ("focals");

        for (int f = 0; f < 4; ++f)
        {
            juce::ValueTree focal ("focal");
            focal.setProperty ("uId", juce::String::toHexString (l * 4 + f).paddedLeft ('0', 32), nullptr);
            juce::ValueTree vertices ("vertices");
            vertices.setProperty (ids::uniqueId, (juce::int64) 1670085950000 + l, nullptr);

            for (int v = 0; v < 16; ++v)
                vertices.appendChild (juce::ValueTree (ids::vertex, { { ids::value, coordinate (random) / 5000.0 } }), nullptr);

            for (int v = 0; v < 6; ++v)
                vertices.appendChild (juce::ValueTree ("index", { { ids::value, v % 4 } }), nullptr);

            focal.appendChild (vertices, nullptr);
            focals.appendChild (focal, nullptr);
        }

        look.appendChild (focals, nullptr);
        looks.appendChild (look, nullptr);
    }

    document.appendChild (screens, nullptr);
    document.appendChild (looks, nullptr);
    return document;
}

constexpr int crashSlices = 2048;

//==============================================================================
// A copy of this test program, run as a server of saving processes: for each
// "fork" line it starts a saver, a forked copy of itself holding both
// generations of the document, which makes its store, answers "READY" and
// its process id, and on "go" saves until it is killed. Starting the program
// and building the documents are paid once; each kill then costs only a fork.
class SaverServer
{
public:
    SaverServer (const juce::File& home, const juce::File& documentFile)
    {
        int toChild[2], fromChild[2];

        if (::pipe (toChild) != 0 || ::pipe (fromChild) != 0)
            return;

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init (&actions);
        posix_spawn_file_actions_adddup2 (&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2 (&actions, fromChild[1], 1);
        posix_spawn_file_actions_addclose (&actions, toChild[1]);
        posix_spawn_file_actions_addclose (&actions, fromChild[0]);

        std::vector<std::string> environment;

        for (auto** e = environ; *e != nullptr; ++e)
            environment.emplace_back (*e);

        environment.push_back ("CORVADINE_SAVING_CHILD_HOME=" + home.getFullPathName().toStdString());
        environment.push_back ("CORVADINE_SAVING_CHILD_DOCUMENT=" + documentFile.getFullPathName().toStdString());

        std::vector<char*> environmentPointers;

        for (auto& e : environment)
            environmentPointers.push_back (e.data());

        environmentPointers.push_back (nullptr);

        const auto program = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName().toStdString();
        std::string filter = "--gtest_filter=DocumentSavingChild.ServesSaversUntilItsInputEnds";
        char* arguments[] = { const_cast<char*> (program.c_str()), filter.data(), nullptr };

        if (::posix_spawn (&pid, program.c_str(), &actions, nullptr, arguments, environmentPointers.data()) != 0)
            pid = -1;

        posix_spawn_file_actions_destroy (&actions);
        ::close (toChild[0]);
        ::close (fromChild[1]);
        input = toChild[1];
        output = fromChild[0];
    }

    ~SaverServer()
    {
        ::close (input);
        ::close (output);

        // Its saver goes with it.
        if (pid > 0)
        {
            ::kill (pid, SIGKILL);
            int status = 0;
            ::waitpid (pid, &status, 0);
        }
    }

    // Starts a saver and waits until its store has started; returns its
    // process id, or -1.
    pid_t startSaver (int timeoutMilliseconds)
    {
        if (pid <= 0 || ! send ("fork\n"))
            return -1;

        const auto line = readLine (timeoutMilliseconds);
        const auto marker = line.find ("SAVER-READY ");
        return marker == std::string::npos ? -1 : (pid_t) std::atoi (line.c_str() + marker + 12);
    }

    bool startSaving() { return send ("go\n"); }

    pid_t pid = -1;

private:
    bool send (const char* text) { return ::write (input, text, std::strlen (text)) == (ssize_t) std::strlen (text); }

    std::string readLine (int timeoutMilliseconds)
    {
        std::string line;
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMilliseconds;

        while (juce::Time::getMillisecondCounter() < end)
        {
            pollfd p { output, POLLIN, 0 };

            if (::poll (&p, 1, 100) <= 0)
                continue;

            char c;

            if (::read (output, &c, 1) != 1)
                break;

            if (c == '\n')
            {
                if (line.find ("SAVER-READY ") != std::string::npos)
                    return line;

                line.clear(); // the test program's own output
                continue;
            }

            line += c;
        }

        return {};
    }

    int input = -1, output = -1;
};

// Kills the process and waits until it is gone (its parent, the server,
// collects it).
void killProcess (pid_t process)
{
    ::kill (process, SIGKILL);

    for (int i = 0; i < 20000 && ::kill (process, 0) == 0; ++i)
        ::usleep (1000);
}

juce::String headerOnly() { return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n"; }

juce::String freshPreferences (const juce::String& documentPath)
{
    return headerOnly()
         + "<preferences>\r\n"
           "  <lastusedfile fullpathname=\"" + documentPath + "\"/>\r\n"
           "  <app version=\"0.9.9.d\"/>\r\n"
           "</preferences>\r\n";
}
} // namespace

//==============================================================================
// The server of saving processes that the crash test starts (see
// SaverServer): it takes the HOME it is given, so the documents folder is the
// test's, and builds both generations once. Each saver is a fork of it made
// before any store exists, so each one's store is the first of its run and
// removes what the savers killed before it left behind.
TEST (DocumentSavingChild, ServesSaversUntilItsInputEnds)
{
    const auto* home = std::getenv ("CORVADINE_SAVING_CHILD_HOME");
    const auto* path = std::getenv ("CORVADINE_SAVING_CHILD_DOCUMENT");

    if (home == nullptr || path == nullptr)
        GTEST_SKIP() << "runs only as the child of the crash test";

    // Never outlives the test that started it (a test that times out is killed).
    ::prctl (PR_SET_PDEATHSIG, SIGKILL);

    test::testHome().deleteRecursively();
    ::setenv ("HOME", home, 1);

    const juce::ValueTree generations[] = { generatedDocument (crashSlices, 1), generatedDocument (crashSlices, 2) };
    const auto readLine = []
    {
        std::string line;
        char c;

        while (::read (0, &c, 1) == 1 && c != '\n')
            line += c;

        return line;
    };

    for (;;)
    {
        const auto command = readLine();

        if (command.empty())
            return;

        if (command != "fork")
            continue; // a "go" its saver was killed before reading

        const auto saver = ::fork();

        if (saver < 0)
            return;

        if (saver > 0)
        {
            int status = 0;
            ::waitpid (saver, &status, 0);
            continue;
        }

        ::prctl (PR_SET_PDEATHSIG, SIGKILL);

        // Opened as the application opens the last document.
        FileLess store;
        store.replaceDocument (generations[0], juce::String::fromUTF8 (path));
        std::printf ("SAVER-READY %d\n", (int) ::getpid());
        std::fflush (stdout);

        if (readLine() != "go")
            ::_exit (0);

        // As the application saves: the deferred save writes on a thread
        // of its own, and is waited for before the next one.
        for (int i = 0;; ++i)
        {
            store.document = generations[i % 2];
            store.startDeferredSave();
            store.timerCallback();
            store.flushPendingSave();
        }
    }
}

TEST (DocumentSaving, KilledAtRandomMomentsTheDocumentIsAlwaysWholeAndNoTemporaryFileOutlivesTheNextStart)
{
    // The texts the savers write: the second generation, saved here first
    // (which also says how long a save takes, for the moments of the kills),
    // and the first.
    const auto measured = appFolder().getChildFile ("Measured.xml");
    appFolder().createDirectory();
    double saveMilliseconds = 0;
    {
        FileLess store;
        store.document = generatedDocument (crashSlices, 2);
        store.documentPath = measured.getFullPathName();
        store.startDeferredSave();
        const auto saveStart = juce::Time::getMillisecondCounterHiRes();
        ASSERT_TRUE (store.flushPendingSave());
        saveMilliseconds = juce::Time::getMillisecondCounterHiRes() - saveStart;
    }
    const auto secondText = measured.loadFileAsString().toStdString();
    const auto firstText = documentToText (generatedDocument (crashSlices, 1));
    ASSERT_NE (firstText, secondText);
    ASSERT_GT (secondText.size(), 1000000u);

    // Kills run in several lanes at once, each with a HOME and document of
    // its own, one child after the other.
    constexpr int lanes = 5, killsPerLane = 10;
    std::atomic<int> leftBehind { 0 }, sawFirst { 0 }, sawSecond { 0 }, kills { 0 };

    const auto runLane = [&] (int lane)
    {
        const auto home = test::testHome().getChildFile ("lane " + juce::String (lane));
        const auto folder = home.getChildFile ("Documents/Corvadine");
        const auto file = folder.getChildFile ("Crash Test.xml");
        const auto preferences = folder.getChildFile ("preferences/preferences.xml");
        const auto preferencesText = freshPreferences (file.getFullPathName());
        folder.createDirectory();

        // In the first lane the document is a link to a file in another
        // folder, where its writes (and what killed ones leave) go.
        const auto targetFolder = lane == 0 ? home.getChildFile ("Elsewhere") : folder;

        if (lane == 0)
        {
            targetFolder.createDirectory();
            const auto target = targetFolder.getChildFile ("Linked Target.xml");
            target.replaceWithData (secondText.data(), secondText.size());
            ::symlink (target.getFullPathName().toRawUTF8(), file.getFullPathName().toRawUTF8());
            EXPECT_TRUE (file.isSymbolicLink());
        }
        else
        {
            file.replaceWithData (secondText.data(), secondText.size());
        }
        preferences.getParentDirectory().createDirectory();
        preferences.replaceWithData (preferencesText.toRawUTF8(), preferencesText.getNumBytesAsUTF8());

        std::mt19937 random (std::random_device {}());
        // Until a save has been seen here, the time one took alone.
        auto laneSaveMilliseconds = saveMilliseconds;
        const auto identity = [&file]
        {
            struct stat status {};
            return ::stat (file.getFullPathName().toRawUTF8(), &status) == 0 ? status.st_ino : (ino_t) 0;
        };

        SaverServer server (home, file);

        for (int round = 0; round <= killsPerLane; ++round)
        {
            const auto saver = server.startSaver (300000);

            if (saver <= 0)
            {
                ADD_FAILURE() << "lane " << lane << ", round " << round << ": no saver started";
                return;
            }

            // The child's store has started: whatever the last kill left is gone.
            EXPECT_TRUE (temporaryFilesIn (folder).isEmpty()) << temporaryFilesIn (folder).joinIntoString (", ");
            EXPECT_TRUE (temporaryFilesIn (targetFolder).isEmpty()) << temporaryFilesIn (targetFolder).joinIntoString (", ");
            EXPECT_TRUE (temporaryFilesIn (preferences.getParentDirectory()).isEmpty());

            if (round == killsPerLane)
            {
                killProcess (saver);
                return;
            }

            server.startSaving();

            if (round == 0)
            {
                // How long a save takes in this lane, with the others
                // running: until the file is replaced (a new file each time).
                const auto before = identity();
                const auto start = juce::Time::getMillisecondCounterHiRes();

                while (identity() == before && juce::Time::getMillisecondCounterHiRes() - start < 120000)
                    juce::Thread::sleep (2);

                laneSaveMilliseconds = juce::Time::getMillisecondCounterHiRes() - start;
            }
            else
            {
                std::uniform_real_distribution<double> moment (0.0, 2.5 * laneSaveMilliseconds);
                juce::Thread::sleep (juce::roundToInt (moment (random)));
            }

            killProcess (saver);
            ++kills;

            // The old bytes or the new ones, never anything else.
            const auto text = file.loadFileAsString().toStdString();
            EXPECT_TRUE (text == firstText || text == secondText)
                << "lane " << lane << ", round " << round << ": " << text.size() << " bytes, not a whole document";
            (text == firstText ? sawFirst : sawSecond)++;
            EXPECT_EQ (preferences.loadFileAsString(), preferencesText) << "lane " << lane << ", round " << round;

            if (lane == 0)
                EXPECT_TRUE (file.isSymbolicLink()) << "round " << round;

            if (! temporaryFilesIn (targetFolder).isEmpty() || ! temporaryFilesIn (preferences.getParentDirectory()).isEmpty())
                ++leftBehind;
        }
    };

    std::vector<std::thread> threads;

    for (int lane = 0; lane < lanes; ++lane)
        threads.emplace_back (runLane, lane);

    for (auto& thread : threads)
        thread.join();

    // The kills did land during writes: each of those leaves its temporary
    // file for the next start. (How many saves end before a kill depends on
    // the machine's load; the counts are printed.)
    EXPECT_EQ (kills.load(), lanes * killsPerLane);
    EXPECT_GT (leftBehind.load(), 0);
    std::printf ("%d kills: %d during a write, %d left the first generation, %d the second (a save takes %.0f ms)\n",
                 kills.load(), leftBehind.load(), sawFirst.load(), sawSecond.load(), saveMilliseconds);
}

TEST (DocumentSaving, TemporaryFilesOfTheStoreAreToldApartFromEverythingElse)
{
    const auto folder = appFolder();
    folder.createDirectory();

    const juce::StringArray ours { ".show.xml.0123456789ab.tmp", ".NewCorvadineDocument.xml.ffffffffffff.tmp",
                                   ".preferences.xml.000000000000.tmp", ".Decke Fl\xc3\xa4" "che.xml.a1b2c3d4e5f6.tmp" };
    const juce::StringArray others { "show.xml", ".show.xml", "show.xml.0123456789ab.tmp", ".show.xml.0123456789AB.tmp",
                                     ".show.xml.0123456789a.tmp", ".show.xml.0123456789abc.tmp", ".show.xml0123456789ab.tmp",
                                     ".show.xml.0123456789ab.tmp~", ".0123456789ab.tmp", "..0123456789ab.tmp" };

    for (const auto& name : ours)
    {
        EXPECT_TRUE (isTemporaryFileName (juce::String::fromUTF8 (name.toRawUTF8()))) << name;
        test::writeTextFile (folder.getChildFile (name), "half a document");
    }

    for (const auto& name : others)
    {
        EXPECT_FALSE (isTemporaryFileName (name)) << name;
        test::writeTextFile (folder.getChildFile (name), "keep");
    }

    // A folder and a link named like ours are not ours.
    folder.getChildFile (".folder.xml.0123456789ab.tmp").createDirectory();
    folder.getChildFile ("show.xml").createSymbolicLink (folder.getChildFile (".link.xml.0123456789ab.tmp"), true);

    EXPECT_EQ (removeTemporaryFiles (folder), ours.size());

    for (const auto& name : ours)
        EXPECT_FALSE (folder.getChildFile (name).exists()) << name;

    for (const auto& name : others)
        EXPECT_EQ (folder.getChildFile (name).loadFileAsString(), "keep") << name;

    EXPECT_TRUE (folder.getChildFile (".folder.xml.0123456789ab.tmp").isDirectory());
    EXPECT_TRUE (folder.getChildFile (".link.xml.0123456789ab.tmp").isSymbolicLink());
}

TEST (DocumentSaving, ALinkStaysALinkAndAFileKeepsItsPermissions)
{
    const auto folder = appFolder();
    const auto shows = folder.getChildFile ("Shows");
    shows.createDirectory();

    // A private file of mode 600, a link to it from the documents folder
    // (relative), and a link to that link.
    const auto target = shows.getChildFile ("Private Show.xml");
    test::writeTextFile (target, "<Corvadine/>");
    ASSERT_EQ (::chmod (target.getFullPathName().toRawUTF8(), 0600), 0);
    const auto link = folder.getChildFile ("Show link.xml");
    ASSERT_EQ (::symlink ("Shows/Private Show.xml", link.getFullPathName().toRawUTF8()), 0);
    const auto linkToLink = folder.getChildFile ("Link to link.xml");
    ASSERT_EQ (::symlink (link.getFullPathName().toRawUTF8(), linkToLink.getFullPathName().toRawUTF8()), 0);
    // A group-readable file saved directly.
    const auto shared = folder.getChildFile ("Shared Show.xml");
    test::writeTextFile (shared, "<Corvadine/>");
    ASSERT_EQ (::chmod (shared.getFullPathName().toRawUTF8(), 0640), 0);

    RecordingStore store;
    int round = 0;

    for (const auto& path : { link, linkToLink, target, shared })
    {
        store.documentPath = path.getFullPathName();
        store.document.setProperty ("round", ++round, nullptr);
        store.startDeferredSave();
        ASSERT_TRUE (store.flushPendingSave()) << store.lastWriteError();

        const auto expected = documentToText (store.document);
        EXPECT_EQ (path.loadFileAsString().toStdString(), expected) << path.getFullPathName();
        EXPECT_TRUE (temporaryFilesIn (folder).isEmpty());
        EXPECT_TRUE (temporaryFilesIn (shows).isEmpty());
    }

    struct stat status {};
    ASSERT_EQ (::lstat (link.getFullPathName().toRawUTF8(), &status), 0);
    EXPECT_TRUE (S_ISLNK (status.st_mode));
    ASSERT_EQ (::lstat (linkToLink.getFullPathName().toRawUTF8(), &status), 0);
    EXPECT_TRUE (S_ISLNK (status.st_mode));
    EXPECT_EQ (link.getLinkedTarget(), target);

    ASSERT_EQ (::stat (target.getFullPathName().toRawUTF8(), &status), 0);
    EXPECT_TRUE (S_ISREG (status.st_mode));
    EXPECT_EQ (status.st_mode & 07777, 0600u);
    EXPECT_TRUE (target.loadFileAsString().contains ("round=\"3\""));

    ASSERT_EQ (::stat (shared.getFullPathName().toRawUTF8(), &status), 0);
    EXPECT_EQ (status.st_mode & 07777, 0640u);
    EXPECT_TRUE (shared.loadFileAsString().contains ("round=\"4\""));

    // The preferences file too: a link to it stays, and so do its bits.
    const auto realPreferences = shows.getChildFile ("real preferences.xml");
    test::writeTextFile (realPreferences, "<preferences/>");
    ASSERT_EQ (::chmod (realPreferences.getFullPathName().toRawUTF8(), 0604), 0);
    prefsFile().deleteFile();
    ASSERT_EQ (::symlink (realPreferences.getFullPathName().toRawUTF8(), prefsFile().getFullPathName().toRawUTF8()), 0);
    ASSERT_TRUE (store.savePreferences());
    EXPECT_TRUE (prefsFile().isSymbolicLink());
    EXPECT_EQ (realPreferences.loadFileAsString(), freshPreferences (shared.getFullPathName()));
    ASSERT_EQ (::stat (realPreferences.getFullPathName().toRawUTF8(), &status), 0);
    EXPECT_EQ (status.st_mode & 07777, 0604u);

    // A new file gets the usual bits for the user's mask.
    const auto fresh = folder.getChildFile ("Fresh.xml");
    const auto mask = ::umask (022);
    store.documentPath = fresh.getFullPathName();
    store.startDeferredSave();
    EXPECT_TRUE (store.flushPendingSave());
    ::umask (mask);
    ASSERT_EQ (::stat (fresh.getFullPathName().toRawUTF8(), &status), 0);
    EXPECT_EQ (status.st_mode & 07777, 0644u);
}

TEST (DocumentSaving, OnAFullDiskTheOldFileStaysWholeTheUserIsToldOnceAndARetryWritesEverything)
{
    test::SmallDisk disk (appFolder().getChildFile ("Small Disk"), 256);

    if (! disk.mounted)
        GTEST_SKIP() << "no right to mount a small disk here";

    const auto file = disk.mountPoint.getChildFile ("show.xml");
    RecordingStore store;
    store.documentPath = file.getFullPathName();
    store.document.setProperty (ids::version, "0.9.9", nullptr);
    store.startDeferredSave();
    ASSERT_TRUE (store.flushPendingSave());
    const auto oldText = file.loadFileAsString();

    // The disk fills up; the document grows past what is left.
    disk.fill();
    store.replaceChild (generatedDocument (64, 1).getChildWithName (ids::arenaScreens).createCopy());
    store.startDeferredSave();

    EXPECT_FALSE (store.flushPendingSave());
    EXPECT_TRUE (store.lastWriteFailed());
    EXPECT_EQ (store.lastWriteError(), file.getFullPathName() + ": No space left on device");
    EXPECT_EQ (file.loadFileAsString(), oldText);
    EXPECT_TRUE (temporaryFilesIn (disk.mountPoint).isEmpty());
    EXPECT_TRUE (store.isTimerRunning());

    // Nothing is switched while the changes are not on disk.
    const auto otherFile = appFolder().getChildFile ("other.xml");
    const auto current = store.document;
    EXPECT_FALSE (store.replaceDocument (juce::ValueTree (ids::Corvadine), otherFile.getFullPathName()));
    EXPECT_FALSE (store.newDocument());
    EXPECT_EQ (store.document, current);
    EXPECT_EQ (store.documentPath, file.getFullPathName());
    EXPECT_TRUE (store.told.isEmpty()); // never from inside a save

    // Retried every second, told once.
    ASSERT_TRUE (test::pumpUntil ([&] { return store.saves >= 8; }, 10000));
    // The retry being written in the background ends (failing once more)
    // before the folder is looked at.
    EXPECT_FALSE (store.flushPendingSave());
    EXPECT_EQ (store.told, juce::StringArray { file.getFullPathName() + ": No space left on device" });
    EXPECT_EQ (file.loadFileAsString(), oldText);
    EXPECT_TRUE (temporaryFilesIn (disk.mountPoint).isEmpty());

    // Room again: the next retry writes everything, and nothing more is told.
    disk.makeRoom();
    ASSERT_TRUE (test::pumpUntil ([&] { return ! store.lastWriteFailed(); }, 5000));
    EXPECT_EQ (file.loadFileAsString().toStdString(), documentToText (store.document));
    EXPECT_FALSE (store.lastWriteFailed());
    test::pumpMessageLoop (1500);
    EXPECT_EQ (store.told.size(), 1);

    // A new failure after a success is told again.
    disk.fill();
    store.replaceChild (generatedDocument (96, 2).getChildWithName (ids::arenaScreens).createCopy());
    store.startDeferredSave();
    ASSERT_TRUE (test::pumpUntil ([&] { return store.told.size() == 2; }, 5000));

    // "Save as...": the path moves, and the save that could not be written
    // goes to the new file with every change; the old file stays whole.
    const auto textBefore = file.loadFileAsString();
    EXPECT_FALSE (store.setDocumentPath (otherFile.getFullPathName()));
    EXPECT_EQ (store.documentPath, otherFile.getFullPathName());
    EXPECT_TRUE (store.isTimerRunning());
    EXPECT_TRUE (store.flushPendingSave());
    EXPECT_EQ (otherFile.loadFileAsString().toStdString(), documentToText (store.document));
    EXPECT_EQ (file.loadFileAsString(), textBefore);
    EXPECT_FALSE (store.lastWriteFailed());

    // Or the user gives the changes up: then the store switches.
    store.documentPath = file.getFullPathName();
    store.replaceChild (generatedDocument (128, 3).getChildWithName (ids::arenaScreens).createCopy());
    store.startDeferredSave();
    EXPECT_FALSE (store.flushPendingSave());
    store.discardPendingSave();
    EXPECT_FALSE (store.isTimerRunning());
    EXPECT_TRUE (store.replaceDocument (juce::ValueTree (ids::Corvadine), otherFile.getFullPathName()));
    EXPECT_EQ (file.loadFileAsString(), textBefore);
}

TEST (DocumentSaving, TheFailureIsToldInADialogNamingTheFileAndTheReason)
{
    // A regular file where the document's folder should be.
    const auto blocker = appFolder().getChildFile ("shows");
    test::writeTextFile (blocker, "in the way");
    const auto file = blocker.getChildFile ("show.xml");

    FileLess store;
    store.documentPath = file.getFullPathName();
    store.startDeferredSave();
    EXPECT_FALSE (store.flushPendingSave());

    juce::String title, message;
    int dialogs = 0;

    // The dialog's modal loop runs the retries; it is closed after several.
    std::function<void()> look = [&]
    {
        if (auto* dialog = dynamic_cast<DialogComponent*> (juce::Component::getCurrentlyModalComponent()))
        {
            ++dialogs;
            title = dialog->titleLabel.getText();
            message = dialog->messageLabel.getText();
            test::callAfter (300, [dialog = juce::Component::SafePointer<DialogComponent> (dialog)]
            {
                if (dialog != nullptr)
                    test::writeSnapshot (*dialog, "save-error-dialog");
            });
            test::callAfter (2500, [dialog = juce::Component::SafePointer<DialogComponent> (dialog)]
            {
                if (dialog != nullptr)
                    test::clickThroughWindow (*dialog->buttons[0]);
            });
            return;
        }

        test::callAfter (50, look);
    };

    test::callAfter (0, look);
    ASSERT_TRUE (test::pumpUntil ([&] { return dialogs == 1 && DialogManager::getInstance().getCurrentMessage().isEmpty(); }, 10000));
    test::pumpMessageLoop (1500);

    EXPECT_EQ (title, "Oh no! Save error...");
    // The reason, and the file named once.
    EXPECT_TRUE (message.contains ("Not a directory")) << message;
    EXPECT_TRUE (message.contains (file.getFullPathName())) << message;
    EXPECT_FALSE (message.contains (file.getFullPathName() + ": ")) << message;
    EXPECT_TRUE (DialogManager::getInstance().getCurrentMessage().isEmpty());
    EXPECT_EQ (dialogs, 1);
    store.discardPendingSave();
}

TEST (DocumentSaving, CharactersXmlForbidsNeverReachAFileAndAllowedOnesSurviveByteForByte)
{
    // Each name holds one character, raw (as UTF-8 bytes) or as a character
    // reference, between allowed ones that must come back as they were.
    // Bytes that are not UTF-8 (a surrogate's or a code beyond U+10FFFF's
    // encoding) may be read as U+FFFD or as Latin-1 (expected: null); either
    // way the file stays well-formed.
    struct Case { const char* inFile; const char* expected; };
    const Case cases[] = {
        { "&#x1;", "\xef\xbf\xbd" },
        { "&#1;", "\xef\xbf\xbd" },
        { "&#x1B;", "\xef\xbf\xbd" },
        { "&#x1F;", "\xef\xbf\xbd" },
        { "\x01", "\xef\xbf\xbd" },
        { "\x1b", "\xef\xbf\xbd" },
        { "\x7f", "\x7f" },
        { "&#xD800;", "\xef\xbf\xbd" },
        { "&#xDFFF;", "\xef\xbf\xbd" },
        { "&#55296;", "\xef\xbf\xbd" },
        { "&#xFFFE;", "\xef\xbf\xbd" },
        { "&#xFFFF;", "\xef\xbf\xbd" },
        { "\xef\xbf\xbe", "\xef\xbf\xbd" },
        { "\xef\xbf\xbf", "\xef\xbf\xbd" },
        { "&#x110000;", "\xef\xbf\xbd" },
        { "\xed\xa0\x80", nullptr },
        { "\xed\xbf\xbf", nullptr },
        { "\xf4\x90\x80\x80", nullptr },
        // Allowed: kept exactly.
        { "&#x9;", "\t" },
        { "&#xA;", "\n" },
        { "&#xD;", "\r" },
        { "&#xD7FF;", "\xed\x9f\xbf" },
        { "&#xE000;", "\xee\x80\x80" },
        { "&#xFFFD;", "\xef\xbf\xbd" },
        { "&#x10000;", "\xf0\x90\x80\x80" },
        { "&#x10FFFF;", "\xf4\x8f\xbf\xbf" },
        { "\xc2\x80", "\xc2\x80" },
        { "Fl\xc3\xa4" "che \xe2\x82\xac \xf0\x9f\x8e\xa5", "Fl\xc3\xa4" "che \xe2\x82\xac \xf0\x9f\x8e\xa5" },
    };

    // One host setup holds a slice per case, imported, saved by the store
    // and read back by a strict reader.
    const auto before = std::string ("A<b> & \"c\" ");
    const auto after = std::string (" \xc3\xa4\xe2\x82\xac z");
    std::string setupText = "<ScreenSetup><screens><Screen name=\"S\"><Params name=\"Params\">"
                            "<Param name=\"Name\" value=\"Screen &#x1; \x1b &#xFFFE;\"/></Params><layers>";
    int number = 0;

    for (const auto& c : cases)
        setupText += "<Slice uniqueId=\"" + std::to_string (++number) + "\"><Params name=\"Common\">"
                     "<Param name=\"Name\" value=\"A&lt;b&gt; &amp; &quot;c&quot; " + std::string (c.inFile) + after + "\"/></Params>"
                     "<InputRect><v x=\"0\" y=\"0\"/><v x=\"10\" y=\"0\"/><v x=\"10\" y=\"10\"/><v x=\"0\" y=\"10\"/></InputRect>"
                     "</Slice>";

    setupText += "</layers></Screen></screens></ScreenSetup>";

    // Import, as the host's file is read.
    const auto setup = parseHostXml (juce::String::fromUTF8 (setupText.data(), (int) setupText.size()));
    ASSERT_NE (setup, nullptr);
    const auto screens = parseScreens (findScreenSetupElement (*setup));
    ASSERT_EQ (screens.size(), 1);
    ASSERT_EQ (screens[0].slices.size(), (int) std::size (cases));

    StageModel model;
    model.compositionSize = { 1920, 1080 };
    model.rebuildScreens (screens);

    // Saved by the store, in the background as the timer does it: the
    // document, then the preferences.
    appFolder().createDirectory();
    const auto file = appFolder().getChildFile ("strict.xml");
    RecordingStore store;
    store.documentPath = file.getFullPathName();
    store.replaceChild (model.writeArenaScreensTree());
    store.document.setProperty ("note", juce::String::fromUTF8 ("\x01\xef\xbf\xbe\t"), nullptr);
    store.startDeferredSave();
    store.timerCallback();
    ASSERT_TRUE (store.flushPendingSave());
    ASSERT_FALSE (store.lastWriteFailed()) << store.lastWriteError();

    // A strict reader takes both files...
    juce::ChildProcess lint;
    ASSERT_TRUE (lint.start (juce::StringArray { "xmllint", "--noout", file.getFullPathName(), prefsFile().getFullPathName() }));
    const auto complaints = lint.readAllProcessOutput();
    EXPECT_EQ (lint.getExitCode(), 0u) << complaints;

    // ...and gives back every slice's name, in one query.
    const std::string separator = "|next|";
    juce::String query = "concat(''";

    for (int i = 1; i <= (int) std::size (cases); ++i)
        query << ", //slice[" << i << "]/@name, '" << separator << "'";

    query << ")";
    juce::ChildProcess reader;
    ASSERT_TRUE (reader.start (juce::StringArray { "xmllint", "--xpath", query, file.getFullPathName() }));
    const auto bytes = reader.readAllProcessOutput();
    const auto read = std::string (bytes.toRawUTF8(), bytes.getNumBytesAsUTF8());

    size_t at = 0;
    number = 0;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (number++) + ": " + juce::String::fromUTF8 (c.inFile).quoted());
        const auto end = read.find (separator, at);
        ASSERT_NE (end, std::string::npos);
        const auto name = read.substr (at, end - at);
        at = end + separator.size();

        if (c.expected != nullptr)
        {
            EXPECT_EQ (name, before + c.expected + after);
        }
        else
        {
            juce::String latin1;

            for (auto* b = c.inFile; *b != 0; ++b)
                latin1 += static_cast<juce::juce_wchar> (static_cast<unsigned char> (*b));

            EXPECT_TRUE (name == before + "\xef\xbf\xbd" + after || name == before + latin1.toStdString() + after) << name;
        }
    }
}

TEST (DocumentSaving, PreferencesHoldingForbiddenCharactersAreWrittenWellFormed)
{
    // A hand-edited preferences file with references XML forbids, and a
    // document path holding a control character.
    test::writeTextFile (prefsFile(), "<preferences note=\"a&#1;b\"><window title=\"x&#xFFFE;y\">t&#x1B;ext</window></preferences>");

    RecordingStore store;
    store.documentPath = "/shows/a" + juce::String::charToString (0x1b) + "b.xml";
    ASSERT_TRUE (store.savePreferences());

    juce::ChildProcess lint;
    ASSERT_TRUE (lint.start (juce::StringArray { "xmllint", "--noout", prefsFile().getFullPathName() }));
    const auto complaints = lint.readAllProcessOutput();
    EXPECT_EQ (lint.getExitCode(), 0u) << complaints;

    const auto text = prefsFile().loadFileAsString();
    EXPECT_TRUE (text.contains ("note=\"a&#65533;b\"")) << text;
    EXPECT_TRUE (text.contains ("title=\"x&#65533;y\"")) << text;
    EXPECT_TRUE (text.contains ("fullpathname=\"/shows/a&#65533;b.xml\"")) << text;
}

TEST (DocumentSaving, TheDeferredSaveWritesASnapshotInTheBackgroundThatFlushesAndQuittingWaitFor)
{
    appFolder().createDirectory();
    const auto file = appFolder().getChildFile ("Background.xml");

    {
        RecordingStore store;
        store.documentPath = file.getFullPathName();
        store.document = generatedDocument (crashSlices, 1);
        const auto savedText = documentToText (store.document);

        // The timer fires: the snapshot is taken, and the document may change
        // at once while the text is written elsewhere.
        store.startDeferredSave();
        store.timerCallback();
        EXPECT_FALSE (store.isTimerRunning());

        auto screens = store.document.getChildWithName (ids::arenaScreens);
        screens.getChild (0).setProperty (ids::name, "Changed while saving", nullptr);
        screens.removeChild (1, nullptr);
        store.document.removeChild (store.document.getChildWithName (ids::looks), nullptr);
        store.document.setProperty ("generation", 99, nullptr);

        // A flush waits for that write: the file holds the snapshot, whole,
        // and the preferences were written after it.
        EXPECT_TRUE (store.flushPendingSave());
        EXPECT_EQ (file.loadFileAsString().toStdString(), savedText);
        EXPECT_EQ (prefsFile().loadFileAsString(), freshPreferences (file.getFullPathName()));
        EXPECT_TRUE (temporaryFilesIn (appFolder()).isEmpty());

        // The changes go out with the next save; the store is destroyed
        // (the application quits) while that one is still being written.
        store.startDeferredSave();
        store.timerCallback();
        store.document.setProperty ("generation", 100, nullptr);
    }

    // Destruction waited for the write in flight, which holds generation 99.
    const auto text = file.loadFileAsString();
    EXPECT_TRUE (text.contains ("generation=\"99\"")) << text.substring (0, 200);
    EXPECT_TRUE (text.contains ("Changed while saving"));
    EXPECT_FALSE (text.contains ("<looks"));
    EXPECT_TRUE (temporaryFilesIn (appFolder()).isEmpty());

    // The outcome of a background write comes back to the message loop:
    // a failure there makes the save pending again, and is told once.
    const auto blocker = appFolder().getChildFile ("blocked");
    test::writeTextFile (blocker, "in the way");
    RecordingStore store;
    store.documentPath = blocker.getChildFile ("show.xml").getFullPathName();
    store.startDeferredSave();
    store.timerCallback();
    ASSERT_TRUE (test::pumpUntil ([&] { return store.lastWriteFailed() && store.told.size() == 1; }, 5000));
    EXPECT_TRUE (store.isTimerRunning());
    store.discardPendingSave();
}
