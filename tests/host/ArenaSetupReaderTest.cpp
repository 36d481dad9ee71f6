#include "host/ArenaSetupReader.h"
#include "host/CompositionSize.h"
#include "host/HostXmlFile.h"
#include "host/ScreenSetupFile.h"
#include "host/ScreenSetupFormat.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace corvadine;

namespace
{
// A screen setup holding one screen with the given number of slices.
juce::String setupXml (const juce::String& screenName, int slices, const juce::String& tag = "ScreenSetup")
{
    juce::String text;
    text << "<" << tag << " name=\"ScreenSetup\">\n"
         << "  <Params name=\"ScreenSetupParams\"/>\n"
         << "  <CurrentCompositionTextureSize width=\"1280\" height=\"720\"/>\n"
         << "  <screens>\n"
         << "    <Screen name=\"" << screenName << "\" uniqueId=\"1666869860661\">\n"
         << "      <Params name=\"Params\"><Param name=\"Hidden\" T=\"BOOL\" default=\"0\" value=\"0\"/></Params>\n"
         << "      <layers>\n";

    for (int i = 0; i < slices; ++i)
        text << "        <Slice uniqueId=\"" << (100 + i) << "\"><Params name=\"Common\"><Param name=\"Name\" value=\"Slice "
             << (i + 1) << "\"/></Params>"
             << "<InputRect orientation=\"0\"><v x=\"0\" y=\"0\"/><v x=\"100\" y=\"0\"/><v x=\"100\" y=\"50\"/><v x=\"0\" y=\"50\"/></InputRect>"
             << "</Slice>\n";

    text << "      </layers>\n    </Screen>\n  </screens>\n</" << tag << ">\n";
    return text;
}

// A preset file as the host writes it: the setup inside an "XmlState" root.
juce::String presetXml (const juce::String& name, const juce::String& setup)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<XmlState name=\"" + name + "\">\n"
           "  <versionInfo name=\"Resolume Arena\" majorVersion=\"7\" minorVersion=\"13\"/>\n" + setup + "</XmlState>\n";
}

juce::String advancedOutputNaming (const juce::String& preset)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<ScreenSetup name=\"ScreenSetup\" presetFile=\"" + preset + "\">\n"
           "  <versionInfo name=\"Resolume Arena\" majorVersion=\"7\"/>\n</ScreenSetup>\n";
}

juce::String configNaming (const juce::String& compositionPath)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Arena>\n  <versionInfo name=\"Resolume Arena\"/>\n"
           "  <Application name=\"Application\" fileBrowserFavourites=\"/\">\n    <Params name=\"Settings\">\n"
           "      <Param name=\"DefaultDeckCount\" T=\"UINT32\" default=\"3\" value=\"3\"/>\n"
           "      <Param name=\"CurrentCompositionFile\" T=\"STRING\" value=\"" + compositionPath + "\"/>\n"
           "    </Params>\n  </Application>\n</Arena>\n";
}

// One host version's folder in the temporary documents folder.
struct HostFolder
{
    explicit HostFolder (int version) : folder (arenaFolderForVersion (version))
    {
        test::documentsFolder();
        folder.createDirectory();
    }

    juce::File advancedOutput() const { return folder.getChildFile ("Preferences/AdvancedOutput.xml"); }
    juce::File config() const { return folder.getChildFile ("Preferences/config.xml"); }
    juce::File preset (const juce::String& name) const { return folder.getChildFile ("Presets/Advanced Output/" + name + ".xml"); }

    void writeAdvancedOutput (const juce::String& text) const { test::writeTextFile (advancedOutput(), text); }
    void writePreset (const juce::String& name, const juce::String& text) const { test::writeTextFile (preset (name), text); }

    // A composition file in the host's compositions folder, named by config.xml.
    juce::File writeComposition (const juce::String& name, int width, int height) const
    {
        const auto file = folder.getChildFile ("Compositions/" + name + ".avc");
        test::writeTextFile (file, "<Composition name=\"" + name + "\"><CompositionInfo width=\"" + juce::String (width)
                                       + "\" height=\"" + juce::String (height) + "\"/></Composition>");
        test::writeTextFile (config(), configNaming (file.getFullPathName()));
        return file;
    }

