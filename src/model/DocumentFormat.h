#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include <juce_graphics/juce_graphics.h>

#include <functional>
#include <string>
#include <vector>

// Writing and reading the document's values. Every value that comes back
// from a file comes back as attribute text; these readers turn it into the
// value the model needs, with the default for a missing (or unusable)
// property, so no caller has to trust the file.
namespace corvadine
{
//==============================================================================
// Writing

// A "points" element: its "name" first, then one "point" {x, y} child per
// point, in order. Coordinates that are not finite are written as 0.
juce::ValueTree writePointsTree (const juce::String& name, const juce::Array<juce::Point<float>>& points);

// The value itself when it is finite, otherwise the fallback: what every
// writer of a double puts into the document.
double finiteOr (double value, double fallback = 0.0) noexcept;

// A focal's id as it stands in the file: the 16 bytes in order, high nibble
// first, 32 lowercase hexadecimal digits.
juce::String uuidToText (const juce::Uuid& uuid);

// The document as the text of its file: byte for byte what the tree's own
// XML (ValueTree::createXml) written by XmlElement::writeTo with
// documentTextFormat gives, at every size, except that every double that is
// not finite is written as 0 and every character XML forbids (in a name or
// a text) as U+FFFD, so that the file stays XML; built straight from the
// tree. Empty for an invalid tree.
std::string documentToText (const juce::ValueTree& document);

// A copy of a document's content taken on the thread that owns the tree,
// quickly (no tree of its own, no text), that another thread may then write
// while the tree goes on changing: every node's type, properties and number
// of children, in document order. Copies of names and texts share their
// characters, which never change, so nothing in it is shared unsafely.
class DocumentSnapshot
{
public:
    DocumentSnapshot() = default;
    explicit DocumentSnapshot (const juce::ValueTree& tree);

    // Takes the tree's content again, into the memory the lists already
    // hold: a snapshot kept from one save to the next touches no fresh memory.
    void take (const juce::ValueTree& tree);

    // Empties the lists, keeping their memory.
    void clear();

    // False for the snapshot of an invalid tree.
    bool isValid() const { return ! nodes.empty(); }

    struct Node
    {
        juce::Identifier type;
        int numProperties, numChildren;
    };

    struct Property
    {
        juce::Identifier name;
        juce::var value;
    };

