#include "host/PluginInstaller.h"
#include "platform/Trash.h"
#include "support/TestSupport.h"
#include "widgets/DialogComponent.h"
#include "widgets/DialogManager.h"

#include "CorvadineBinaryData.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
const juce::StringArray pluginNames { "FFGLCorvadine", "FFGLCorvadineTestCard" };

struct Archive
{
    int version;
    const char* data;
    int size;
};

const Archive archives[] = {
    { 6, CorvadineBinaryData::PluginsArena6_zip, CorvadineBinaryData::PluginsArena6_zipSize },
    { 7, CorvadineBinaryData::PluginsArena7_zip, CorvadineBinaryData::PluginsArena7_zipSize },
};

std::unique_ptr<juce::ZipFile> open (const Archive& archive)
{
    return std::make_unique<juce::ZipFile> (new juce::MemoryInputStream (archive.data, (size_t) archive.size, false), true);
}

juce::StringArray entryNames (const Archive& archive)
{
    juce::StringArray names;
    auto zip = open (archive);

    for (int i = 0; i < zip->getNumEntries(); ++i)
        names.add (zip->getEntry (i)->filename);

    return names;
}

juce::StringArray fileEntryNames (const Archive& archive)
{
    juce::StringArray names;

    for (const auto& name : entryNames (archive))
        if (! name.endsWithChar ('/'))
            names.add (name);

    return names;
}

juce::String entryText (const Archive& archive, const juce::String& name)
{
    auto zip = open (archive);
    std::unique_ptr<juce::InputStream> in (zip->createStreamForEntry (zip->getIndexOfFileName (name)));
    return in != nullptr ? in->readEntireStreamAsString() : juce::String();
}

// The compression method of every entry, read from the archive's central
// directory (juce::ZipFile does not tell it): 0 stored, 8 deflated.
std::map<juce::String, int> compressionMethods (const Archive& archive)
{
    std::map<juce::String, int> methods;
    const auto* bytes = reinterpret_cast<const juce::uint8*> (archive.data);
    const auto u16 = [bytes] (int at) { return (int) bytes[at] | ((int) bytes[at + 1] << 8); };
    const auto u32 = [&] (int at) { return (juce::uint32) u16 (at) | ((juce::uint32) u16 (at + 2) << 16); };

    for (int at = 0; at + 46 <= archive.size; ++at)
    {
        if (u32 (at) != 0x02014b50)
            continue;

        const auto nameLength = u16 (at + 28);
        methods[juce::String (reinterpret_cast<const char*> (bytes + at + 46), (size_t) nameLength)] = u16 (at + 10);
        at += 45 + nameLength;
    }

    return methods;
}

juce::File effects (int version)
{
    return test::documentsFolder().getChildFile (version == 7 ? "Resolume Arena/Extra Effects"
                                                              : "Resolume Arena 6/Extra Effects");
}

// Every entry of the archive is on disk below the folder, each file with the
// archive's bytes.
void expectWholeArchive (const Archive& archive, const juce::File& folder)
{
    for (const auto& name : entryNames (archive))
    {
        const auto target = folder.getChildFile (name);

        if (name.endsWithChar ('/'))
            EXPECT_TRUE (target.isDirectory()) << name;
        else
            EXPECT_EQ (target.loadFileAsString(), entryText (archive, name)) << name;
    }
}
} // namespace

TEST (PluginArchives, HoldExactlyTheEntriesOfEachHostVersionInOrder)
{
    EXPECT_EQ (entryNames (archives[0]), juce::StringArray ({
        "FFGLCorvadine.bundle/",
        "FFGLCorvadine.bundle/Contents/",
        "FFGLCorvadine.bundle/Contents/MacOS/",
        "FFGLCorvadine.bundle/Contents/Info.plist",
        "FFGLCorvadine.bundle/Contents/MacOS/FFGLCorvadine" }));

    juce::StringArray version7 { "MacV7/" };

    for (juce::String bundle : { "FFGLCorvadine", "FFGLCorvadineTestCard" })
    {
        const auto root = "MacV7/" + bundle + ".bundle/";
        version7.addArray ({ root, root + "Contents/", root + "Contents/_CodeSignature/", root + "Contents/MacOS/",
                             root + "Contents/_CodeSignature/CodeResources", root + "Contents/Info.plist",
                             root + "Contents/MacOS/" + bundle });
    }

    version7.addArray ({ "MacV7/.DS_Store", "__MACOSX/._MacV7", "__MACOSX/MacV7/._.DS_Store" });
    EXPECT_EQ (version7.size(), 18);
    EXPECT_EQ (entryNames (archives[1]), version7);
}