    juce::File folder;
};

juce::StringArray screenNames (const juce::Array<ScreenInfo>& screens)
{
    juce::StringArray names;

    for (const auto& screen : screens)
        names.add (screen.name + " (" + juce::String (screen.slices.size()) + ")");

    return names;
}

// What a later re-read of the watched file finds there, as the relink does it.
juce::StringArray screensInWatchedFile (const ArenaSetupReader& reader)
{
    return screenNames (readWholeScreenSetupFile (juce::File (reader.screenSetupFile)).screens);
}
} // namespace

TEST (ArenaSetupReader, DetectsTheHostFolderByWhichVersionsExist)
{
    const auto documents = test::documentsFolder();
    const auto seven = documents.getChildFile ("Resolume Arena").getFullPathName();
    const auto six = documents.getChildFile ("Resolume Arena 6").getFullPathName();

    EXPECT_FALSE (bothArenaVersionsInstalled());
    EXPECT_EQ (ArenaSetupReader().arenaFolder(), "");

    HostFolder hostSix (6);
    EXPECT_FALSE (bothArenaVersionsInstalled());
    EXPECT_EQ (ArenaSetupReader().arenaFolder(), six);

    hostSix.folder.deleteRecursively();
    HostFolder hostSeven (7);
    EXPECT_FALSE (bothArenaVersionsInstalled());
    EXPECT_EQ (ArenaSetupReader().arenaFolder(), seven);

    HostFolder again (6);
    EXPECT_TRUE (bothArenaVersionsInstalled());

    ArenaSetupReader reader;
    EXPECT_EQ (reader.arenaFolder(), seven);
    EXPECT_EQ (reader.preferencesFolder().getFullPathName(), seven + "/Preferences");
    reader.setArenaVersion (6);
    EXPECT_EQ (reader.arenaFolder(), six);
    reader.setArenaVersion (5);
    EXPECT_EQ (reader.arenaFolderCache, "");
    EXPECT_EQ (reader.arenaFolder(), seven);
}

TEST (ArenaSetupReader, ReadsNothingWithoutAHostFolder)
{
    // Host files in the wrong place: directly in the documents folder.
    const auto documents = test::documentsFolder();
    test::writeTextFile (documents.getChildFile ("Preferences/AdvancedOutput.xml"), setupXml ("Stray", 1));

    ArenaSetupReader reader;
    reader.reload();
    EXPECT_EQ (reader.arenaFolder(), "");
    EXPECT_EQ (reader.preferencesFolder(), juce::File());
    EXPECT_EQ (reader.screenSetup, nullptr);
    EXPECT_EQ (reader.composition, nullptr);
    EXPECT_EQ (reader.screenSetupFile, "");
    EXPECT_TRUE (reader.screens.isEmpty());

    // The version chooser cannot lead there either.
    reader.setArenaVersion (7);
    reader.reload();
    EXPECT_EQ (reader.screenSetup, nullptr);
    EXPECT_EQ (reader.screenSetupFile, "");
}

TEST (ArenaSetupReader, ReadsTheSetupFileItselfWhenItNamesNoPreset)
{
    for (const auto* presetAttribute : { "", " presetFile=\"\"" })
    {
        HostFolder host (7);
        auto setup = setupXml ("Main", 3);
        setup = setup.replaceFirstOccurrenceOf ("name=\"ScreenSetup\"", "name=\"ScreenSetup\"" + juce::String (presetAttribute));
        host.writeAdvancedOutput (setup);

        ArenaSetupReader reader;
        ASSERT_NE (reader.screenSetup, nullptr);
        EXPECT_EQ (reader.screenSetupFile, host.advancedOutput().getFullPathName());
        EXPECT_TRUE (reader.screens.isEmpty()); // the constructor parses no screens

        reader.reload();
        EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Main (3)" }));
        EXPECT_EQ (reader.screens[0].slices[2].name, "Slice 3");
        EXPECT_EQ (screensInWatchedFile (reader), screenNames (reader.screens));
        EXPECT_EQ (importCompositionSize (reader.screenSetup.get(), nullptr), juce::Point<int> (1280, 720));

        host.folder.deleteRecursively();
    }
}

