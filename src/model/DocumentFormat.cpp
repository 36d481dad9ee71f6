#include "model/DocumentFormat.h"

#include "host/HostNumbers.h"
#include "model/Ids.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <random>
#include <cstring>
#include <cmath>
#include <limits>
#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
// The text is trimmed where it stands; returns its new end.
char* reduceLengthOfNumber (char* start, char* end)
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
        return end;

    // The kept pieces, in order, moved down over the cut ones.
    auto* out = start;
    const auto keep = [&out] (const char* from, const char* to) { out = std::copy (from, to, out); };

    if (trimStart == trimEnd)
    {
        out = exponentTrimStart;
        keep (exponentTrimEnd, end);
    }
    else if (exponentTrimStart == exponentTrimEnd)
    {
        out = trimStart;
        keep (trimEnd, end);
    }
    else if (trimEnd == exponentTrimStart)
    {
        out = trimStart;
        keep (exponentTrimEnd, end);
    }
    else
    {
        out = trimStart;
        keep (trimEnd, exponentTrimStart);
        keep (exponentTrimEnd, end);
    }

    return out;
}

constexpr int maxDoubleTextLength = 64;

// Writes the number's decimal digits; returns the end of the text.
char* writeDigits (char* text, std::uint64_t number)
{
    return std::to_chars (text, text + 24, number).ptr;
}

constexpr std::uint64_t powersOfTen[] = {
    1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull,
    100000000ull, 1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull,
    10000000000000ull, 100000000000000ull, 1000000000000000ull, 10000000000000000ull,
    100000000000000000ull, 1000000000000000000ull, 10000000000000000000ull
};

// A normal, non-zero double as mantissa * 2^-shift, the mantissa's 53 bits
// with the implicit leading 1.
struct BinaryValue
{
    std::uint64_t mantissa;
    int shift;
};

BinaryValue binaryValueOf (double value)
{
    std::uint64_t bits = 0;
    std::memcpy (&bits, &value, sizeof (bits));
    return { (bits & ((std::uint64_t { 1 } << 52) - 1)) | (std::uint64_t { 1 } << 52),
             1075 - static_cast<int> ((bits >> 52) & 0x7ff) };
}

// |value| * 10^decimals rounded to a whole number as printf rounds it: the
// product m * 10^decimals / 2^shift is worked out in 128 bits with its
// remainder, so the rounding is exact and ties go to the even number. The
// caller keeps m * 10^decimals below 2^128, the shift between 1 and 127 and
// the result below 2^64.
std::uint64_t roundedScaled (BinaryValue v, int decimals)
{
    using Wide = unsigned __int128;
    const auto scale = decimals < 20 ? static_cast<Wide> (powersOfTen[decimals])
                                     : static_cast<Wide> (powersOfTen[19]) * 10u;
    const auto product = static_cast<Wide> (v.mantissa) * scale;
    auto scaled = static_cast<std::uint64_t> (product >> v.shift);
    const auto remainder = product & ((static_cast<Wide> (1) << v.shift) - 1);
    const auto half = static_cast<Wide> (1) << (v.shift - 1);

    if (remainder > half || (remainder == half && (scaled & 1) != 0))
        ++scaled;

    return scaled;
}

// The number scaled / 10^decimals in fixed notation, with its sign; returns
// the end. The fraction keeps all its digits.
char* writeScaled (char* out, bool negative, std::uint64_t scaled, int decimals)
{
    const auto divisor = decimals < 20 ? powersOfTen[decimals] : 0;
    const auto whole = divisor != 0 ? scaled / divisor : 0;
    auto rest = divisor != 0 ? scaled % divisor : scaled;

    if (negative)
        *out++ = '-';

    out = writeDigits (out, whole);

    if (decimals == 0)
        return out;

    *out++ = '.';

    for (auto i = decimals; --i >= 0;)
    {
        out[i] = static_cast<char> ('0' + rest % 10);
        rest /= 10;
    }

    return out + decimals;
}

