#include "host/HostXmlTree.h"

#include "host/HostText.h"
#include "host/HostXmlFile.h"

#include <array>
#include <cstring>

namespace corvadine
{
namespace
{
using Char = juce::juce_wchar;

// What JUCE's parser takes as a character of a name: its own table below
// 160, letters and digits beyond.
bool isIdentifierCharSlow (Char c) noexcept
{
    return juce::CharacterFunctions::isLetterOrDigit (c) || c == '_' || c == '-' || c == ':' || c == '.';
}

bool isIdentifierChar (Char c) noexcept
{
    static const std::uint32_t legalChars[] = { 0, 0x7ff6000, 0x87fffffe, 0x7fffffe, 0 };
    constexpr int tableSize = (int) std::size (legalChars) * 32;

    return (int) c < tableSize ? (legalChars[c >> 5] & (std::uint32_t) (1u << (c & 31))) != 0
                               : isIdentifierCharSlow (c);
}

// White space as JUCE's parser steps over it (the C library's wide-character
// class), looked up once for ASCII.
const std::array<bool, 128>& asciiWhiteSpace()
{
    static const auto table = []
    {
        std::array<bool, 128> result {};

        for (int c = 0; c < 128; ++c)
            result[(size_t) c] = juce::CharacterFunctions::isWhitespace ((Char) c);

        return result;
    }();

    return table;
}

bool asciiTagsMatch (const unsigned char* a, size_t length, const unsigned char* b, bool& decided) noexcept
{
    const auto lower = [] (unsigned char c) { return c >= 'A' && c <= 'Z' ? (unsigned char) (c + ('a' - 'A')) : c; };
    decided = true;

    for (size_t i = 0; i < length; ++i, ++b)
    {
        if (((a[i] | *b) & 0x80) != 0)
        {
            decided = false;
            return false;
        }

        if (*b == 0 || lower (a[i]) != lower (*b))
            return false;
    }

    if ((*b & 0x80) != 0)
    {
        decided = false;
        return false;
    }

    return *b == 0;
}
// The character JUCE's parser gives for a reference to the number c, after
// the rule of host text: for a number beyond U+10FFFF (which only a broken
// reference such as "&#66\" x=\"1" spells: the text makes a reference to such
// a number in full form read U+FFFD) JUCE writes four bytes of UTF-8's shape
// from the number's low bits, which may spell an allowed character.
void appendReferencedCharacter (std::string& text, std::uint32_t c)
{
    if (c <= 0x10ffff)
    {
        appendXmlCharacter (text, c);
        return;
    }

    const auto lead = 0xf0u | ((c >> 18) & 0x0fu);
    const auto spelt = ((lead & 0x07u) << 18) | (c & 0x3ffffu);
    appendXmlCharacter (text, lead < 0xf8u && spelt >= 0x10000u ? spelt : 0xfffdu);
}
} // namespace

// A value as it is read: a view of the text while it is one plain piece,
// copied into the decoded values once an entity joins it.
struct ValueBuilder
{
    std::string* decoded = nullptr;
    const char* spanStart = nullptr;
    size_t spanLength = 0;
    size_t decodedStart = 0;
    bool isDecoded = false;

    void switchToDecoded()
    {
        if (isDecoded)
            return;

        isDecoded = true;
        decodedStart = decoded->size();
        decoded->append (spanStart != nullptr ? spanStart : "", spanLength);
    }

    void appendSpan (const char* start, const char* end)
    {
        if (! isDecoded && spanStart == nullptr)
        {
            spanStart = start;
            spanLength = (size_t) (end - start);
            return;
        }

        switchToDecoded();
        decoded->append (start, (size_t) (end - start));
    }

    void appendCharacter (char c)
    {
        switchToDecoded();
        *decoded += c;
    }

