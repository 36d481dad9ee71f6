#include "host/HostText.h"
#include "host/HostXmlFile.h"
#include "host/ScreenSetupFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvadine;

namespace
{
const std::string replacement = "\xef\xbf\xbd";

template <size_t size>
std::string bytesOf (const char (&bytes)[size])
{
    return { bytes, size - 1 };
}

struct NameCase
{
    std::string written;
    std::string read;
};

// The characters of a host name as they are written into the file, and as
// every reader gives them back.
const NameCase nameCases[] = {
    // Allowed characters stay byte for byte.
    { "Tab\there", "Tab\there" },
    { "Line\nend\rreturn", "Line\nend\rreturn" },
    { "Decke Fl\xc3\xa4" "che \xe2\x82\xac \xf0\x9f\x98\x80", "Decke Fl\xc3\xa4" "che \xe2\x82\xac \xf0\x9f\x98\x80" },
    { "\x7f\xc2\x85\xee\x80\x80\xef\xbf\xbd\xf4\x8f\xbf\xbf", "\x7f\xc2\x85\xee\x80\x80\xef\xbf\xbd\xf4\x8f\xbf\xbf" },
    // Controls XML forbids, raw.
    { "a\x01" "b", "a" + replacement + "b" },
    { "\x1b[0m", replacement + "[0m" },
    { "\x08\x0b\x0c\x1f", replacement + replacement + replacement + replacement },
    { bytesOf ("a\0b"), "a" + replacement + "b" },
    // Sequences of UTF-8's shape that name no character XML allows.
    { "\xed\xa0\x80", replacement },
    { "\xed\xbf\xbf", replacement },
    { "\xc0\xaf", replacement },
    { "\xe0\x80\xaf", replacement },
    { "\xf0\x80\x80\xaf", replacement },
    { "\xf4\x90\x80\x80", replacement },
    { "\xf7\xbf\xbf\xbf", replacement },
    { "\xef\xbf\xbe\xef\xbf\xbf", replacement + replacement },
    // Bytes that start no sequence: their Latin-1 characters.
    { "Fl\xe4" "che", "Fl\xc3\xa4" "che" },
    { "cut \xe2\x82", "cut \xc3\xa2\xc2\x82" },
    { "\x80\xff", "\xc2\x80\xc3\xbf" },
    { "\xf8\x88", "\xc3\xb8\xc2\x88" },
    // References to characters XML forbids, and to allowed ones.
    { "&#x1;&#1;&#27;", replacement + replacement + replacement },
    { "&#xD800;&#xdfff;&#55296;", replacement + replacement + replacement },
    { "&#xFFFE;&#xFFFF;", replacement + replacement },
    { "&#x110000;&#xFFFFFFFF;&#1114112;", replacement + replacement + replacement },
    // Numbers whose low bits JUCE would take for an allowed character.
    { "&#x410000;&#4259840;&#4294967361;", replacement + replacement + replacement },
    { "&#9;&#xA;&#13;", "\t\n\r" },
    { "&#x20AC;&#128512;&#x10FFFF;", "\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf" },
    // JUCE's parser takes a reference to zero as no character at all.
    { "a&#0;b", "ab" },
};
} // namespace

TEST (HostText, EveryReaderCleansNamesByTheSameRule)
{
    const auto folder = test::testHome().getChildFile ("names");
    int index = 0;

    for (const auto& c : nameCases)
    {
        const auto file = folder.getChildFile ("setup " + juce::String (index++) + ".xml");
        const auto text = "<ScreenSetup><screens><Screen name=\"" + c.written + "\"/></screens></ScreenSetup>";
        ASSERT_TRUE (file.getParentDirectory().createDirectory());
        ASSERT_TRUE (file.replaceWithData (text.data(), text.size()));
        const auto expected = juce::String::fromUTF8 (c.read.data(), (int) c.read.size());

        const auto root = parseHostXmlFile (file);
        ASSERT_NE (root, nullptr) << c.written;
        const auto* screen = root->getChildByName ("screens")->getChildByName ("Screen");
        EXPECT_EQ (screen->getStringAttribute ("name"), expected) << c.written;

        const auto read = readScreenSetupFile (file);
        ASSERT_EQ (read.screens.size(), 1) << c.written;
        EXPECT_EQ (read.screens.getReference (0).name, expected) << c.written;

        // The relink's read of the watched file.
        const auto relinkRead = readWholeScreenSetupFile (file);
        ASSERT_EQ (relinkRead.screens.size(), 1) << c.written;
        EXPECT_EQ (relinkRead.screens.getReference (0).name, expected) << c.written;

        // A text handed over as a string takes the same rule.
        const auto fromString = parseHostXml (juce::String::fromUTF8 (text.data(), (int) text.size()));

        if (c.written.find ('\0') == std::string::npos)
        {
            ASSERT_NE (fromString, nullptr) << c.written;
            EXPECT_EQ (fromString->getChildByName ("screens")->getChildByName ("Screen")->getStringAttribute ("name"), expected) << c.written;
        }
    }
}

