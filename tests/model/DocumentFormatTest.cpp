#include "DocumentGenerator.h"
#include "model/BackgroundGuide.h"
#include "model/DocumentFormat.h"
#include "model/FocalSlice.h"
#include "model/Ids.h"
#include "model/ModelFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

using namespace corvadine;

namespace
{
// A tree as it comes back from a file: every property is attribute text.
juce::ValueTree readBack (const juce::String& xmlText)
{
    auto xml = juce::parseXML (xmlText);
    return xml != nullptr ? juce::ValueTree::fromXml (*xml) : juce::ValueTree();
}

juce::Array<juce::Point<float>> points (std::initializer_list<juce::Point<float>> list)
{
    juce::Array<juce::Point<float>> result;
    for (auto p : list)
        result.add (p);
    return result;
}

juce::String writeAndRead (const juce::ValueTree& tree, const juce::String& fileName)
{
    const auto file = test::documentsFolder().getChildFile (fileName);
    EXPECT_TRUE (writeDocumentFile (tree, file));
    return file.loadFileAsString();
}
} // namespace

TEST (DocumentFormat, PointsTreeHasItsNameFirstThenOnePointPerPointInOrder)
{
    const auto tree = writePointsTree ("path", points ({ { 1.5f, -2.0f }, { 3.0f, 4.25f } }));

    EXPECT_EQ (tree.getType(), ids::points);
    ASSERT_EQ (tree.getNumProperties(), 1);
    EXPECT_EQ (tree.getPropertyName (0), ids::name);
    EXPECT_EQ (tree[ids::name].toString(), "path");
    ASSERT_EQ (tree.getNumChildren(), 2);

    const auto second = tree.getChild (1);
    EXPECT_EQ (second.getType(), ids::point);
    EXPECT_EQ (second.getPropertyName (0), ids::x);
    EXPECT_EQ (second.getPropertyName (1), ids::y);
    EXPECT_DOUBLE_EQ (static_cast<double> (second[ids::x]), 3.0);
    EXPECT_DOUBLE_EQ (static_cast<double> (second[ids::y]), 4.25);

    EXPECT_EQ (writePointsTree ("outputPoints", {}).getNumChildren(), 0);
}

TEST (DocumentFormat, FileTextIsTheFixedLayoutWithCrLfLineEnds)
{
    juce::ValueTree slice { ids::slice };
    slice.setProperty (ids::name, "Slice 1", nullptr);
    slice.setProperty (ids::uniqueId, juce::int64 (-1234567890123), nullptr);
    auto path = writePointsTree ("path", points ({ { 0.5f, 2.0f } }));
    slice.appendChild (path, nullptr);

    const auto text = writeAndRead (slice, "slice.xml");

    EXPECT_EQ (text,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
               "\r\n"
               "<slice name=\"Slice 1\" uniqueId=\"-1234567890123\">\r\n"
               "  <points name=\"path\">\r\n"
               "    <point x=\"0.5\" y=\"2.0\"/>\r\n"
               "  </points>\r\n"
               "</slice>\r\n");
}

TEST (DocumentFormat, NoNonFiniteNumberReachesTheFile)
{
    const auto inf = std::numeric_limits<float>::infinity();
    const auto nan = std::numeric_limits<float>::quiet_NaN();

    juce::ValueTree look { ids::look };
    look.setProperty (ids::sampleUvs, "0 0 1 1", nullptr);
    auto outline = writePointsTree ("path", points ({ { nan, inf }, { -inf, 7.0f } }));
    look.appendChild (outline, nullptr);
    // A double set by some other writer is caught when the file is written.
    juce::ValueTree vertex { ids::vertex };
    vertex.setProperty (ids::value, std::numeric_limits<double>::quiet_NaN(), nullptr);
    look.appendChild (vertex, nullptr);

    const auto text = writeAndRead (look, "look.xml");

    EXPECT_FALSE (text.containsIgnoreCase ("nan"));
    EXPECT_FALSE (text.containsIgnoreCase ("inf"));
    EXPECT_TRUE (text.contains ("<point x=\"0.0\" y=\"0.0\"/>"));
    EXPECT_TRUE (text.contains ("<point x=\"0.0\" y=\"7.0\"/>"));
    EXPECT_TRUE (text.contains ("<vertex value=\"0.0\"/>"));
    // The tree in memory is left as it is.
    EXPECT_TRUE (std::isnan (static_cast<double> (vertex[ids::value])));
}