// printf's "%.*f" of a double with 1e-5 < |value| < 1e6 and at most 20
// decimals, trailing zeros of the fraction trimmed (one stays after the
// point). |value| * 10^decimals stays below 10^16 for the decimals used here.
char* formatFixed (double value, int decimals, char* text)
{
    auto* out = writeScaled (text, value < 0, roundedScaled (binaryValueOf (value), decimals), decimals);

    while (out[-1] == '0' && out[-2] != '.')
        --out;

    return out;
}

// The text of a finite double as juce::var gives it: printf's text at 16
// significant digits, fixed from 1e-5 up to 1e6 and scientific outside,
// trimmed. juce::var writes a double through a freshly built stream per
// number, which was half of a deferred save; here the common fixed case is
// worked out in integers and only the rest goes through to_chars. Returns
// the end of the text.
char* formatDocumentDouble (double value, char* text)
{
    auto* const limit = text + maxDoubleTextLength;
    const auto absValue = std::abs (value);

    if (absValue >= 1.0e6 || absValue <= 1.0e-5)
    {
        const auto end = std::to_chars (text, limit, value, std::chars_format::scientific, 15).ptr;
        return reduceLengthOfNumber (text, end);
    }

    if (static_cast<double> (static_cast<int> (value)) == value)
    {
        auto* out = std::to_chars (text, limit, static_cast<int> (value)).ptr;
        *out++ = '.';
        *out++ = '0';
        return out;
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

    return formatFixed (value, decimals, text);
}

// The characters JUCE's XML writer copies as they are; every other one is
// written as an entity.
constexpr bool isPlainXmlChar (juce::juce_wchar c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || c == ' ' || c == '.' || c == ',' || c == ';' || c == ':' || c == '-' || c == '('
        || c == ')' || c == '_' || c == '+' || c == '=' || c == '?' || c == '!' || c == '$'
        || c == '#' || c == '@' || c == '[' || c == ']' || c == '/' || c == '|' || c == '*'
        || c == '%' || c == '~' || c == '{' || c == '}' || c == '\'' || c == '\\';
}

// Whether two properties of the node would be written under one attribute
// name: two of the same name (JUCE's XML reader keeps repeated attributes),
// or a binary one, written as "base64:" and its name, beside a property of
// that name.
bool hasRepeatedAttributeNames (const DocumentSnapshot::Property* properties, int count)
{
    if (count < 2)
        return false;

    // Identifiers are pooled: equal names share their text. A few names
    // are compared pairwise, more of them sorted.
    constexpr int few = 8;
    const char* fewNames[few];
    std::vector<const char*> manyNames;

    if (count > few)
        manyNames.resize (static_cast<size_t> (count));

    auto* names = count > few ? manyNames.data() : fewNames;

    for (int i = 0; i < count; ++i)
        names[i] = properties[i].name.getCharPointer().getAddress();

    if (count > few)
    {
        std::sort (manyNames.begin(), manyNames.end());

        if (std::adjacent_find (manyNames.begin(), manyNames.end()) != manyNames.end())
            return true;
    }
    else
    {
        for (int i = 1; i < count; ++i)
            for (int j = 0; j < i; ++j)
                if (names[i] == names[j])
                    return true;
    }

    for (int i = 0; i < count; ++i)
    {
        if (properties[i].value.getBinaryData() == nullptr)
            continue;

        const auto encodedName = "base64:" + properties[i].name.toString();

        for (int j = 0; j < count; ++j)
            if (properties[j].name.toString() == encodedName)
                return true;
    }

    return false;
}

// Writes a value tree as the text JUCE's createXml and XmlElement::writeTo
// give it, byte for byte, without building the XmlElement tree or writing
// through a stream a byte at a time: the same indentation, attribute wrapping
// and escaping. The text grows in one buffer, written through a cursor.
class DocumentTextWriter
{
public:
    // Where the writing stands in a snapshot's lists.
    struct Cursor
    {
        size_t node = 0, property = 0;
    };

    DocumentTextWriter (juce::OutputStream& destination, const juce::XmlElement::TextFormat& format)
        : stream (destination),
          lineWrapLength (format.lineWrapLength),
          newLine (format.newLineChars),
          newLineLength (std::strlen (format.newLineChars))
    {
        // Only the layout every file of the application is written in.
        jassert (format.newLineChars != nullptr && format.addDefaultHeader
                 && format.dtd.isEmpty() && format.customHeader.isEmpty());

        put ("<?xml version=\"1.0\" encoding=\"");
        const auto encoding = format.customEncoding.isNotEmpty() ? format.customEncoding : juce::String ("UTF-8");
        put (encoding.toRawUTF8(), encoding.getNumBytesAsUTF8());
        put ("\"?>");
        putNewLine();
        putNewLine();
    }

    // Writes the snapshot's node at the cursor with everything below it,
    // moving the cursor past them.
    void writeElement (const DocumentSnapshot& snapshot, Cursor& cursor, int indentation)
    {
        const auto& node = snapshot.nodes[cursor.node++];
        const auto* properties = snapshot.properties.data() + cursor.property;
        cursor.property += static_cast<size_t> (node.numProperties);

        const auto tag = nameOf (node.type);
        putSpaces (indentation);
        put ("<");
        put (tag.text(), tag.bytes);

        const auto attributeIndentation = indentation + tag.characters + 1;
        int lineLength = 0;

        const auto nextAttribute = [&]
        {
            if (lineLength > lineWrapLength)
            {
                putNewLine();
                putSpaces (attributeIndentation);
                lineLength = 0;
            }
        };

        if (hasRepeatedAttributeNames (properties, node.numProperties))
        {
            // Only a damaged or hand-edited file gives a node two properties
            // of one name: written as JUCE writes such a node, through its
            // own XML element, which keeps one attribute per name (in the
            // first one's place, with the last one's value).
            auto xml = std::make_unique<juce::XmlElement> (node.type);

            for (int i = 0; i < node.numProperties; ++i)
            {
                const auto& value = properties[i].value;

                if (auto* data = value.getBinaryData())
                    xml->setAttribute ("base64:" + properties[i].name.toString(), data->toBase64Encoding());
                else if (value.isDouble())
                    xml->setAttribute (properties[i].name, juce::var (finiteOr (static_cast<double> (value))).toString());
                else
                    xml->setAttribute (properties[i].name, value.toString());
            }

            for (int i = 0; i < xml->getNumAttributes(); ++i)
            {
                nextAttribute();
                const auto start = position();
                const auto name = withAllowedXmlCharacters (xml->getAttributeName (i));
                put (" ");
                put (name.toRawUTF8(), name.getNumBytesAsUTF8());
                put ("=\"");
                writeEscaped (xml->getAttributeValue (i));
                put ("\"");
                lineLength += static_cast<int> (position() - start);
            }
        }
        else
        {
            for (int i = 0; i < node.numProperties; ++i)
            {
                nextAttribute();
                const auto start = position();
                writeAttribute (properties[i].name, properties[i].value);
                lineLength += static_cast<int> (position() - start);
            }
        }

        if (node.numChildren == 0)
        {
            put ("/>");
            return;
        }

        put (">");

        for (int i = 0; i < node.numChildren; ++i)
        {
            putNewLine();
            writeElement (snapshot, cursor, indentation + 2);
        }

        putNewLine();
        putSpaces (indentation);
        put ("</");
        put (tag.text(), tag.bytes);
        put (">");
    }

    // Hands the rest of the text to the stream; false when the stream failed.
    bool finish()
    {
        putNewLine();
        return flush();
    }

private:
    static constexpr size_t blockSize = 1 << 16;

    struct Name
    {
        const char* raw;
        size_t bytes;
        int characters;
        // The name with the characters XML forbids replaced, when it held any.
        std::string cleaned;

        const char* text() const { return cleaned.empty() ? raw : cleaned.data(); }
    };

    // A type or property name as it goes into the text. Identifiers are
    // pooled UTF-8 strings; nearly all are printable ASCII, where bytes and
    // characters agree and nothing needs replacing.
    static Name nameOf (const juce::Identifier& identifier)
    {
        const auto* raw = identifier.getCharPointer().getAddress();
        const auto bytes = std::strlen (raw);
        const auto printableAscii = std::all_of (raw, raw + bytes, [] (char c)
        {
            const auto byte = static_cast<unsigned char> (c);
            return byte >= 0x20 && byte < 0x80;
        });

        if (printableAscii)
            return { raw, bytes, static_cast<int> (bytes), {} };

        const auto name = identifier.toString();
        const auto allowed = withAllowedXmlCharacters (name);
        Name result { raw, bytes, name.length(), {} };

        if (allowed != name)
        {
            result.cleaned.assign (allowed.toRawUTF8(), allowed.getNumBytesAsUTF8());
            result.bytes = result.cleaned.size();
        }

        return result;
    }

    // Bytes written so far, those already handed to the stream included: an
    // attribute's length is measured on it, since the block may be handed
    // over in the middle of the attribute.
    size_t position() const noexcept { return flushed + used; }

    bool flush()
    {
        const auto written = used == 0 || stream.write (text.data(), used);
        flushed += used;
        used = 0;
        failed = failed || ! written;
        return ! failed;
    }

    // Room for at least that many more bytes; returns where they go. The text
    // goes to the stream in blocks, so a large document takes no more memory
    // than one block.
    char* reserve (size_t numBytes)
    {
        if (used + numBytes > text.size())
        {
            flush();

            if (numBytes > text.size())
                text.resize (numBytes);
        }

        return text.data() + used;
    }

    void advanceTo (const char* end) { used = static_cast<size_t> (end - text.data()); }

    void put (const char* bytes, size_t numBytes)
    {
        std::memcpy (reserve (numBytes), bytes, numBytes);
        used += numBytes;
    }

    template <size_t size>
    void put (const char (&literal)[size]) { put (literal, size - 1); }

    void putNewLine() { put (newLine, newLineLength); }

    void putSpaces (int count)
    {
        if (count <= 0)
            return;

        std::memset (reserve (static_cast<size_t> (count)), ' ', static_cast<size_t> (count));
        used += static_cast<size_t> (count);
    }

    void writeAttribute (const juce::Identifier& identifier, const juce::var& value)
    {
        const auto name = nameOf (identifier);
        put (" ");

        if (auto* data = value.getBinaryData())
        {
            put ("base64:");
            put (name.text(), name.bytes);
            put ("=\"");
            writeEscaped (data->toBase64Encoding());
            put ("\"");
            return;
        }

        put (name.text(), name.bytes);
        put ("=\"");

        if (value.isDouble())
        {
            advanceTo (formatDocumentDouble (finiteOr (static_cast<double> (value)), reserve (maxDoubleTextLength)));
        }
        else if (value.isInt() || value.isInt64())
        {
            auto* out = reserve (24);
            advanceTo (std::to_chars (out, out + 24, static_cast<juce::int64> (value)).ptr);
        }
        else if (value.isBool())
        {
            put (static_cast<bool> (value) ? "1" : "0");
        }
        else
        {
            writeEscaped (value.toString());
        }

        put ("\"");
    }

    // As JUCE escapes attribute text: line ends too, and everything beyond
    // the plain ASCII characters as a numbered entity. A character that XML
    // forbids (a control character, a lone surrogate, U+FFFE, U+FFFF or
    // anything beyond U+10FFFF) would make the whole file unreadable to a
    // conforming reader such as the plug-ins': it is written as U+FFFD, so
    // the user still sees where it was.
    void writeEscaped (const juce::String& string)
    {
        // The longest text a character can become: "&#1114111;".
        constexpr size_t longestEntity = 10;
        auto* out = reserve (string.getNumBytesAsUTF8() + longestEntity);
        auto* limit = text.data() + text.size();

        for (auto p = string.getCharPointer();;)
        {
            const auto c = p.getAndAdvance();

            if (c == 0)
                break;

            if (static_cast<size_t> (limit - out) < longestEntity)
            {
                advanceTo (out);
                out = reserve (4096);
                limit = text.data() + text.size();
            }

            if (isPlainXmlChar (c))
            {
                *out++ = static_cast<char> (c);
                continue;
            }

            const auto entity = [&out] (const char* replacement, size_t length)
            {
                out = std::copy (replacement, replacement + length, out);
            };

            switch (c)
            {
                case '&': entity ("&amp;", 5); break;
                case '"': entity ("&quot;", 6); break;
                case '>': entity ("&gt;", 4); break;
                case '<': entity ("&lt;", 4); break;
                default:
                    *out++ = '&';
                    *out++ = '#';
                    out = std::to_chars (out, out + 8, isAllowedXmlCharacter (c) ? static_cast<int> (c) : replacementCharacter).ptr;
                    *out++ = ';';
                    break;
            }
        }

        advanceTo (out);
    }

    juce::OutputStream& stream;
    std::vector<char> text = std::vector<char> (blockSize);
    size_t used = 0, flushed = 0;
    bool failed = false;
    const int lineWrapLength;
    const char* const newLine;
    const size_t newLineLength;
};

constexpr int temporaryNameDigits = 12;

// A fresh hidden name beside the file: ".<name>.<12 hex digits>.tmp". Hidden,
// so no file chooser offers it as a document; the ".tmp" end, so nothing
// takes it for one.
juce::String temporaryFileName (const juce::String& fileName)
{
    thread_local std::mt19937_64 generator { std::random_device{}() ^ static_cast<std::uint64_t> (::getpid()) };
    const auto random = generator() & ((std::uint64_t { 1 } << (4 * temporaryNameDigits)) - 1);
    return "." + fileName + "." + juce::String::toHexString (static_cast<juce::int64> (random)).paddedLeft ('0', temporaryNameDigits) + ".tmp";
}

// The file a path finally names: symbolic links followed (relative ones from
// the link's folder), at most 40 of them as the system allows.
juce::File linkTarget (const juce::File& file)
{
    auto current = file;

    for (int i = 0; i < 40; ++i)
    {
        char buffer[4096];
        const auto length = ::readlink (current.getFullPathName().toRawUTF8(), buffer, sizeof (buffer) - 1);

        if (length < 0)
            break;

        const auto target = juce::String::fromUTF8 (buffer, static_cast<int> (length));
        current = juce::File::isAbsolutePath (target) ? juce::File (target)
                                                      : current.getParentDirectory().getChildFile (target);
    }

    return current;
}

// An output stream into an open file descriptor that records the system's
// reason for the first failed write.
class DescriptorOutputStream final : public juce::OutputStream
{
public:
    explicit DescriptorOutputStream (int fileDescriptor) : descriptor (fileDescriptor) {}

    void flush() override {}
    bool setPosition (juce::int64) override { return false; }
    juce::int64 getPosition() override { return position; }

    bool write (const void* data, size_t numBytes) override
    {
        if (error != 0)
            return false;

        auto* bytes = static_cast<const char*> (data);

        while (numBytes > 0)
        {
            const auto written = ::write (descriptor, bytes, numBytes);

            if (written < 0)
            {
                if (errno == EINTR)
                    continue;

                error = errno;
                return false;
            }

            bytes += written;
            numBytes -= static_cast<size_t> (written);
            position += written;
        }

        return true;
    }

    int error = 0;

private:
    int descriptor;
    juce::int64 position = 0;
};
} // namespace

