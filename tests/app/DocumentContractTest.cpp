// The checker of the plug-ins' contract: a whole document keeps it, and
// each broken rule is found, in a tree and in a file read back.
#include "support/DocumentContract.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine::test;

namespace
{
juce::String vertices (juce::int64 id, int first)
{
    juce::String text;
    text << "<vertices uniqueId=\"" << id << "\">";

    const int corners[4][4] = { { -1, 1, 0, 1 }, { 0, 1, 1, 1 }, { 0, 0, 1, 0 }, { -1, 0, 0, 0 } };
    for (auto& corner : corners)
        for (auto value : corner)
            text << "<vertex value=\"" << value << "\"/>";

    for (int index : { 0, 1, 2, 0, 2, 3 })
        text << "<index value=\"" << (first + index) << "\"/>";

    return text + "</vertices>";
}

juce::String focal (const juce::String& id, const juce::String& inner, const juce::String& shared)
{
    return "<focal uId=\"" + id + "\" distribution=\"0\" flip=\"0\" extend=\"0\" cover=\"0\">"
           "<position transform=\"1, 0, 49000, 0, 1, 4500\" finalRotation=\"0\"/><excluded/>"
           + inner + "<shared>" + shared + "</shared></focal>";
}

// Two focals of one look sharing slice 7, a second look with none.
juce::String goodDocument()
{
    return "<Corvadine version=\"0.9.9\">"
           "<assFile name=\"/home/show/AdvancedOutput.xml\" x=\"1920\" y=\"1080\"/>"
           "<bgImage file=\"\" bounds=\"0 0 10 10\"><position transform=\"1, 0, 0, 0, 1, 0\" finalRotation=\"0\"/></bgImage>"
           "<arenaScreens><screen name=\"A\" uniqueId=\"1\" enabled=\"1\"><slice name=\"S\" uniqueId=\"7\">"
           "<points name=\"path\" rotation=\"0\"><point x=\"0\" y=\"0\"/><point x=\"10\" y=\"0\"/></points>"
           "<points name=\"outputPoints\"/><position transform=\"1, 0, 49040, 0, 1, 4460\" finalRotation=\"0\"/>"
           "</slice></screen></arenaScreens>"
           "<looks><look x=\"1920\" y=\"1080\" sampleUvs=\"0 0 1 1\"><focals>"
           + focal ("0123456789abcdef0123456789abcdef", vertices (7, 0) + vertices (8, 4), "<slice uniqueId=\"7\"/>")
           + focal ("fedcba9876543210fedcba9876543210", vertices (7, 8), "<slice uniqueId=\"7\"/>")
           + "</focals></look><look x=\"1280\" y=\"720\" sampleUvs=\"0.166667 0.166667 0.666667 0.666667\"><focals/></look></looks>"
             "</Corvadine>";
}

juce::ValueTree treeOf (const juce::String& text)
{
    auto xml = juce::parseXML (text);
    return xml != nullptr ? juce::ValueTree::fromXml (*xml) : juce::ValueTree();
}
} // namespace

TEST (DocumentContract, AWholeDocumentKeepsItInATreeAndInAFile)
{
    EXPECT_EQ (checkDocumentContract (treeOf (goodDocument())), juce::StringArray());
    EXPECT_EQ (checkDocumentContract (treeOf (goodDocument()), { true, true }), juce::StringArray());

    const auto file = testHome().getChildFile ("Show.xml");
    writeTextFile (file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + goodDocument());
    EXPECT_EQ (checkDocumentFile (file), juce::StringArray());

    writeTextFile (file, goodDocument().dropLastCharacters (20));
    EXPECT_EQ (checkDocumentFile (file).size(), 1);

    // What a load leaves without a host link and without a guide.
    const auto unlinked = goodDocument()
                              .replace ("<assFile name=\"/home/show/AdvancedOutput.xml\" x=\"1920\" y=\"1080\"/>", "<assFile/>")
                              .replace ("<bgImage file=\"\" bounds=\"0 0 10 10\"><position transform=\"1, 0, 0, 0, 1, 0\" finalRotation=\"0\"/></bgImage>", "<bgImage/>");
    ASSERT_TRUE (unlinked.contains ("<assFile/>") && unlinked.contains ("<bgImage/>"));
    EXPECT_EQ (checkDocumentContract (treeOf (unlinked)), juce::StringArray());
}

