#include "host/HostXmlFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace corvadine;

namespace
{
juce::String nested (int depth)
{
    std::string text;

    for (int i = 0; i < depth; ++i)
        text += "<a>";

    for (int i = 0; i < depth; ++i)
        text += "</a>";

    return juce::String (text);
}
} // namespace

TEST (HostXmlFile, ParsesOrdinaryHostXml)
{
    auto root = parseHostXml (juce::String::fromUTF8 (R"(<?xml version="1.0" encoding="utf-8"?>
        <!-- <b><b><b> -->
        <XmlState name="Decke Fläche" path="a/>b" note='x > y'>
          <![CDATA[ <c><c> ]]>
          <v x="1"/><v x="2" />
        </XmlState>)"));

    ASSERT_NE (root, nullptr);
    EXPECT_EQ (root->getStringAttribute ("name"), juce::String::fromUTF8 ("Decke Fl\xc3\xa4" "che"));
    juce::StringArray xs;

    for (auto* v : root->getChildWithTagNameIterator ("v"))
        xs.add (v->getStringAttribute ("x"));

    EXPECT_EQ (xs, juce::StringArray ({ "1", "2" }));
    EXPECT_NE (parseHostXml (nested (maxHostXmlDepth)), nullptr);
}

TEST (HostXmlFile, RefusesHostileOrBrokenXmlWithoutCrashing)
{
    const juce::String refused[] = {
        nested (maxHostXmlDepth + 1),
        nested (200000),
        // Deep nesting hidden behind a tag the parser gives up on.
        "<r><a =\"" + nested (100000) + "\"></r>",
        "<r><a b='x" + nested (maxHostXmlDepth) + "'/></r>",
        // Entities that refer to themselves or grow without bound.
        "<!DOCTYPE r [<!ENTITY a \"&a;\">]><r x=\"&a;\"/>",
        "<!DOCTYPE r [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]><r>&b;</r>",
        "<!DOCTYPE r SYSTEM \"config.xml\"><r>&x;</r>",
        // Processing instructions inside the document: JUCE's parser never
        // returns from one that text follows.
        "<?xml version=\"1.0\"?><r><?p?>text</r>",
        "<r><a/><?p x?>text<b/></r>",
        "<r><!-- c --><?p?></r>",
        // An "entity" whose name JUCE parses as XML of its own, which it read past the end of.
        "<r>&<a>&#X;</r>",
        "<r x=\"&<a/>;\"/>",
        "",
        "not xml",
        "<",
    };

    for (const auto& text : refused)
        EXPECT_EQ (parseHostXml (text), nullptr) << text.substring (0, 60);

    // Broken in other ways: whatever the parser makes of these, it comes back.
    for (const auto* text : { "<r><unclosed></r", "<r x=\"&unknown;\"/>", "<r x=\"", "<r><!-- open", "<r></a></b></c>",
                              // A character reference cut off by the end of the text,
                              // which JUCE's parser read past.
                              "<r>&#x", "<r>t&#x4", "<r x=\"&#x41", "<?x?>\n<r>t&#x/&#&&#x" })
        parseHostXml (text);
}

TEST (HostXmlFile, BytesThatAreNotUtf8AreReadAsLatin1)
{
    const auto parse = [] (const char* bytes)
    {
        return parseHostXml (juce::String::fromUTF8 (bytes, (int) std::strlen (bytes)));
    };

    // A name written in Latin-1, and one cut off in the middle of a character.
    auto latin1 = parse ("<r name=\"Fl\xe4" "che\" cut=\"\xc3\"/>");
    ASSERT_NE (latin1, nullptr);
    EXPECT_EQ (latin1->getStringAttribute ("name"), juce::String::fromUTF8 ("Fl\xc3\xa4" "che"));
    EXPECT_EQ (latin1->getStringAttribute ("cut"), juce::String::fromUTF8 ("\xc3\x83"));

    // Lead bytes at the very end, where JUCE's parser stepped past the end of the text.
    for (const auto* text : { "<r>t\xff", "<r>t\xf0", "<r a=\"\xe2\x82" })
        parse (text);

    auto valid = parse ("<r name=\"Decke Fl\xc3\xa4" "che \xe2\x82\xac \xf0\x9f\x98\x80\"/>");
    ASSERT_NE (valid, nullptr);
    EXPECT_EQ (valid->getStringAttribute ("name"), juce::String::fromUTF8 ("Decke Fl\xc3\xa4" "che \xe2\x82\xac \xf0\x9f\x98\x80"));

    const auto file = test::testHome().getChildFile ("cut.xml");
    const char cut[] = "<ScreenSetup name=\"Fl\xc3";
    file.replaceWithData (cut, sizeof (cut) - 1);
    parseHostXmlFile (file);
}

TEST (HostXmlFile, ReadsOnlyExistingFiles)
{
    const auto folder = test::testHome().getChildFile ("xml");
    test::writeTextFile (folder.getChildFile ("good.xml"), "<ScreenSetup presetFile=\"2 Faces\"/>");
    test::writeTextFile (folder.getChildFile ("deep.xml"), nested (100000));
    folder.getChildFile ("folder.xml").createDirectory();

    auto good = parseHostXmlFile (folder.getChildFile ("good.xml"));
    ASSERT_NE (good, nullptr);
    EXPECT_EQ (good->getStringAttribute ("presetFile"), "2 Faces");

    EXPECT_EQ (parseHostXmlFile (folder.getChildFile ("deep.xml")), nullptr);
    EXPECT_EQ (parseHostXmlFile (folder.getChildFile ("folder.xml")), nullptr);
    EXPECT_EQ (parseHostXmlFile (folder.getChildFile ("missing.xml")), nullptr);
    EXPECT_EQ (parseHostXmlFile (juce::File()), nullptr);
}

// A host file whose root element is not closed yet is being written: the
// rule every reader of host files applies to the decoded text.
TEST (HostXmlFile, TellsWhetherATextIsWhole)
{
    struct Case
    {
        const char* text;
        bool whole;
    };

    const Case cases[] = {
        { "<ScreenSetup><screens/></ScreenSetup>", true },
        { "<?xml version=\"1.0\"?>\n<!-- host -->\n<!DOCTYPE x>\n<ScreenSetup a=\"1\">x</ScreenSetup >\r\n\t ", true },
        { "<ScreenSetup/>", true },
        { "<ScreenSetup a=\"/\" />  \n", true },
        { "<ScreenSetup><screens/></ScreenSetup", false },
        { "<ScreenSetup><screens/></screens>", false },
        { "<ScreenSetup><screens/></Setup>", false },
        { "<ScreenSetup><screens/></XScreenSetup>", false },
        { "<ScreenSetup><Screen/>", false },
        { "<ScreenSetup>", false },
        { "<ScreenSetup", false },
        { "<", false },
        { "", false },
        { "   ", false },
        { "<?xml version=\"1.0\"?>", false },
        { "<!-- only a comment -->", false },
        { "<>", false },
        { "</>", false },
        { "<a></a>", true },
        { "<a><b/></a><c/>", false },

        // Comments and processing instructions before the root are stepped
        // over as XML steps over them: a "<" inside them is no element.
        { "<!-- <note> -->\n<ScreenSetup><screens/></ScreenSetup>", true },
        { "<?xml version=\"1.0\"?><!-- <a></a> --><?tool <b> ?><ScreenSetup/>", true },
        { "<!-- <note> --><ScreenSetup><screens/></ScreenSe", false },
        { "<!-- <ScreenSetup></ScreenSetup> -->", false },
        { "<!-- cut <ScreenSetup></ScreenSetup>", false },
        // After the root: white space, comments and processing instructions only.
        { "<a></a>\n<!-- saved -->\n", true },
        { "<a></a><?done?>", true },
        { "<a></a><!-- cut", false },
        { "<a></a>text", false },
        { "<a></a></a>", false },
        { "<a></a><![CDATA[x]]>", false },
        { "text<a></a>", false },
        { "</b><a></a>", false },
        // Inside the root: quoted values, comments and CDATA hold no tags.
        { "<a x=\"</a>\" y='/>'><!-- </a> --><![CDATA[</a>]]></a>", true },
        { "<a x=\"</a>\"><!-- </a> -->", false },
        { "<a><![CDATA[</a>", false },
        { "<a><b><c/></b></a >", true },
        { "<a><b><c/></b></a", false },
        { "<a><b><c/></b></", false },
        { "<a><b><c/></b><", false },
        { "<a><b><c/></b>", false },
        { "<a><b><c/></b", false },
        { "<a><b/ ></a>", false },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (isWholeHostXml (c.text), c.whole) << c.text;
        EXPECT_EQ (scanHostXml (c.text).whole, c.whole) << c.text;
    }

    // Every text the parser takes is whole; one that is not whole gives no element.
    for (const auto& c : cases)
        if (! c.whole)
            EXPECT_EQ (parseHostXml (juce::String::fromUTF8 (c.text)), nullptr) << c.text;

    EXPECT_NE (parseHostXml ("<!-- <note> -->\n<ScreenSetup><screens/></ScreenSetup>"), nullptr);
}
