#include "host/HostText.h"
#include "host/HostXmlFile.h"
#include "host/ScreenSetupFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace corvadine;

namespace
{
// The reference: the text through JUCE's parser, then the functions on
// juce::XmlElement that a relink composed before the light reader existed.
ScreenSetupFileRead composedRead (const std::string& bytes)
{
    return readScreenSetupElement (parseHostXmlBytes (bytes.data(), bytes.size()).get());
}

void expectSameAsComposed (const std::string& bytes)
{
    const auto expected = composedRead (bytes);
    const auto read = readScreenSetupBytes (bytes.data(), bytes.size());
    juce::String difference;
    EXPECT_TRUE (sameScreenSetupRead (read, expected, difference)) << difference << "\n  in: " << bytes.substr (0, 200);
}

// A literal's bytes with the zero bytes inside it.
template <size_t size>
std::string withNul (const char (&bytes)[size])
{
    return { bytes, size - 1 };
}

const char* const ordinarySetup = R"(<?xml version="1.0" encoding="utf-8"?>
<!-- written by the host -->
<XmlState name="2 Faces">
  <ScreenSetup name="ScreenSetup">
    <CurrentCompositionTextureSize width="1280" height="720"/>
    <screens>
      <Screen name="Front &amp; back" uniqueId="1666869860661">
        <Params name="Params"><Param name="Hidden" T="BOOL" value="1"/></Params>
        <layers>
          <Slice uniqueId="-12">
            <Params name="Common"><Param name="Name" value="Decke Fl&#xE4;che"/><Param name="Enabled" value="0"/></Params>
            <Params name="Output"><Param name="Flip" value="2"/></Params>
            <InputRect orientation="0.25"><v x="0" y="0"/><v x="10.5" y='20'/><v x="1e3"/></InputRect>
            <OutputRect orientation="-0.5"><v x="1" y="2"/></OutputRect>
            <SliceMask><ShapeObject><Shape><Contour><points><v x="3" y="4"/></points></Contour></Shape></ShapeObject></SliceMask>
            <InputContour closed="1"><points><v x="5" y="6"/></points></InputContour>
            <OutputContour><points><V x="7" y="8"/>text<![CDATA[ <v x="9"/> ]]></points></OutputContour>
          </Slice>
          <polygon uniqueId="12abc"><Params name="Common"><Param name="Name"/></Params></polygon>
          <DmxSlice/>
        </layers>
      </Screen>
      <DMXSCREEN name="Dmx"/>
      <Other name="skipped"/>
    </screens>
  </ScreenSetup>
</XmlState>
)";
} // namespace

