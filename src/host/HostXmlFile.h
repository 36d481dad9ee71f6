#pragma once

#include <juce_core/juce_core.h>

namespace corvadine
{
// Parses XML that comes from outside (the host's files), refusing what
// JUCE's parser cannot take safely: a document type declaration (whose
// entities JUCE expands without limit, and may load from sibling files) and
// elements nested more deeply than any real host file (the parser, the copy
// and the destructor of juce::XmlElement all recurse once per level), and a
// processing instruction ("<?...?>") after the XML declaration, on some of
// which the parser never returns.
// Gives nullptr for such text and for text that does not parse. Bytes that
// are not UTF-8 are read as Latin-1 characters.
std::unique_ptr<juce::XmlElement> parseHostXml (const juce::String& text);

// The same for a file: nullptr when it is missing, a folder, unreadably
// large, or refused as above.
std::unique_ptr<juce::XmlElement> parseHostXmlFile (const juce::File& file);

// Nesting depth above which host XML is refused.
constexpr int maxHostXmlDepth = 256;
} // namespace corvadine