TEST (HostText, ReadsUtf16AndByteOrderMarks)
{
    struct Case
    {
        std::string bytes;
        std::string text;
    };

    const Case cases[] = {
        { "\xef\xbb\xbf<r/>", "<r/>" },
        { bytesOf ("\xff\xfe<\0r\0/\0>\0"), "<r/>" },
        { bytesOf ("\xfe\xff\0<\0r\0/\0>"), "<r/>" },
        // A pair of surrogates is one character; a lone one is none. An odd last byte is half a unit.
        { bytesOf ("\xfe\xff\xd8\x3d\xde\x00\0a\xd8\x00\0b\xdc\x00\0\x01\0"), "\xf0\x9f\x98\x80" "a" + replacement + "b" + replacement + replacement },
        { bytesOf ("\xff\xfe" "a\0b"), "a" },
        { "plain", "plain" },
        { "", "" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (hostTextFromBytes (c.bytes.data(), c.bytes.size()), c.text);

    const auto file = test::testHome().getChildFile ("utf16.xml");
    const auto utf16 = bytesOf ("\xff\xfe<\0S\0c\0r\0e\0e\0n\0S\0e\0t\0u\0p\0>\0<\0s\0c\0r\0e\0e\0n\0s\0>\0<\0S\0c\0r\0e\0e\0n\0 \0"
                                "n\0a\0m\0e\0=\0\"\0\xac\x20\"\0/\0>\0<\0/\0s\0c\0r\0e\0e\0n\0s\0>\0<\0/\0S\0c\0r\0e\0e\0n\0S\0e\0t\0u\0p\0>\0");
    ASSERT_TRUE (file.replaceWithData (utf16.data(), utf16.size()));

    // Every reader of a host file: the parser, the setup reader and the
    // relink's read of the watched file.
    const auto read = readScreenSetupFile (file);
    ASSERT_EQ (read.screens.size(), 1);
    EXPECT_EQ (read.screens.getReference (0).name, juce::String::fromUTF8 ("\xe2\x82\xac"));

    const auto relinkRead = readWholeScreenSetupFile (file);
    ASSERT_EQ (relinkRead.screens.size(), 1);
    EXPECT_EQ (relinkRead.screens.getReference (0).name, juce::String::fromUTF8 ("\xe2\x82\xac"));

    const auto root = parseHostXmlFile (file);
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (root->getChildByName ("screens")->getChildByName ("Screen")->getStringAttribute ("name"), juce::String::fromUTF8 ("\xe2\x82\xac"));
}

TEST (HostText, LeavesTextThatFollowsTheRuleUntouched)
{
    std::string text = "<r name=\"Fl\xc3\xa4" "che\"/>";
    const auto* before = text.data();
    makeHostText (text);
    EXPECT_EQ (text.data(), before);
    EXPECT_TRUE (isHostText (text.data(), text.size()));

    std::string broken = "<r name=\"\x01\"/>";
    EXPECT_FALSE (isHostText (broken.data(), broken.size()));
    makeHostText (broken);
    EXPECT_EQ (broken, "<r name=\"" + replacement + "\"/>");

    // A byte order mark is something the rule changes: it is dropped.
    std::string marked = "\xef\xbb\xbf<r/>";
    EXPECT_FALSE (isHostText (marked.data(), marked.size()));
    makeHostText (marked);
    EXPECT_EQ (marked, "<r/>");
    EXPECT_TRUE (isHostText (marked.data(), marked.size()));
}
