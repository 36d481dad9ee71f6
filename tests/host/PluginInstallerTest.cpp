#include "host/PluginInstaller.h"
#include "support/TestSupport.h"

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
