#include "host/HostText.h"

#include <cstring>

namespace corvadine
{
namespace
{
constexpr std::uint32_t replacementCharacter = 0xfffd;

bool isContinuation (unsigned char byte) noexcept
{
    return (byte & 0xc0) == 0x80;
}

// The sequence of UTF-8's shape that starts at p: its length (0 when there
// is none: a stray continuation byte, F8 to FF, a lead byte whose
// continuation bytes are missing) and the value it spells, overlong forms,
// surrogates and values beyond U+10FFFF included.
struct Sequence
{
    size_t length = 0;
    std::uint32_t value = 0;
};

Sequence sequenceAt (const unsigned char* p, const unsigned char* end) noexcept
{
    const auto lead = *p;

    if (lead < 0x80)
        return { 1, lead };

    size_t length = 0;
    std::uint32_t value = 0;

    if (lead >= 0xc0 && lead <= 0xdf)      { length = 2; value = lead & 0x1fu; }
    else if (lead >= 0xe0 && lead <= 0xef) { length = 3; value = lead & 0x0fu; }
    else if (lead >= 0xf0 && lead <= 0xf7) { length = 4; value = lead & 0x07u; }
    else return {};

    if ((size_t) (end - p) < length)
        return {};

    for (size_t i = 1; i < length; ++i)
    {
        if (! isContinuation (p[i]))
            return {};

        value = (value << 6) | (p[i] & 0x3fu);
    }

    return { length, value };
}

// The shortest form's length for a value: a longer sequence is overlong.
size_t shortestLength (std::uint32_t value) noexcept
{
    return value < 0x80 ? 1 : value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
}

// True when the sequence may stay as it stands: its shortest form, of a
// character XML allows.
bool keepsAsItIs (const Sequence& sequence) noexcept
{
    return sequence.length != 0
        && sequence.length == shortestLength (sequence.value)
        && isXmlCharacter (sequence.value);
}

void appendUtf8 (std::string& text, std::uint32_t c)
{
    if (c < 0x80)
    {
        text += (char) c;
    }
    else if (c < 0x800)
    {
        text += (char) (0xc0 | (c >> 6));
        text += (char) (0x80 | (c & 0x3f));
    }
    else if (c < 0x10000)
    {
        text += (char) (0xe0 | (c >> 12));
        text += (char) (0x80 | ((c >> 6) & 0x3f));
        text += (char) (0x80 | (c & 0x3f));
    }
    else
    {
        text += (char) (0xf0 | (c >> 18));
        text += (char) (0x80 | ((c >> 12) & 0x3f));
        text += (char) (0x80 | ((c >> 6) & 0x3f));
        text += (char) (0x80 | (c & 0x3f));
    }
}

// Plain ASCII that XML allows: the bytes nearly every file consists of.
bool isPlainAscii (unsigned char byte) noexcept
{
    return byte < 0x80 && (byte >= 0x20 || byte == 0x9 || byte == 0xa || byte == 0xd);
}

// True when none of the eight bytes is a control or beyond ASCII: the
// usual case, decided for eight bytes at once.
bool arePrintableAscii (const unsigned char* p) noexcept
{
    std::uint64_t word;
    std::memcpy (&word, p, sizeof (word));
    constexpr std::uint64_t highBits = 0x8080808080808080ull;
    constexpr std::uint64_t spaces = 0x2020202020202020ull;

    // A byte below 0x20 borrows into its high bit when 0x20 is taken from it.
    return ((word | (word - spaces)) & highBits) == 0;
}

// Length of the prefix that already follows the rule.
size_t cleanPrefixLength (const unsigned char* begin, const unsigned char* end) noexcept
{
    auto* p = begin;

    while (p < end)
    {
        while (end - p >= 8 && arePrintableAscii (p))
            p += 8;

        if (p == end)
            break;

        if (isPlainAscii (*p))
        {
            ++p;
            continue;
        }

        const auto sequence = sequenceAt (p, end);

        if (! keepsAsItIs (sequence) || sequence.length == 1)
            break;

        p += sequence.length;
    }

    return (size_t) (p - begin);
}

void appendRepairedUtf8 (std::string& text, const unsigned char* p, const unsigned char* end)
{
    while (p < end)
    {
        const auto sequence = sequenceAt (p, end);

        if (sequence.length == 0)
        {
            // Not UTF-8 at all: the byte's Latin-1 character.
            appendUtf8 (text, *p++);
            continue;
        }

        if (keepsAsItIs (sequence))
            text.append (reinterpret_cast<const char*> (p), sequence.length);
        else
            appendUtf8 (text, replacementCharacter);

        p += sequence.length;
    }
}

void appendUtf16 (std::string& text, const unsigned char* p, size_t numUnits, bool bigEndian)
{
    const auto unitAt = [p, bigEndian] (size_t i) -> std::uint32_t
    {
        const auto a = p[2 * i], b = p[2 * i + 1];
        return bigEndian ? (std::uint32_t) ((a << 8) | b) : (std::uint32_t) ((b << 8) | a);
    };

    for (size_t i = 0; i < numUnits; ++i)
    {
        const auto unit = unitAt (i);

        if (unit >= 0xd800 && unit <= 0xdbff && i + 1 < numUnits)
        {
            const auto next = unitAt (i + 1);

            if (next >= 0xdc00 && next <= 0xdfff)
            {
                appendXmlCharacter (text, 0x10000 + ((unit - 0xd800) << 10) + (next - 0xdc00));
                ++i;
                continue;
            }
        }

        // A surrogate without its partner is not a character.
        appendXmlCharacter (text, unit);
    }
}
} // namespace

void appendXmlCharacter (std::string& text, std::uint32_t c)
{
    appendUtf8 (text, isXmlCharacter (c) ? c : replacementCharacter);
}

bool isHostText (const char* text, size_t size) noexcept
{
    const auto* begin = reinterpret_cast<const unsigned char*> (text);

    // UTF-8's byte order mark spells an allowed character, but the rule drops it.
    if (size >= 3 && begin[0] == 0xef && begin[1] == 0xbb && begin[2] == 0xbf)
        return false;

    return cleanPrefixLength (begin, begin + size) == size;
}

std::string hostTextFromBytes (const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*> (data);
    std::string text;

    if (size >= 2 && ((bytes[0] == 0xfe && bytes[1] == 0xff) || (bytes[0] == 0xff && bytes[1] == 0xfe)))
    {
        // An odd last byte is half a unit, and dropped.
        text.reserve (size);
        appendUtf16 (text, bytes + 2, (size - 2) / 2, bytes[0] == 0xfe);
        return text;
    }

    if (size >= 3 && bytes[0] == 0xef && bytes[1] == 0xbb && bytes[2] == 0xbf)
    {
        bytes += 3;
        size -= 3;
    }

    const auto clean = cleanPrefixLength (bytes, bytes + size);
    text.reserve (size + (size - clean) / 2);
    text.append (reinterpret_cast<const char*> (bytes), clean);
    appendRepairedUtf8 (text, bytes + clean, bytes + size);
    return text;
}

void makeHostText (std::string& text)
{
    const auto* begin = reinterpret_cast<const unsigned char*> (text.data());
    const auto hasByteOrderMark = text.size() >= 2 && (begin[0] == 0xfe || begin[0] == 0xff || begin[0] == 0xef);

    if (! hasByteOrderMark && isHostText (text.data(), text.size()))
        return;

    text = hostTextFromBytes (text.data(), text.size());
}

bool replaceForbiddenCharacters (juce::String& text)
{
    const auto* raw = text.toRawUTF8();
    const auto* begin = reinterpret_cast<const unsigned char*> (raw);
    const auto* end = begin + std::strlen (raw);

    if (cleanPrefixLength (begin, end) == (size_t) (end - begin))
        return false;

    std::string cleaned;
    cleaned.reserve ((size_t) (end - begin) + 8);

    for (auto* p = begin; p < end;)
    {
        // JUCE's four-byte characters may start with any byte from F0 up.
        auto sequence = sequenceAt (p, end);

        if (sequence.length == 0 && *p >= 0xf8 && end - p >= 4
            && isContinuation (p[1]) && isContinuation (p[2]) && isContinuation (p[3]))
            sequence = { 4, 0xffffffffu };

        if (sequence.length == 0)
        {
            appendUtf8 (cleaned, *p++);
            continue;
        }

        if (keepsAsItIs (sequence))
            cleaned.append (reinterpret_cast<const char*> (p), sequence.length);
        else
            appendUtf8 (cleaned, replacementCharacter);

        p += sequence.length;
    }

    text = juce::String::fromUTF8 (cleaned.data(), (int) cleaned.size());
    return true;
}
} // namespace corvadine