TEST (ArenaSetupReader, FollowsThePresetThatTheSetupFileNames)
{
    HostFolder host (7);
    host.writeAdvancedOutput (advancedOutputNaming ("2 Faces"));
    host.writePreset ("2 Faces", presetXml ("2 Faces", setupXml ("Head Projection 1", 5)));
    host.writePreset ("Other", presetXml ("Other", setupXml ("Not chosen", 1)));

    ArenaSetupReader reader;
    reader.reload();
    EXPECT_EQ (reader.screenSetupFile, host.preset ("2 Faces").getFullPathName());
    ASSERT_NE (reader.screenSetup, nullptr);
    EXPECT_TRUE (reader.screenSetup->getTagName().equalsIgnoreCase ("ScreenSetup"));
    EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Head Projection 1 (5)" }));
    EXPECT_EQ (screensInWatchedFile (reader), screenNames (reader.screens));
}

TEST (ArenaSetupReader, KeepsTheSetupFileWhenThePresetCannotBeRead)
{
    struct Case { const char* name; juce::String presetText; bool keepsRoot; };
    const Case cases[] = {
        { "missing", {}, true },
        { "broken", "<XmlState><ScreenSetup><screens>", true },
        { "without setup", presetXml ("without setup", "<Other/>"), false },
        { "setup too deep", presetXml ("setup too deep", "<Wrapper>" + setupXml ("Deep", 1) + "</Wrapper>"), false },
    };

    for (const auto& c : cases)
    {
        HostFolder host (7);
        // The setup file holds screens of its own here, to tell the roads apart.
        host.writeAdvancedOutput (setupXml ("Own", 2).replaceFirstOccurrenceOf ("name=\"ScreenSetup\"",
                                                                                  "presetFile=\"" + juce::String (c.name) + "\""));

        if (c.presetText.isNotEmpty())
            host.writePreset (c.name, c.presetText);

        ArenaSetupReader reader;
        reader.reload();

        // The preset stays the file to watch: the host may write it later.
        EXPECT_EQ (reader.screenSetupFile, host.preset (c.name).getFullPathName()) << c.name;

        if (c.keepsRoot)
            EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Own (2)" })) << c.name;
        else
            EXPECT_EQ (reader.screenSetup, nullptr) << c.name;

        host.folder.deleteRecursively();
    }
}

TEST (ArenaSetupReader, FollowsAPresetWhoseNameStartsWithATilde)
{
    // A leading "~" is only a character of the name here, not the home
    // folder or another user's: the preset is the one in the preset folder.
    for (const auto* name : { "~Backup", "~", "~root" })
    {
        HostFolder host (7);
        host.writeAdvancedOutput (advancedOutputNaming (name));
        host.writePreset (name, presetXml (name, setupXml ("Tilde", 3)));

        ArenaSetupReader reader;
        reader.reload();
        EXPECT_EQ (reader.screenSetupFile, host.preset (name).getFullPathName()) << name;
        EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Tilde (3)" })) << name;
        EXPECT_EQ (screensInWatchedFile (reader), screenNames (reader.screens)) << name;
        host.folder.deleteRecursively();
    }
}

TEST (ArenaSetupReader, DoesNotFollowAPresetNameThatLeavesThePresetFolder)
{
    HostFolder host (7);
    const auto documents = test::documentsFolder();

    // A setup outside the host's preset folder that a crafted name could reach.
    test::writeTextFile (documents.getChildFile ("outside.xml"), presetXml ("outside", setupXml ("Outside", 4)));

    for (const auto* name : { "../../../outside", "..\\..\\..\\outside", "sub/name", "/etc/passwd" })
    {
        host.writeAdvancedOutput (setupXml ("Own", 1).replaceFirstOccurrenceOf ("name=\"ScreenSetup\"",
                                                                                  "presetFile=\"" + juce::String (name) + "\""));
        ArenaSetupReader reader;
        reader.reload();
        EXPECT_EQ (reader.screenSetupFile, host.advancedOutput().getFullPathName()) << name;
        EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Own (1)" })) << name;
    }
}