//==============================================================================
juce::ValueTree writePointsTree (const juce::String& name, const juce::Array<juce::Point<float>>& points)
{
    juce::ValueTree tree { ids::points };
    tree.setProperty (ids::name, name, nullptr);

    // Each point is made with both coordinates at once: set one by one, every
    // property looks for an earlier one of its name and announces its change.
    for (const auto& p : points)
        tree.appendChild (juce::ValueTree (ids::point, { { ids::x, finiteOr (static_cast<double> (p.x)) },
                                                         { ids::y, finiteOr (static_cast<double> (p.y)) } }),
                          nullptr);

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
    if (! std::isfinite (value))
        return juce::var (value).toString();

    char text[maxDoubleTextLength];
    return juce::String (text, static_cast<size_t> (formatDocumentDouble (value, text) - text));
}

bool writeDocumentText (const juce::ValueTree& document, juce::OutputStream& stream)
{
    return writeDocumentText (DocumentSnapshot (document), stream);
}

bool writeDocumentText (const DocumentSnapshot& document, juce::OutputStream& stream)
{
    if (! document.isValid())
        return false;

    DocumentTextWriter writer (stream, documentTextFormat());
    DocumentTextWriter::Cursor cursor;
    writer.writeElement (document, cursor, 0);
    return writer.finish();
}

