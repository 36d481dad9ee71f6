#include "host/HostXmlFile.h"

#include <cstring>

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
    int depth = 0;
    bool insideRoot = false;
    auto* p = text;

    while (*p != 0)
    {
        if (*p != '<')
        {
            ++p;
            continue;
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
                const auto quote = *p++;

                for (; *p != 0 && *p != quote; ++p)
                    if (*p == '<' && p[1] != '/' && ++depth > maxHostXmlDepth)
                        return false;

                if (*p != 0)
                    ++p;

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
} // namespace

std::unique_ptr<juce::XmlElement> parseHostXml (const juce::String& text)
{
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