TEST (ScreenSetupFile, ReadsTheSameAsTheComposedFunctionsOnEveryKindOfText)
{
    const std::vector<std::string> texts {
        ordinarySetup,
        "<ScreenSetup/>",
        "<ScreenSetup><screens><Screen/></screens></ScreenSetup>",
        "<Root><Other/><screensetup><CurrentCompositionTextureSize width=\"-5\" height=\"abc\"/></screensetup></Root>",
        "<Root><CurrentCompositionTextureSize width=\"800\"/></Root>",
        // Entities, references and what JUCE makes of broken ones.
        "<ScreenSetup><screens><Screen name=\"a&amp;b&lt;&GT;&quot;&apos;&#x41;&#66;&unknown;c\"/></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen name=\"&#x110000;&#xD800;&#1;&#0;&#x;&#;&#12a;&#1234567890123;&#x123456789;\"/></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen name=\"&x\" uniqueId=\"1\"/></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen name=\"&#x41\"/></screens></ScreenSetup>",
        "<ScreenSetup>&bogus<screens><Screen name=\"a\"/></screens></ScreenSetup>",
        "<ScreenSetup>a &amp; b &unknown; &#1; <screens><Screen name=\"a\"/></screens>tail</ScreenSetup>",
        // Attributes without quotes or "=", repeated, odd names.
        "<ScreenSetup><screens><Screen name=abc uniqueId=\"5\"/><Screen name=\"b\"/></screens></ScreenSetup>",
        "<ScreenSetup a b=\"1\"><screens><Screen/></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen name=\"a\" name=\"b\" uniqueId=\"1\" uniqueId=\"2\"/></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen Name=\"a\" name = 'b' :x-y.z_=\"1\"/></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen name=\"a\"/ ></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen name=\"a\" %/></screens></ScreenSetup>",
        // Tags: gaps, closing tags that do not match, several roots, text first.
        "<  ScreenSetup><screens><Screen name=\"a\"/></screens></ScreenSetup>",
        "<ScreenSetup><screens></x><Screen name=\"late\"/></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen name=\"a\"></screens></ScreenSetup>",
        "<a/><ScreenSetup/>",
        "junk<ScreenSetup/>",
        "<ScreenSetup><screens><Screen name=\"a\"/></screens>",
        "<ScreenSetup><screens><Screen name=\"a\"/></screens></ScreenSetup><!-- open",
        "<ScreenSetup><!-- open <screens><Screen name=\"a\"/></screens></ScreenSetup>",
        "<ScreenSetup><![CDATA[ open <screens><Screen name=\"a\"/></screens></ScreenSetup>",
        "<?xml version=\"1.0\"<ScreenSetup/>",
        "<?p?><!-- c --><?q?>  <ScreenSetup><screens><Screen name=\"a\"/></screens></ScreenSetup>",
        // Characters beyond ASCII in tags, names and the white space between them.
        "<ScreenSetup><screens><Scr\xc3\xa9" "en name=\"a\"/><Screen name=\"Fl\xc3\xa4" "che \xe2\x82\xac\"/></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen\xc2\xa0name=\"a\"/><Screen\xe2\x80\x83name=\"b\"/><Screen name=\"c\"\xe3\x80\x80uniqueId=\"3\"/></screens></ScreenSetup>",
        "<ScreenSetup><screens><\xc5\xbf" "creen name=\"a\"/><\xe2\x84\xaa/></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen name=\"a\x01\x0b\x0c\x1f\"/>\x0c<Screen name=\"b\"/></screens></ScreenSetup>",
        "<ScreenSetup><screens><Screen name=\"Fl\xe4" "che\" uniqueId=\"\xed\xa0\x80\"/></screens></ScreenSetup>",
        withNul ("<ScreenSetup><screens><Screen name=\"a\0b\"/></screens></ScreenSetup>"),
        "\xef\xbb\xbf<ScreenSetup><screens><Screen name=\"bom\"/></screens></ScreenSetup>",
        withNul ("\xff\xfe<\0S\0c\0r\0e\0e\0n\0S\0e\0t\0u\0p\0/\0>\0"),
        "",
        "<",
        "<ScreenSetup",
    };

    for (const auto& text : texts)
        expectSameAsComposed (text);
}

TEST (ScreenSetupFile, ReadsTheSameAsTheComposedFunctionsOnEveryCutAndEditOfASetup)
{
    const std::string setup = ordinarySetup;

    // Every prefix: a file the host is still writing.
    for (size_t length = 0; length <= setup.size(); ++length)
        expectSameAsComposed (setup.substr (0, length));

    // A character that steers the parser, inserted before every fourth
    // character, and every fourth character left out.
    for (size_t position = 0; position < setup.size(); position += 4)
    {
        for (const auto* inserted : { "<", ">", "\"", "&", "/", "=", ";" })
            expectSameAsComposed (setup.substr (0, position) + inserted + setup.substr (position));

        expectSameAsComposed (setup.substr (0, position) + setup.substr (position + 1));
    }
}

TEST (ScreenSetupFile, ReadsTheSameAsTheComposedFunctionsOnTheFuzzCorpusAndTheRealHostFiles)
{
    int numFiles = 0;
    const auto compareFilesIn = [&numFiles] (const juce::File& folder)
    {
        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles))
        {
            juce::MemoryBlock bytes;
            ASSERT_TRUE (entry.getFile().loadFileAsData (bytes));
            expectSameAsComposed (std::string (static_cast<const char*> (bytes.getData()), bytes.getSize()));

            const auto read = readScreenSetupFile (entry.getFile());
            const auto expected = readScreenSetupElement (parseHostXmlFile (entry.getFile()).get());
            juce::String difference;
            EXPECT_TRUE (sameScreenSetupRead (read, expected, difference)) << difference << " in " << entry.getFile().getFullPathName();
            ++numFiles;
        }
    };

    compareFilesIn (juce::File (CORVADINE_SOURCE_DIR).getChildFile ("fuzz/corpus/screen_setup"));
    EXPECT_GT (numFiles, 5);

    if (test::hostSamplesFolder().isDirectory())
        compareFilesIn (test::hostSamplesFolder());
}