TEST (PluginArchives, DeflateEveryFileAndNameEachPlugInInItsInfoPlist)
{
    for (const auto& archive : archives)
    {
        const auto methods = compressionMethods (archive);
        ASSERT_EQ ((int) methods.size(), entryNames (archive).size());

        for (const auto& [name, method] : methods)
        {
            const auto isFile = ! name.endsWithChar ('/');
            EXPECT_EQ (method, isFile ? 8 : 0) << name;

            if (isFile)
                EXPECT_GT (entryText (archive, name).length(), 0) << name;
        }

        for (const auto& name : fileEntryNames (archive))
        {
            if (! name.endsWith ("/Contents/Info.plist"))
                continue;

            const auto plugin = name.upToFirstOccurrenceOf (".bundle/", false, false).fromLastOccurrenceOf ("/", false, false);
            const auto plist = juce::parseXML (entryText (archive, name));
            ASSERT_NE (plist, nullptr) << name;
            EXPECT_TRUE (entryText (archive, name).contains ("<key>CFBundleExecutable</key>\n\t<string>" + plugin + "</string>")) << name;
            EXPECT_TRUE (fileEntryNames (archive).contains (name.upToLastOccurrenceOf ("/", true, false) + "MacOS/" + plugin)) << name;
        }
    }
}

TEST (PluginInstaller, NamesTheHostFolders)
{
    const auto documents = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);

    EXPECT_EQ (arenaBaseFolderForVersion (7), documents.getChildFile ("Resolume Arena"));
    EXPECT_EQ (arenaBaseFolderForVersion (6), documents.getChildFile ("Resolume Arena 6"));
    EXPECT_EQ (arenaBaseFolderForVersion (5), documents);
    EXPECT_EQ (effectsFolderForVersion (6), documents.getChildFile ("Resolume Arena 6/Extra Effects"));
    EXPECT_EQ (pluginBundleFolderForVersion (6), documents.getChildFile ("Resolume Arena 6/Extra Effects"));
    EXPECT_EQ (pluginBundleFolderForVersion (7), documents.getChildFile ("Resolume Arena/Extra Effects/MacV7"));
    EXPECT_FALSE (documents.getChildFile ("Resolume Arena").exists());
}

TEST (PluginInstaller, UnpackingWithoutOverwritingKeepsExistingFilesAndAddsEveryMissingEntry)
{
    for (const auto& archive : archives)
    {
        const auto folder = effects (archive.version);
        const auto kept = folder.getChildFile (fileEntryNames (archive)[0]);
        test::writeTextFile (kept, "the user's own bytes");
        test::writeTextFile (folder.getChildFile ("Other.bundle/Contents/Info.plist"), "another plug-in");

        ASSERT_TRUE (unzipPlugins (archive.version, folder, false).wasOk());

        EXPECT_EQ (kept.loadFileAsString(), "the user's own bytes");
        EXPECT_EQ (folder.getChildFile ("Other.bundle/Contents/Info.plist").loadFileAsString(), "another plug-in");

        for (const auto& name : entryNames (archive))
            if (folder.getChildFile (name) != kept)
                EXPECT_TRUE (folder.getChildFile (name).exists()) << name;

        // With overwriting, the archive's files replace what was there.
        ASSERT_TRUE (unzipPlugins (archive.version, folder, true).wasOk());
        expectWholeArchive (archive, folder);
        EXPECT_EQ (folder.getChildFile ("Other.bundle/Contents/Info.plist").loadFileAsString(), "another plug-in");
    }

    EXPECT_FALSE (effects (7).getChildFile ("FFGLCorvadine.bundle").exists());
    EXPECT_TRUE (effects (7).getChildFile ("__MACOSX/MacV7/._.DS_Store").existsAsFile());
}