    void appendReference (std::uint32_t c)
    {
        switchToDecoded();
        appendReferencedCharacter (*decoded, c);
    }
};

// JUCE's XmlDocument, step for step, over the same characters
// (juce::CharPointer_UTF8); where only bytes of ASCII are looked for, the
// bytes are searched directly, which finds the same places in UTF-8.
class HostXmlTree::Parser
{
public:
    Parser (HostXmlTree& treeToFill, const std::string& textToParse)
        : tree (treeToFill),
          base (textToParse.c_str()),
          input (const_cast<char*> (textToParse.c_str()))
    {
    }

    bool run()
    {
        if (*bytes() == 0)
            return false;

        // The declaration.
        skipNextWhiteSpace();

        if (std::strncmp (bytes(), "<?xml", 5) == 0)
        {
            auto* headerEnd = std::strstr (bytes(), "?>");

            if (headerEnd == nullptr)
                return false;

            moveTo (headerEnd + 2);
            skipNextWhiteSpace();
        }

        // A document type declaration is refused before a text comes here.
        if (std::strncmp (bytes(), "<!DOCTYPE", 9) == 0)
            return false;

        const auto root = readNextElement (true);

        if (errorOccurred || unsupported)
            return false;

        tree.rootElement = root;
        return root != none;
    }

private:
    using Pointer = juce::CharPointer_UTF8;

    const char* bytes() const noexcept { return input.getAddress(); }
    void moveTo (const char* p) noexcept { input = Pointer (const_cast<char*> (p)); }
    std::uint32_t offsetOf (const char* p) const noexcept { return (std::uint32_t) (p - base); }

    // A fatal error stops the document; one JUCE carries on from clears it.
    void setLastError (bool carryOn) noexcept { errorOccurred = ! carryOn; }

    Char readNextChar() noexcept
    {
        const auto c = input.getAndAdvance();

        if (c == 0)
        {
            outOfData = true;
            --input;
        }

        return c;
    }

    void incrementToEndOfWhitespace() noexcept
    {
        const auto& white = asciiWhiteSpace();

        for (;;)
        {
            const auto byte = (unsigned char) *bytes();

            if (byte < 0x80)
            {
                if (! white[byte])
                    return;
            }
            else if (! input.isWhitespace())
            {
                return;
            }

            ++input;
        }
    }

    static Pointer findEndOfToken (Pointer p) noexcept
    {
        for (;;)
        {
            const auto byte = (unsigned char) *p.getAddress();

            if (byte < 0x80 ? ! isIdentifierChar (byte) : ! isIdentifierChar (*p))
                return p;

            ++p;
        }
    }

    void skipNextWhiteSpace()
    {
        for (;;)
        {
            incrementToEndOfWhitespace();
            auto* p = bytes();

            if (*p == 0)
            {
                outOfData = true;
                break;
            }

            if (*p == '<')
            {
                if (p[1] == '!' && p[2] == '-' && p[3] == '-')
                {
                    moveTo (p + 4);
                    auto* close = std::strstr (p + 4, "-->");

                    if (close == nullptr)
                    {
                        outOfData = true;
                        break;
                    }

                    moveTo (close + 3);
                    continue;
                }

                if (p[1] == '?')
                {
                    moveTo (p + 2);
                    auto* close = std::strstr (p + 2, "?>");

                    if (close == nullptr)
                    {
                        outOfData = true;
                        break;
                    }

                    moveTo (close + 2);
                    continue;
                }
            }

            break;
        }
    }

    // result is null for the value of an element that is not held.
    void readQuotedString (ValueBuilder* result)
    {
        const auto quote = readNextChar();

        while (! outOfData)
        {
            const auto c = readNextChar();

            if (c == quote)
                break;

            --input;

            if (c == '&')
            {
                readEntity (result);
            }
            else
            {
                // The quote and "&" are ASCII: found by their bytes.
                auto* start = bytes();
                auto* p = start;

                while (*p != 0 && (Char) (unsigned char) *p != quote && *p != '&')
                    ++p;

                moveTo (p);

                if (*p == 0)
                {
                    // JUCE drops the piece that the end of the text cut off.
                    setLastError (false);
                    outOfData = true;
                    continue;
                }

                if (result != nullptr)
                    result->appendSpan (start, p);

                if ((Char) (unsigned char) *p == quote)
                {
                    moveTo (p + 1);
                    return;
                }
            }
        }
    }