TEST (DocumentFormat, DoublesAreWrittenAsJuceWritesThem)
{
    // Files written before keep their text: every double reads as juce::var
    // writes it, in every range of magnitude and at its edges.
    std::vector<double> values { 0.0, -0.0, 1.0, -7.0, 0.5, 1.0e-5, -1.0e-5, 1.0e6, 999999.99,
                                 1.0e-3, 0.1, 0.01, 1.0e-4, 12345.678, 2147483647.0, -2147483648.5,
                                 1.0e300, -4.9e-324, 49040.0, 0.9230769276618958, -0.8709677457809448 };
    juce::Random random (77);

    // Exact ties at the last digit kept, which printf rounds to the even
    // digit: m / 2^16 has sixteen decimals ending in 5.
    for (auto m : { 1, 3, 5, 65535, 65537, 131071, 655355 })
        for (auto sign : { 1.0, -1.0 })
            values.push_back (sign * std::ldexp (static_cast<double> (m), -16) + sign);

    for (int i = 0; i < 20000; ++i)
    {
        const auto magnitude = std::pow (10.0, random.nextInt ({ -8, 9 }));
        const auto value = (random.nextDouble() - 0.5) * magnitude;
        values.push_back (i % 2 == 0 ? value : static_cast<double> (static_cast<float> (value)));
    }

    // Every decade edge of the fixed range, and its neighbours.
    for (auto edge : { 1.0e-5, 1.0e-4, 1.0e-3, 0.01, 0.1, 1.0, 10.0, 100.0, 1000.0, 1.0e4, 1.0e5, 1.0e6 })
        for (auto value : { std::nextafter (edge, 0.0), edge, std::nextafter (edge, 2.0e6) })
            values.insert (values.end(), { value, -value });

    for (auto value : values)
        ASSERT_EQ (doubleToDocumentText (value), juce::var (value).toString()) << value;
}

// JUCE's own text of a tree, as files were written before.
std::string juceText (const juce::ValueTree& tree)
{
    return tree.createXml()->toString (documentTextFormat()).toStdString();
}

TEST (DocumentFormat, SixSignificantDigitsAsPrintfWritesThem)
{
    std::vector<double> values { 0.0, -0.0, 1.0, -1.0, 10.0, 0.1, 1.0e-4, 9.99995e-5, 9.99994e-5, 5.0e-5,
                                 999999.5, 999999.4, 1.0e6, 99999.95, 9.999995, 0.5, 0.25, 2.5, 1.0e-7,
                                 123456.5, 123457.5, 1.5e-5, 49040.125, 4460.0, -8.74228e-08, 3.0e38 };

    // Float values, as placements hold them, over every decade, with the
    // decade edges and the halfway points of the sixth digit.
    juce::Random random (2024);

    for (int i = 0; i < 50000; ++i)
    {
        const auto magnitude = std::pow (10.0, random.nextInt ({ -7, 8 }));
        values.push_back (static_cast<float> ((random.nextDouble() - 0.5) * magnitude));
    }

    for (int e = -6; e <= 7; ++e)
    {
        const auto edge = std::pow (10.0, e);
        values.insert (values.end(), { edge, std::nextafter (edge, 0.0), std::nextafter (edge, 1.0e9),
                                       static_cast<double> (static_cast<float> (edge)),
                                       edge * 1.234565, edge * 9.999995, -edge * 5.000005 });
    }

    for (auto value : values)
    {
        char expected[64], actual[64];
        const auto expectedEnd = std::to_chars (expected, expected + sizeof (expected), value, std::chars_format::general, 6).ptr;
        const auto actualEnd = writeSixSignificantDigits (value, actual);
        ASSERT_EQ (std::string (actual, actualEnd), std::string (expected, expectedEnd)) << value;
    }
}

