#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvadine
{
// A read-only tree of the elements and attributes of host XML, made in one
// pass over the text without a juce::XmlElement, a juce::String or an
// identifier per name: tags, names and values are views of the text (a value
// with entities or references is decoded once, beside it). Reading a 12 MB
// host setup this way takes a fraction of JUCE's time and memory.
//
// It reads text the way JUCE's XmlDocument does, step by step (the same
// characters skipped as white space and taken as names, the same entities,
// the same places where a broken text still gives an element and where it
// gives none), so an element, attribute or value found here is exactly what
// parseHostXml gives for the same text. Text content, comments and CDATA are
// stepped over: nothing reads them. Use it on a text made by
// readHostXmlText or finishHostXmlText that scanHostXml finds safe and whole
// (parseHostXml gives nothing for any other text).
class HostXmlTree
{
public:
    using Index = std::int32_t;
    static constexpr Index none = -1;

    // Which elements a reader may look for, by tag: an element whose tag it
    // never looks for (at any level) can never be found, and nor can
    // anything inside it, so the tree need not hold them. Returns true to
    // keep the element.
    using TagFilter = bool (*) (std::string_view tag);

    // Parses the text, which must outlive the tree; false when JUCE's parser
    // would give no element. Every element is read (for JUCE's verdict on the
    // text), but only the root and the elements that the filter keeps, with
    // their attributes, are held.
    bool parse (const std::string& text, TagFilter keepElement = nullptr);

    // The root element; none before a successful parse.
    Index root() const noexcept { return rootElement; }

    std::string_view tag (Index element) const noexcept;
    Index firstChild (Index element) const noexcept { return elements[(size_t) element].firstChild; }
    Index nextSibling (Index element) const noexcept { return elements[(size_t) element].nextSibling; }

    // True when the tag matches ignoring letter case (as tagMatches does
    // for a juce::XmlElement).
    bool tagMatches (Index element, const char* tagToMatch) const;

    // The same rule for a tag's text.
    static bool tagsMatch (std::string_view tag, const char* tagToMatch);

    // The first child whose tag matches ignoring case, or none.
    Index findChild (Index element, const char* tagToMatch) const;

    // The first attribute of that exact name: true and its value, or false.
    bool attribute (Index element, std::string_view name, std::string_view& value) const;

    size_t numElements() const noexcept { return elements.size(); }

private:
    struct Element
    {
        std::uint32_t tagStart = 0, tagLength = 0;
        std::uint32_t firstAttribute = 0, numAttributes = 0;
        Index firstChild = none, nextSibling = none;
    };

    struct Attribute
    {
        std::uint32_t nameStart = 0, nameLength = 0;
        // In the text, or in decodedValues when the value held entities.
        std::uint32_t valueStart = 0, valueLength = 0;
        bool decoded = false;
    };

    class Parser;

    std::string_view textView (std::uint32_t start, std::uint32_t length) const noexcept;

    const std::string* text = nullptr;
    std::vector<Element> elements;
    std::vector<Attribute> attributes;
    std::string decodedValues;
    Index rootElement = none;
    TagFilter filter = nullptr;
};
} // namespace corvadine