char* writeSixSignificantDigits (double value, char* text)
{
    // The fixed form covers exponents -4 to 5, where the scaled value stays
    // far inside the exact range; zeros, the scientific form and anything
    // not finite or not normal go through to_chars.
    const auto absValue = std::abs (value);

    if (std::isnormal (value) && absValue >= 5.0e-5 && absValue < 1.0e6)
    {
        const auto v = binaryValueOf (value);

        // The decimal exponent, from the binary one; off by one at most,
        // which the digits count then mends.
        auto exponent = static_cast<int> (std::floor ((52 - v.shift) * 0.30102999566398120));

        for (int attempt = 0; attempt < 3; ++attempt)
        {
            const auto decimals = 5 - exponent;

            if (decimals < 0 || decimals > 9)
                break;

            const auto scaled = roundedScaled (v, decimals);

            // Six significant digits: anything else means another exponent,
            // one more also when the rounding carried into a seventh digit.
            if (scaled >= powersOfTen[6])
            {
                ++exponent;
                continue;
            }

            if (scaled < powersOfTen[5])
            {
                --exponent;
                continue;
            }

            auto* out = writeScaled (text, value < 0, scaled, decimals);

            if (decimals > 0)
            {
                while (out[-1] == '0')
                    --out;

                if (out[-1] == '.')
                    --out;
            }

            return out;
        }
    }

    return std::to_chars (text, text + 32, value, std::chars_format::general, 6).ptr;
}