TEST (DocumentFormat, DocumentTextIsJucesTextOfTheTree)
{
    juce::ValueTree document (ids::Corvadine);
    document.setProperty (ids::version, "0.9.9", nullptr);
    document.setProperty (ids::x, 1920, nullptr);
    document.setProperty (ids::uniqueId, (juce::int64) -1670085950039, nullptr);
    document.setProperty (ids::enabled, true, nullptr);
    document.setProperty ("off", false, nullptr);

    for (int i = 0; i < 3; ++i)
    {
        juce::ValueTree child (ids::vertex);
        child.setProperty (ids::value, 0.1 * (i + 1) - 0.05, nullptr);
        child.appendChild (writePointsTree ("path", juce::Array<juce::Point<float>> { juce::Point<float> (1.5f, -2.25f), juce::Point<float> (1.0e7f, 3.0e-6f) }), nullptr);
        document.appendChild (child, nullptr);
    }

    // Text that has to be escaped: markup, quotes, line ends and tabs,
    // characters beyond ASCII (a real slice is called "Decke Fläche").
    juce::ValueTree named (ids::slice);
    named.setProperty (ids::name, juce::String::fromUTF8 ("Decke Fl\xc3\xa4" "che <a & \"b\"> 'c'\r\n\t\xe2\x82\xac \xf0\x9f\x8e\xa5 ~{}[]|\\"), nullptr);
    named.setProperty ("empty", juce::String(), nullptr);
    named.setProperty ("void", juce::var(), nullptr);
    named.setProperty ("blob", juce::var (juce::MemoryBlock ("\x01\x02\xff", 3)), nullptr);

    // Enough long attributes on one element that they wrap, at two depths.
    for (int i = 0; i < 12; ++i)
        named.setProperty ("attribute" + juce::String (i), juce::String::repeatedString ("x", i * 7), nullptr);

    juce::ValueTree deep (ids::points);
    deep.appendChild (named.createCopy(), nullptr);
    named.appendChild (juce::ValueTree (ids::point), nullptr);
    document.appendChild (named, nullptr);
    document.appendChild (deep, nullptr);

    EXPECT_EQ (documentToText (document), juceText (document));
    EXPECT_EQ (documentToText (juce::ValueTree (ids::looks)), juceText (juce::ValueTree (ids::looks)));
    EXPECT_TRUE (documentToText (juce::ValueTree()).empty());

    // The same text goes into the file, and it reads back as the same tree.
    const auto file = test::documentsFolder().getChildFile ("document.xml");
    ASSERT_TRUE (writeDocumentFile (document, file));
    EXPECT_EQ (file.loadFileAsString().toStdString(), juceText (document));

    auto readBack = juce::parseXML (file);
    ASSERT_NE (readBack, nullptr);
    EXPECT_TRUE (juce::ValueTree::fromXml (*readBack).getChild (3)[ids::name] == named[ids::name]);
}