    // result is null where the entity's text is not kept (text content).
    void readEntity (ValueBuilder* result, std::string* textEntity = nullptr)
    {
        const auto add = [&] (char c)
        {
            if (result != nullptr)
                result->appendCharacter (c);

            if (textEntity != nullptr)
                *textEntity += c;
        };

        ++input;

        if (input.compareIgnoreCaseUpTo (juce::CharPointer_ASCII ("amp;"), 4) == 0)
        {
            input += 4;
            add ('&');
        }
        else if (input.compareIgnoreCaseUpTo (juce::CharPointer_ASCII ("quot;"), 5) == 0)
        {
            input += 5;
            add ('"');
        }
        else if (input.compareIgnoreCaseUpTo (juce::CharPointer_ASCII ("apos;"), 5) == 0)
        {
            input += 5;
            add ('\'');
        }
        else if (input.compareIgnoreCaseUpTo (juce::CharPointer_ASCII ("lt;"), 3) == 0)
        {
            input += 3;
            add ('<');
        }
        else if (input.compareIgnoreCaseUpTo (juce::CharPointer_ASCII ("gt;"), 3) == 0)
        {
            input += 3;
            add ('>');
        }
        else if (*input == '#')
        {
            std::int64_t charCode = 0;
            ++input;

            if (*input == 'x' || *input == 'X')
            {
                ++input;
                int numChars = 0;

                while (input[0] != ';')
                {
                    const auto hexValue = juce::CharacterFunctions::getHexDigitValue (input[0]);

                    if (hexValue < 0 || ++numChars > 8)
                    {
                        setLastError (true);
                        break;
                    }

                    charCode = (charCode << 4) | hexValue;
                    ++input;
                }

                ++input;
            }
            else if (input[0] >= '0' && input[0] <= '9')
            {
                int numChars = 0;

                for (;;)
                {
                    const auto firstChar = input[0];

                    if (firstChar == 0)
                    {
                        setLastError (true);
                        return;
                    }

                    if (firstChar == ';')
                        break;

                    if (++numChars > 12)
                    {
                        setLastError (true);
                        break;
                    }

                    charCode = charCode * 10 + ((int) firstChar - '0');
                    ++input;
                }

                ++input;
            }
            else
            {
                setLastError (true);
                add ('&');
                return;
            }

            // JUCE adds the character of the number's low 32 bits; a zero
            // adds nothing. Characters XML forbids become U+FFFD.
            const auto character = (std::uint32_t) (Char) charCode;

            if (character != 0)
            {
                if (result != nullptr)
                    result->appendReference (character);

                if (textEntity != nullptr)
                    appendReferencedCharacter (*textEntity, character);
            }
        }
        else
        {
            auto* nameStart = bytes();
            auto* semicolon = std::strchr (nameStart, ';');

            if (semicolon == nullptr)
            {
                outOfData = true;
                add ('&');
            }
            else
            {
                // Without a document type declaration every other entity is
                // unknown: JUCE notes that, carries on and keeps its name.
                moveTo (semicolon + 1);
                setLastError (true);

                if (result != nullptr)
                    result->appendSpan (nameStart, semicolon);

                if (textEntity != nullptr)
                    textEntity->append (nameStart, (size_t) (semicolon - nameStart));
            }
        }
    }