std::string documentToText (const juce::ValueTree& document)
{
    juce::MemoryOutputStream stream;
    writeDocumentText (document, stream);
    return { static_cast<const char*> (stream.getData()), stream.getDataSize() };
}

juce::Result writeDocumentFile (const juce::ValueTree& document, const juce::File& file)
{
    return writeDocumentFile (DocumentSnapshot (document), file);
}

juce::Result writeDocumentFile (const DocumentSnapshot& document, const juce::File& file)
{
    if (! document.isValid())
        return juce::Result::fail (file.getFullPathName() + ": there is no document to write");

    return writeFileSafely (file, [&document] (juce::OutputStream& stream)
    {
        return writeDocumentText (document, stream);
    });
}

DocumentSnapshot::DocumentSnapshot (const juce::ValueTree& tree)
{
    take (tree);
}

void DocumentSnapshot::take (const juce::ValueTree& tree)
{
    clear();

    if (tree.isValid())
        add (tree);
}

void DocumentSnapshot::clear()
{
    nodes.clear();
    properties.clear();
}

void DocumentSnapshot::add (const juce::ValueTree& tree)
{
    const auto numProperties = tree.getNumProperties();
    nodes.push_back ({ tree.getType(), numProperties, tree.getNumChildren() });

    const auto first = properties.size();

    for (int i = 0; i < numProperties; ++i)
    {
        const auto name = tree.getPropertyName (i);
        const auto& value = tree.getProperty (name);

        // Numbers, texts and binary data are copied whole (a text's
        // characters are shared, and never change); anything else is kept
        // as the text the XML writer makes of it, so nothing the snapshot
        // holds is shared with the tree in a way the tree could change.
        if (value.isObject() || value.isArray() || value.isMethod())
            properties.push_back ({ name, value.toString() });
        else
            properties.push_back ({ name, value });
    }

    if (hasRepeatedAttributeNames (properties.data() + first, numProperties))
    {
        // Only a damaged or hand-edited file gives a node two properties of
        // one name (the tree gives only the first one's value by name): kept
        // as the attributes JUCE writes for such a node, through its own XML
        // element, one per name in the first one's place with the last one's
        // value.
        juce::ValueTree attributesOnly (tree.getType());
        attributesOnly.copyPropertiesFrom (tree, nullptr);

        for (int i = 0; i < attributesOnly.getNumProperties(); ++i)
        {
            const auto name = attributesOnly.getPropertyName (i);

            if (const auto& value = attributesOnly.getProperty (name); value.isDouble())
                attributesOnly.setProperty (name, finiteOr (static_cast<double> (value)), nullptr);
        }

        const auto xml = attributesOnly.createXml();
        properties.resize (first);

        for (int i = 0; i < xml->getNumAttributes(); ++i)
            properties.push_back ({ juce::Identifier (xml->getAttributeName (i)), xml->getAttributeValue (i) });

        nodes.back().numProperties = xml->getNumAttributes();
    }

    for (const auto& child : tree)
        add (child);
}