namespace
{
// The text JUCE's own writer gives the tree: its XML element written with
// the default text format (the default header, lines wrapped at 60, "\r\n").
std::string jucesWriterText (const juce::ValueTree& tree)
{
    juce::MemoryOutputStream out;
    tree.createXml()->writeTo (out, juce::XmlElement::TextFormat());
    return { static_cast<const char*> (out.getData()), out.getDataSize() };
}

// The document the application writes for a model: the version, the link to
// the host's setup, the guide image, then the screens and the looks.
juce::ValueTree documentOf (StageModel& model)
{
    juce::ValueTree document (ids::Corvadine);
    document.setProperty (ids::version, "0.9.9", nullptr);

    juce::ValueTree link (ids::assFile);
    link.setProperty (ids::name, "/home/show/Documents/Resolume Arena/Presets/Advanced Output/2 Faces.xml", nullptr);
    link.setProperty (ids::x, model.compositionSize.x, nullptr);
    link.setProperty (ids::y, model.compositionSize.y, nullptr);
    document.appendChild (link, nullptr);

    BackgroundGuide guide;
    guide.createStageItem();
    guide.file = "/home/show/Documents/Corvadine/guide.png";
    guide.getStageItem()->setBounds (49040, 4460, 1920, 1080);
    document.appendChild (guide.toValueTree(), nullptr);

    document.appendChild (model.writeArenaScreensTree(), nullptr);
    document.appendChild (model.writeLooksTree(), nullptr);
    return document;
}

// 16 looks holding that many focals between them, of every setting, spread
// over the composition (there are no slices to cover).
std::unique_ptr<StageModel> modelWithFocals (int numFocals)
{
    auto model = std::make_unique<StageModel>();
    model->compositionSize = { 3840, 2160 };

    for (int l = 0; l < model->numLooks; ++l)
        model->addLook ({ 1920 + l, 1080 });

    juce::Random random (numFocals);

    for (int i = 0; i < numFocals; ++i)
    {
        const auto area = test::onStage (*model, { random.nextFloat() * 3400.0f, random.nextFloat() * 1800.0f,
                                                   40.0f + random.nextFloat() * 400.0f, 40.0f + random.nextFloat() * 300.0f });
        auto& focal = test::addFocal (*model->looks[i % model->looks.size()], area, random.nextInt (3), random.nextInt (4),
                                      random.nextInt (2));
        focal.extend = random.nextInt (2);
    }

    return model;
}

// Compares the document's text with JUCE's, in memory and (unless told
// otherwise) in files, and names the first byte where they part.
void expectJucesText (const juce::ValueTree& document, size_t atLeastBytes, bool inFilesToo = true)
{
    const auto ours = documentToText (document);
    const auto juces = jucesWriterText (document);
    ASSERT_GE (juces.size(), atLeastBytes);

    const auto [ourEnd, juceEnd] = std::mismatch (ours.begin(), ours.end(), juces.begin(), juces.end());
    const auto at = static_cast<size_t> (ourEnd - ours.begin());
    EXPECT_TRUE (ourEnd == ours.end() && juceEnd == juces.end())
        << ours.size() << " bytes against JUCE's " << juces.size() << ", first difference at byte " << at << ":\n"
        << ours.substr (at > 80 ? at - 80 : 0, 160) << "\n-- JUCE --\n" << juces.substr (at > 80 ? at - 80 : 0, 160);

    if (! inFilesToo)
        return;

    const auto ourFile = test::documentsFolder().getChildFile ("ours.xml");
    const auto juceFile = test::documentsFolder().getChildFile ("juces.xml");
    ASSERT_TRUE (writeDocumentFile (document, ourFile));
    ASSERT_TRUE (document.createXml()->writeTo (juceFile, juce::XmlElement::TextFormat()));

    juce::MemoryBlock ourBytes, juceBytes;
    ASSERT_TRUE (ourFile.loadFileAsData (ourBytes));
    ASSERT_TRUE (juceFile.loadFileAsData (juceBytes));
    EXPECT_TRUE (ourBytes == juceBytes) << ourBytes.getSize() << " bytes in the file against JUCE's " << juceBytes.getSize();
}
} // namespace

// The writer hands its text to the stream in blocks of 64 KB; an attribute
// that a block boundary cuts in two still counts whole towards the line
// wrap. Documents many blocks long, as the application writes them.
TEST (DocumentFormat, LargeDocumentsAreJucesTextByteForByte)
{
    {
        SCOPED_TRACE ("2,048 slices");
        auto generated = bench::makeDocument (2048);
        expectJucesText (documentOf (generated->model), 4 << 20);
    }

    {
        // Thousands of focals of every setting, each an element of five
        // attributes, on a stage without slices.
        SCOPED_TRACE ("4,000 focals");
        const auto model = modelWithFocals (4000);
        expectJucesText (documentOf (*model), 1 << 20);
    }
}

// Every place of the first block boundary against the attributes: the same
// document shifted a byte at a time by a longer version text, over more than
// the length of a focal's element.
TEST (DocumentFormat, EveryPlaceOfTheBlockBoundaryGivesJucesText)
{
    const auto model = modelWithFocals (250);
    auto document = documentOf (*model);

    for (int shift = 0; shift < 320; ++shift)
    {
        SCOPED_TRACE (shift);
        document.setProperty (ids::version, "0.9.9" + juce::String::repeatedString ("9", shift), nullptr);
        expectJucesText (document, 64 << 10, shift == 0);

        if (HasFailure())
            break;
    }
}

