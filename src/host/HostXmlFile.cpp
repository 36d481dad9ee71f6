#include "host/HostXmlFile.h"

#include "host/HostText.h"

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

// Characters that a reference such as "&#1;" gave JUCE's parser, which
// the rule of the host's text does not let through either. A repeated
// attribute name is reached only at its first place: JUCE's element has no
// way to set the value of a second attribute of the same name.
void replaceForbiddenCharactersIn (juce::XmlElement& element)
{
    if (element.isTextElement())
    {
        auto text = element.getText();

        if (replaceForbiddenCharacters (text))
            element.setText (text);

        return;
    }

    for (int i = 0; i < element.getNumAttributes(); ++i)
    {
        auto value = element.getAttributeValue (i);

        if (replaceForbiddenCharacters (value))
            element.setAttribute (element.getAttributeName (i), value);
    }

    for (auto* child : element.getChildIterator())
        replaceForbiddenCharactersIn (*child);
}

std::unique_ptr<juce::XmlElement> parseTextOnce (std::string text)
{
    if (! isSafeHostXml (text.c_str()))
        return nullptr;

    const auto mayHoldReferences = text.find ("&#") != std::string::npos;

    // Parsed from the text, not the file: without an input source the parser
    // cannot be pointed at other files. The bytes are let go before the
    // parse, so only one copy of a large file is held while the tree grows.
    juce::String juceText (juce::CharPointer_UTF8 (text.data()), juce::CharPointer_UTF8 (text.data() + text.size()));
    std::string().swap (text);

    juce::XmlDocument document (juceText);
    auto root = document.getDocumentElement (false);

    if (root != nullptr && mayHoldReferences)
        replaceForbiddenCharactersIn (*root);

    return root;
}
} // namespace

bool isSafeHostXml (const char* text)
{
    return isSafeToParse (text);
}

void finishHostXmlText (std::string& text)
{
    makeHostText (text);

    // JUCE's parser steps over the character that ends a hexadecimal
    // character reference ("&#x41;") even when that is the end of the text
    // ("<r>&#x41"), and reads on past it. A line end after the last character
    // ends every such reference before the end does.
    text += '\n';
}

bool readHostXmlText (const juce::File& file, std::string& text)
{
    text.clear();

    if (! file.existsAsFile())
        return false;

    const auto size = file.getSize();

    if (size > maxHostXmlFileSize)
        return false;

    juce::FileInputStream stream (file);

    if (! stream.openedOk())
        return false;

    // The file may still grow while it is read (the host writes in place):
    // what stands beyond the size seen above, up to the limit, is read too.
    text.resize ((size_t) size);
    auto numRead = stream.read (text.data(), (int) text.size());

    if (numRead < 0)
        return false;

    text.resize ((size_t) numRead);

    for (char block[65536];;)
    {
        const auto more = stream.read (block, (int) sizeof (block));

        if (more <= 0)
            break;

        if ((juce::int64) (text.size() + (size_t) more) > maxHostXmlFileSize)
            return false;

        text.append (block, (size_t) more);
    }

    finishHostXmlText (text);
    return true;
}

std::unique_ptr<juce::XmlElement> parseHostXmlText (std::string text)
{
    return parseTextOnce (std::move (text));
}

std::unique_ptr<juce::XmlElement> parseHostXmlBytes (const void* data, size_t size)
{
    auto text = hostTextFromBytes (data, size);
    finishHostXmlText (text);
    return parseTextOnce (std::move (text));
}

std::unique_ptr<juce::XmlElement> parseHostXml (const juce::String& text)
{
    const auto* raw = text.toRawUTF8();
    return parseHostXmlBytes (raw, std::strlen (raw));
}

std::unique_ptr<juce::XmlElement> parseHostXmlFile (const juce::File& file)
{
    std::string text;

    if (! readHostXmlText (file, text))
        return nullptr;

    return parseTextOnce (std::move (text));
}
} // namespace corvadine