juce::Result writeFileSafely (const juce::File& file, const std::function<bool (juce::OutputStream&)>& writeContent)
{
    const auto failure = [&file] (int error)
    {
        return juce::Result::fail (file.getFullPathName() + ": " + juce::String (std::strerror (error)));
    };

    if (! juce::File::isAbsolutePath (file.getFullPathName()))
        return failure (ENOENT);

    const auto target = linkTarget (file);
    struct stat existing {};
    const auto exists = ::stat (target.getFullPathName().toRawUTF8(), &existing) == 0;

    if (exists && ! S_ISREG (existing.st_mode))
        return failure (S_ISDIR (existing.st_mode) ? EISDIR : EINVAL);

    // The rename would replace a file that may not be written (the folder's
    // permission is all it asks for): such a file is left as it is. A file
    // with no write bit at all counts as read-only for the superuser too,
    // whom the system would let write anything.
    if (exists && ((existing.st_mode & 0222) == 0
                   || ::faccessat (AT_FDCWD, target.getFullPathName().toRawUTF8(), W_OK, AT_EACCESS) != 0))
        return failure (EACCES);

    const auto folder = target.getParentDirectory();
    juce::File temporary;
    int descriptor = -1;

    for (int attempt = 0; attempt < 16 && descriptor < 0; ++attempt)
    {
        temporary = folder.getChildFile (temporaryFileName (target.getFileName()));
        descriptor = ::open (temporary.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);

        if (descriptor < 0 && errno != EEXIST)
            return failure (errno);
    }

    if (descriptor < 0)
        return failure (EEXIST);

    // From here on, every failure takes the temporary file away again.
    const auto abandon = [&] (int error)
    {
        if (descriptor >= 0)
            ::close (descriptor);

        ::unlink (temporary.getFullPathName().toRawUTF8());
        return failure (error);
    };

    if (exists)
    {
        // The file keeps what it was: its permission bits, and its owner
        // when the system lets us give it (it does not for other users' files).
        if (::fchmod (descriptor, existing.st_mode & 07777) != 0)
            return abandon (errno);

        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
            (void) ::fchown (descriptor, existing.st_uid, existing.st_gid);
    }

    {
        DescriptorOutputStream stream (descriptor);
        const auto written = writeContent (stream);

        if (stream.error != 0)
            return abandon (stream.error);

        if (! written)
            return abandon (EIO);
    }

    if (::fsync (descriptor) != 0)
        return abandon (errno);

    const auto closed = ::close (descriptor);
    descriptor = -1;

    if (closed != 0)
        return abandon (errno);

    if (::rename (temporary.getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()) != 0)
        return abandon (errno);

    // The rename is in the folder: synced too, so the new name survives a
    // power cut. The file itself is in place already, whatever this gives.
    const auto folderDescriptor = ::open (folder.getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);

    if (folderDescriptor >= 0)
    {
        (void) ::fsync (folderDescriptor);
        ::close (folderDescriptor);
    }

    return juce::Result::ok();
}