// A document the fuzzer made, whose text once lost a line wrap where the
// writer's block ended in the middle of an attribute. Its text ends inside
// the root's end tag, which the safe parser no longer takes: its tree is
// made by JUCE's own parser here.
TEST (DocumentFormat, TheWritersFuzzFindIsJucesText)
{
    const auto find = juce::File (CORVADINE_SOURCE_DIR).getChildFile ("fuzz/corpus/document_values/regression-text-differs-from-juce");
    juce::MemoryBlock bytes;
    ASSERT_TRUE (find.loadFileAsData (bytes));
    const auto root = juce::XmlDocument::parse (juce::String::createStringFromData (bytes.getData(), (int) bytes.getSize()));
    ASSERT_NE (root, nullptr);
    const auto tree = juce::ValueTree::fromXml (*root);
    EXPECT_GT (jucesWriterText (tree).size(), (size_t) (64 << 10));
    expectJucesText (tree, 0);
}

TEST (DocumentFormat, CharactersXmlForbidsAreWrittenAsTheReplacementCharacter)
{
    // Each character in a text, a property name and a type: forbidden ones
    // become U+FFFD ("&#65533;" in a text, its UTF-8 bytes in a name); every
    // allowed one is written exactly as JUCE writes it.
    struct Case { juce::juce_wchar character; bool allowed; };
    const Case cases[] = {
        { 0x01, false }, { 0x08, false }, { 0x0b, false }, { 0x0c, false }, { 0x1b, false }, { 0x1f, false },
        { 0xd800, false }, { 0xdbff, false }, { 0xdc00, false }, { 0xdfff, false },
        { 0xfffe, false }, { 0xffff, false }, { 0x110000, false }, { 0x1fffff, false },
        { 0x09, true }, { 0x0a, true }, { 0x0d, true }, { 0x20, true }, { 0x7f, true }, { 0x80, true },
        { 0xd7ff, true }, { 0xe000, true }, { 0xfffd, true }, { 0x10000, true }, { 0x10ffff, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String::toHexString ((int) c.character));
        EXPECT_EQ (isAllowedXmlCharacter (c.character), c.allowed);

        const auto withCharacter = "a" + juce::String::charToString (c.character) + "b";
        const auto expected = c.allowed ? withCharacter : "a" + juce::String::charToString (0xfffd) + "b";
        EXPECT_EQ (withAllowedXmlCharacters (withCharacter), expected);

        juce::ValueTree tree (ids::slice);
        tree.setProperty (ids::name, "Slice " + withCharacter, nullptr);
        juce::ValueTree named (c.character < 0x20 ? juce::Identifier ("point") : juce::Identifier ("p" + withCharacter));
        named.setProperty (c.character < 0x20 ? juce::Identifier ("x") : juce::Identifier ("x" + withCharacter), withCharacter, nullptr);
        tree.appendChild (named, nullptr);

        juce::ValueTree cleaned (ids::slice);
        cleaned.setProperty (ids::name, "Slice " + expected, nullptr);
        juce::ValueTree cleanedNamed (c.character < 0x20 ? juce::Identifier ("point") : juce::Identifier ("p" + expected));
        cleanedNamed.setProperty (c.character < 0x20 ? juce::Identifier ("x") : juce::Identifier ("x" + expected), expected, nullptr);
        cleaned.appendChild (cleanedNamed, nullptr);

        const auto text = documentToText (tree);
        EXPECT_EQ (text, juceText (cleaned));

        if (c.allowed)
            EXPECT_EQ (text, juceText (tree));
        else
            EXPECT_NE (text.find ("name=\"Slice a&#65533;b\""), std::string::npos) << text;
    }

    // A control character in a name (only a hand-made tree holds one).
    juce::ValueTree controlName (juce::Identifier (juce::String ("tag") + juce::String::charToString (0x01)));
    controlName.setProperty (juce::Identifier (juce::String ("at") + juce::String::charToString (0x1b)), 1, nullptr);
    EXPECT_EQ (documentToText (controlName),
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<tag\xef\xbf\xbd at\xef\xbf\xbd=\"1\"/>\r\n");
}