TEST (ArenaSetupReader, HandlesASetupFileThatIsBrokenOrAFolder)
{
    HostFolder host (7);
    host.advancedOutput().createDirectory();

    ArenaSetupReader asFolder;
    asFolder.reload();
    EXPECT_EQ (asFolder.screenSetup, nullptr);
    EXPECT_EQ (asFolder.screenSetupFile, "");

    host.advancedOutput().deleteRecursively();
    host.writeAdvancedOutput (setupXml ("Main", 1));
    ArenaSetupReader reader;
    reader.reload();
    ASSERT_EQ (reader.screens.size(), 1);

    // Half written, as the host may leave it for a moment: the setup element
    // is gone, the file to watch and the screens parsed before stay.
    host.writeAdvancedOutput ("<ScreenSetup><screens><Screen");
    reader.reload();
    EXPECT_EQ (reader.screenSetup, nullptr);
    EXPECT_EQ (reader.screenSetupFile, host.advancedOutput().getFullPathName());
    EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Main (1)" }));
}

TEST (ArenaSetupReader, ReadsASetupFileWhoseRootHoldsTheSetupLikeARelinkDoes)
{
    struct Case { juce::String text; juce::StringArray expected; };
    const Case cases[] = {
        { presetXml ("wrapped", setupXml ("Wrapped", 2)), { "Wrapped (2)" } },
        { setupXml ("Lower case", 1, "screensetup"), { "Lower case (1)" } },
        // A root of another tag is not a setup, for the import as for a re-read.
        { setupXml ("Other tag", 1, "Setup"), {} },
    };

    for (const auto& c : cases)
    {
        HostFolder host (7);
        host.writeAdvancedOutput (c.text);

        ArenaSetupReader reader;
        reader.reload();
        EXPECT_EQ (reader.screenSetupFile, host.advancedOutput().getFullPathName());
        EXPECT_EQ (screenNames (reader.screens), c.expected);
        EXPECT_EQ (screensInWatchedFile (reader), c.expected);
        host.folder.deleteRecursively();
    }
}

TEST (ArenaSetupReader, KeepsWhatWasReadWhenTheSetupFileDisappears)
{
    HostFolder host (7);
    host.writeAdvancedOutput (setupXml ("Main", 2));

    ArenaSetupReader reader;
    reader.reload();
    ASSERT_EQ (reader.screens.size(), 1);

    host.advancedOutput().deleteFile();
    reader.reload();
    ASSERT_NE (reader.screenSetup, nullptr);
    EXPECT_EQ (reader.screenSetupFile, host.advancedOutput().getFullPathName());
    EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Main (2)" }));
}

TEST (ArenaSetupReader, ReadsTheCompositionThatThePreferencesName)
{
    HostFolder host (7);
    const auto composition = host.writeComposition ("User Tests", 1024, 768);

    ArenaSetupReader reader;
    ASSERT_NE (reader.composition, nullptr);
    EXPECT_EQ (reader.composition->getStringAttribute ("name"), "User Tests");
    EXPECT_EQ (importCompositionSize (nullptr, reader.composition.get()), juce::Point<int> (1024, 768));

    const auto absolute = composition.getFullPathName();
    const auto elsewhere = test::documentsFolder().getChildFile ("Elsewhere.avc");
    test::writeTextFile (elsewhere, "<Composition name=\"Elsewhere\"/>");

    struct Case { juce::String config; bool found; };
    const Case cases[] = {
        { configNaming (absolute), true },
        // Any tags, as long as the "name" attributes lead there.
        { "<A><B name=\"Application\"><C name=\"Settings\"><D name=\"CurrentCompositionFile\" value=\"" + absolute + "\"/></C></B></A>", true },
        { configNaming (absolute).replace ("name=\"Application\"", "name=\"application\""), false },
        { configNaming (absolute).replace ("name=\"Settings\"", "Name=\"Settings\""), false },
        { configNaming (absolute).replace ("value=\"" + absolute, "Value=\"" + absolute), false },
        // Only a direct child of the root is the application element.
        { "<A><Wrap><B name=\"Application\"><C name=\"Settings\"><D name=\"CurrentCompositionFile\" value=\"" + absolute + "\"/></C></B></Wrap></A>", false },
        // Relative to whatever the working folder is: ignored.
        { configNaming ("Documents/Elsewhere.avc"), false },
        { configNaming ("~/Documents/Elsewhere.avc"), false },
        { configNaming (host.folder.getFullPathName()), false },
        { configNaming (absolute + ".missing"), false },
        { "<Arena><Application", false },
    };

    for (const auto& c : cases)
    {
        test::writeTextFile (host.config(), c.config);
        ArenaSetupReader fresh;
        EXPECT_EQ (fresh.composition != nullptr, c.found) << c.config;
    }

    // A composition that does not parse leaves none.
    test::writeTextFile (host.config(), configNaming (absolute));
    test::writeTextFile (composition, "<Composition><CompositionInfo");
    EXPECT_EQ (ArenaSetupReader().composition, nullptr);
}