bool isTemporaryFileName (const juce::String& fileName)
{
    // "." + name + "." + 12 hexadecimal digits + ".tmp"
    constexpr int digits = temporaryNameDigits;
    const auto length = fileName.length();

    if (length < 1 + 1 + 1 + digits + 4 || ! fileName.startsWithChar ('.') || ! fileName.endsWith (".tmp"))
        return false;

    const auto random = fileName.substring (length - 4 - digits, length - 4);

    return fileName[length - 5 - digits] == '.'
        && random.containsOnly ("0123456789abcdef");
}

int removeTemporaryFiles (const juce::File& folder)
{
    int removed = 0;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFiles))
    {
        const auto file = entry.getFile();

        // Only plain files: a link of that name is someone else's.
        if (isTemporaryFileName (file.getFileName()) && ! file.isSymbolicLink() && file.deleteFile())
            ++removed;
    }

    return removed;
}

int removeTemporaryFilesOf (const juce::File& file)
{
    if (! juce::File::isAbsolutePath (file.getFullPathName()))
        return 0;

    const auto target = linkTarget (file);
    const auto folder = target.getParentDirectory();
    const auto prefix = "." + target.getFileName() + ".";
    int removed = 0;

    if (! folder.isDirectory())
        return 0;

    // A name of this file's own temporary files: the prefix, then the
    // random part alone (the file's name may itself look like a longer one).
    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFiles))
    {
        const auto candidate = entry.getFile();
        const auto name = candidate.getFileName();

        if (name.startsWith (prefix) && name.length() == prefix.length() + temporaryNameDigits + 4
            && isTemporaryFileName (name) && ! candidate.isSymbolicLink() && candidate.deleteFile())
            ++removed;
    }

    return removed;
}