TEST (DocumentFormat, RepeatedAttributesOfADamagedFileAreWrittenAsJuceWritesThem)
{
    // JUCE's reader keeps a repeated attribute as a second property of the
    // same name, and an attribute "base64:x" beside a binary "x" too; its
    // writer then keeps one attribute per name, in the first one's place
    // with the last one's value.
    const auto tree = readBack ("<position transform=\"1,0,0,0,1,0\" finalRotation=\"0.25\""
                                " finalRotation=\"0.5\" extra=\"1\">"
                                "<blob base64:x=\"QUJD\" base64:x=\"zz\" y=\"2\"/>"
                                "<many a0=\"0\" a1=\"1\" a2=\"2\" a3=\"3\" a4=\"4\" a5=\"5\""
                                " a6=\"6\" a7=\"7\" a8=\"8\" a9=\"9\" a3=\"33\"/></position>");
    ASSERT_TRUE (tree.isValid());
    ASSERT_EQ (tree.getNumProperties(), 4);

    const auto text = documentToText (tree);
    EXPECT_EQ (text, juceText (tree));
    EXPECT_NE (text.find ("finalRotation=\"0.5\" extra=\"1\""), std::string::npos);
    EXPECT_EQ (text.find ("0.25"), std::string::npos);
}

TEST (DocumentFormat, AFailedWriteIsReportedAndLeavesNothingBehind)
{
    const juce::ValueTree document (ids::Corvadine);

    // A path whose folder does not exist: refused, and no folder is made.
    const auto missing = test::documentsFolder().getChildFile ("Gone/show.xml");
    EXPECT_FALSE (writeDocumentFile (document, missing));
    EXPECT_FALSE (missing.getParentDirectory().exists());

    // A folder where the file should be: it stays a folder with its content,
    // and no temporary file is left beside it.
    const auto folder = test::documentsFolder().getChildFile ("Shows");
    const auto taken = folder.getChildFile ("show.xml");
    test::writeTextFile (taken.getChildFile ("inside.txt"), "kept");
    EXPECT_FALSE (writeDocumentFile (document, taken));
    EXPECT_EQ (taken.getChildFile ("inside.txt").loadFileAsString(), "kept");
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
}

TEST (DocumentFormat, NumbersReadBackWithTheirMissingValues)
{
    const auto tree = readBack ("<focal distribution=\"3\" flip=\"-2\" cover=\"x\" extend=\" 7abc\""
                                " uniqueId=\"-9223372036854775808\" big=\"99999999999999999999\""
                                " intLow=\"-2147483648\" intHigh=\"2147483648\""
                                " d=\"2.5\" nan=\"nan\" inf=\"-inf\" huge=\"1e999\""
                                " t=\"1\" f=\"0\" word=\"true\" yes=\" Yes \" name=\"a&amp;b\"/>");

    EXPECT_EQ (readInt (tree, "distribution"), 3);
    EXPECT_EQ (readInt (tree, "flip"), -2);
    EXPECT_EQ (readInt (tree, "cover"), 0);
    EXPECT_EQ (readInt (tree, "extend"), 7);
    EXPECT_EQ (readInt (tree, "missing"), 0);
    EXPECT_EQ (readInt (tree, "intLow"), std::numeric_limits<int>::min());
    EXPECT_EQ (readInt (tree, "intHigh"), std::numeric_limits<int>::max());

    EXPECT_EQ (readInt64 (tree, "uniqueId"), std::numeric_limits<juce::int64>::min());
    EXPECT_EQ (readInt64 (tree, "big"), std::numeric_limits<juce::int64>::max());
    EXPECT_EQ (readInt64 (tree, "missing"), 0);

    EXPECT_DOUBLE_EQ (readDouble (tree, "d"), 2.5);
    EXPECT_EQ (readDouble (tree, "nan"), 0.0);
    EXPECT_EQ (readDouble (tree, "inf"), 0.0);
    EXPECT_EQ (readDouble (tree, "huge"), 0.0);
    EXPECT_EQ (readDouble (tree, "missing"), 0.0);

    // Exponents too long for JUCE's own reader, which overflows on them.
    const auto longExponents = readBack ("<focal big=\"1e7777777777\" small=\"-2.5e-7777777777\"/>");
    EXPECT_EQ (readDouble (longExponents, "big"), 0.0);
    EXPECT_EQ (readDouble (longExponents, "small"), 0.0);

    EXPECT_TRUE (readBool (tree, "t"));
    EXPECT_FALSE (readBool (tree, "f"));
    EXPECT_TRUE (readBool (tree, "word"));
    EXPECT_TRUE (readBool (tree, "yes"));
    EXPECT_FALSE (readBool (tree, "missing"));

    EXPECT_EQ (readString (tree, "name"), "a&b");
    EXPECT_EQ (readString (tree, "missing"), "");
}