TEST (PluginInstaller, UnpackingReportsWhatItCouldNotWrite)
{
    // A version without an archive writes nothing.
    const auto folder = effects (6);
    EXPECT_TRUE (unzipPlugins (5, folder, true).failed());
    EXPECT_FALSE (folder.exists());

    // A folder where a file of the archive belongs blocks it, replaced or not.
    const auto blocker = folder.getChildFile ("FFGLCorvadine.bundle/Contents/Info.plist");
    test::writeTextFile (blocker.getChildFile ("inside"), "x");

    for (auto overwrite : { false, true })
    {
        const auto result = unzipPlugins (6, folder, overwrite);
        EXPECT_TRUE (result.failed()) << (int) overwrite;
        EXPECT_TRUE (result.getErrorMessage().contains ("Info.plist")) << result.getErrorMessage();
    }

    // A target that is a file.
    const auto file = test::documentsFolder().getChildFile ("Resolume Arena/Extra Effects");
    test::writeTextFile (file, "not a folder");
    EXPECT_TRUE (unzipPlugins (7, file, false).failed());
    EXPECT_EQ (file.loadFileAsString(), "not a folder");
}

TEST (PluginInstaller, PresenceTableForBothHostVersions)
{
    const auto bundle6 = juce::String ("FFGLCorvadine.bundle/Contents/");
    const auto bundle7 = juce::String ("MacV7/FFGLCorvadineTestCard.bundle/Contents/");

    struct Case
    {
        const char* what;
        int version;
        bool fromArchive;                  // the archive unpacked into the effects folder first
        juce::StringArray removed;         // then these are deleted (relative to the effects folder)
        juce::StringArray added;           // and these files written
        juce::StringArray names;
        bool missing;
    };

    const Case cases[] = {
        { "no effects folder", 6, false, {}, {}, pluginNames, true },
        { "archive 1 alone lacks the test card", 6, true, {}, {}, pluginNames, true },
        { "archive 1 alone has the one plug-in", 6, true, {}, {}, { "FFGLCorvadine" }, false },
        { "both bundles at the top", 6, true, {}, { "FFGLCorvadineTestCard.bundle/Contents/Info.plist" }, pluginNames, false },
        { "names without extension", 6, false, {}, { "FFGLCorvadine", "FFGLCorvadineTestCard" }, pluginNames, false },
        { "other extensions", 6, false, {}, { "FFGLCorvadine.txt", "FFGLCorvadineTestCard.old" }, pluginNames, false },
        { "names compare case-sensitively", 6, false, {}, { "ffglcorvadine.bundle/x", "FFGLCorvadineTestCard" }, pluginNames, true },
        { "a bundle lacking its executable", 6, true, { bundle6 + "MacOS/FFGLCorvadine" }, {}, { "FFGLCorvadine" }, true },
        { "a bundle of one's own file layout", 6, false, {}, { "FFGLCorvadine.bundle/Contents/Info.plist" }, { "FFGLCorvadine" }, true },
        { "archive 2 complete", 7, true, {}, {}, pluginNames, false },
        { "archive 2 without its metadata", 7, true, { "MacV7/.DS_Store", "__MACOSX" }, {}, pluginNames, false },
        { "archive 2 missing a signature file", 7, true, { bundle7 + "_CodeSignature/CodeResources" }, {}, pluginNames, true },
        { "archive 2 missing a bundle", 7, true, { "MacV7/FFGLCorvadine.bundle" }, {}, pluginNames, true },
        { "version 7 bundles outside MacV7", 7, false, {}, { "FFGLCorvadine.bundle/x", "FFGLCorvadineTestCard.bundle/x" }, pluginNames, true },
    };

    for (const auto& c : cases)
    {
        const auto folder = effects (c.version);
        folder.getParentDirectory().deleteRecursively();
        folder.getParentDirectory().createDirectory();

        if (c.fromArchive)
            ASSERT_TRUE (unzipPlugins (c.version, folder, false).wasOk()) << c.what;

        for (const auto& path : c.removed)
            ASSERT_TRUE (folder.getChildFile (path).deleteRecursively()) << c.what;

        for (const auto& path : c.added)
            test::writeTextFile (folder.getChildFile (path), "x");

        EXPECT_EQ (pluginsAreMissing (c.version, c.names), c.missing) << c.what;
    }
}

