#include "model/DocumentFormat.h"

#include "host/HostNumbers.h"
#include "model/Ids.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <algorithm>

namespace corvadine
{
namespace
{
// JUCE's own integer parsing negates the smallest value of the type (undefined
// behaviour) and wraps on overflow, so every number read from a file goes
// through leadingInteger instead; the results agree for every value in range.
juce::int64 toInt64 (const juce::var& value) noexcept
{
    if (value.isString())
        return leadingInteger (value.toString());

    if (value.isDouble())
    {
        const auto d = static_cast<double> (value);

        if (! std::isfinite (d))
            return 0;

        // The limits as doubles: 2^63 exactly, so the casts below stay defined.
        constexpr auto limit = 9223372036854775808.0;

        if (d >= limit)
            return std::numeric_limits<juce::int64>::max();

        if (d <= -limit)
            return std::numeric_limits<juce::int64>::min();

        return static_cast<juce::int64> (d);
    }

    return static_cast<juce::int64> (value);
}

int saturateToInt (juce::int64 value) noexcept
{
    return static_cast<int> (juce::jlimit<juce::int64> (std::numeric_limits<int>::min(),
                                                        std::numeric_limits<int>::max(),
                                                        value));
}

// Far beyond any picture's size or place on the stage, and small enough that
// a position plus a size never overflows an int.
constexpr juce::int64 maxBoundsNumber = 1 << 28;

int hexDigitValue (juce::juce_wchar c) noexcept
{
    if (c >= '0' && c <= '9') return static_cast<int> (c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int> (c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int> (c - 'A' + 10);
    return -1;
}

// JUCE's trimming of a number's text: trailing zeros of the fraction (one
// zero stays after the point) and a zero exponent or leading zeros of one.
juce::String reduceLengthOfNumber (const char* start, const char* end)
{
    auto trimStart = end;
    auto trimEnd = trimStart;
    auto exponentTrimStart = end;
    auto exponentTrimEnd = exponentTrimStart;
    char currentChar = '\0';

    for (auto c = end - 1; c > start; --c)
    {
        currentChar = *c;

        if (currentChar == '0' && c + 1 == trimStart)
        {
            --trimStart;
        }
        else if (currentChar == '.')
        {
            if (trimStart == c + 1 && trimStart != end && *trimStart == '0')
                ++trimStart;

            break;
        }
        else if (currentChar == 'e' || currentChar == 'E')
        {
            auto cNext = c + 1;

            if (cNext != end)
            {
                if (*cNext == '-')
                    ++cNext;

                exponentTrimStart = cNext;

                if (cNext != end && *cNext == '+')
                    ++cNext;

                exponentTrimEnd = cNext;
            }

            while (cNext != end && *cNext++ == '0')
                exponentTrimEnd = cNext;

            if (exponentTrimEnd == end)
                exponentTrimStart = c;

            trimStart = c;
            trimEnd = trimStart;
        }
    }

    if (! ((trimStart != trimEnd && currentChar == '.') || exponentTrimStart != exponentTrimEnd))
        return juce::String (start, static_cast<size_t> (end - start));

    // The kept pieces, in order; the text is at most 64 characters.
    char text[64];
    auto* out = text;
    const auto keep = [&out] (const char* from, const char* to) { out = std::copy (from, to, out); };

    if (trimStart == trimEnd)
    {
        keep (start, exponentTrimStart);
        keep (exponentTrimEnd, end);
    }
    else if (exponentTrimStart == exponentTrimEnd)
    {
        keep (start, trimStart);
        keep (trimEnd, end);
    }
    else if (trimEnd == exponentTrimStart)
    {
        keep (start, trimStart);
        keep (exponentTrimEnd, end);
    }
    else
    {
        keep (start, trimStart);
        keep (trimEnd, exponentTrimStart);
        keep (exponentTrimEnd, end);
    }

    return juce::String (text, static_cast<size_t> (out - text));
}

// The element of one node with its properties and, in order, its children:
// the tree's own XML form, with doubles written by doubleToDocumentText and
// every double that is not finite as 0.
std::unique_ptr<juce::XmlElement> nodeToXml (const juce::ValueTree& tree)
{
    auto xml = std::make_unique<juce::XmlElement> (tree.getType());

    for (int i = 0; i < tree.getNumProperties(); ++i)
    {
        const auto name = tree.getPropertyName (i);
        const auto& value = tree.getProperty (name);

        if (auto* data = value.getBinaryData())
            xml->setAttribute ("base64:" + name.toString(), data->toBase64Encoding());
        else if (value.isDouble())
            xml->setAttribute (name, doubleToDocumentText (finiteOr (static_cast<double> (value))));
        else
            xml->setAttribute (name, value.toString());
    }

    // Prepending in reverse order, as JUCE does: each prepend is immediate.
    for (auto i = tree.getNumChildren(); --i >= 0;)
        xml->prependChildElement (nodeToXml (tree.getChild (i)).release());

    return xml;
}
} // namespace

//==============================================================================
juce::ValueTree writePointsTree (const juce::String& name, const juce::Array<juce::Point<float>>& points)
{
    juce::ValueTree tree { ids::points };
    tree.setProperty (ids::name, name, nullptr);

    for (const auto& p : points)
    {
        juce::ValueTree point { ids::point };
        point.setProperty (ids::x, finiteOr (static_cast<double> (p.x)), nullptr);
        point.setProperty (ids::y, finiteOr (static_cast<double> (p.y)), nullptr);
        tree.appendChild (point, nullptr);
    }

    return tree;
}

double finiteOr (double value, double fallback) noexcept
{
    return std::isfinite (value) ? value : fallback;
}

juce::String uuidToText (const juce::Uuid& uuid)
{
    return juce::String::toHexString (uuid.getRawData(), 16, 0).toLowerCase();
}

juce::String doubleToDocumentText (double value)
{
    // juce::var writes a double through a freshly built stream per number,
    // which was half of a deferred save; to_chars gives the same digits as
    // the stream (printf's) for the same precision, and the trimming follows.
    if (! std::isfinite (value))
        return juce::var (value).toString();

    char text[64];
    const auto absValue = std::abs (value);

    if (absValue >= 1.0e6 || absValue <= 1.0e-5)
    {
        const auto end = std::to_chars (text, text + sizeof (text), value, std::chars_format::scientific, 15).ptr;
        return reduceLengthOfNumber (text, end);
    }

    if (static_cast<double> (static_cast<int> (value)) == value)
    {
        const auto end = std::to_chars (text, text + sizeof (text), value, std::chars_format::fixed, 1).ptr;
        return juce::String (text, static_cast<size_t> (end - text));
    }

    const auto decimals = [absValue]
    {
        if (absValue < 1.0)
        {
            if (absValue >= 1.0e-3)
            {
                if (absValue >= 1.0e-1) return 16;
                if (absValue >= 1.0e-2) return 17;
                return 18;
            }

            if (absValue >= 1.0e-4) return 19;
            return 20;
        }

        if (absValue < 1.0e3)
        {
            if (absValue < 1.0e1) return 15;
            if (absValue < 1.0e2) return 14;
            return 13;
        }

        if (absValue < 1.0e4) return 12;
        if (absValue < 1.0e5) return 11;
        return 10;
    }();

    const auto end = std::to_chars (text, text + sizeof (text), value, std::chars_format::fixed, decimals).ptr;
    return reduceLengthOfNumber (text, end);
}

std::unique_ptr<juce::XmlElement> documentToXml (const juce::ValueTree& document)
{
    if (! document.isValid())
        return {};

    return nodeToXml (document);
}

juce::XmlElement::TextFormat documentTextFormat()
{
    juce::XmlElement::TextFormat format;
    format.dtd = {};
    format.customHeader = {};
    format.customEncoding = {};
    format.addDefaultHeader = true;
    format.lineWrapLength = 60;
    format.newLineChars = "\r\n";
    return format;
}

//==============================================================================
int readInt (const juce::ValueTree& tree, const juce::Identifier& property)
{
    return saturateToInt (toInt64 (tree[property]));
}

juce::int64 readInt64 (const juce::ValueTree& tree, const juce::Identifier& property)
{
    return toInt64 (tree[property]);
}

bool readBool (const juce::ValueTree& tree, const juce::Identifier& property)
{
    const auto& value = tree[property];

    if (! value.isString())
        return static_cast<bool> (value);

    // As juce::var reads a bool from text.
    const auto text = value.toString().trim();
    return leadingInteger (text) != 0 || text.equalsIgnoreCase ("true") || text.equalsIgnoreCase ("yes");
}

juce::String readString (const juce::ValueTree& tree, const juce::Identifier& property)
{
    return tree[property].toString();
}

double readDouble (const juce::ValueTree& tree, const juce::Identifier& property)
{
    const auto& value = tree[property];

    // juce::var reads a string with JUCE's reader, which overflows on long exponents.
    if (value.isString())
        return finiteOr (readHostDouble (value.toString()));

    return finiteOr (static_cast<double> (value));
}

juce::File readFile (const juce::ValueTree& tree, const juce::Identifier& property)
{
    const auto text = readString (tree, property);

    // juce::File takes only absolute paths; anything else names no file.
    if (text.isEmpty() || ! juce::File::isAbsolutePath (text))
        return {};

    return juce::File (text);
}

juce::Rectangle<int> readBounds (const juce::ValueTree& tree, const juce::Identifier& property)
{
    const auto text = readString (tree, property);

    // The same tokens as juce::Rectangle<int>::fromString: every single
    // separator character ends a token, so ", " leaves an empty one between.
    juce::StringArray tokens;
    tokens.addTokens (text.trimStart(), ",; \t\r\n", "");

    // The loader gives these bounds to the guide's component, whose right and
    // bottom edges are x + width and y + height: numbers beyond any picture
    // (a damaged or hand-edited file) are held where those sums still fit.
    const auto number = [&tokens] (int i, juce::int64 least)
    {
        return (int) juce::jlimit (least, maxBoundsNumber, leadingInteger (tokens[i]));
    };

    return { number (0, -maxBoundsNumber), number (1, -maxBoundsNumber), number (2, 0), number (3, 0) };
}

juce::Uuid readUuid (const juce::ValueTree& tree, const juce::Identifier& property)
{
    return uuidFromText (readString (tree, property));
}

juce::Uuid uuidFromText (const juce::String& text)
{
    juce::uint8 bytes[16] = {};
    size_t count = 0;
    int high = -1;

    for (auto p = text.getCharPointer(); ! p.isEmpty() && count < sizeof (bytes);)
    {
        const auto digit = hexDigitValue (p.getAndAdvance());

        if (digit < 0)
            continue;

        if (high < 0)
        {
            high = digit;
        }
        else
        {
            bytes[count++] = static_cast<juce::uint8> ((high << 4) | digit);
            high = -1;
        }
    }

    return juce::Uuid (bytes);
}

juce::Array<juce::int64> readExcludedIds (const juce::ValueTree& focal)
{
    juce::Array<juce::int64> result;

    for (const auto& entry : focal.getChildWithName (ids::excluded))
        result.addIfNotAlreadyThere (readInt64 (entry, ids::uniqueId));

    return result;
}

juce::int64 leadingInteger (const juce::String& text, bool allowPlus) noexcept
{
    auto p = text.getCharPointer().findEndOfWhitespace();
    bool negative = false;

    if (*p == '-')
    {
        negative = true;
        ++p;
    }
    else if (allowPlus && *p == '+')
    {
        ++p;
    }

    // Accumulated as a negative number, whose range is the larger one.
    constexpr auto minimum = std::numeric_limits<juce::int64>::min();
    juce::int64 value = 0;
    bool saturated = false;

    for (; *p >= '0' && *p <= '9'; ++p)
    {
        const auto digit = static_cast<juce::int64> (*p - '0');

        if (value < (minimum + digit) / 10)
            saturated = true;
        else if (! saturated)
            value = value * 10 - digit;
    }

    if (saturated)
        return negative ? minimum : std::numeric_limits<juce::int64>::max();

    if (negative)
        return value;

    return value == minimum ? std::numeric_limits<juce::int64>::max() : -value;
}

//==============================================================================
juce::String documentVersion (const juce::XmlElement& root)
{
    return root.getStringAttribute (ids::version, "1.0.0");
}

bool hasDocumentRoot (const juce::XmlElement& root)
{
    return root.getTagName() == ids::Corvadine.toString();
}
} // namespace corvadine
