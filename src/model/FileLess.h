#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include <juce_events/juce_events.h>

namespace corvadine
{
// The document store: the document tree, the file it is saved to, and the
// deferred save that writes the whole tree one second after the first change
// since the last save, followed by the preferences file through which the
// next start and the host's plug-ins find the current document.
//
// Nothing the user changed is lost to the delay: a pending save is written
// before the document or its path is replaced and when the store is
// destroyed, and a failed write is tried again a second later.
class FileLess : public juce::Timer
{
public:
    FileLess();
    ~FileLess() override;

    // The document and its file. Read them freely; replace them through
    // replaceDocument and setDocumentPath, which write a pending save first.
    juce::ValueTree document;
    juce::String documentPath;
    // The preferences named another application version, or none, when they
    // were last updated. Only ever goes from false to true.
    bool appVersionChanged = false;
    // The oldest document version that isVersionAtLeast accepts.
    juce::String minimumVersion;

    // The deferred save: writes the document, then the preferences.
    void timerCallback() override;

    // Records the document path and the application version in the
    // preferences file, keeping whatever else the file holds.
    void savePreferences();

    // Whether the version (major.minor.patch) is not older than minimumVersion.
    bool isVersionAtLeast (const juce::String& version) const;

    // Empties the document (its properties stay) and points it at a new file
    // in the documents folder, one that holds no document yet.
    void newDocument();

    // Removes the document's first child of the tree's type and appends the tree.
    void replaceChild (const juce::ValueTree& tree);

    // The document's first child of that type, appended empty when missing.
    juce::ValueTree getOrCreateChild (const juce::Identifier& type);

    // Starts the deferred save unless one is pending: every change made while
    // it waits goes out with it, so later changes never move it.
    void startDeferredSave();

    // Writes a pending save at once.
    void flushPendingSave();

    // Adopts another document and file ("Load", start-up), after writing the
    // pending save of the current one to its own file.
    void replaceDocument (const juce::ValueTree& newDocument, const juce::String& newPath);

    // Points the document at another file ("Save as..."), after writing the
    // pending save to the current one.
    void setDocumentPath (const juce::String& newPath);

    // Whether a parsed file may become the document.
    enum class LoadCheck
    {
        accepted,
        notADocument, // unreadable, or a root other than "Corvadine"
        tooOld        // a version that isVersionAtLeast refuses
    };

    LoadCheck checkDocument (const juce::XmlElement* root) const;

    // The application version recorded in the preferences.
    static juce::String preferencesAppVersion();

    // The save delay in milliseconds.
    static constexpr int saveDelayMs = 1000;

private:
    // Returns false when the file could not be written.
    bool writeDocument();

    JUCE_DECLARE_NON_COPYABLE (FileLess)
};

// The application's folder in the user's documents, created when missing.
juce::File documentsFolder();

// The preferences file, created empty (with its folder) when missing.
juce::File preferencesFile();

// Tells the user, modally, that a chosen file is not a readable document.
void showLoadErrorDialog();
} // namespace corvadine
