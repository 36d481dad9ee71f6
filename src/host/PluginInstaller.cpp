#include "host/PluginInstaller.h"

#include "host/ArenaSetupReader.h"
#include "platform/Trash.h"
#include "widgets/DialogManager.h"

#include "CorvadineBinaryData.h"

namespace corvadine
{
namespace
{
// The version's archive, read where it lies in the application's memory,
// or null for a version without one.
std::unique_ptr<juce::ZipFile> openArchive (int version)
{
    const char* data = nullptr;
    size_t size = 0;

    if (version == 6)
    {
        data = CorvadineBinaryData::PluginsArena6_zip;
        size = (size_t) CorvadineBinaryData::PluginsArena6_zipSize;
    }
    else if (version == 7)
    {
        data = CorvadineBinaryData::PluginsArena7_zip;
        size = (size_t) CorvadineBinaryData::PluginsArena7_zipSize;
    }
    else
    {
        return nullptr;
    }

    return std::make_unique<juce::ZipFile> (new juce::MemoryInputStream (data, size, false), true);
}

bool isFolderEntry (const juce::ZipFile::ZipEntry& entry)
{
    return entry.filename.endsWithChar ('/');
}

// ZipFile::uncompressTo neither checks what it wrote nor notices a folder
// standing where a file belongs when it must not overwrite, so the result
// is checked on disk: every entry is there, and a replaced file is whole.
juce::Result checkUnpacked (const juce::ZipFile& archive, const juce::File& folder, bool overwrite)
{
    for (int i = 0; i < archive.getNumEntries(); ++i)
    {
        const auto& entry = *archive.getEntry (i);
        const auto target = folder.getChildFile (entry.filename);

        const auto written = isFolderEntry (entry)
                               ? target.isDirectory()
                               : target.existsAsFile() && (! overwrite || target.getSize() == entry.uncompressedSize);

        if (! written)
            return juce::Result::fail ("The plug-in file " + target.getFullPathName() + " could not be written");
    }

    return juce::Result::ok();
}

bool entryNamePresent (const juce::File& folder, const juce::String& name)
{
    for (const auto& entry : folder.findChildFiles (juce::File::findFilesAndDirectories, false, "*"))
        if (entry.getFileNameWithoutExtension() == name)
            return true;

    return false;
}

// A bundle folder that the archive brings but that lacks one of its files.
bool hasIncompleteBundle (const juce::ZipFile& archive, const juce::File& effects,
                          const juce::File& bundleFolder, const juce::StringArray& names)
{
    for (const auto& name : names)
    {
        const auto bundle = bundleFolder.getChildFile (name + ".bundle");

        if (! bundle.isDirectory())
            continue;

        for (int i = 0; i < archive.getNumEntries(); ++i)
        {
            const auto& entry = *archive.getEntry (i);
            const auto target = effects.getChildFile (entry.filename);

            if (! isFolderEntry (entry) && target.isAChildOf (bundle) && ! target.existsAsFile())
                return true;
        }
    }

    return false;
}

const juce::String trashFailureTitle { "Can't update plugins" };
const juce::String trashFailureMessage { "This usually happens when Resolume is running, so please close Resolume and hit OK" };
const juce::String skipUpdateText { "Skip update" };

// Shows "Can't update plugins" with "OK" and a button that gives up, and
// tells whether the user pressed "OK". Anything else (the skip button, a
// loop ended by quitting, the message already on screen so that nothing is
// shown) means no further try, so the retry can never turn into a loop the
// user cannot leave.
bool userAsksToTryAgain()
{
    return DialogManager::getInstance().showChoiceDialog (trashFailureTitle, trashFailureMessage, { "OK", skipUpdateText }) == 0;
}
} // namespace

juce::File arenaBaseFolderForVersion (int version)
{
    if (version == 6 || version == 7)
        return arenaFolderForVersion (version);

    return juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);
}

juce::File effectsFolderForVersion (int version)
{
    return arenaBaseFolderForVersion (version).getChildFile ("Extra Effects");
}

juce::File pluginBundleFolderForVersion (int version)
{
    const auto effects = effectsFolderForVersion (version);
    return version == 7 ? effects.getChildFile ("MacV7") : effects;
}

juce::Result unzipPlugins (int version, const juce::File& folder, bool overwrite)
{
    auto archive = openArchive (version);

    if (archive == nullptr)
        return juce::Result::fail ("There are no plug-ins for host version " + juce::String (version));

    const auto result = archive->uncompressTo (folder, overwrite);

    if (result.failed())
        return result;

    return checkUnpacked (*archive, folder, overwrite);
}

bool pluginsAreMissing (int version, const juce::StringArray& names)
{
    const auto bundleFolder = pluginBundleFolderForVersion (version);

    for (const auto& name : names)
        if (! entryNamePresent (bundleFolder, name))
            return true;

    auto archive = openArchive (version);
    return archive != nullptr && hasIncompleteBundle (*archive, effectsFolderForVersion (version), bundleFolder, names);
}

juce::Result installPluginsIfMissing (int version, const juce::StringArray& names)
{
    const auto base = arenaBaseFolderForVersion (version);

    if (base.getFullPathName().isEmpty() || ! base.exists())
        return juce::Result::ok();

    // A version without an archive has nothing to add.
    if (openArchive (version) == nullptr || ! pluginsAreMissing (version, names))
        return juce::Result::ok();

    return unzipPlugins (version, effectsFolderForVersion (version), false);
}

bool trashPlugins (const juce::File& folder, const juce::StringArray& names)
{
    for (;;)
    {
        auto passFailed = false;

        // Entries moved in an earlier pass are gone and skipped.
        for (const auto& name : names)
        {
            const auto entry = folder.getChildFile (name);

            if (entry.exists() && ! Trash::moveToTrash (entry))
                passFailed = true;
        }

        if (! passFailed)
            return true;

        if (! userAsksToTryAgain())
            return false;
    }
}
} // namespace corvadine