    // Each node before its children; the properties of each node in turn.
    std::vector<Node> nodes;
    std::vector<Property> properties;

private:
    void add (const juce::ValueTree& tree);
};

// Writes that text to the stream; false for an invalid tree or a failed write.
bool writeDocumentText (const juce::ValueTree& document, juce::OutputStream& stream);
bool writeDocumentText (const DocumentSnapshot& document, juce::OutputStream& stream);

// Writes that text to the file through writeFileSafely; the result names the
// file and the system's reason when it fails (also for an invalid tree).
juce::Result writeDocumentFile (const juce::ValueTree& document, const juce::File& file);
juce::Result writeDocumentFile (const DocumentSnapshot& document, const juce::File& file);

// Writes a file so that it is always either the old file or the new one,
// whole, whatever happens meanwhile (a full disk, a crash, a power cut):
// the content goes into a hidden temporary file in the same folder
// (".<name>.<12 hex digits>.tmp", see isTemporaryFileName), which is synced
// to the disk and then renamed over the file (the one moment the new file
// appears), after which the folder is synced too. A symbolic link is
// followed: the link stays and its target is written. An existing file keeps
// its permission bits (and its owner, where the system allows). A file that
// may not be written (no write permission for us, or no write bit at all) is
// not replaced: the write fails with "Permission denied". When anything fails
// the temporary file is removed, the old file stays as it was and the result
// names the file and the system's reason.
juce::Result writeFileSafely (const juce::File& file, const std::function<bool (juce::OutputStream&)>& writeContent);

// Whether the name is one writeFileSafely gives its temporary files.
bool isTemporaryFileName (const juce::String& fileName);

// Removes the temporary files that writes interrupted by a crash or a power
// cut left in the folder (only files named as isTemporaryFileName says);
// returns how many were removed.
int removeTemporaryFiles (const juce::File& folder);

// Removes the temporary files that interrupted writes of this one file left
// beside it: beside the file a symbolic link finally names, where its writes
// go, and only those named for that file. Returns how many were removed.
int removeTemporaryFilesOf (const juce::File& file);

// The character that stands in for each character XML forbids.
constexpr int replacementCharacter = 0xfffd;

// Whether XML 1.0 allows the character in a document: tab, line feed,
// carriage return, U+0020 to U+D7FF, U+E000 to U+FFFD, U+10000 to U+10FFFF.
constexpr bool isAllowedXmlCharacter (juce::juce_wchar character) noexcept
{
    const auto c = static_cast<juce::uint32> (character);
    return c >= 0x20 ? (c <= 0xd7ff || (c >= 0xe000 && c <= 0xfffd) || (c >= 0x10000 && c <= 0x10ffff))
                     : (c == 0x09 || c == 0x0a || c == 0x0d);
}

// The text with every character XML forbids replaced by U+FFFD; every other
// character stays as it is.
juce::String withAllowedXmlCharacters (const juce::String& text);

// The same for an element read from a file, in place: its tag, attribute
// names and values, texts, and all its children's.
void replaceForbiddenXmlCharacters (juce::XmlElement& element);

// printf's "%.6g" of the value (the text juce::String gives a float), written
// into the text, which has room for 32 characters; returns the end.
char* writeSixSignificantDigits (double value, char* text);

// The text of a double in the document: the same text as juce::var gives it.
juce::String doubleToDocumentText (double value);

// The text options of every XML file written: the default header (UTF-8),
// lines wrapped at 60, "\r\n" line ends, no DTD.
juce::XmlElement::TextFormat documentTextFormat();

//==============================================================================
// Reading (missing: 0, false, the empty string)

int readInt (const juce::ValueTree& tree, const juce::Identifier& property);
juce::int64 readInt64 (const juce::ValueTree& tree, const juce::Identifier& property);
bool readBool (const juce::ValueTree& tree, const juce::Identifier& property);
juce::String readString (const juce::ValueTree& tree, const juce::Identifier& property);

// Non-finite numbers read 0, like a missing one.
double readDouble (const juce::ValueTree& tree, const juce::Identifier& property);

// A path; the empty file when the text is empty or not an absolute path.
juce::File readFile (const juce::ValueTree& tree, const juce::Identifier& property);

// "x y width height", the numbers separated by any one of ",; \t\r\n", a
// missing number 0. A negative width or height reads 0, and every number is
// held within +/- 2^28, so that the right and bottom edges stay representable.
juce::Rectangle<int> readBounds (const juce::ValueTree& tree, const juce::Identifier& property);

// Hexadecimal digits read in pairs into bytes, other characters skipped, the
// result zero-padded or cut to 16 bytes; missing: the all-zero id.
juce::Uuid readUuid (const juce::ValueTree& tree, const juce::Identifier& property);
juce::Uuid uuidFromText (const juce::String& text);

// The "uniqueId" of every child of the focal's "excluded" child, in order,
// each id once.
juce::Array<juce::int64> readExcludedIds (const juce::ValueTree& focal);

// The leading decimal integer of the text: blanks skipped, an optional "-"
// (and "+" when allowed), digits up to the first other character; 0 when
// there is none. Out-of-range values saturate instead of overflowing.
juce::int64 leadingInteger (const juce::String& text, bool allowPlus = false) noexcept;

//==============================================================================
// The load check

// A document's version: the root's "version", "1.0.0" when it has none.
juce::String documentVersion (const juce::XmlElement& root);

// Whether the root element's tag is exactly "Corvadine" (letter case counts).
bool hasDocumentRoot (const juce::XmlElement& root);
} // namespace corvadine