TEST (PluginInstaller, InstallingWhenMissingNeedsTheHostFolderAndNeverOverwrites)
{
    // No host folder: nothing is created.
    EXPECT_TRUE (installPluginsIfMissing (6, pluginNames).wasOk());
    EXPECT_TRUE (installPluginsIfMissing (7, pluginNames).wasOk());
    EXPECT_FALSE (test::documentsFolder().getChildFile ("Resolume Arena 6").exists());
    EXPECT_FALSE (test::documentsFolder().getChildFile ("Resolume Arena").exists());

    // A version without an archive adds nothing to the documents folder.
    EXPECT_TRUE (installPluginsIfMissing (5, pluginNames).wasOk());
    EXPECT_FALSE (test::documentsFolder().getChildFile ("Extra Effects").exists());

    for (const auto& archive : archives)
    {
        const auto folder = effects (archive.version);
        ASSERT_TRUE (folder.getParentDirectory().createDirectory());

        ASSERT_TRUE (installPluginsIfMissing (archive.version, pluginNames).wasOk());
        expectWholeArchive (archive, folder);

        // A changed file stays changed and a deleted executable comes back.
        const auto changed = folder.getChildFile (fileEntryNames (archive)[0]);
        const auto executable = folder.getChildFile (fileEntryNames (archive)[archive.version == 7 ? 5 : 1]);
        ASSERT_TRUE (executable.getFullPathName().contains ("/MacOS/"));
        test::writeTextFile (changed, "changed");
        ASSERT_TRUE (executable.deleteFile());

        ASSERT_TRUE (installPluginsIfMissing (archive.version, pluginNames).wasOk());
        EXPECT_EQ (changed.loadFileAsString(), "changed");
        EXPECT_TRUE (executable.existsAsFile());
    }
}

TEST (PluginInstaller, AnUnpackCutShortFailsAndTheNextStartAddsWhatItLeftOut)
{
    const auto folder = effects (7);
    const auto blocked = folder.getChildFile ("MacV7/FFGLCorvadineTestCard.bundle/Contents/_CodeSignature");
    test::writeTextFile (blocked, "a file where a folder belongs");

    EXPECT_TRUE (installPluginsIfMissing (7, pluginNames).failed());
    EXPECT_TRUE (folder.getChildFile ("MacV7/FFGLCorvadine.bundle/Contents/MacOS/FFGLCorvadine").existsAsFile());
    EXPECT_FALSE (folder.getChildFile ("MacV7/FFGLCorvadineTestCard.bundle/Contents/MacOS/FFGLCorvadineTestCard").exists());
    EXPECT_TRUE (pluginsAreMissing (7, pluginNames));

    ASSERT_TRUE (blocked.deleteFile());
    EXPECT_TRUE (installPluginsIfMissing (7, pluginNames).wasOk());
    expectWholeArchive (archives[1], folder);
    EXPECT_FALSE (pluginsAreMissing (7, pluginNames));
}

namespace
{
const juce::String trashMessage { "This usually happens when Resolume is running, so please close Resolume and hit OK" };

// Answers every "Can't update plugins" dialog that appears, while the modal
// loop of trashPlugins runs, by clicking the button the policy names for
// the n-th dialog (counted from 0); records what each dialog showed. Like a
// person it clicks a dialog only once it has been on screen for a moment,
// not in the same instant it appeared.
class DialogAnswerer final : private juce::Timer
{
public:
    explicit DialogAnswerer (std::function<juce::String (int)> buttonForDialog)
        : policy (std::move (buttonForDialog))
    {
        startTimer (10);
    }

    struct Seen
    {
        juce::String title, message;
        juce::StringArray buttons;
    };