    Index readNextElement (bool alsoParseSubElements)
    {
        Index node = none;
        skipNextWhiteSpace();

        if (outOfData)
            return none;

        if (*bytes() != '<')
            return none;

        ++input;
        auto endOfToken = findEndOfToken (input);

        if (endOfToken == input)
        {
            // No tag name, but a gap after the "<" is allowed.
            skipNextWhiteSpace();
            endOfToken = findEndOfToken (input);

            if (endOfToken == input)
            {
                setLastError (false);
                return none;
            }
        }

        if (++depth > maxHostXmlDepth)
        {
            unsupported = true;
            return none;
        }

        // An element that is not held is read all the same, into a stand-in
        // that keeps nothing: its attributes, children and their values are
        // dropped, and so is the element itself when it ends.
        const auto tagView = std::string_view (bytes(), (size_t) (endOfToken.getAddress() - bytes()));
        const auto keep = keeping && (depth == 1 || tree.filter == nullptr || tree.filter (tagView));
        const auto wasKeeping = keeping;
        keeping = keep;
        node = keep ? (Index) tree.elements.size() : skipped;

        if (keep)
        {
            Element element;
            element.tagStart = offsetOf (bytes());
            element.tagLength = (std::uint32_t) tagView.size();
            element.firstAttribute = (std::uint32_t) tree.attributes.size();
            tree.elements.push_back (element);
        }

        const auto finish = [&]
        {
            keeping = wasKeeping;
            --depth;
            return node;
        };

        input = endOfToken;

        for (;;)
        {
            skipNextWhiteSpace();
            const auto c = *input;

            // An empty element.
            if (c == '/' && bytes()[1] == '>')
            {
                input += 2;
                break;
            }

            if (c == '>')
            {
                ++input;

                if (alsoParseSubElements)
                    readChildElements (node);

                break;
            }

            if (isIdentifierChar (c))
            {
                const auto nameEnd = findEndOfToken (input);

                if (nameEnd != input)
                {
                    const auto nameStart = input;
                    input = nameEnd;
                    skipNextWhiteSpace();

                    if (readNextChar() == '=')
                    {
                        skipNextWhiteSpace();
                        const auto nextChar = *input;

                        if (nextChar == '"' || nextChar == '\'')
                        {
                            if (! keep)
                            {
                                readQuotedString (nullptr);
                                continue;
                            }

                            ValueBuilder value;
                            value.decoded = &tree.decodedValues;
                            readQuotedString (&value);

                            Attribute attribute;
                            attribute.nameStart = offsetOf (nameStart.getAddress());
                            attribute.nameLength = (std::uint32_t) (nameEnd.getAddress() - nameStart.getAddress());

                            if (value.isDecoded)
                            {
                                attribute.decoded = true;
                                attribute.valueStart = (std::uint32_t) value.decodedStart;
                                attribute.valueLength = (std::uint32_t) (tree.decodedValues.size() - value.decodedStart);
                            }
                            else if (value.spanStart != nullptr)
                            {
                                attribute.valueStart = offsetOf (value.spanStart);
                                attribute.valueLength = (std::uint32_t) value.spanLength;
                            }

                            tree.attributes.push_back (attribute);
                            ++tree.elements[(size_t) node].numAttributes;
                            continue;
                        }
                    }
                    else
                    {
                        setLastError (false);
                        return finish();
                    }
                }
            }
            else if (! outOfData)
            {
                setLastError (false);
            }

            break;
        }

        return finish();
    }

    void readChildElements (Index parent)
    {
        Index last = none;

        for (;;)
        {
            const auto preWhitespaceInput = input;
            skipNextWhiteSpace();

            if (outOfData)
            {
                setLastError (false);
                break;
            }

            auto* p = bytes();

            if (*p == '<')
            {
                if (p[1] == '/')
                {
                    // The closing tag, whatever its name.
                    if (auto* close = std::strchr (p, '>'))
                        moveTo (close + 1);

                    break;
                }

                if (p[1] == '!' && std::strncmp (p + 2, "[CDATA[", 7) == 0)
                {
                    auto* close = std::strstr (p + 9, "]]>");

                    if (close == nullptr)
                    {
                        moveTo (p + 9 + std::strlen (p + 9));
                        setLastError (false);
                        outOfData = true;
                    }
                    else
                    {
                        moveTo (close + 3);
                    }
                }
                else
                {
                    const auto child = readNextElement (true);

                    if (child == none)
                        break;

                    if (child == skipped || parent == skipped)
                        continue;

                    if (last == none)
                        tree.elements[(size_t) parent].firstChild = child;
                    else
                        tree.elements[(size_t) last].nextSibling = child;

                    last = child;
                }
            }
            else if (! readText (preWhitespaceInput))
            {
                return;
            }
        }
    }