TEST (ScreenSetupFile, ReadsTheWatchedFileInOneGo)
{
    const auto folder = test::testHome().getChildFile ("setup");
    const auto preset = folder.getChildFile ("2 Faces.xml");
    test::writeTextFile (preset, juce::String::fromUTF8 (ordinarySetup));

    const auto read = readScreenSetupFile (preset);
    EXPECT_TRUE (read.parsed);
    EXPECT_TRUE (read.hasSetupElement);
    EXPECT_EQ (read.compositionSize, juce::Point<int> (1280, 720));
    ASSERT_EQ (read.screens.size(), 2);

    const auto& front = read.screens.getReference (0);
    EXPECT_EQ (front.name, "Front & back");
    EXPECT_EQ (front.uniqueId, 1666869860661);
    EXPECT_FALSE (front.enabled);
    ASSERT_EQ (front.slices.size(), 3);

    const auto& slice = front.slices.getReference (0);
    EXPECT_EQ (slice.name, juce::String::fromUTF8 ("Decke Fl\xc3\xa4" "che"));
    EXPECT_EQ (slice.uniqueId, -12);
    EXPECT_FALSE (slice.enabled);
    EXPECT_EQ (slice.flip, 2);
    EXPECT_EQ (slice.inputRect, test::pointList ({ { 0, 0 }, { 10.5f, 20 }, { 1000, 0 } }));
    EXPECT_FLOAT_EQ (slice.inputOrientation, 0.25f);
    EXPECT_EQ (slice.outputRect, test::pointList ({ { 1, 2 } }));
    EXPECT_FLOAT_EQ (slice.outputOrientation, -0.5f);
    EXPECT_EQ (slice.mask, test::pointList ({ { 3, 4 }, { 5, 6 } }));
    EXPECT_EQ (slice.outputContour, test::pointList ({ { 7, 8 } }));

    EXPECT_EQ (front.slices.getReference (1).name, "Slice");
    EXPECT_EQ (front.slices.getReference (1).uniqueId, 12);
    EXPECT_EQ (read.screens.getReference (1).name, "Dmx");

    // The root holding the setup itself, as "AdvancedOutput.xml" does.
    const auto advancedOutput = folder.getChildFile ("AdvancedOutput.xml");
    test::writeTextFile (advancedOutput, "<ScreenSetup><screens><Screen name=\"Only\"/></screens></ScreenSetup>");
    const auto rootRead = readScreenSetupFile (advancedOutput);
    EXPECT_TRUE (rootRead.hasSetupElement);
    EXPECT_EQ (rootRead.compositionSize, juce::Point<int> (1920, 1080));
    ASSERT_EQ (rootRead.screens.size(), 1);
    EXPECT_EQ (rootRead.screens.getReference (0).name, "Only");
}

TEST (ScreenSetupFile, ReadsNothingFromAFileThatIsMissingBrokenOrHostile)
{
    const auto folder = test::testHome().getChildFile ("broken");
    folder.getChildFile ("folder.xml").createDirectory();
    test::writeTextFile (folder.getChildFile ("cut.xml"), "<ScreenSetup><screens><Screen name=\"a\"/><Screen na");
    test::writeTextFile (folder.getChildFile ("other.xml"), "<Composition><CompositionInfo width=\"10\"/></Composition>");
    test::writeTextFile (folder.getChildFile ("dtd.xml"), "<!DOCTYPE r [<!ENTITY a \"&a;\">]><ScreenSetup name=\"&a;\"/>");

    std::string deep;

    for (int i = 0; i <= maxHostXmlDepth; ++i)
        deep += "<ScreenSetup>";

    test::writeTextFile (folder.getChildFile ("deep.xml"), deep);

    for (const auto* name : { "missing.xml", "folder.xml", "cut.xml", "dtd.xml", "deep.xml" })
    {
        const auto read = readScreenSetupFile (folder.getChildFile (name));
        EXPECT_FALSE (read.parsed) << name;
        EXPECT_FALSE (read.hasSetupElement) << name;
        EXPECT_EQ (read.compositionSize, juce::Point<int> (1920, 1080)) << name;
        EXPECT_TRUE (read.screens.isEmpty()) << name;
    }

    EXPECT_FALSE (readScreenSetupFile (juce::File()).parsed);

    const auto other = readScreenSetupFile (folder.getChildFile ("other.xml"));
    EXPECT_TRUE (other.parsed);
    EXPECT_FALSE (other.hasSetupElement);
}