    juce::Array<Seen> seen;

private:
    void timerCallback() override
    {
        auto& desktop = juce::Desktop::getInstance();

        for (int i = 0; i < desktop.getNumComponents(); ++i)
        {
            auto* dialog = dynamic_cast<DialogComponent*> (desktop.getComponent (i));

            if (dialog == nullptr || dialog == answered || ! dialog->isShowing())
                continue;

            if (dialog != noticed)
            {
                noticed = dialog;
                return;
            }

            Seen what { dialog->titleLabel.getText(), dialog->messageLabel.getText(), {} };

            for (auto* button : dialog->buttons)
                what.buttons.add (button->getButtonText());

            seen.add (what);
            answered = dialog;
            const auto text = policy (seen.size() - 1);

            // No button: the loop ends some other way (as when quitting).
            if (text.isEmpty())
                dialog->exitModalState (0);

            for (auto* button : dialog->buttons)
                if (button->getButtonText() == text)
                    test::clickThroughWindow (*button);

            return;
        }
    }

    std::function<juce::String (int)> policy;
    juce::Component::SafePointer<juce::Component> noticed, answered;
};

juce::File makeBundle (const juce::File& folder, const juce::String& name)
{
    auto bundle = folder.getChildFile (name + ".bundle");
    test::writeTextFile (bundle.getChildFile ("Contents/Info.plist"), name);
    test::writeTextFile (bundle.getChildFile ("Contents/MacOS/" + name), "executable");
    return bundle;
}

const juce::StringArray bundleNames { "FFGLCorvadine.bundle", "FFGLCorvadineTestCard.bundle" };
} // namespace

TEST (TrashPlugins, MovesEachPresentBundleWholeToTheTrashWithoutAsking)
{
    const auto folder = pluginBundleFolderForVersion (7);
    makeBundle (folder, "FFGLCorvadine");
    test::writeTextFile (folder.getChildFile ("Other.bundle/Contents/Info.plist"), "kept");
    DialogAnswerer answerer ([] (int) { return juce::String ("Skip update"); });

    // The test card is not installed: skipped.
    EXPECT_TRUE (trashPlugins (folder, bundleNames));
    test::pumpMessageLoop (50);

    EXPECT_TRUE (answerer.seen.isEmpty());
    EXPECT_FALSE (folder.getChildFile ("FFGLCorvadine.bundle").exists());
    EXPECT_TRUE (folder.getChildFile ("Other.bundle/Contents/Info.plist").existsAsFile());

    const auto trash = test::testHome().getChildFile (".local/share/Trash");
    EXPECT_EQ (trash.getChildFile ("files/FFGLCorvadine.bundle/Contents/Info.plist").loadFileAsString(), "FFGLCorvadine");
    EXPECT_TRUE (trash.getChildFile ("files/FFGLCorvadine.bundle/Contents/MacOS/FFGLCorvadine").existsAsFile());
    EXPECT_TRUE (trash.getChildFile ("info/FFGLCorvadine.bundle.trashinfo").existsAsFile());
    EXPECT_EQ (trash.getChildFile ("files").getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);

    // Nothing to move, or no names: done at once.
    EXPECT_TRUE (trashPlugins (folder, bundleNames));
    EXPECT_TRUE (trashPlugins (folder, {}));
}

TEST (TrashPlugins, AFailingMoveBringsTheDialogBackAfterEveryOkUntilItSucceeds)
{
    const auto folder = effectsFolderForVersion (6);
    makeBundle (folder, "FFGLCorvadine");
    makeBundle (folder, "FFGLCorvadineTestCard");
    const auto elsewhere = test::testHome().getChildFile ("moved");
    ASSERT_TRUE (elsewhere.createDirectory());

    juce::StringArray calls;
    int refusals = 2;
    Trash::ScopedMover mover ([&] (const juce::File& item)
    {
        calls.add (item.getFileName());

        if (item.getFileName() == "FFGLCorvadineTestCard.bundle" && refusals-- > 0)
            return false;

        return item.moveFileTo (elsewhere.getChildFile (item.getFileName()));
    });

    DialogAnswerer answerer ([] (int) { return juce::String ("OK"); });
    EXPECT_TRUE (trashPlugins (folder, bundleNames));

    ASSERT_EQ (answerer.seen.size(), 2);

    for (const auto& seen : answerer.seen)
    {
        EXPECT_EQ (seen.title, "Can't update plugins");
        EXPECT_EQ (seen.message, trashMessage);
        EXPECT_EQ (seen.buttons, juce::StringArray ({ "OK", "Skip update" }));
    }

    // Every pass starts again from the first name; what has moved is gone.
    EXPECT_EQ (calls, juce::StringArray ({ "FFGLCorvadine.bundle", "FFGLCorvadineTestCard.bundle",
                                           "FFGLCorvadineTestCard.bundle", "FFGLCorvadineTestCard.bundle" }));
    EXPECT_FALSE (folder.getChildFile ("FFGLCorvadineTestCard.bundle").exists());
    EXPECT_TRUE (elsewhere.getChildFile ("FFGLCorvadineTestCard.bundle/Contents/Info.plist").existsAsFile());
}

