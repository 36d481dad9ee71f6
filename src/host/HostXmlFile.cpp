#include "host/HostXmlFile.h"

#include "host/HostText.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace corvadine
{
namespace
{
// The host's own files are well below a megabyte; a composition with many
// clips is a few megabytes.
constexpr juce::int64 maxHostXmlFileSize = 64 * 1024 * 1024;

bool isXmlBlank (char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// One walk over the finished text (terminated, so that the character after
// any other can be looked at), for two verdicts. Every search is bounded by
// the text's end, found once: the sanitizers check a search of a terminated
// text (strchr, strstr) against all the rest of it, which made the scan of a
// large text quadratic in the tests.
//
// Safety: what the parser cannot take, the nesting depth it will reach and
// processing instructions where it would hang. It errs on the side of
// counting too deep: every "<" that may open an element counts, also inside
// quoted values and malformed tags, while only a real end tag or the "/>" of
// an empty tag counts back.
//
// Wholeness: elements open and close as XML reads them (quoted values,
// comments, CDATA and processing instructions stepped over), so the place
// where the first element closes is found; the text is whole when that end
// tag names the root and nothing but white space, comments and processing
// instructions stands outside the root.
HostXmlScan scanText (const char* text)
{
    HostXmlScan scan;
    const std::string_view all (text);
    const auto* const end = text + all.size();

    // Where the pattern starts at p or after it, or the end.
    const auto find = [&] (const char* p, std::string_view pattern) -> const char*
    {
        const auto at = all.find (pattern, (size_t) (p - text));
        return at == std::string_view::npos ? end : text + at;
    };

    const auto findChar = [end] (const char* p, char c) -> const char*
    {
        auto* found = static_cast<const char*> (std::memchr (p, c, (size_t) (end - p)));
        return found != nullptr ? found : end;
    };

    // Past the pattern at p or after it, or the end.
    const auto skipPast = [&] (const char* p, std::string_view pattern)
    {
        auto* found = find (p, pattern);
        return found == end ? end : found + pattern.size();
    };

    const auto startsWith = [end] (const char* p, std::string_view prefix)
    {
        return (size_t) (end - p) >= prefix.size() && std::memcmp (p, prefix.data(), prefix.size()) == 0;
    };

    // JUCE takes an unknown entity's name, everything up to the next ";", as
    // its text, and parses that as XML when it starts with "<": a text of its
    // own, outside every check here and without the line end that guards its
    // end. A name never starts with "<", so no real file holds "&<".
    if (all.find ("&<") != std::string_view::npos)
        scan.safe = false;

    int depth = 0;
    // Elements open, counted exactly (unlike depth).
    int open = 0;
    bool insideRoot = false, rootClosed = false, rootEndMatches = false;
    // Nothing but white space, comments and processing instructions outside the root.
    bool outsideIsMisc = true;
    std::string_view rootName;
    auto* p = text;

    const auto outsideRoot = [&] { return ! insideRoot || rootClosed; };

    while (p < end)
    {
        // Straight to the next tag: a host file is mostly text between them.
        if (*p != '<')
        {
            auto* tag = findChar (p, '<');

            if (outsideIsMisc && outsideRoot())
                outsideIsMisc = std::all_of (p, tag, isXmlBlank);

            if (tag == end)
                break;

            p = tag;
        }

        if (startsWith (p, "<!--"))
        {
            auto* close = find (p + 4, "-->");

            if (close == end)
            {
                // A comment that the end of the text cuts off.
                outsideIsMisc = false;
                break;
            }

            p = close + 3;
            continue;
        }

        if (startsWith (p, "<![CDATA["))
        {
            outsideIsMisc = outsideIsMisc && ! outsideRoot();
            p = skipPast (p + 9, "]]>");
            continue;
        }

        if (startsWith (p, "<?"))
        {
            p = skipPast (p + 2, "?>");
            continue;
        }

        if (p[1] == '!')
        {
            // A document type declaration (the walk goes on to its first ">"
            // only; such a text is refused whatever it holds).
            scan.safe = false;
            outsideIsMisc = outsideIsMisc && ! rootClosed;
            p = skipPast (p + 2, ">");
            continue;
        }

        if (p[1] == '/')
        {
            --depth;
            auto* close = findChar (p + 2, '>');

            // An end tag that the end of the text cuts off.
            if (close == end)
                break;

            if (open > 0 && ! rootClosed)
            {
                if (--open == 0)
                {
                    // The root's own end tag: its name, white space allowed before the ">".
                    const std::string_view endTag (p + 2, (size_t) (close - p - 2));
                    const auto nameEnd = std::find_if (endTag.begin(), endTag.end(), isXmlBlank);
                    rootClosed = true;
                    rootEndMatches = endTag.substr (0, (size_t) (nameEnd - endTag.begin())) == rootName
                                  && std::all_of (nameEnd, endTag.end(), isXmlBlank);
                }
            }
            else
            {
                outsideIsMisc = false;
            }

            p = close + 1;
            continue;
        }

        // JUCE's parser loops forever on a processing instruction followed
        // by text inside an element ("<a><?p?>text</a>"). The host writes
        // none past its XML declaration, so from the first element on any
        // "<?" at all refuses the text.
        if (! insideRoot)
        {
            if (find (p, "<?") != end)
                scan.safe = false;

            insideRoot = true;
            const auto* nameEnd = std::find_if (p + 1, end, [] (char c) { return isXmlBlank (c) || c == '/' || c == '>'; });
            rootName = std::string_view (p + 1, (size_t) (nameEnd - p - 1));
        }
        else if (rootClosed)
        {
            // A second element beside the root.
            outsideIsMisc = false;
        }

        // A start tag: find its end, stepping over quoted attribute values.
        if (++depth > maxHostXmlDepth)
            scan.safe = false;

        ++open;
        ++p;

        while (p < end && *p != '>')
        {
            if (*p == '"' || *p == '\'')
            {
                // The value up to its closing quote (or the end of the text),
                // found at once; it rarely holds a "<" to count.
                const auto quote = *p++;
                auto* valueEnd = findChar (p, quote);

                for (auto* lt = p; (lt = static_cast<const char*> (std::memchr (lt, '<', (size_t) (valueEnd - lt)))) != nullptr; ++lt)
                    if (lt[1] != '/' && ++depth > maxHostXmlDepth)
                        scan.safe = false;

                p = valueEnd == end ? end : valueEnd + 1;
                continue;
            }

            if (*p == '<' && p[1] != '/' && ++depth > maxHostXmlDepth)
                scan.safe = false;

            if (p[0] == '/' && p[1] == '>')
            {
                --depth;
                ++p;

                // An empty element; the root itself when it is the only one open.
                if (--open == 0 && ! rootClosed)
                    rootClosed = rootEndMatches = true;

                break;
            }

            ++p;
        }

        if (p < end && *p == '>')
            ++p;
    }

    scan.whole = rootClosed && rootEndMatches && outsideIsMisc;
    return scan;
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

// A reference to a number beyond U+10FFFF ("&#x110000;", "&#4259840;") is
// written as one to U+FFFD of the same length: JUCE's parser writes such a
// number as four bytes of UTF-8's shape from its low bits, which may spell
// an allowed character (U+10000 for 0x410000). Only hexadecimal and decimal
// digits change, so the text parses the same everywhere else.
void replaceReferencesBeyondUnicode (std::string& text)
{
    const auto isDigit = [] (char c) { return c >= '0' && c <= '9'; };
    const auto hexValue = [] (char c) -> int
    {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };

    const auto overwrite = [&text] (size_t start, size_t length, const char* digits)
    {
        const auto numDigits = std::strlen (digits);
        text.replace (start, length, std::string (length - numDigits, '0') + digits);
    };

    for (auto at = text.find ("&#"); at != std::string::npos; at = text.find ("&#", at + 2))
    {
        auto p = at + 2;

        if (p < text.size() && (text[p] == 'x' || text[p] == 'X'))
        {
            const auto start = ++p;
            std::uint64_t value = 0;

            while (p < text.size() && p - start < 8 && hexValue (text[p]) >= 0)
                value = (value << 4) | (std::uint64_t) hexValue (text[p++]);

            if (p > start && p < text.size() && text[p] == ';' && value > 0x10ffff)
                overwrite (start, p - start, "FFFD");

            continue;
        }

        const auto start = p;
        std::int64_t value = 0;

        while (p < text.size() && p - start < 12 && isDigit (text[p]))
            value = value * 10 + (text[p++] - '0');

        // JUCE would keep the number's low 32 bits as a character.
        if (p > start && p < text.size() && text[p] == ';' && value > 0x10ffff)
            overwrite (start, p - start, "65533");
    }
}

std::unique_ptr<juce::XmlElement> parseTextOnce (std::string text, HostXmlScan* scanMade = nullptr)
{
    const auto scan = scanText (text.c_str());

    if (scanMade != nullptr)
        *scanMade = scan;

    if (! scan.safe || ! scan.whole)
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

HostXmlScan scanHostXml (const char* text)
{
    return scanText (text);
}

bool isSafeHostXml (const char* text)
{
    return scanText (text).safe;
}

bool isWholeHostXml (const char* text)
{
    return scanText (text).whole;
}

void finishHostXmlText (std::string& text)
{
    makeHostText (text);
    replaceReferencesBeyondUnicode (text);

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
    // Room for the line end that finishes the text, so that it is not copied to add one.
    text.reserve ((size_t) size + 2);
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

std::unique_ptr<juce::XmlElement> parseHostXmlText (std::string text, HostXmlScan& scan)
{
    return parseTextOnce (std::move (text), &scan);
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