TEST (ArenaSetupReader, ReloadKeepsNothingFromTheDetectedFolder)
{
    HostFolder seven (7);
    seven.writeComposition ("Seven", 3840, 2160);
    seven.writeAdvancedOutput (setupXml ("Seven", 2));
    HostFolder six (6);

    ArenaSetupReader reader;
    reader.reload();
    ASSERT_NE (reader.composition, nullptr);
    ASSERT_EQ (reader.screens.size(), 1);

    // Version 6 has no files yet: nothing of version 7 may pass for its setup.
    reader.setArenaVersion (6);
    reader.reload();
    EXPECT_EQ (reader.composition, nullptr);
    EXPECT_EQ (reader.screenSetup, nullptr);
    EXPECT_EQ (reader.screenSetupFile, "");
    EXPECT_TRUE (reader.screens.isEmpty());
    EXPECT_EQ (importCompositionSize (reader.screenSetup.get(), reader.composition.get()), juce::Point<int> (1920, 1080));

    six.writeComposition ("Six", 800, 600);
    six.writeAdvancedOutput (advancedOutputNaming ("Six"));
    six.writePreset ("Six", presetXml ("Six", setupXml ("Six", 4)));
    reader.reload();
    EXPECT_EQ (reader.composition->getStringAttribute ("name"), "Six");
    EXPECT_EQ (reader.screenSetupFile, six.preset ("Six").getFullPathName());
    EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Six (4)" }));

    // Back to detection: version 7 again, read afresh.
    reader.setArenaVersion (5);
    reader.reload();
    EXPECT_EQ (reader.composition->getStringAttribute ("name"), "Seven");
    EXPECT_EQ (reader.screenSetupFile, seven.advancedOutput().getFullPathName());
    EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Seven (2)" }));
}

