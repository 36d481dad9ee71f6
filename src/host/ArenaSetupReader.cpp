#include "host/ArenaSetupReader.h"

#include "host/HostXmlFile.h"
#include "host/ScreenSetupFormat.h"

#include <functional>
#include <string_view>
#include <thread>

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

    // Taken out of the file's tree rather than copied: a large setup is not
    // held twice.
    root->removeChildElement (setup, false);
    return std::unique_ptr<juce::XmlElement> (setup);
}

size_t hashOf (const std::string& text)
{
    return std::hash<std::string_view> {} (text);
}

// The host text of a file and its hash; false when it cannot be read.
bool readText (const juce::File& file, std::string& text, size_t& hash)
{
    if (! readHostXmlText (file, text))
        return false;

    hash = hashOf (text);
    return true;
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

void ArenaSetupReader::reloadWaitingForWrites()
{
    waitForWritesUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds (juce::jmax (0, hostWriteWaitMs));
    reload();
    waitForWritesUntil = {};
}

std::unique_ptr<juce::XmlElement> ArenaSetupReader::parseSetupFile (const juce::File& file, std::string& text, size_t& hash)
{
    constexpr auto pause = std::chrono::milliseconds (50);

    for (;;)
    {
        HostXmlScan scan;
        auto root = parseHostXmlText (std::move (text), scan);

        // Read, or unreadable for good: only a text that is safe to read
        // but not whole yet is waited for.
        if (root != nullptr || ! scan.safe || scan.whole)
            return root;

        if (std::chrono::steady_clock::now() + pause > waitForWritesUntil)
        {
            fileBeingWritten = file.getFullPathName();
            return nullptr;
        }

        std::this_thread::sleep_for (pause);

        if (! readText (file, text, hash))
            return nullptr;
    }
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
    lastSetupSource = {};
    lastCompositionSource = {};
    screenSetupFile.clear();
    fileBeingWritten.clear();
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

    if (! compositionFile.existsAsFile())
        return;

    std::string text;
    size_t hash = 0;

    if (! readText (compositionFile, text, hash))
    {
        composition.reset();
        lastCompositionSource = {};
        return;
    }

    const auto& last = lastCompositionSource;

    if (composition != nullptr && composition.get() == last.element && last.path == compositionFile.getFullPathName() && last.hash == hash)
        return;

    composition.reset();
    composition = parseHostXmlText (std::move (text));
    lastCompositionSource = { compositionFile.getFullPathName(), hash, composition.get() };
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

    std::string text;
    size_t hash = 0;
    const auto advancedOutputRead = readText (advancedOutput, text, hash);

    if (advancedOutputRead && isUnchangedSetupSource (advancedOutput, hash))
        return;

    // Whatever happens below replaces the setup read before: let it go
    // first, so that two large setups are never held at once.
    lastSetupSource = {};
    screenSetup.reset();
    fileBeingWritten.clear();
    auto root = advancedOutputRead ? parseSetupFile (advancedOutput, text, hash) : nullptr;

    if (root == nullptr)
    {
        // A file that the host is still writing is the one to watch: its
        // next whole write is read (whether it holds the setup or names a
        // preset is not known yet).
        if (fileBeingWritten.isNotEmpty())
            screenSetupFile = fileBeingWritten;

        return;
    }

    SetupSource source;
    source.valid = true;
    source.advancedOutputPath = advancedOutput.getFullPathName();
    source.advancedOutputHash = hash;

    const auto presetName = root->getStringAttribute ("presetFile");
    screenSetup = takeScreenSetup (std::move (root));

    if (presetName.isEmpty() || ! isPlainFileName (presetName))
    {
        screenSetupFile = advancedOutput.getFullPathName();
        rememberSetupSource (std::move (source));
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

    source.presetPath = screenSetupFile;
    std::string presetText;
    source.presetRead = readText (preset, presetText, source.presetHash);

    if (source.presetRead)
        if (auto presetRoot = parseSetupFile (preset, presetText, source.presetHash))
            screenSetup = takeScreenSetup (std::move (presetRoot));

    // A preset still being written is read afresh next time, not taken as
    // unchanged: the next reload may wait for it.
    if (fileBeingWritten.isEmpty())
        rememberSetupSource (std::move (source));
}

bool ArenaSetupReader::isUnchangedSetupSource (const juce::File& advancedOutput, size_t advancedOutputHash)
{
    const auto& last = lastSetupSource;

    if (! last.valid || last.advancedOutputPath != advancedOutput.getFullPathName() || last.advancedOutputHash != advancedOutputHash
        || screenSetup.get() != last.element || screenSetupFile != last.watchedFile)
        return false;

    // The same setup file names the same preset: its text decides.
    if (last.presetPath.isEmpty())
        return true;

    std::string text;
    size_t hash = 0;
    const auto presetRead = readText (juce::File (last.presetPath), text, hash);
    return presetRead == last.presetRead && (! presetRead || hash == last.presetHash);
}

void ArenaSetupReader::rememberSetupSource (SetupSource source)
{
    source.element = screenSetup.get();
    source.watchedFile = screenSetupFile;
    lastSetupSource = std::move (source);
}
} // namespace corvadine
