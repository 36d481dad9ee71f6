#pragma once

#include "host/ScreenInfo.h"

#include <chrono>
#include <string>

namespace corvadine
{
// The folder of a host version in the user's documents folder: "Resolume
// Arena" for version 7, "Resolume Arena 6" for version 6; an empty file for
// any other version. Not tested for existence.
juce::File arenaFolderForVersion (int version);

// True when the folders of both host versions exist.
bool bothArenaVersionsInstalled();

// Reads the host's files: its preferences (for the current composition), its
// Advanced Output setup (the file itself or the preset it names) and the
// screens of that setup, and remembers which file holds the setup so that it
// can be watched. A short-lived object: one per import or relink. It only
// reads, reports nothing and leaves members empty when files are missing.
class ArenaSetupReader
{
public:
    // Reads the composition and the setup from the detected host folder;
    // parses no screens.
    ArenaSetupReader();
    ~ArenaSetupReader();

    // Reads everything again from the host folder in use, then parses the
    // screens when there is a setup element (otherwise the screens stay).
    // After the folder changed, nothing read from the previous one is kept.
    void reload();

    // The same, but a setup file (the Advanced Output file or its preset)
    // that the host is writing at that moment, its root element not closed
    // yet (HostXmlScan::whole), is read again every few milliseconds until
    // it is whole, for up to hostWriteWaitMs: the host finishes a write
    // within moments. An import reads the host's setup this way.
    void reloadWaitingForWrites();

    void readConfigXml();
    void readAdvancedOutput();

    // "Preferences" in the host folder; an empty file when there is no host folder.
    juce::File preferencesFolder();

    // The host folder in use: the chosen version's, else version 7's when it
    // exists, else version 6's when it exists, else empty.
    juce::String arenaFolder();

    // 7 or 6 chooses that version's folder; anything else returns to detection.
    void setArenaVersion (int version);

    // Root of the host's current composition file, or null.
    std::unique_ptr<juce::XmlElement> composition;

    // The screen-setup element of the Advanced Output file or of its preset, or null.
    std::unique_ptr<juce::XmlElement> screenSetup;

    // Full path of the file that holds the screen setup (the one to watch); empty until found.
    juce::String screenSetupFile;

    // Full path of the setup file that the last read found still being
    // written, or empty. Nothing was taken from it (no reader takes part of
    // a setup), and it is screenSetupFile as well: the file to watch, whose
    // next whole write brings the setup.
    juce::String fileBeingWritten;

    // How long reloadWaitingForWrites waits for a setup file being written.
    static inline int hostWriteWaitMs = 1000;

    // Full path of the host folder in use; empty means not chosen yet.
    juce::String arenaFolderCache;

    // The screens parsed by the last reload.
    juce::Array<ScreenInfo> screens;

private:
    void forgetReadsFromOtherFolder();

    // Parses a setup file's text (read with its hash); while the file is
    // being written and the reload may still wait, reads it again after a
    // pause. A file still being written at the end is noted in
    // fileBeingWritten.
    std::unique_ptr<juce::XmlElement> parseSetupFile (const juce::File& file, std::string& text, size_t& hash);

    // Until when the reload running may wait for a file being written.
    std::chrono::steady_clock::time_point waitForWritesUntil {};

    // The folder that the members above were read from.
    juce::String folderRead;

    // What the last reads were made of, so that a read of files whose text
    // has not changed since keeps what it read instead of parsing them
    // again (a host setup of a few thousand slices is tens of megabytes).
    struct SetupSource
    {
        bool valid = false;
        juce::String advancedOutputPath;
        size_t advancedOutputHash = 0;
        juce::String presetPath;
        bool presetRead = false;
        size_t presetHash = 0;
        const juce::XmlElement* element = nullptr;
        juce::String watchedFile;
    };

    struct CompositionSource
    {
        juce::String path;
        size_t hash = 0;
        const juce::XmlElement* element = nullptr;
    };

    bool isUnchangedSetupSource (const juce::File& advancedOutput, size_t advancedOutputHash);
    void rememberSetupSource (SetupSource source);

    SetupSource lastSetupSource;
    CompositionSource lastCompositionSource;

    JUCE_DECLARE_NON_COPYABLE (ArenaSetupReader)
};
} // namespace corvadine