TEST (ArenaSetupReader, ReadsTheRealHostFiles)
{
    const auto samples = test::hostSamplesFolder().getChildFile ("Resolume Arena");

    if (! samples.isDirectory())
        GTEST_SKIP() << "no host samples beside the checkout";

    const auto host = test::documentsFolder().getChildFile ("Resolume Arena");
    ASSERT_TRUE (samples.copyDirectoryTo (host));

    ArenaSetupReader reader;
    reader.reload();

    // The composition that config.xml names is not among the samples.
    EXPECT_EQ (reader.composition, nullptr);
    EXPECT_EQ (reader.screenSetupFile, host.getFullPathName() + "/Presets/Advanced Output/2 Faces.xml");
    EXPECT_EQ (importCompositionSize (reader.screenSetup.get(), reader.composition.get()), juce::Point<int> (1920, 1080));

    ASSERT_EQ (reader.screens.size(), 4);
    EXPECT_EQ (screenNames (reader.screens),
               juce::StringArray ({ "Head Projection 1 (5)", "Screen 1 (20)", "Screen 2 (6)", "Final Screen (7)" }));
    EXPECT_EQ (reader.screens[0].uniqueId, 1666869875352LL);
    EXPECT_FALSE (reader.screens[0].enabled);
    EXPECT_FALSE (reader.screens[1].enabled);
    EXPECT_TRUE (reader.screens[2].enabled);
    EXPECT_TRUE (reader.screens[3].enabled);

    int slices = 0;

    for (const auto& screen : reader.screens)
        slices += screen.slices.size();

    EXPECT_EQ (slices, 38);

    const auto& background = reader.screens[0].slices[0];
    EXPECT_EQ (background.name, "BG");
    EXPECT_EQ (background.uniqueId, 1670085950039LL);
    EXPECT_EQ (background.inputRect.size(), 4);
    EXPECT_TRUE (background.mask.isEmpty());

    const auto& face = reader.screens[0].slices[1];
    EXPECT_EQ (face.name, "Face Main");
    EXPECT_EQ (face.uniqueId, 1670085951745LL);
    EXPECT_TRUE (face.enabled);
    ASSERT_EQ (face.mask.size(), 27);
    EXPECT_EQ (face.mask[0], juce::Point<float> (850.9090576171875f, 993.22314453125f));
    EXPECT_EQ (face.inputRect[0], juce::Point<float> (759.66943359375f, 548.0f));
    ASSERT_EQ (face.outputContour.size(), 27);
    EXPECT_EQ (face.outputContour[0], juce::Point<float> (907.0f, 1128.0f));
    EXPECT_EQ (face.outputRect.size(), 4);
    EXPECT_EQ (reader.screens[3].slices[0].name, "BG 2");

    EXPECT_EQ (screensInWatchedFile (reader), screenNames (reader.screens));

    // The second preset: one screen whose mask layer is not a slice.
    test::writeTextFile (host.getChildFile ("Preferences/AdvancedOutput.xml"),
                         advancedOutputNaming (juce::String::fromUTF8 ("Decke Fl\xc3\xa4" "che")));
    reader.reload();
    EXPECT_TRUE (reader.screenSetupFile.endsWith (juce::String::fromUTF8 ("/Decke Fl\xc3\xa4" "che.xml")));
    ASSERT_EQ (reader.screens.size(), 1);
    EXPECT_EQ (reader.screens[0].name, "Screen 1");
    ASSERT_EQ (reader.screens[0].slices.size(), 1);
    EXPECT_EQ (reader.screens[0].slices[0].name, "Slice 2");
    EXPECT_EQ (reader.screens[0].slices[0].inputRect[1], juce::Point<float> (1920.0f, 176.0f));
}

TEST (ArenaSetupReader, ReloadParsesOnlyFilesWhoseTextChanged)
{
    HostFolder host (7);
    host.writeComposition ("Show", 1024, 768);
    host.writeAdvancedOutput (advancedOutputNaming ("Show"));
    host.writePreset ("Show", presetXml ("Show", setupXml ("First", 2)));

    // The constructor reads the files; the reload that follows keeps what it
    // read (the same elements, not parsed again) and parses the screens.
    ArenaSetupReader reader;
    const auto* setup = reader.screenSetup.get();
    const auto* composition = reader.composition.get();
    ASSERT_NE (setup, nullptr);
    ASSERT_NE (composition, nullptr);

    reader.reload();
    EXPECT_EQ (reader.screenSetup.get(), setup);
    EXPECT_EQ (reader.composition.get(), composition);
    EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "First (2)" }));

    // The host rewrites the preset with text of the same length: read afresh.
    host.writePreset ("Show", presetXml ("Show", setupXml ("Other", 2)));
    reader.reload();
    EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Other (2)" }));
    EXPECT_EQ (reader.composition.get(), composition);

    // Another preset named, and a new composition.
    host.writePreset ("Next", presetXml ("Next", setupXml ("Next", 3)));
    host.writeAdvancedOutput (advancedOutputNaming ("Next"));
    host.writeComposition ("Show", 640, 480);
    reader.reload();
    EXPECT_EQ (reader.screenSetupFile, host.preset ("Next").getFullPathName());
    EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Next (3)" }));
    EXPECT_EQ (importCompositionSize (nullptr, reader.composition.get()), juce::Point<int> (640, 480));

    // A setup element that the caller replaced is read again from the file.
    reader.screenSetup.reset();
    reader.reload();
    ASSERT_NE (reader.screenSetup, nullptr);
    EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Next (3)" }));

    // The preset vanishes: the setup of "AdvancedOutput.xml" stands, as on a first read.
    host.preset ("Next").deleteFile();
    reader.reload();
    EXPECT_EQ (reader.screenSetupFile, host.preset ("Next").getFullPathName());
    ASSERT_NE (reader.screenSetup, nullptr);
    EXPECT_EQ (reader.screenSetup->getStringAttribute ("presetFile"), "Next");
}

