#include "model/FileLess.h"

#include "host/HostXmlFile.h"
#include "host/XmlTags.h"
#include "model/DocumentFormat.h"
#include "model/Ids.h"
#include "widgets/DialogManager.h"

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
} // namespace

FileLess::FileLess()
    : document (ids::Corvadine),
      minimumVersion ("0.9.4")
{
}

FileLess::~FileLess()
{
    // Quitting within a second of a change still keeps the change.
    if (isTimerRunning())
    {
        stopTimer();
        writeDocument();
        savePreferences();
    }
}

void FileLess::timerCallback()
{
    stopTimer();

    // The file is written through a temporary file, so after a failed write
    // the old one is still whole; the save waits another second and tries again.
    if (! writeDocument())
        startTimer (saveDelayMs);

    savePreferences();
}

bool FileLess::writeDocument()
{
    // Without a usable path there is nothing to write to, and nothing to retry.
    if (documentPath.isEmpty() || ! juce::File::isAbsolutePath (documentPath))
        return true;

    return writeDocumentFile (document, juce::File (documentPath));
}

void FileLess::startDeferredSave()
{
    if (! isTimerRunning())
        startTimer (saveDelayMs);
}

void FileLess::flushPendingSave()
{
    if (isTimerRunning())
        timerCallback();
}

void FileLess::replaceDocument (const juce::ValueTree& newDocument, const juce::String& newPath)
{
    // An invalid tree would leave the store without a document.
    if (! newDocument.isValid())
        return;

    flushPendingSave();
    document = newDocument;
    documentPath = newPath;
}

void FileLess::setDocumentPath (const juce::String& newPath)
{
    flushPendingSave();
    documentPath = newPath;
}

juce::String FileLess::preferencesAppVersion()
{
    return juce::String (JUCE_APPLICATION_VERSION_STRING) + ".d";
}

void FileLess::savePreferences()
{
    const auto file = preferencesFile();

    // Read like the host's files: a hand-edited or hostile file must not
    // hang or crash every save.
    auto root = parseHostXmlFile (file);

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

    root->writeTo (file, documentTextFormat());
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

void FileLess::newDocument()
{
    // The pending save belongs to the document about to be emptied.
    flushPendingSave();

    document.removeAllChildren (nullptr);

    const auto folder = documentsFolder();
    auto file = folder.getChildFile (newDocumentName (1));

    for (int number = 2; ! isFreeForNewDocument (file); ++number)
        file = folder.getChildFile (newDocumentName (number));

    documentPath = file.getFullPathName();

    if (! file.exists())
        file.create();

    savePreferences();
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
    const auto folder = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory)
                            .getChildFile (applicationName);

    if (! folder.exists())
        folder.createDirectory();

    return folder;
}

juce::File preferencesFile()
{
    const auto file = documentsFolder().getChildFile ("preferences/preferences.xml");

    if (! file.existsAsFile())
        file.create();

    return file;
}

void showLoadErrorDialog()
{
    DialogManager::getInstance().showMessageDialog (
        "Oh no! Load error...",
        "I couldn't read that file. Are you sure it's a valid " + applicationName + " document?",
        { "Ok" });
}
} // namespace corvadine
