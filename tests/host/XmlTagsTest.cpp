#include "host/XmlTags.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

TEST (XmlTags, MatchesTagsIgnoringCaseWithoutAsserting)
{
    auto xml = juce::parseXML ("<Root><screensetup a=\"1\"/><ScreenSetup a=\"2\"/><Other/></Root>");
    ASSERT_NE (xml, nullptr);

    auto* first = findChildIgnoringCase (*xml, "ScreenSetup");
    ASSERT_NE (first, nullptr);
    EXPECT_EQ (first->getStringAttribute ("a"), "1");
    EXPECT_EQ (childrenIgnoringCase (*xml, "SCREENSETUP").size(), 2);
    EXPECT_EQ (findChildIgnoringCase (*xml, "Missing"), nullptr);
}

TEST (XmlTags, LetterCaseFoldsAsJuceFoldsIt)
{
    struct Case
    {
        const char* tag;
        const char* wanted;
        bool matches;
    };

    const Case asciiCases[] {
        { "ScreenSetup", "screensetup", true },
        { "ScreenSetup", "SCREENSETUP", true },
        { "ScreenSetup", "ScreenSetu", false },
        { "Screen", "ScreenSetup", false },
        { "v", "V", true },
        { "a_b", "A\x7f" "B", false },   // '_' and DEL differ by the case bit but are no letters
    };

    for (const auto& c : asciiCases)
    {
        const juce::XmlElement element (c.tag);
        EXPECT_EQ (tagMatches (element, c.wanted), c.matches) << c.tag << " ~ " << c.wanted;
    }

    // Beyond ASCII, the answer is JUCE's own, whatever its folding makes of the letters.
    const std::pair<const char*, const char*> otherCases[] {
        { "\xc3\x89" "cran", "\xc3\xa9" "CRAN" },
        { "\xc3\x89" "cran", "\xc3\x89" "CRAN" },
        { "Ecran", "\xc3\x89" "cran" },
        { "screen", "\xc5\xbf" "creen" },
    };

    for (const auto& [tag, wanted] : otherCases)
    {
        const juce::XmlElement element (juce::String::fromUTF8 (tag));
        const auto text = juce::String::fromUTF8 (wanted);
        EXPECT_EQ (tagMatches (element, text), element.getTagName().equalsIgnoreCase (text)) << tag << " ~ " << wanted;
    }

    EXPECT_TRUE (tagMatches (juce::XmlElement (juce::String::fromUTF8 ("\xc3\x89" "cran")), juce::String::fromUTF8 ("\xc3\x89" "CRAN")));
}

TEST (TestEnvironment, EveryTestHasItsOwnTemporaryHome)
{
    const auto home = test::testHome();
    EXPECT_TRUE (home.getFullPathName().startsWith ("/tmp/corvadine-home-"));
    EXPECT_TRUE (home.isDirectory());
    EXPECT_EQ (home.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}
