#pragma once

#include <juce_core/juce_core.h>

#include <string>

namespace corvadine
{
// What one walk over a (finished) text finds.
struct HostXmlScan
{
    // It holds none of what the parser cannot take: a document type
    // declaration, elements nested deeper than the limit, a processing
    // instruction from the first element on, "&<".
    bool safe = true;

    // Its root element is there in full: past the declaration, white space,
    // comments and processing instructions (stepped over as XML steps over
    // them, so a "<" inside a comment is no element), the first element
    // closes, with an end tag of its own name or with its own "/>", and
    // nothing but white space, comments and processing instructions stands
    // outside it. A host file whose root is not closed yet is being written
    // (the host writes its files in place): every reader of host files takes
    // nothing from such a text, and waits for the next whole write.
    bool whole = false;
};

// Parses XML that comes from outside (the host's files), refusing what
// JUCE's parser cannot take safely: a document type declaration (whose
// entities JUCE expands without limit, and may load from sibling files),
// elements nested more deeply than any real host file (the parser, the copy
// and the destructor of juce::XmlElement all recurse once per level), and a
// processing instruction ("<?...?>") inside or after the root element, on
// some of which the parser never returns. It refuses as well a text that is
// not whole (HostXmlScan::whole): a file that the host is still writing,
// which JUCE's parser would read in part.
// Gives nullptr for such text and for text that does not parse. The
// characters are read by the rule of host text (host/HostText.h): bytes
// that are not UTF-8 are Latin-1 characters or U+FFFD, and characters that
// XML forbids, also those of references such as "&#1;", are U+FFFD.
std::unique_ptr<juce::XmlElement> parseHostXml (const juce::String& text);

// The same for the raw bytes of a file.
std::unique_ptr<juce::XmlElement> parseHostXmlBytes (const void* data, size_t size);

// The same for a file: nullptr when it is missing, a folder, unreadably
// large, or refused as above.
std::unique_ptr<juce::XmlElement> parseHostXmlFile (const juce::File& file);

// The text of a host file as the parsers take it: read whole (refused when
// missing, a folder or larger than the limit), its characters under the rule
// of host text, a line end added. False, with the text empty, when refused.
bool readHostXmlText (const juce::File& file, std::string& text);

// Parses such a text (refused as parseHostXml refuses).
std::unique_ptr<juce::XmlElement> parseHostXmlText (std::string text);

// The same, telling what the scan of the text found (for instance that the
// file is being written).
std::unique_ptr<juce::XmlElement> parseHostXmlText (std::string text, HostXmlScan& scan);

// Makes raw bytes, already in text, into such a text.
void finishHostXmlText (std::string& text);

// The scan of a finished text, and each of its verdicts.
HostXmlScan scanHostXml (const char* text);
bool isSafeHostXml (const char* text);
bool isWholeHostXml (const char* text);

// Nesting depth above which host XML is refused.
constexpr int maxHostXmlDepth = 256;
} // namespace corvadine