TEST (DocumentFormat, ValuesStillInMemoryReadAsTheyStand)
{
    juce::ValueTree tree { ids::screen };
    tree.setProperty (ids::uniqueId, juce::int64 (1) << 40, nullptr);
    tree.setProperty (ids::enabled, true, nullptr);
    tree.setProperty (ids::x, 1920, nullptr);
    tree.setProperty (ids::rotation, 1.0e30, nullptr);

    EXPECT_EQ (readInt64 (tree, ids::uniqueId), juce::int64 (1) << 40);
    EXPECT_TRUE (readBool (tree, ids::enabled));
    EXPECT_EQ (readInt (tree, ids::x), 1920);
    EXPECT_EQ (readInt (tree, ids::rotation), std::numeric_limits<int>::max());
}

TEST (DocumentFormat, BoundsReadAsRectangleFromString)
{
    struct Case { const char* text; juce::Rectangle<int> expected; };
    const Case cases[] = {
        { "10 20 30 40", { 10, 20, 30, 40 } },
        { "10,20;30 40", { 10, 20, 30, 40 } },
        { "  10\t20\n30\r40", { 10, 20, 30, 40 } },
        { "10 20", { 10, 20, 0, 0 } },
        { "10, 20, 30, 40", { 10, 0, 20, 0 } }, // each separator ends a token
        { "", { 0, 0, 0, 0 } },
        { "a b c d", { 0, 0, 0, 0 } },
        { "-5 -6 -30 -40", { -5, -6, 0, 0 } },
    };

    for (const auto& c : cases)
    {
        juce::ValueTree tree { ids::bgImage };
        tree.setProperty (ids::bounds, c.text, nullptr);
        EXPECT_EQ (readBounds (tree, ids::bounds), c.expected) << c.text;
    }

    // What the guide's writer produces reads back unchanged.
    juce::ValueTree written { ids::bgImage };
    written.setProperty (ids::bounds, juce::Rectangle<int> (-3, 4, 500, 600).toString(), nullptr);
    EXPECT_EQ (readBounds (written, ids::bounds), juce::Rectangle<int> (-3, 4, 500, 600));
}

TEST (DocumentFormat, BoundsFromADamagedFileKeepTheirEdgesRepresentable)
{
    // A hand-edited document: numbers far past an int, and past what x + width can hold.
    const auto file = test::documentsFolder().getChildFile ("damaged.xml");
    test::writeTextFile (file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Corvadine version=\"0.9.9\">"
                               "<bgImage file=\"/x.png\" bounds=\"99999999999 2147483000 99999999999 2147483000\"/>"
                               "<bgImage file=\"/y.png\" bounds=\"-99999999999 -2147483648 5 6\"/></Corvadine>");

    auto xml = juce::parseXML (file);
    ASSERT_NE (xml, nullptr);
    const auto document = juce::ValueTree::fromXml (*xml);

    for (const auto& guide : document)
    {
        const auto bounds = readBounds (guide, ids::bounds);

        for (auto edge : { (juce::int64) bounds.getX() + bounds.getWidth(), (juce::int64) bounds.getY() + bounds.getHeight() })
        {
            EXPECT_LE (edge, std::numeric_limits<int>::max());
            EXPECT_GE (edge, std::numeric_limits<int>::min());
        }

        // As the loader applies them to the guide's item.
        juce::Component item;
        item.setBounds (bounds);
        EXPECT_GE (item.getRight(), item.getX());
        EXPECT_GE (item.getBottom(), item.getY());
    }
}