namespace
{
// How long reloadWaitingForWrites waits for the host, while it lives.
struct ScopedHostWriteWait
{
    explicit ScopedHostWriteWait (int ms) { ArenaSetupReader::hostWriteWaitMs = ms; }
    ~ScopedHostWriteWait() { ArenaSetupReader::hostWriteWaitMs = previous; }
    const int previous = ArenaSetupReader::hostWriteWaitMs;
};

juce::String cutBefore (const juce::String& text, const juce::String& end)
{
    return text.substring (0, text.lastIndexOf (end) + end.length() / 2);
}
} // namespace

// A setup file whose root is not closed yet (the host is writing it) gives
// no part of its setup, and is the file to watch.
TEST (ArenaSetupReader, TakesNothingFromASetupFileBeingWrittenAndWatchesIt)
{
    HostFolder host (7);

    {
        // The Advanced Output file itself, cut inside its last end tag.
        host.writeAdvancedOutput (cutBefore (setupXml ("Main", 2), "</ScreenSetup>"));
        ArenaSetupReader reader;
        reader.reload();
        EXPECT_EQ (reader.screenSetup, nullptr);
        EXPECT_TRUE (reader.screens.isEmpty());
        EXPECT_EQ (reader.screenSetupFile, host.advancedOutput().getFullPathName());
        EXPECT_EQ (reader.fileBeingWritten, host.advancedOutput().getFullPathName());

        host.writeAdvancedOutput (setupXml ("Main", 2));
        reader.reload();
        EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Main (2)" }));
        EXPECT_EQ (reader.fileBeingWritten, "");
    }

    {
        // The preset it names, cut inside its last end tags.
        host.writeAdvancedOutput (advancedOutputNaming ("Show"));
        host.writePreset ("Show", cutBefore (presetXml ("Show", setupXml ("Show", 3)), "</ScreenSetup>"));
        ArenaSetupReader reader;
        reader.reload();
        EXPECT_TRUE (reader.screens.isEmpty());
        EXPECT_EQ (reader.screenSetupFile, host.preset ("Show").getFullPathName());
        EXPECT_EQ (reader.fileBeingWritten, host.preset ("Show").getFullPathName());
        EXPECT_EQ (screensInWatchedFile (reader), juce::StringArray());

        // Read again as it stands, then once it is whole.
        reader.reload();
        EXPECT_EQ (reader.fileBeingWritten, host.preset ("Show").getFullPathName());
        host.writePreset ("Show", presetXml ("Show", setupXml ("Show", 3)));
        reader.reload();
        EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Show (3)" }));
        EXPECT_EQ (reader.fileBeingWritten, "");
        EXPECT_EQ (screensInWatchedFile (reader), screenNames (reader.screens));
    }

    {
        // Anything but white space, comments and processing instructions
        // after the root: not whole either (a second write over a longer
        // first one leaves such a tail until the host truncates the file).
        host.writeAdvancedOutput ("<ScreenSetup><screens><Screen name=\"x\"/></screens></ScreenSetup>\n<screens>");
        ArenaSetupReader reader;
        reader.reload();
        EXPECT_EQ (reader.screenSetup, nullptr);
        EXPECT_EQ (reader.fileBeingWritten, host.advancedOutput().getFullPathName());

        // A file the parser refuses is no file being written: nothing of it
        // is read or watched, as for any file that does not parse.
        host.writeAdvancedOutput ("<!DOCTYPE x><ScreenSetup><screens><Screen name=\"x\"/></screens></ScreenSetup>");
        ArenaSetupReader refused;
        refused.reload();
        EXPECT_EQ (refused.screenSetup, nullptr);
        EXPECT_EQ (refused.fileBeingWritten, "");
        EXPECT_EQ (refused.screenSetupFile, "");
    }
}