juce::String withAllowedXmlCharacters (const juce::String& text)
{
    auto p = text.getCharPointer();

    for (auto scan = p; ! scan.isEmpty(); ++scan)
    {
        if (! isAllowedXmlCharacter (*scan))
        {
            juce::String result;
            result.preallocateBytes (text.getNumBytesAsUTF8() + 3);

            while (! p.isEmpty())
            {
                const auto c = p.getAndAdvance();
                result += isAllowedXmlCharacter (c) ? c : static_cast<juce::juce_wchar> (replacementCharacter);
            }

            return result;
        }
    }

    return text;
}

void replaceForbiddenXmlCharacters (juce::XmlElement& element)
{
    if (element.isTextElement())
    {
        const auto text = element.getText();
        const auto allowed = withAllowedXmlCharacters (text);

        if (allowed != text)
            element.setText (allowed);

        return;
    }

    const auto tag = element.getTagName();

    if (const auto allowedTag = withAllowedXmlCharacters (tag); allowedTag != tag)
        element.setTagName (allowedTag);

    juce::StringArray names, values;
    bool changed = false;

    for (int i = 0; i < element.getNumAttributes(); ++i)
    {
        names.add (withAllowedXmlCharacters (element.getAttributeName (i)));
        values.add (withAllowedXmlCharacters (element.getAttributeValue (i)));
        changed = changed || names[i] != element.getAttributeName (i) || values[i] != element.getAttributeValue (i);
    }

    // Attributes keep their order: all of them are set again, in order.
    if (changed)
    {
        element.removeAllAttributes();

        for (int i = 0; i < names.size(); ++i)
            element.setAttribute (names[i], values[i]);
    }

    for (auto* child : element.getChildIterator())
        replaceForbiddenXmlCharacters (*child);
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