    // Steps over a block of text content; false where JUCE's parser
    // returns from the element.
    bool readText (Pointer start)
    {
        input = start;

        for (;;)
        {
            auto* p = bytes();

            if (*p == '<')
            {
                if (p[1] == '!' && p[2] == '-' && p[3] == '-')
                {
                    auto* close = std::strstr (p + 4, "-->");

                    if (close == nullptr)
                    {
                        moveTo (p + 4);
                        setLastError (false);
                        outOfData = true;
                        return false;
                    }

                    moveTo (close + 3);
                    continue;
                }

                return true;
            }

            if (*p == 0)
            {
                setLastError (false);
                outOfData = true;
                return false;
            }

            if (*p == '&')
            {
                std::string entity;
                readEntity (nullptr, &entity);

                // JUCE parses such an entity as XML of its own; the safety
                // check refuses every text that could hold one.
                if (entity.size() > 1 && entity[0] == '<')
                {
                    unsupported = true;
                    outOfData = true;
                    return false;
                }

                continue;
            }

            moveTo (p + std::strcspn (p, "<&"));
        }
    }

    HostXmlTree& tree;
    const char* base;
    Pointer input;
    bool outOfData = false;
    bool errorOccurred = false;
    bool unsupported = false;
    bool keeping = true;
    int depth = 0;

    // What readNextElement gives for an element that was read but not held.
    static constexpr Index skipped = -2;
};

bool HostXmlTree::parse (const std::string& textToParse, TagFilter keepElement)
{
    text = &textToParse;
    filter = keepElement;
    elements.clear();
    attributes.clear();
    decodedValues.clear();
    rootElement = none;

    // Offsets are 32-bit: far above the size limit of a host file.
    if (textToParse.size() >= (size_t) std::numeric_limits<std::uint32_t>::max())
        return false;

    elements.reserve (keepElement != nullptr ? textToParse.size() / 256 : textToParse.size() / 32);
    attributes.reserve (keepElement != nullptr ? textToParse.size() / 128 : textToParse.size() / 16);

    Parser parser (*this, textToParse);

    if (parser.run())
        return true;

    rootElement = none;
    return false;
}

std::string_view HostXmlTree::textView (std::uint32_t start, std::uint32_t length) const noexcept
{
    return { text->data() + start, length };
}

std::string_view HostXmlTree::tag (Index element) const noexcept
{
    const auto& e = elements[(size_t) element];
    return textView (e.tagStart, e.tagLength);
}

bool HostXmlTree::tagMatches (Index element, const char* tagToMatch) const
{
    return tagsMatch (tag (element), tagToMatch);
}

bool HostXmlTree::tagsMatch (std::string_view name, const char* tagToMatch)
{
    bool decided = false;
    const auto matches = asciiTagsMatch (reinterpret_cast<const unsigned char*> (name.data()), name.size(),
                                         reinterpret_cast<const unsigned char*> (tagToMatch), decided);

    if (decided)
        return matches;

    // Beyond ASCII, JUCE's own comparison, as for a juce::XmlElement.
    return juce::String::fromUTF8 (name.data(), (int) name.size()).equalsIgnoreCase (juce::String::fromUTF8 (tagToMatch));
}

HostXmlTree::Index HostXmlTree::findChild (Index element, const char* tagToMatch) const
{
    for (auto child = firstChild (element); child != none; child = nextSibling (child))
        if (tagMatches (child, tagToMatch))
            return child;

    return none;
}

bool HostXmlTree::attribute (Index element, std::string_view name, std::string_view& value) const
{
    const auto& e = elements[(size_t) element];

    for (auto i = e.firstAttribute; i < e.firstAttribute + e.numAttributes; ++i)
    {
        const auto& a = attributes[i];

        if (textView (a.nameStart, a.nameLength) == name)
        {
            value = a.decoded ? std::string_view (decodedValues.data() + a.valueStart, a.valueLength)
                              : textView (a.valueStart, a.valueLength);
            return true;
        }
    }

    return false;
}
} // namespace corvadine
