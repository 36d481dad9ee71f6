#include "host/ArenaSetupReader.h"

#include "host/HostXmlFile.h"
#include "host/ScreenSetupFormat.h"

namespace corvadine
{
namespace
{
// Attribute "name" and its value compare exactly here: the host's
// preferences use them, not tags, to tell their elements apart.
const juce::XmlElement* childNamed (const juce::XmlElement* parent, juce::StringRef name)
{
    if (parent == nullptr)
        return nullptr;

    for (auto* child : parent->getChildIterator())
        if (child->hasAttribute ("name") && child->getStringAttribute ("name") == name)
            return child;

    return nullptr;
}

juce::String currentCompositionPath (const juce::XmlElement& config)
{
    auto* setting = childNamed (childNamed (childNamed (&config, "Application"), "Settings"), "CurrentCompositionFile");
    return setting != nullptr ? setting->getStringAttribute ("value") : juce::String();
}

// A preset is named by its file name in "Presets/Advanced Output"; a name
// that would lead out of that folder is not followed.
bool isPlainFileName (const juce::String& name)
{
    return ! name.containsAnyOf ("/\\") && name != "." && name != "..";
}

// Takes the screen-setup element out of a parsed host file.
std::unique_ptr<juce::XmlElement> takeScreenSetup (std::unique_ptr<juce::XmlElement> root)
{
    if (root == nullptr)
        return nullptr;

    auto* setup = findScreenSetupElement (*root);

    if (setup == nullptr)
        return nullptr;

    if (setup == root.get())
        return root;

    return std::make_unique<juce::XmlElement> (*setup);
}
} // namespace

juce::File arenaFolderForVersion (int version)
{
    const auto documents = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);

    if (version == 7)
        return documents.getChildFile ("Resolume Arena");

    if (version == 6)
        return documents.getChildFile ("Resolume Arena 6");

    return {};
}

bool bothArenaVersionsInstalled()
{
    return arenaFolderForVersion (6).exists() && arenaFolderForVersion (7).exists();
}

ArenaSetupReader::ArenaSetupReader()
{
    readConfigXml();
    readAdvancedOutput();
}

ArenaSetupReader::~ArenaSetupReader() = default;

void ArenaSetupReader::reload()
{
    readConfigXml();
    readAdvancedOutput();

    if (screenSetup != nullptr)
        screens = parseScreens (screenSetup.get());
}

juce::String ArenaSetupReader::arenaFolder()
{
    if (arenaFolderCache.isNotEmpty())
        return arenaFolderCache;

    for (auto version : { 7, 6 })
    {
        const auto folder = arenaFolderForVersion (version);

        if (folder.exists())
        {
            arenaFolderCache = folder.getFullPathName();
            break;
        }
    }

    return arenaFolderCache;
}

void ArenaSetupReader::setArenaVersion (int version)
{
    arenaFolderCache = arenaFolderForVersion (version).getFullPathName();
}

juce::File ArenaSetupReader::preferencesFolder()
{
    // Without a host folder nothing is read at all, rather than paths at the
    // root of the file system.
    const auto folder = arenaFolder();
    return folder.isEmpty() ? juce::File() : juce::File (folder).getChildFile ("Preferences");
}

void ArenaSetupReader::forgetReadsFromOtherFolder()
{
    const auto folder = arenaFolder();

    if (folder == folderRead)
        return;

    composition.reset();
    screenSetup.reset();
    screenSetupFile.clear();
    screens.clear();
    folderRead = folder;
}

void ArenaSetupReader::readConfigXml()
{
    forgetReadsFromOtherFolder();
    const auto preferences = preferencesFolder();

    if (preferences == juce::File())
        return;

    const auto config = parseHostXmlFile (preferences.getChildFile ("config.xml"));

    if (config == nullptr)
        return;

    // The host writes full paths; anything else would be resolved against
    // whatever the working folder happens to be.
    const auto path = currentCompositionPath (*config);

    if (! path.startsWithChar ('/'))
        return;

    const juce::File compositionFile (path);

    if (compositionFile.existsAsFile())
        composition = parseHostXmlFile (compositionFile);
}

void ArenaSetupReader::readAdvancedOutput()
{
    forgetReadsFromOtherFolder();
    const auto preferences = preferencesFolder();

    if (preferences == juce::File())
        return;

    const auto advancedOutput = preferences.getChildFile ("AdvancedOutput.xml");

    if (! advancedOutput.existsAsFile())
        return;

    auto root = parseHostXmlFile (advancedOutput);

    if (root == nullptr)
    {
        screenSetup.reset();
        return;
    }

    const auto presetName = root->getStringAttribute ("presetFile");
    screenSetup = takeScreenSetup (std::move (root));

    if (presetName.isEmpty() || ! isPlainFileName (presetName))
    {
        screenSetupFile = advancedOutput.getFullPathName();
        return;
    }

    // The preset is the file to watch even before it exists: the host may
    // write it later.
    // Appended to the folder's path rather than through getChildFile, which
    // would take a name starting with "~" for a home folder and leave the
    // preset folder.
    const juce::File preset (juce::File (arenaFolder()).getChildFile ("Presets/Advanced Output").getFullPathName()
                             + "/" + presetName + ".xml");
    screenSetupFile = preset.getFullPathName();

    if (auto presetRoot = parseHostXmlFile (preset))
        screenSetup = takeScreenSetup (std::move (presetRoot));
}
} // namespace corvadine
