#include "host/XmlTags.h"

namespace corvadine
{
namespace
{
constexpr unsigned char asciiLower (unsigned char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char> (c + ('a' - 'A')) : c;
}
} // namespace

bool tagMatches (const juce::XmlElement& element, juce::StringRef tag)
{
    // Tags are nearly always ASCII, where letter case folds by a table-free
    // step; JUCE's comparison (a wide-character call per letter) was a fifth
    // of reading a host setup. Anything beyond ASCII is left to JUCE, whose
    // folding also maps some other letters onto ASCII ones.
    const auto& name = element.getTagName();
    const auto* a = reinterpret_cast<const unsigned char*> (name.toRawUTF8());
    const auto* b = reinterpret_cast<const unsigned char*> (tag.text.getAddress());

    for (;; ++a, ++b)
    {
        if (((*a | *b) & 0x80) != 0)
            return name.equalsIgnoreCase (tag);

        if (asciiLower (*a) != asciiLower (*b))
            return false;

        if (*a == 0)
            return true;
    }
}

juce::XmlElement* findChildIgnoringCase (const juce::XmlElement& parent, juce::StringRef tag)
{
    for (auto* child : parent.getChildIterator())
        if (tagMatches (*child, tag))
            return child;

    return nullptr;
}
} // namespace corvadine