// The import's read waits a moment for a write the host is in the middle
// of; what is still being written after the wait is left unread.
TEST (ArenaSetupReader, AnImportWaitsAMomentForAFileBeingWritten)
{
    HostFolder host (7);
    host.writeAdvancedOutput (advancedOutputNaming ("Show"));
    const auto whole = presetXml ("Show", setupXml ("Show", 3));
    host.writePreset ("Show", cutBefore (whole, "</XmlState>"));

    {
        const ScopedHostWriteWait wait (5000);
        ArenaSetupReader reader;
        std::thread writer ([&]
        {
            std::this_thread::sleep_for (std::chrono::milliseconds (200));
            host.writePreset ("Show", whole);
        });

        const auto started = juce::Time::getMillisecondCounterHiRes();
        reader.reloadWaitingForWrites();
        const auto took = juce::Time::getMillisecondCounterHiRes() - started;
        writer.join();

        EXPECT_EQ (screenNames (reader.screens), juce::StringArray ({ "Show (3)" }));
        EXPECT_EQ (reader.fileBeingWritten, "");
        EXPECT_GE (took, 150.0);
        EXPECT_LT (took, 4500.0);
    }

    {
        const ScopedHostWriteWait wait (300);
        host.writePreset ("Show", cutBefore (whole, "</XmlState>"));
        ArenaSetupReader reader;
        const auto started = juce::Time::getMillisecondCounterHiRes();
        reader.reloadWaitingForWrites();
        const auto took = juce::Time::getMillisecondCounterHiRes() - started;

        EXPECT_TRUE (reader.screens.isEmpty());
        EXPECT_EQ (reader.fileBeingWritten, host.preset ("Show").getFullPathName());
        EXPECT_GE (took, 200.0);

        // A plain reload never waits.
        const auto again = juce::Time::getMillisecondCounterHiRes();
        reader.reload();
        EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - again, 200.0);
    }
}

// Every file that imports also relinks, to the same screens: the importer's
// read through JUCE's parser and the relink's read of the watched file
// agree on the fuzz corpus, the real host files and every cut of a setup.
TEST (ArenaSetupReader, EveryFileThatImportsAlsoRelinksToTheSameScreens)
{
    HostFolder host (7);
    int numWithScreens = 0;

    const auto expectSameScreens = [&] (const juce::MemoryBlock& bytes, const juce::String& name)
    {
        ASSERT_TRUE (host.advancedOutput().getParentDirectory().createDirectory());
        ASSERT_TRUE (host.advancedOutput().replaceWithData (bytes.getData(), bytes.getSize()));
        ArenaSetupReader reader;
        reader.reload();

        ScreenSetupFileRead imported, relinked;
        imported.screens = reader.screens;
        relinked.screens = readWholeScreenSetupFile (host.advancedOutput()).screens;
        juce::String difference;
        EXPECT_TRUE (sameScreenSetupRead (imported, relinked, difference)) << name << ": " << difference;
        numWithScreens += reader.screens.isEmpty() ? 0 : 1;
    };

    const auto compareFilesIn = [&] (const juce::File& folder)
    {
        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles))
        {
            juce::MemoryBlock bytes;
            ASSERT_TRUE (entry.getFile().loadFileAsData (bytes));
            expectSameScreens (bytes, entry.getFile().getFileName());
        }
    };

    compareFilesIn (juce::File (CORVADINE_SOURCE_DIR).getChildFile ("fuzz/corpus/screen_setup"));

    if (test::hostSamplesFolder().isDirectory())
        compareFilesIn (test::hostSamplesFolder().getChildFile ("Resolume Arena/Presets"));

    const auto setup = setupXml ("Cut", 3).toStdString();

    for (size_t length = 0; length <= setup.size(); length += 5)
        expectSameScreens (juce::MemoryBlock (setup.data(), length), "cut at " + juce::String ((int) length));

    EXPECT_GT (numWithScreens, 3);
}
