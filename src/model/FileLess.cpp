#include "model/FileLess.h"

#include "host/HostXmlFile.h"
#include "host/XmlTags.h"
#include "model/DocumentFormat.h"
#include "model/Ids.h"
#include "widgets/DialogManager.h"

#include <thread>
#include <utility>

namespace corvadine
{
namespace
{
const juce::String applicationName { JUCE_APPLICATION_NAME_STRING };

juce::String newDocumentName (int number)
{
    const auto base = "New" + applicationName + "Document";
    return (number <= 1 ? base : base + " " + juce::String (number)) + ".xml";
}

// A new document may take a file of that name only when the file holds
// nothing yet: an existing document is never overwritten behind the user's back.
bool isFreeForNewDocument (const juce::File& file)
{
    if (! file.exists())
        return true;

    return file.existsAsFile() && file.getSize() == 0;
}

juce::int64 versionPart (const juce::StringArray& parts, int index)
{
    return leadingInteger (parts[index], true);
}

juce::File documentsFolderPath()
{
    return juce::File::getSpecialLocation (juce::File::userDocumentsDirectory).getChildFile (applicationName);
}

// Writes the text whole or not at all, like the document.
juce::Result writeText (const juce::File& file, const juce::String& text)
{
    return writeFileSafely (file, [&text] (juce::OutputStream& stream)
    {
        return stream.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
    });
}

// Temporary files that a save interrupted by a crash or a power cut left
// behind are removed when the first store of a run starts, before it writes
// anything itself. Folders that do not exist are not made for it.
void removeTemporaryFilesOfEarlierRuns()
{
    static bool done = false;

    if (std::exchange (done, true))
        return;

    const auto folder = documentsFolderPath();

    for (const auto& f : { folder, folder.getChildFile ("preferences") })
        if (f.isDirectory())
            removeTemporaryFiles (f);
}
} // namespace

FileLess::FileLess()
    : document (ids::Corvadine),
      minimumVersion ("0.9.4")
{
    removeTemporaryFilesOfEarlierRuns();
}

// A deferred save being written on a thread of its own: a snapshot of the
// document and the preferences' text, both taken on the message thread,
// written in that order; the outcome is read back on the message thread.
struct FileLess::BackgroundWrite
{
    DocumentSnapshot snapshot;
    juce::File documentFile;
    juce::String preferencesText;
    juce::File preferencesFile;
    juce::Result documentResult = juce::Result::ok();
    juce::Result preferencesResult = juce::Result::ok();
    juce::uint32 number = 0;
    bool documentWritten = false;
    std::thread thread;
};

FileLess::~FileLess()
{
    finishBackgroundWrite();

    // Quitting within a second of a change still keeps the change.
    if (isTimerRunning())
    {
        stopTimer();

        if (documentPending)
            writeDocument();

        savePreferences();
    }
}

void FileLess::timerCallback()
{
    stopTimer();

    // The text is made and written on another thread, from a snapshot taken
    // here, so the message thread only pays for the snapshot. One save at a
    // time: an earlier one still writing (a slow disk) is waited for.
    finishBackgroundWrite();
    stopTimer();

    auto write = std::make_unique<BackgroundWrite>();

    // A retry of the preferences alone leaves the document, which is on
    // disk already, as it is.
    if (std::exchange (documentPending, false) && hasUsableDocumentPath())
    {
        // Into the lists of the last save's snapshot, whose memory is ready.
        write->snapshot = std::move (spareSnapshot);
        write->snapshot.take (document);
        write->documentFile = juce::File (documentPath);
    }

    write->preferencesFile = preferencesFile();
    write->preferencesText = preferencesText();

    auto* w = write.get();
    w->number = ++backgroundWritesStarted;
    backgroundWrite = std::move (write);

    w->thread = std::thread ([w, store = juce::WeakReference<FileLess> (this)]
    {
        if (w->snapshot.isValid())
            w->documentResult = writeDocumentFile (w->snapshot, w->documentFile);

        w->preferencesResult = writeText (w->preferencesFile, w->preferencesText);

        // Let go of the snapshot's values here, not on the message thread;
        // its lists keep their memory for the next save.
        w->documentWritten = w->snapshot.isValid();
        w->snapshot.clear();

        // The outcome is taken in on the message thread, unless the store
        // has taken it in already (it waited for this write) or has gone.
        juce::MessageManager::callAsync ([store, number = w->number]
        {
            if (store != nullptr && store->backgroundWrite != nullptr && store->backgroundWrite->number == number)
                store->finishBackgroundWrite();
        });
    });
}

void FileLess::finishBackgroundWrite()
{
    if (backgroundWrite == nullptr)
        return;

    auto write = std::move (backgroundWrite);
    write->thread.join();

    if (write->documentWritten)
    {
        noteWrite (documentWriteFailed, documentWriteError, write->documentResult);

        if (write->documentResult.failed())
            documentPending = true;
    }

    spareSnapshot = std::move (write->snapshot);

    noteWrite (preferencesWriteFailed, preferencesWriteError, write->preferencesResult);

    // Files are written whole or not at all, so after a failed write the old
    // one is still whole; what failed waits another second and is tried again.
    if (write->documentResult.failed() || write->preferencesResult.failed())
        retryLater();
}

void FileLess::retryLater()
{
    if (! isTimerRunning())
        startTimer (saveDelayMs);
}

bool FileLess::hasUsableDocumentPath() const
{
    return documentPath.isNotEmpty() && juce::File::isAbsolutePath (documentPath);
}

bool FileLess::writeDocument()
{
    documentPending = false;

    // Without a usable path there is nothing to write to, and nothing to retry.
    if (! hasUsableDocumentPath())
        return true;

    const auto result = writeDocumentFile (document, juce::File (documentPath));
    noteWrite (documentWriteFailed, documentWriteError, result);

    if (result.failed())
        documentPending = true;

    return result.wasOk();
}

void FileLess::noteWrite (bool& failedFlag, juce::String& errorText, const juce::Result& result)
{
    failedFlag = result.failed();
    errorText = result.getErrorMessage();

    if (! lastWriteFailed())
    {
        failureTold = false;
        return;
    }

    if (std::exchange (failureTold, true))
        return;

    // Never from inside the save: the message waits for the message loop,
    // and is not shown when the store is gone or a retry has succeeded by
    // then, nor while the application is ending (nobody would read it).
    juce::MessageManager::callAsync ([store = juce::WeakReference<FileLess> (this)]
    {
        if (store != nullptr && store->lastWriteFailed()
            && ! juce::MessageManager::getInstance()->hasStopMessageBeenSent())
            store->showWriteFailure (store->lastWriteError());
    });
}

bool FileLess::lastWriteFailed() const
{
    return documentWriteFailed || preferencesWriteFailed;
}

juce::String FileLess::lastWriteError() const
{
    return documentWriteFailed ? documentWriteError : preferencesWriteError;
}

void FileLess::showWriteFailure (const juce::String& error)
{
    // What failed and why first, where the dialog always shows it; the file,
    // whose path may take several lines, once at the end.
    const auto preferences = preferencesFile().getFullPathName();
    const bool ofPreferences = ! error.startsWith (documentPath + ": ") && error.startsWith (preferences + ": ");
    const auto path = ofPreferences ? preferences : documentPath;

    DialogManager::getInstance().showMessageDialog (
        "Oh no! Save error...",
        juce::String ("I couldn't save the ") + (ofPreferences ? "preferences" : "document") + ": "
            + writeFailureReason (error, path) + ". I'll keep trying every second; your changes are kept until then.\n\n"
            + "File: " + path,
        { "Ok" });
}

juce::String writeFailureReason (const juce::String& error, const juce::String& path)
{
    if (path.isNotEmpty() && error.startsWith (path + ": "))
        return error.substring (path.length() + 2);

    return error;
}

void FileLess::startDeferredSave()
{
    documentPending = true;
    retryLater();
}

bool FileLess::isSaving() const
{
    return isTimerRunning() || backgroundWrite != nullptr;
}

bool FileLess::flushPendingSave()
{
    // A save being written in the background is waited for; a failed one
    // leaves the save pending, and is tried again here at once.
    finishBackgroundWrite();

    if (! isTimerRunning())
        return true;

    stopTimer();
    const auto documentWritten = ! documentPending || writeDocument();
    const auto preferencesWritten = savePreferences();

    if (! documentWritten || ! preferencesWritten)
        retryLater();

    return documentWritten;
}

void FileLess::discardPendingSave()
{
    finishBackgroundWrite();
    stopTimer();
    documentPending = false;

    // An empty file at the document's path ("Save as..." makes one at once)
    // that no write has filled holds nothing: nothing empty is left behind.
    const juce::File file (hasUsableDocumentPath() ? documentPath : juce::String());

    if (hasUsableDocumentPath() && ! file.isSymbolicLink() && file.existsAsFile() && file.getSize() == 0)
        file.deleteFile();
}

bool FileLess::isDocumentPending() const
{
    return documentPending;
}

bool FileLess::preferencesWriteHasFailed() const
{
    return preferencesWriteFailed;
}

juce::String FileLess::preferencesWriteFailure() const
{
    return preferencesWriteError;
}

juce::String FileLess::unrecordedDocumentNote() const
{
    if (! preferencesWriteFailed || documentWriteFailed || documentPending || ! hasUsableDocumentPath()
        || lastUsedDocument() == juce::File (documentPath))
        return {};

    return "I saved the document, but I couldn't note it in the preferences: "
         + writeFailureReason (preferencesWriteError, preferencesFile().getFullPathName())
         + ". The next start won't open it by itself; open it with \"Load\".\n\nFile: " + documentPath;
}

bool FileLess::replaceDocument (const juce::ValueTree& newDocument, const juce::String& newPath)
{
    // An invalid tree would leave the store without a document.
    if (! newDocument.isValid() || ! flushPendingSave())
        return false;

    // Only the preferences may still be waiting for a retry; the caller
    // writes them for the new document.
    stopTimer();
    document = newDocument;
    documentPath = newPath;

    // Writes of this file that a crash or a power cut interrupted left their
    // temporary files beside it, wherever it is (beside a link's target);
    // none of this store's is being written now.
    removeTemporaryFilesOf (juce::File (newPath));
    return true;
}

bool FileLess::setDocumentPath (const juce::String& newPath)
{
    // The whole document is written at every save, so a save that could not
    // be written loses nothing by moving: it stays pending and goes to the
    // new file.
    const auto written = flushPendingSave();
    documentPath = newPath;
    return written;
}

juce::String FileLess::preferencesAppVersion()
{
    return juce::String (JUCE_APPLICATION_VERSION_STRING) + ".d";
}

bool FileLess::savePreferences()
{
    // After a save still being written, which writes them too.
    finishBackgroundWrite();

    const auto result = writeText (preferencesFile(), preferencesText());
    noteWrite (preferencesWriteFailed, preferencesWriteError, result);
    return result.wasOk();
}

juce::String FileLess::preferencesText()
{
    // Read like the host's files: a hand-edited or hostile file must not
    // hang or crash every save.
    auto root = parseHostXmlFile (preferencesFile());

    if (root == nullptr)
        root = std::make_unique<juce::XmlElement> (ids::preferences);

    // Elements missing from the file are appended after its last child; the
    // plug-ins look them up by name, so existing ones keep their places.
    const auto findOrAppend = [&root] (const juce::Identifier& tag)
    {
        if (auto* existing = findChildIgnoringCase (*root, tag.toString()))
            return existing;

        return root->createNewChildElement (tag);
    };

    auto* lastUsed = findOrAppend (ids::lastusedfile);
    lastUsed->setAttribute (ids::fullpathname, documentPath);

    auto* app = findOrAppend (ids::app);
    const auto current = preferencesAppVersion();

    if (app->getStringAttribute (ids::version) != current)
        appVersionChanged = true;

    app->setAttribute (ids::version, current);

    // The plug-ins read this file with a conforming XML reader: a character
    // XML forbids (from a hand-edited file, or in the path) would make them
    // refuse all of it.
    replaceForbiddenXmlCharacters (*root);
    return root->toString (documentTextFormat());
}

bool FileLess::isVersionAtLeast (const juce::String& version) const
{
    const auto minimum = juce::StringArray::fromTokens (minimumVersion, ".", "");
    const auto candidate = juce::StringArray::fromTokens (version, ".", "");

    for (int i = 0; i < 3; ++i)
    {
        const auto wanted = versionPart (minimum, i);
        const auto given = versionPart (candidate, i);

        if (given != wanted)
            return given > wanted;
    }

    return true;
}

bool FileLess::newDocument()
{
    // The pending save belongs to the document about to be emptied.
    if (! flushPendingSave())
        return false;

    stopTimer();
    document.removeAllChildren (nullptr);

    const auto folder = documentsFolder();
    auto file = folder.getChildFile (newDocumentName (1));

    for (int number = 2; ! isFreeForNewDocument (file); ++number)
        file = folder.getChildFile (newDocumentName (number));

    documentPath = file.getFullPathName();

    if (! file.exists())
        file.create();

    savePreferences();
    return true;
}

void FileLess::replaceChild (const juce::ValueTree& tree)
{
    auto old = document.getChildWithName (tree.getType());

    if (old.isValid())
        document.removeChild (old, nullptr);

    document.appendChild (tree, nullptr);
}

juce::ValueTree FileLess::getOrCreateChild (const juce::Identifier& type)
{
    auto child = document.getChildWithName (type);

    if (! child.isValid())
    {
        child = juce::ValueTree (type);
        document.appendChild (child, nullptr);
    }

    return child;
}

FileLess::LoadCheck FileLess::checkDocument (const juce::XmlElement* root) const
{
    if (root == nullptr || ! hasDocumentRoot (*root))
        return LoadCheck::notADocument;

    if (! isVersionAtLeast (documentVersion (*root)))
        return LoadCheck::tooOld;

    return LoadCheck::accepted;
}

juce::File documentsFolder()
{
    const auto folder = documentsFolderPath();

    if (! folder.exists())
        folder.createDirectory();

    return folder;
}

juce::File preferencesFile()
{
    const auto file = documentsFolder().getChildFile ("preferences/preferences.xml");

    // An empty file made first would be all that a crash at that moment
    // leaves: the next start could not find the last document.
    if (! file.getParentDirectory().isDirectory())
        file.getParentDirectory().createDirectory();

    return file;
}

juce::File lastUsedDocument()
{
    if (auto preferences = parseHostXmlFile (preferencesFile()))
        if (auto* entry = findChildIgnoringCase (*preferences, ids::lastusedfile.toString()))
            if (const auto path = entry->getStringAttribute (ids::fullpathname); juce::File::isAbsolutePath (path))
                return juce::File (path);

    return {};
}

void showLoadErrorDialog()
{
    DialogManager::getInstance().showMessageDialog (
        "Oh no! Load error...",
        "I couldn't read that file. Are you sure it's a valid " + applicationName + " document?",
        { "Ok" });
}
} // namespace corvadine
