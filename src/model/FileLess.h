#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include <juce_events/juce_events.h>

#include "model/DocumentFormat.h"

#include <memory>

namespace corvadine
{
// The document store: the document tree, the file it is saved to, and the
// deferred save that writes the whole tree one second after the first change
// since the last save, followed by the preferences file through which the
// next start and the host's plug-ins find the current document.
//
// Nothing the user changed is lost to the delay: a pending save is written
// before the document or its path is replaced and when the store is
// destroyed, and a failed write is tried again a second later. Every file
// is written whole or not at all (writeFileSafely), and while writes fail
// the user is told once, with the file and the system's reason.
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

    // The deferred save: writes the document, then the preferences. Takes a
    // snapshot of both here and writes them on a thread of its own; the
    // outcome comes back to the message thread (flushPendingSave waits for it).
    void timerCallback() override;

    // Records the document path and the application version in the
    // preferences file, keeping whatever else the file holds. Returns false
    // when the file could not be written (the failure is recorded as for
    // the document).
    bool savePreferences();

    // Whether the version (major.minor.patch) is not older than minimumVersion.
    bool isVersionAtLeast (const juce::String& version) const;

    // Empties the document (its properties stay) and points it at a new file
    // in the documents folder, one that holds no document yet. Returns false,
    // changing nothing, when the pending save of the current document could
    // not be written.
    bool newDocument();

    // Removes the document's first child of the tree's type and appends the tree.
    void replaceChild (const juce::ValueTree& tree);

    // The document's first child of that type, appended empty when missing.
    juce::ValueTree getOrCreateChild (const juce::Identifier& type);

    // Starts the deferred save unless one is pending: every change made while
    // it waits goes out with it, so later changes never move it.
    void startDeferredSave();

    // True while a save waits for its second or is being written in the
    // background (until its outcome has been taken in on the message thread).
    bool isSaving() const;

    // Writes a pending save at once, after waiting for a save being written
    // in the background. Returns true when nothing was pending or the
    // document is now on disk; false when it could not be written, in which
    // case the save stays pending and is tried again a second later.
    bool flushPendingSave();

    // Drops a pending save (the user chose to discard changes that cannot be
    // written): the document in memory stays as it is, nothing is written.
    // An empty file at the document's path, which no write has filled, is
    // removed.
    void discardPendingSave();

    // Whether the document has changes that are not on disk yet (a retry of
    // the preferences alone leaves this false).
    bool isDocumentPending() const;

    // Whether the last write of the preferences failed, and why (the file
    // and the system's reason): they may not name the current document.
    bool preferencesWriteHasFailed() const;
    juce::String preferencesWriteFailure() const;

    // When the document is on disk but the preferences, which could not be
    // written, name another file (so the next start would not open it):
    // what to tell the user, naming the file and the reason. Empty otherwise.
    juce::String unrecordedDocumentNote() const;

    // Whether the last write of the document or the preferences failed, and
    // why: the file and the system's reason. Cleared by the next write that
    // succeeds.
    bool lastWriteFailed() const;
    juce::String lastWriteError() const;

    // Adopts another document and file ("Load", start-up), after writing the
    // pending save of the current one to its own file, and removes what
    // interrupted writes of the new file left beside it. Returns false, keeping
    // the current document and path, when that save could not be written or
    // the new tree is invalid.
    bool replaceDocument (const juce::ValueTree& newDocument, const juce::String& newPath);

    // Points the document at another file ("Save as..."), after writing the
    // pending save to the current one. The path moves in any case: when that
    // save could not be written it stays pending and goes to the new file,
    // with every change. Returns whether the current file got it.
    bool setDocumentPath (const juce::String& newPath);

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

protected:
    // Tells the user that writes fail, from the message thread, never from
    // inside a save: called asynchronously once per run of failures.
    virtual void showWriteFailure (const juce::String& error);

private:
    struct BackgroundWrite;

    // Returns false when the file could not be written.
    bool writeDocument();
    // Starts the timer for a retry of what failed, changing nothing else.
    void retryLater();
    bool hasUsableDocumentPath() const;

    // The preferences file's new text (read, updated, cleaned); may set
    // appVersionChanged.
    juce::String preferencesText();

    // Waits for the save being written in the background, if any, and takes
    // in its outcome; a failure makes the save pending again.
    void finishBackgroundWrite();
    std::unique_ptr<BackgroundWrite> backgroundWrite;
    juce::uint32 backgroundWritesStarted = 0;
    // The last save's snapshot, emptied, kept for its memory.
    DocumentSnapshot spareSnapshot;

    // Records a write's outcome; the first failure after a success (or at
    // the start) is told to the user.
    void noteWrite (bool& failedFlag, juce::String& errorText, const juce::Result& result);

    // The document has changes since its last write: the next save writes
    // it; a save for the preferences alone does not.
    bool documentPending = false;
    bool documentWriteFailed = false, preferencesWriteFailed = false;
    juce::String documentWriteError, preferencesWriteError;
    // The current run of failures has been told to the user.
    bool failureTold = false;

    JUCE_DECLARE_WEAK_REFERENCEABLE (FileLess)
    JUCE_DECLARE_NON_COPYABLE (FileLess)
};

// The application's folder in the user's documents, created when missing.
juce::File documentsFolder();

// The preferences file; its folder is created when missing, the file itself
// only ever by a whole write.
juce::File preferencesFile();

// The document the preferences file names as the last used one; the empty
// file when it names none, or no absolute path.
juce::File lastUsedDocument();

// Tells the user, modally, that a chosen file is not a readable document.
void showLoadErrorDialog();

// The system's reason in a write's error text ("<path>: <reason>"), without
// the path, so that a message names the file once.
juce::String writeFailureReason (const juce::String& error, const juce::String& path);
} // namespace corvadine