TEST (DocumentFormat, FocalIdReadInHexPairsAndWrittenAs32LowercaseDigits)
{
    struct Case { const char* text; const char* written; };
    const Case cases[] = {
        { "00ff", "00ff0000000000000000000000000000" },
        { "{00-FF}", "00ff0000000000000000000000000000" },
        { "abc", "ab000000000000000000000000000000" }, // a lone last digit is no pair
        { "", "00000000000000000000000000000000" },
        { "0123456789abcdef0123456789ABCDEF77", "0123456789abcdef0123456789abcdef" },
        { "8f1c2b3a-4d5e-4f60-8a7b-9c0d1e2f3a4b", "8f1c2b3a4d5e4f608a7b9c0d1e2f3a4b" },
    };

    for (const auto& c : cases)
    {
        juce::ValueTree focal { ids::focal };
        focal.setProperty (ids::uId, c.text, nullptr);
        EXPECT_EQ (uuidToText (readUuid (focal, ids::uId)), c.written) << c.text;
    }

    const auto id = uuidFromText ("00ff");
    EXPECT_EQ (id.getRawData()[0], 0x00);
    EXPECT_EQ (id.getRawData()[1], 0xff);
    EXPECT_TRUE (readUuid (juce::ValueTree { ids::focal }, ids::uId).isNull());

    const juce::Uuid random;
    EXPECT_EQ (uuidFromText (uuidToText (random)), random);
}

TEST (DocumentFormat, ExcludedIdsInOrderEachOnceWhateverTheChildType)
{
    const auto focal = readBack ("<focal><excluded>"
                                 "<slice uniqueId=\"5\"/><other uniqueId=\"-7\"/>"
                                 "<slice uniqueId=\"5\"/><slice/><slice uniqueId=\"9\"/>"
                                 "</excluded></focal>");

    EXPECT_EQ (readExcludedIds (focal), (juce::Array<juce::int64> { 5, -7, 0, 9 }));
    EXPECT_TRUE (readExcludedIds (readBack ("<focal/>")).isEmpty());
}

TEST (DocumentFormat, PathsMustBeAbsolute)
{
    const auto tree = readBack ("<bgImage file=\"/tmp/a picture.png\" relative=\"pictures/a.png\"/>");

    EXPECT_EQ (readFile (tree, ids::file), juce::File ("/tmp/a picture.png"));
    EXPECT_EQ (readFile (tree, "relative"), juce::File());
    EXPECT_EQ (readFile (tree, "missing"), juce::File());
}

TEST (DocumentFormat, LeadingIntegerTable)
{
    struct Case { const char* text; bool allowPlus; juce::int64 expected; };
    const Case cases[] = {
        { "42", false, 42 },       { "  -17x", false, -17 }, { "+5", false, 0 },
        { "+5", true, 5 },         { "-", true, 0 },         { "", false, 0 },
        { "abc", false, 0 },       { "9223372036854775807", false, std::numeric_limits<juce::int64>::max() },
        { "9223372036854775808", false, std::numeric_limits<juce::int64>::max() },
        { "-9223372036854775808", false, std::numeric_limits<juce::int64>::min() },
        { "-99999999999999999999", false, std::numeric_limits<juce::int64>::min() },
    };

    for (const auto& c : cases)
        EXPECT_EQ (leadingInteger (c.text, c.allowPlus), c.expected) << c.text;
}

TEST (DocumentFormat, RootTagAndVersionOfTheLoadCheck)
{
    EXPECT_TRUE (hasDocumentRoot (*juce::parseXML ("<Corvadine/>")));
    EXPECT_FALSE (hasDocumentRoot (*juce::parseXML ("<corvadine/>")));
    EXPECT_FALSE (hasDocumentRoot (*juce::parseXML ("<CORVADINE/>")));

    EXPECT_EQ (documentVersion (*juce::parseXML ("<Corvadine/>")), "1.0.0");
    EXPECT_EQ (documentVersion (*juce::parseXML ("<Corvadine version=\"0.9.4\"/>")), "0.9.4");
    // Attribute names are matched exactly.
    EXPECT_EQ (documentVersion (*juce::parseXML ("<Corvadine Version=\"0.1\"/>")), "1.0.0");
}
