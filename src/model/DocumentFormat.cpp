#include "model/DocumentFormat.h"

#include "host/HostNumbers.h"
#include "model/Ids.h"

#include <cmath>
#include <limits>

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

int hexDigitValue (juce::juce_wchar c) noexcept
{
    if (c >= '0' && c <= '9') return static_cast<int> (c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int> (c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int> (c - 'A' + 10);
    return -1;
}

// Walks the tree and its XML form side by side (createXml keeps the order of
// children) and replaces the text of every double that is not finite.
void replaceNonFiniteDoubles (const juce::ValueTree& tree, juce::XmlElement& xml)
{
    for (int i = 0; i < tree.getNumProperties(); ++i)
    {
        const auto name = tree.getPropertyName (i);
        const auto& value = tree.getProperty (name);

        if (value.isDouble() && ! std::isfinite (static_cast<double> (value)))
            xml.setAttribute (name, juce::var (0.0).toString());
    }

    int index = 0;

    for (auto* child : xml.getChildIterator())
    {
        if (index >= tree.getNumChildren())
            break;

        replaceNonFiniteDoubles (tree.getChild (index++), *child);
    }
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

std::unique_ptr<juce::XmlElement> documentToXml (const juce::ValueTree& document)
{
    auto xml = document.createXml();

    if (xml != nullptr)
        replaceNonFiniteDoubles (document, *xml);

    return xml;
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

    const auto number = [&tokens] (int i) { return saturateToInt (leadingInteger (tokens[i])); };

    return { number (0), number (1), juce::jmax (0, number (2)), juce::jmax (0, number (3)) };
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