TEST (ScreenSetupFile, CanBeReadOnAnotherThread)
{
    const auto file = test::testHome().getChildFile ("threaded.xml");
    test::writeTextFile (file, juce::String::fromUTF8 (ordinarySetup));
    ScreenSetupFileRead read;

    std::thread reader ([&] { read = readScreenSetupFile (file); });
    reader.join();

    juce::String difference;
    EXPECT_TRUE (sameScreenSetupRead (read, readScreenSetupElement (parseHostXmlFile (file).get()), difference)) << difference;
    EXPECT_EQ (read.screens.size(), 2);
}

// The watched file as a relink takes it: the file's bytes read as
// readScreenSetupBytes reads them when their decoded text is whole, nothing
// otherwise; on every cut and edit of a setup, the fuzz corpus and the real
// host files.
TEST (ScreenSetupFile, ReadsAWholeWatchedFileAsItsBytesAndACutOneAsNothing)
{
    const auto file = test::testHome().getChildFile ("watched/AdvancedOutput.xml");
    file.getParentDirectory().createDirectory();
    int numWhole = 0;

    const auto expectReadAsBytes = [&] (const std::string& bytes)
    {
        ASSERT_TRUE (file.replaceWithData (bytes.data(), bytes.size()));
        auto text = hostTextFromBytes (bytes.data(), bytes.size());
        finishHostXmlText (text);
        const auto whole = isWholeHostXml (text.c_str());
        const auto expected = whole ? readScreenSetupBytes (bytes.data(), bytes.size()) : ScreenSetupFileRead {};
        juce::String difference;
        EXPECT_TRUE (sameScreenSetupRead (readWholeScreenSetupFile (file), expected, difference))
            << difference << "\n  in: " << bytes.substr (0, 200);
        EXPECT_TRUE (sameScreenSetupRead (readScreenSetupBytes (bytes.data(), bytes.size()), expected, difference))
            << difference << "\n  in: " << bytes.substr (0, 200);
        numWhole += whole ? 1 : 0;
    };

    const std::string setup = ordinarySetup;

    for (size_t length = 0; length <= setup.size(); length += 3)
        expectReadAsBytes (setup.substr (0, length));

    for (size_t position = 0; position < setup.size(); position += 7)
        for (const auto* inserted : { "<", ">", "/", "\xff", "" })
            expectReadAsBytes (setup.substr (0, position) + inserted + setup.substr (position + (*inserted == 0 ? 1 : 0)));

    // A byte order mark, the text in UTF-16 of either byte order, and a text in Latin-1.
    expectReadAsBytes ("\xef\xbb\xbf" + setup);
    expectReadAsBytes (test::utf16WithByteOrderMark (setup, false));
    expectReadAsBytes (test::utf16WithByteOrderMark (setup, true));
    expectReadAsBytes ("<ScreenSetup><screens><Screen name=\"Fl\xe4" "che\"/></screens></ScreenSetup>");

    const auto compareFilesIn = [&] (const juce::File& folder)
    {
        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles))
        {
            juce::MemoryBlock bytes;
            ASSERT_TRUE (entry.getFile().loadFileAsData (bytes));
            expectReadAsBytes (std::string (static_cast<const char*> (bytes.getData()), bytes.getSize()));
        }
    };

    compareFilesIn (juce::File (CORVADINE_SOURCE_DIR).getChildFile ("fuzz/corpus/screen_setup"));

    if (test::hostSamplesFolder().isDirectory())
        compareFilesIn (test::hostSamplesFolder());

    EXPECT_GT (numWhole, 30);

    // Missing, a folder, and too large a file.
    EXPECT_FALSE (readWholeScreenSetupFile (file.getSiblingFile ("missing.xml")).parsed);
    EXPECT_FALSE (readWholeScreenSetupFile (file.getParentDirectory()).parsed);
    EXPECT_FALSE (readWholeScreenSetupFile (juce::File()).parsed);

    {
        juce::FileOutputStream out (file);
        ASSERT_TRUE (out.openedOk());
        out.setPosition (0);
        out.truncate();
        out.writeText ("<ScreenSetup>", false, false, nullptr);
        std::string padding (1 << 20, ' ');

        for (juce::int64 written = 0; written <= largestScreenSetupFile; written += (juce::int64) padding.size())
            out.write (padding.data(), padding.size());

        out.writeText ("</ScreenSetup>", false, false, nullptr);
    }

    EXPECT_GT (file.getSize(), largestScreenSetupFile);
    EXPECT_FALSE (readWholeScreenSetupFile (file).parsed);
}
