#include "host/HostXmlFile.h"

#include <cstring>
#include <string>

namespace corvadine
{
namespace
{
// The host's own files are well below a megabyte; a composition with many
// clips is a few megabytes.
constexpr juce::int64 maxHostXmlFileSize = 64 * 1024 * 1024;

const char* skipPast (const char* text, const char* terminator)
{
    if (auto* found = std::strstr (text, terminator))
        return found + std::strlen (terminator);

    return text + std::strlen (text);
}

bool startsWith (const char* text, const char* prefix)
{
    return std::strncmp (text, prefix, std::strlen (prefix)) == 0;
}

// Scans the raw text for what the parser cannot take: the nesting depth it
// will reach, and processing instructions where it would hang. It errs on
// the side of counting too deep: every "<" that may open an element counts,
// also inside quoted values and malformed tags, while only a real end tag or
// the "/>" of an empty tag counts back.
bool isSafeToParse (const char* text)
{
    // JUCE takes an unknown entity's name, everything up to the next ";", as
    // its text, and parses that as XML when it starts with "<": a text of its
    // own, outside every check here and without the line end that guards its
    // end. A name never starts with "<", so no real file holds "&<".
    if (std::strstr (text, "&<") != nullptr)
        return false;

    int depth = 0;
    bool insideRoot = false;
    auto* p = text;

    while (*p != 0)
    {
        // Straight to the next tag: a host file is mostly text between them.
        if (*p != '<')
        {
            if (auto* tag = std::strchr (p, '<'))
            {
                p = tag;
            }
            else
            {
                break;
            }
        }

        if (startsWith (p, "<!--"))       { p = skipPast (p + 4, "-->"); continue; }
        if (startsWith (p, "<![CDATA["))  { p = skipPast (p + 9, "]]>"); continue; }
        if (startsWith (p, "<?"))         { p = skipPast (p + 2, "?>"); continue; }

        if (p[1] == '!')
            return false;

        if (p[1] == '/')
        {
            --depth;
            p = skipPast (p + 2, ">");
            continue;
        }

        // JUCE's parser loops forever on a processing instruction followed
        // by text inside an element ("<a><?p?>text</a>"). The host writes
        // none past its XML declaration, so from the first element on any
        // "<?" at all refuses the text.
        if (! insideRoot)
        {
            if (std::strstr (p, "<?") != nullptr)
                return false;

            insideRoot = true;
        }

        // A start tag: find its end, stepping over quoted attribute values.
        if (++depth > maxHostXmlDepth)
            return false;

        ++p;

        while (*p != 0 && *p != '>')
        {
            if (*p == '"' || *p == '\'')
            {
                // The value up to its closing quote (or the end of the text),
                // found at once; it rarely holds a "<" to count.
                const auto quote = *p++;
                auto* close = std::strchr (p, quote);
                auto* valueEnd = close != nullptr ? close : p + std::strlen (p);

                for (auto* lt = p; (lt = static_cast<const char*> (std::memchr (lt, '<', (size_t) (valueEnd - lt)))) != nullptr; ++lt)
                    if (lt[1] != '/' && ++depth > maxHostXmlDepth)
                        return false;

                p = close != nullptr ? close + 1 : valueEnd;
                continue;
            }

            if (*p == '<' && p[1] != '/' && ++depth > maxHostXmlDepth)
                return false;

            if (p[0] == '/' && p[1] == '>')
            {
                --depth;
                ++p;
                break;
            }

            ++p;
        }

        if (*p == '>')
            ++p;
    }

    return true;
}

// Bytes of the well-formed UTF-8 sequence at p, or 0 when none starts there.
size_t utf8SequenceLength (const unsigned char* p, const unsigned char* end)
{
    const auto lead = *p;
    const size_t length = lead < 0x80 ? 1
                        : (lead >= 0xc2 && lead <= 0xdf) ? 2
                        : (lead >= 0xe0 && lead <= 0xef) ? 3
                        : (lead >= 0xf0 && lead <= 0xf4) ? 4
                                                         : 0;

    if (length == 0 || (size_t) (end - p) < length)
        return 0;

    for (size_t i = 1; i < length; ++i)
        if ((p[i] & 0xc0) != 0x80)
            return 0;

    return length;
}

// JUCE steps over a character by the length its first byte announces,
// without looking at the bytes it skips: a stray lead byte near the end of
// a text (a file cut off in the middle of a character) makes the parser read
// past the end. Every byte that starts no well-formed sequence is taken as
// the Latin-1 character of that value, which also keeps names that an older
// tool wrote in Latin-1 readable.
juce::String withValidUtf8 (const juce::String& text)
{
    // Measured by its bytes: JUCE's own length steps over characters as well.
    const auto* raw = text.toRawUTF8();
    const auto* begin = reinterpret_cast<const unsigned char*> (raw);
    const auto* end = begin + std::strlen (raw);
    const auto* p = begin;

    // Mostly ASCII, which needs no look at the bytes after it.
    while (p < end)
    {
        if (*p < 0x80)
        {
            ++p;
            continue;
        }

        const auto length = utf8SequenceLength (p, end);

        if (length == 0)
            break;

        p += length;
    }

    if (p == end)
        return text;

    std::string repaired (reinterpret_cast<const char*> (begin), (size_t) (p - begin));

    while (p < end)
    {
        if (const auto length = utf8SequenceLength (p, end); length != 0)
        {
            repaired.append (reinterpret_cast<const char*> (p), length);
            p += length;
            continue;
        }

        repaired += (char) (0xc0 | (*p >> 6));
        repaired += (char) (0x80 | (*p & 0x3f));
        ++p;
    }

    return juce::String::fromUTF8 (repaired.data(), (int) repaired.size());
}
} // namespace

std::unique_ptr<juce::XmlElement> parseHostXml (const juce::String& rawText)
{
    // JUCE's parser steps over the character that ends a hexadecimal
    // character reference ("&#x41;") even when that is the end of the text
    // ("<r>&#x41"), and reads on past it. A line end after the last character
    // ends every such reference before the end does.
    const auto text = withValidUtf8 (rawText) + "\n";

    if (! isSafeToParse (text.toRawUTF8()))
        return nullptr;

    // Parsed from the text, not the file: without an input source the parser
    // cannot be pointed at other files.
    juce::XmlDocument document (text);
    return document.getDocumentElement (false);
}

std::unique_ptr<juce::XmlElement> parseHostXmlFile (const juce::File& file)
{
    if (! file.existsAsFile() || file.getSize() > maxHostXmlFileSize)
        return nullptr;

    return parseHostXml (file.loadFileAsString());
}
} // namespace corvadine