TEST (TrashPlugins, TheSecondButtonGivesUpAndLeavesTheBundleInPlace)
{
    const auto folder = pluginBundleFolderForVersion (7);
    makeBundle (folder, "FFGLCorvadine");
    makeBundle (folder, "FFGLCorvadineTestCard");

    int moves = 0;
    Trash::ScopedMover mover ([&] (const juce::File&) { ++moves; return false; });

    {
        DialogAnswerer answerer ([] (int n) { return juce::String (n < 2 ? "OK" : "Skip update"); });
        EXPECT_FALSE (trashPlugins (folder, bundleNames));
        EXPECT_EQ (answerer.seen.size(), 3);
        EXPECT_EQ (moves, 6);
    }

    // A dialog that ends without a press of "OK" does not come back either.
    DialogAnswerer closer ([] (int) { return juce::String(); });
    EXPECT_FALSE (trashPlugins (folder, bundleNames));
    EXPECT_EQ (closer.seen.size(), 1);
    EXPECT_EQ (moves, 8);
    EXPECT_TRUE (folder.getChildFile ("FFGLCorvadine.bundle/Contents/Info.plist").existsAsFile());
    EXPECT_TRUE (folder.getChildFile ("FFGLCorvadineTestCard.bundle/Contents/Info.plist").existsAsFile());
    EXPECT_TRUE (DialogManager::getInstance().getCurrentMessage().isEmpty());
}

TEST (TrashPlugins, GivesUpWithoutLoopingWhenItsDialogIsAlreadyOnScreen)
{
    const auto folder = effectsFolderForVersion (6);
    makeBundle (folder, "FFGLCorvadine");

    int moves = 0;
    Trash::ScopedMover mover ([&] (const juce::File&) { ++moves; return false; });
    bool nestedResult = true;

    // A timer firing while the first dialog waits runs the update again.
    DialogAnswerer answerer ([&] (int) { nestedResult = trashPlugins (folder, bundleNames); return juce::String ("Skip update"); });

    EXPECT_FALSE (trashPlugins (folder, bundleNames));
    EXPECT_FALSE (nestedResult);
    EXPECT_EQ (answerer.seen.size(), 1);
    EXPECT_EQ (moves, 2);
}

TEST (TrashPlugins, AnUpdateOfVersion7TrashesTheOldBundlesInMacV7BeforeUnpackingOverThem)
{
    const auto effects = effectsFolderForVersion (7);
    ASSERT_TRUE (unzipPlugins (7, effects, false).wasOk());
    const auto oldPlist = effects.getChildFile ("MacV7/FFGLCorvadine.bundle/Contents/Info.plist");
    test::writeTextFile (oldPlist, "old version");
    test::writeTextFile (oldPlist.getSiblingFile ("Resources/dropped-in-the-new-version"), "old");

    ASSERT_TRUE (trashPlugins (pluginBundleFolderForVersion (7), bundleNames));
    ASSERT_TRUE (unzipPlugins (7, effects, true).wasOk());

    expectWholeArchive (archives[1], effects);
    EXPECT_FALSE (oldPlist.getSiblingFile ("Resources").exists());
    const auto trash = test::testHome().getChildFile (".local/share/Trash/files");
    EXPECT_EQ (trash.getChildFile ("FFGLCorvadine.bundle/Contents/Info.plist").loadFileAsString(), "old version");
    EXPECT_TRUE (trash.getChildFile ("FFGLCorvadineTestCard.bundle/Contents/Info.plist").existsAsFile());
    EXPECT_FALSE (pluginsAreMissing (7, pluginNames));
}
