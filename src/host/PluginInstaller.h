#pragma once

#include <juce_core/juce_core.h>

namespace corvadine
{
// Installs the FFGL plug-ins that read the document inside the host. They
// travel inside the application as one zip archive per host version, each
// plug-in a macOS bundle (a folder "NAME.bundle"), and are unpacked into the
// host's "Extra Effects" folder straight from the application's memory. The
// archives are opaque here: nothing is loaded or inspected but their
// entries.
//
// Archive 6 puts "FFGLCorvadine.bundle" at the top of the effects folder;
// archive 7 puts "FFGLCorvadine.bundle" and "FFGLCorvadineTestCard.bundle"
// inside a folder "MacV7" of it, so that is where version 7's bundles are
// looked for and moved to the Trash from (pluginBundleFolderForVersion).

// The host's folder in the user's documents: "Resolume Arena" for version 7,
// "Resolume Arena 6" for version 6, the documents folder itself for any other
// version. Nothing is created or tested.
juce::File arenaBaseFolderForVersion (int version);

// "Extra Effects" inside the host's folder.
juce::File effectsFolderForVersion (int version);

// The folder in which the version's archive leaves its bundles: "MacV7"
// inside the effects folder for version 7, the effects folder itself
// otherwise. Pass it to trashPlugins and look for installed bundles there.
juce::File pluginBundleFolderForVersion (int version);

// Unpacks the version's archive (6 or 7) below the folder, creating folders
// as needed. Without overwriting, existing files keep their bytes and only
// missing entries are written; with it, every file is replaced. Fails for a
// version without an archive, and when an entry could not be written (then
// the entries before it stay on disk).
juce::Result unzipPlugins (int version, const juce::File& folder, bool overwrite);

// Whether one of the plug-ins (names without extension) is missing from the
// version's bundle folder. A plug-in is there when an entry of its name
// stands directly in that folder, whatever its extension ("FFGLCorvadine"
// and "FFGLCorvadine.bundle" both count; names compare case-sensitively); a
// bundle that the archive brings counts only with every file the archive
// holds for it, so that an unpack cut short is completed later.
bool pluginsAreMissing (int version, const juce::StringArray& names);

// When the host's folder exists and one of the plug-ins is missing, unpacks
// the version's archive into the effects folder without overwriting. Fails
// only when that unpack failed; whatever it left out is missing next time.
juce::Result installPluginsIfMissing (int version, const juce::StringArray& names);

// Moves each named entry of the folder (bundle folder names, with ".bundle")
// that exists to the Trash. While a move fails it shows "Can't update
// plugins", asking the user to close the host, and tries every name again
// after "OK"; the dialog's second button gives up. True when nothing is left
// to move (the version's archive may then be unpacked over the folder),
// false when the user chose to skip this update (then leave the folder as
// it is).
bool trashPlugins (const juce::File& folder, const juce::StringArray& names);
} // namespace corvadine
