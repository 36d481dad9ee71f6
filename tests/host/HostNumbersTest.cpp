#include "host/HostNumbers.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <vector>

using namespace corvadine;

TEST (HostNumbers, ReadsTheLeadingIntegerOfATable)
{
    struct Case { const char* text; juce::int64 wide; int narrow; };
    const Case cases[] = {
        { "12", 12, 12 },
        { "-12", -12, -12 },
        { "+7", 7, 7 },
        { "  \t 42", 42, 42 },
        { "12abc", 12, 12 },
        { "abc", 0, 0 },
        { "", 0, 0 },
        { "-", 0, 0 },
        { "1.9", 1, 1 },
        { "0x10", 0, 0 },
        { "- 5", 0, 0 },
        { "1666869860661", 1666869860661LL, 0 },           // too wide for 32 bits
        { "2147483647", 2147483647LL, 2147483647 },
        { "-2147483648", -2147483648LL, std::numeric_limits<int>::min() },
        { "2147483648", 2147483648LL, 0 },
        { "9223372036854775807", std::numeric_limits<juce::int64>::max(), 0 },
        { "-9223372036854775808", std::numeric_limits<juce::int64>::min(), 0 },
        { "9223372036854775808", 0, 0 },
        { "99999999999999999999999999", 0, 0 },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (readHostInt64 (c.text), c.wide) << c.text;
        EXPECT_EQ (readHostInt (c.text), c.narrow) << c.text;
    }
}

TEST (HostNumbers, ReadsNumbersAndTurnsNonFiniteOnesIntoZero)
{
    struct Case { const char* text; float expected; };
    const Case cases[] = {
        { "0.5", 0.5f },
        { "-106.6669921875", -106.6669921875f },
        { "  3e2", 300.0f },
        { "1.5xyz", 1.5f },
        { "abc", 0.0f },
        { "", 0.0f },
        { "nan", 0.0f },
        { "-NaN", 0.0f },
        { "inf", 0.0f },
        { "-inf", 0.0f },
        { "1e999", 0.0f },     // overflows double
        { "1e39", 0.0f },      // overflows float
        { "-1e39", 0.0f },
        { "3.4e38", 3.4e38f },
        { "1920.000244140625", 1920.000244140625f },
        { "-0.000244140625", -0.000244140625f },
        { ".5", 0.5f },
        { "7.", 7.0f },
        { "+2.25", 2.25f },
        { "-12..5", -12.0f },
        { "0.1234567890123456789", 0.1234567890123456789f },
    };

    for (const auto& c : cases)
        EXPECT_EQ (readHostNumber (c.text), c.expected) << c.text;
}

TEST (HostNumbers, ReadsEveryDecimalAsJuceReadsIt)
{
    // Host files write numbers with up to 17 digits in every form: each one
    // must read to exactly the float that juce::String::getDoubleValue gives.
    juce::Random random (1234);

    for (int i = 0; i < 20000; ++i)
    {
        const auto number = (random.nextDouble() - 0.5) * std::pow (10.0, random.nextInt ({ -6, 8 }));
        const auto digits = random.nextInt ({ 0, 18 });
        const juce::String text = i % 3 == 0 ? juce::String (number, digits)
                                : i % 3 == 1 ? juce::String ((float) number)
                                             : juce::String (number);
        const auto expected = (float) text.getDoubleValue();

        ASSERT_EQ (readHostDouble (text), text.getDoubleValue()) << text;
        ASSERT_EQ (std::signbit (readHostNumber (text)), std::signbit (expected)) << text;
        ASSERT_EQ (readHostNumber (text), expected) << text;
    }
}

TEST (HostNumbers, ReadsTheHostsExactFloatTextsAsJuceReadsThem)
{
    // The host writes a float's exact decimal value, often 19 and more
    // digits ("-113.7778472900390625"), of which JUCE reads the first 18.
    std::vector<juce::String> texts { "-113.7778472900390625", "-8.0000066757202148438", "400.000091552734375",
                                      "0.000000000000000000000000001234567890123456789", "123456789012345678.5",
                                      "1234567890123456789", "99999999999999999999.9", "0.99999999999999999999",
                                      "00000000000000000000012.5", "-0000.0000001", "7.", ".25", "-.5" };
    juce::Random random (4321);

    for (int i = 0; i < 5000; ++i)
    {
        const auto value = static_cast<float> ((random.nextDouble() - 0.5) * std::pow (10.0, random.nextInt ({ -8, 8 })));
        char exact[128];
        auto* end = std::to_chars (exact, exact + sizeof (exact), static_cast<double> (value), std::chars_format::fixed, 60).ptr;

        while (end[-1] == '0' && end[-2] != '.')
            --end;

        texts.push_back (juce::String (exact, static_cast<size_t> (end - exact)));
    }

    for (const auto& text : texts)
    {
        const auto expected = static_cast<float> (text.getDoubleValue());
        ASSERT_EQ (readHostDouble (text), text.getDoubleValue()) << text;
        ASSERT_EQ (std::signbit (readHostNumber (text)), std::signbit (expected)) << text;
        ASSERT_EQ (readHostNumber (text), expected) << text;
    }
}

TEST (HostNumbers, ExponentsOfMoreThanNineDigitsReadAsTheirTrueValueWouldWithoutOverflow)
{
    // JUCE's own reader overflows an int on these (undefined behaviour).
    struct Case { const char* text; double expected; };
    const Case cases[] = {
        { "1e7777777777", std::numeric_limits<double>::infinity() },
        { "-1E+99999999999999999999", -std::numeric_limits<double>::infinity() },
        { "1.5e-7777777777", 0.0 },
        { " 0.25e-12345678901x", 0.0 },
        { "2.5e000000000000000000001", 25.0 }, // leading zeros are not digits that count
        { "3e123456789", std::numeric_limits<double>::infinity() },
        { "e99999999999", 0.0 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (readHostDouble (c.text), c.expected) << c.text;

    EXPECT_EQ (readHostNumber ("1e7777777777"), 0.0f);
    EXPECT_EQ (floatFromVar (juce::var ("-4e-99999999999")), 0.0f);
}

TEST (HostNumbers, ReadsValueTreePropertiesWhetherTextOrNumber)
{
    EXPECT_EQ (int64FromVar (juce::var ("-12")), -12);
    EXPECT_EQ (int64FromVar (juce::var ((juce::int64) 1666869860661LL)), 1666869860661LL);
    EXPECT_EQ (int64FromVar (juce::var (std::numeric_limits<double>::quiet_NaN())), 0);
    EXPECT_EQ (int64FromVar (juce::var (1.0e300)), 0);
    EXPECT_EQ (int64FromVar (juce::var()), 0);
    EXPECT_EQ (intFromVar (juce::var ((juce::int64) 1LL << 40)), 0);

    EXPECT_EQ (floatFromVar (juce::var ("2.5")), 2.5f);
    EXPECT_EQ (floatFromVar (juce::var (std::numeric_limits<double>::infinity())), 0.0f);
    EXPECT_EQ (floatFromVar (juce::var ("nan")), 0.0f);
    EXPECT_EQ (floatFromVar (juce::var (7)), 7.0f);

    EXPECT_TRUE (boolFromVar (juce::var ("1")));
    EXPECT_TRUE (boolFromVar (juce::var ("true")));
    EXPECT_TRUE (boolFromVar (juce::var (true)));
    EXPECT_FALSE (boolFromVar (juce::var ("0")));
    EXPECT_FALSE (boolFromVar (juce::var ("-2147483648000000000000")));
    EXPECT_FALSE (boolFromVar (juce::var()));
}
