#include "host/HostNumbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace corvadine
{
namespace
{
// The leading integer of the text, or 0 when it lies outside [lowest, highest].
// Written out instead of using juce::String::getIntValue, which wraps on
// overflow and negates the most negative value (undefined behaviour).
juce::int64 readLeadingInteger (juce::StringRef text, juce::int64 lowest, juce::int64 highest)
{
    auto p = text.text.findEndOfWhitespace();
    bool negative = false;

    if (*p == '-' || *p == '+')
    {
        negative = (*p == '-');
        ++p;
    }

    // The magnitude is gathered unsigned so that the most negative value fits.
    const auto limit = negative ? (juce::uint64) -(lowest + 1) + 1u : (juce::uint64) highest;
    juce::uint64 magnitude = 0;

    for (;;)
    {
        const auto c = *p;

        if (c < '0' || c > '9')
            break;

        const auto digit = (juce::uint64) (c - '0');

        if (magnitude > (limit - digit) / 10u)
            return 0;

        magnitude = magnitude * 10u + digit;
        ++p;
    }

    if (! negative)
        return (juce::int64) magnitude;

    return magnitude == 0 ? 0 : -(juce::int64) (magnitude - 1u) - 1;
}

// Plain decimals, what the host and the document write, read the way JUCE
// reads them, without its copy of the digits and its call to strtod for
// every number (most of the reading of a host setup): the first 18 digits
// (not counting zeros before the first digit of the whole part) make the
// number, the rest are dropped, and the decimal that remains is rounded
// correctly to a double, as strtod does. When those digits make an integer
// of at most 2^53, one division by an exact power of ten is that rounding;
// otherwise std::from_chars does it. Returns false, reading nothing, for everything
// else: exponents, a "+", words, zeros with their signs, more than 18 digits
// before the point.
bool readPlainDecimal (const char* p, double& result)
{
    static constexpr double powersOfTen[] = { 1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18 };
    constexpr int maxDigits = 18;
    constexpr std::uint64_t largestExactInteger = std::uint64_t { 1 } << 53;

    const auto isDigit = [] (char c) { return c >= '0' && c <= '9'; };
    const auto negative = *p == '-';

    if (negative)
        ++p;

    // Zeros before the first digit of the whole part do not count.
    while (*p == '0')
        ++p;

    std::uint64_t mantissa = 0;
    int digits = 0;

    for (; isDigit (*p); ++p)
    {
        if (digits == maxDigits)
            return false;

        mantissa = mantissa * 10 + static_cast<std::uint64_t> (*p - '0');
        ++digits;
    }

    int decimals = 0;

    if (*p == '.')
    {
        for (++p; isDigit (*p); ++p)
        {
            if (digits == maxDigits)
                continue;

            mantissa = mantissa * 10 + static_cast<std::uint64_t> (*p - '0');
            ++digits;
            ++decimals;
        }
    }

    if (mantissa == 0 || *p == 'e' || *p == 'E')
        return false;

    if (mantissa <= largestExactInteger)
    {
        const auto magnitude = static_cast<double> (mantissa) / powersOfTen[decimals];
        result = negative ? -magnitude : magnitude;
        return true;
    }

    // The same decimal value, digits and exponent, rounded by from_chars.
    char text[48];
    auto* out = text;

    if (negative)
        *out++ = '-';

    out = std::to_chars (out, text + sizeof (text), mantissa).ptr;
    *out++ = 'e';
    out = std::to_chars (out, text + sizeof (text), -decimals).ptr;

    const auto [end, error] = std::from_chars (text, out, result);
    return error == std::errc() && end == out;
}
} // namespace

juce::int64 readHostInt64 (juce::StringRef text)
{
    return readLeadingInteger (text, std::numeric_limits<juce::int64>::min(), std::numeric_limits<juce::int64>::max());
}

int readHostInt (juce::StringRef text)
{
    return (int) readLeadingInteger (text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}

float finiteFloat (double value)
{
    if (! std::isfinite (value) || std::abs (value) > (double) std::numeric_limits<float>::max())
        return 0.0f;

    return (float) value;
}

double readHostDouble (juce::StringRef text)
{
    double plain = 0.0;

    if (readPlainDecimal (text.text.findEndOfWhitespace().getAddress(), plain))
        return plain;

    // Finds the exponent's digits where JUCE's reader takes them: after white
    // space, a sign, digits with at most one point, an "e" and its sign.
    auto p = text.text.findEndOfWhitespace();

    if (*p == '-' || *p == '+')
        ++p;

    for (bool point = false; p.isDigit() || (! point && *p == '.'); ++p)
        point = point || *p == '.';

    if (*p == 'e' || *p == 'E')
    {
        ++p;

        if (*p == '-' || *p == '+')
            ++p;

        while (*p == '0')
            ++p;

        const auto digits = p;
        int count = 0;

        while (p.isDigit())
        {
            ++p;
            ++count;
        }

        // Nine digits fit an int with room for JUCE's own adjustments; larger
        // exponents put any value beyond a double's range either way.
        constexpr int maxExponentDigits = 9;

        if (count > maxExponentDigits)
        {
            const auto clamped = juce::String (text.text, digits) + "999999999" + juce::String (p);
            return clamped.getDoubleValue();
        }
    }

    // Read in place otherwise: a host file holds tens of thousands of these,
    // and a copy of each text cost a quarter of the reading of its screens.
    return juce::CharacterFunctions::getDoubleValue (text.text);
}

float readHostNumber (juce::StringRef text)
{
    return finiteFloat (readHostDouble (text));
}

juce::int64 int64FromVar (const juce::var& value)
{
    if (value.isString())
        return readHostInt64 (value.toString());

    if (value.isDouble())
    {
        const auto d = (double) value;

        // 2^63 is exact as a double; anything at or beyond it does not fit.
        if (! std::isfinite (d) || std::abs (d) >= 9223372036854775808.0)
            return 0;

        return (juce::int64) d;
    }

    return (juce::int64) value;
}

int intFromVar (const juce::var& value)
{
    const auto wide = int64FromVar (value);

    if (wide < std::numeric_limits<int>::min() || wide > std::numeric_limits<int>::max())
        return 0;

    return (int) wide;
}

float floatFromVar (const juce::var& value)
{
    if (value.isString())
        return readHostNumber (value.toString());

    return finiteFloat ((double) value);
}

bool boolFromVar (const juce::var& value)
{
    if (value.isString())
    {
        const auto text = value.toString().trim();
        return readHostInt64 (text) != 0 || text.equalsIgnoreCase ("true") || text.equalsIgnoreCase ("yes");
    }

    return (bool) value;
}
} // namespace corvadine