TEST (DocumentContract, FindsEveryBrokenRule)
{
    struct Case
    {
        const char* broken;
        const char* from;
        const char* to;
    };

    const Case cases[] = {
        { "root tag", "<Corvadine version", "<corvadine version" },
        { "no version", "<Corvadine version=\"0.9.9\">", "<Corvadine>" },
        { "no assFile", "<assFile name=\"/home/show/AdvancedOutput.xml\" x=\"1920\" y=\"1080\"/>", "" },
        { "negative composition", "x=\"1920\" y=\"1080\"/>", "x=\"-1920\" y=\"1080\"/>" },
        { "guide without bounds", "<bgImage file=\"\" bounds=\"0 0 10 10\">", "<bgImage file=\"\">" },
        { "two guides", "</bgImage>", "</bgImage><bgImage file=\"\" bounds=\"\"><position transform=\"1, 0, 0, 0, 1, 0\" finalRotation=\"0\"/></bgImage>" },
        { "screen without enabled", " enabled=\"1\"", "" },
        { "slice id not a number", "uniqueId=\"7\">", "uniqueId=\"seven\">" },
        { "no outputPoints", "<points name=\"outputPoints\"/>", "" },
        { "non-finite point", "<point x=\"10\"", "<point x=\"nan\"" },
        { "short transform", "1, 0, 49040, 0, 1, 4460", "1, 0, 49040, 0, 1" },
        { "infinite rotation", "rotation=\"0\"", "rotation=\"inf\"" },
        { "index past the vertices", "<index value=\"11\"/>", "<index value=\"12\"/>" },
        { "index into another element", "<index value=\"8\"/>", "<index value=\"3\"/>" },
        { "vertex after an index", "<index value=\"0\"/><index value=\"1\"/>", "<index value=\"0\"/><vertex value=\"0\"/><index value=\"1\"/>" },
        { "non-finite vertex", "<vertex value=\"-1\"/>", "<vertex value=\"nan\"/>" },
        { "sampleUvs short", "sampleUvs=\"0 0 1 1\"", "sampleUvs=\"0 0 1\"" },
        { "uId in capitals", "0123456789abcdef0123456789abcdef", "0123456789ABCDEF0123456789ABCDEF" },
        { "shared missing a slice", "<slice uniqueId=\"7\"/></shared></focal><focal", "</shared></focal><focal" },
        { "shared naming a slice without vertices", "<shared><slice uniqueId=\"7\"/></shared></focal></focals>", "<shared><slice uniqueId=\"9\"/></shared></focal></focals>" },
        { "no looks", "<looks>", "<notlooks>" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.broken);
        const auto text = goodDocument();
        ASSERT_TRUE (text.contains (c.from));
        const auto changed = text.replaceFirstOccurrenceOf (c.from, c.to).replace ("</looks></Corvadine>",
                                                                                   juce::String (c.from) == "<looks>" ? "</notlooks></Corvadine>" : "</looks></Corvadine>");
        const auto tree = treeOf (changed);
        ASSERT_TRUE (tree.isValid());
        EXPECT_FALSE (checkDocumentContract (tree).isEmpty());
    }

    // Values outside the plug-in's ranges only when asked for.
    const auto outside = treeOf (goodDocument().replaceFirstOccurrenceOf ("<vertex value=\"-1\"/>", "<vertex value=\"-1.5\"/>"));
    EXPECT_TRUE (checkDocumentContract (outside).isEmpty());
    EXPECT_FALSE (checkDocumentContract (outside, { true, false }).isEmpty());

    // The guide may be missing unless it is required.
    const auto noGuide = juce::ValueTree (treeOf (goodDocument()));
    auto copy = noGuide.createCopy();
    copy.removeChild (copy.getChildWithName ("bgImage"), nullptr);
    EXPECT_TRUE (checkDocumentContract (copy).isEmpty());
    EXPECT_FALSE (checkDocumentContract (copy, { false, true }).isEmpty());
}
