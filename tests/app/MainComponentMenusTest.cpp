// The "File" and "Window" menus carried out on a real main component, with
// the file choosers and dialogs answered through their seams, and every file
// read back from the temporary HOME.
#include "preview/PreviewProbe.h"
#include "app/FileChoosers.h"
#include "app/MainComponent.h"
#include "host/HostXmlFile.h"
#include "model/FileLess.h"
#include "support/DocumentContract.h"
#include "support/TestSupport.h"
#include "widgets/DialogManager.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
using Request = DialogManager::Request;

juce::String lastUsedPathInPreferences()
{
    const auto root = parseHostXmlFile (preferencesFile());

    if (root == nullptr)
        return {};

    for (auto* child : root->getChildIterator())
        if (child->getTagName().equalsIgnoreCase ("lastusedfile"))
            return child->getStringAttribute ("fullpathname");

    return {};
}

// Whether the document store's deferred save is waiting (the controller is
// a file poller too, with a timer of its own).
bool savePending (FlowController& controller)
{
    return controller.isSaving();
}

// Leaves a change waiting for the deferred save.
void makePendingChange (FlowController& controller, const juce::String& marker)
{
    controller.document.setProperty ("testMarker", marker, nullptr);
    controller.startDeferredSave();
    ASSERT_TRUE (savePending (controller));
}

// Whether the file holds exactly the controller's document, read back
// through the guarded parser.
bool fileHoldsDocument (const juce::File& file, FlowController& controller)
{
    const auto root = parseHostXmlFile (file);
    return root != nullptr && root->getTagName() == "Corvadine"
           && juce::ValueTree::fromXml (*root).isEquivalentTo (controller.document);
}

bool fileHoldsMarker (const juce::File& file, const juce::String& marker)
{
    return file.loadFileAsString().contains ("testMarker=\"" + marker + "\"");
}

// A main component that has settled: the start-up document written.
struct MainFixture
{
    MainFixture()
    {
        main = std::make_unique<MainComponent>();
        controller = main->controller.get();
        test::pumpUntil ([this] { return ! savePending (*controller); }, 5000);
        startPath = controller->documentPath;
    }

    std::unique_ptr<MainComponent> main;
    FlowController* controller = nullptr;
    juce::String startPath;
};

// Answers every dialog with its first button and keeps the requests.
struct RecordedDialogs
{
    DialogManager::ScopedAnswerer answerer { [] (const Request&) { return 0; } };

    juce::StringArray titles() const
    {
        juce::StringArray result;
        for (const auto& request : answerer.requests)
            result.add (request.title);
        return result;
    }
};
} // namespace

TEST (MainComponentMenus, BuildsTheWholeInterfaceAroundOneController)
{
    MainFixture fixture;
    auto& main = *fixture.main;

    ASSERT_NE (main.controller, nullptr);
    EXPECT_EQ (main.controller->stage, main.stage);
    EXPECT_EQ (main.controller->inspector, &main.inspector);
    EXPECT_EQ (main.zoomport.getContent(), main.stage);
    EXPECT_EQ (main.inspector.getName(), "LookSpector");
    EXPECT_EQ (main.inspector.getParentComponent(), &main.flyOut);
    EXPECT_EQ (main.flyOut.content.getComponent(), &main.inspector);
    EXPECT_EQ (main.flyOut.getParentComponent(), &main);
    EXPECT_TRUE (main.flyOut.isVisible());

    auto& dialogs = DialogManager::getInstance();
    EXPECT_EQ (dialogs.backgroundColour, juce::Colour (0xff54276c));
    EXPECT_EQ (dialogs.accentColour, juce::Colour (0xffdfdf17));
    EXPECT_EQ (dialogs.textColour, juce::Colour (0xffffff00));

    // Start-up wrote the document.
    EXPECT_TRUE (fileHoldsDocument (juce::File (fixture.startPath), *fixture.controller));
}

TEST (MainComponentMenus, FlyOutHugsTheRightEdgeAndIsNeverWiderThan290)
{
    MainFixture fixture;
    auto& main = *fixture.main;
    const auto menuHeight = main.getLookAndFeel().getDefaultMenuBarHeight();

    struct Row { int width, height; juce::Rectangle<int> flyOut; };
    const Row rows[] = { { 1920, 1080, { 1630, menuHeight, 290, 1080 - menuHeight } },
                         { 800, 600, { 510, menuHeight, 290, 600 - menuHeight } },
                         { 290, 400, { 0, menuHeight, 290, 400 - menuHeight } },
                         { 200, 400, { 0, menuHeight, 200, 400 - menuHeight } } };

    for (const auto& row : rows)
    {
        main.setSize (row.width, row.height);
        EXPECT_EQ (main.flyOut.getBounds(), row.flyOut) << row.width << " x " << row.height;
    }
}

TEST (MainComponentMenus, StageIsFittedByTheCompositionWidthAndAnUnusableWidthAsFor1920)
{
    MainFixture fixture;
    auto& main = *fixture.main;
    ASSERT_NE (main.controller->model, nullptr);

    const auto scaleFor = [&] (int compositionWidth)
    {
        main.controller->model->compositionSize.x = compositionWidth;
        main.resized();
        return main.stage->getTransform().getScaleFactor();
    };

    const auto viewWidth = (float) main.zoomport.getWidth();
    const auto stageWidth = (float) main.stage->getWidth();
    EXPECT_NEAR (scaleFor (1920), viewWidth / stageWidth * 26.0f * 0.75f, 1.0e-4f);
    EXPECT_NEAR (scaleFor (1280), viewWidth / stageWidth * 39.0f * 0.75f, 1.0e-4f);

    for (int unusable : { 0, -5, 50001, std::numeric_limits<int>::max() })
    {
        const auto scale = scaleFor (unusable);
        EXPECT_TRUE (std::isfinite (scale)) << unusable;
        EXPECT_NEAR (scale, viewWidth / stageWidth * 26.0f * 0.75f, 1.0e-4f) << unusable;
    }
}

TEST (MainComponentMenus, NewWritesThePendingChangeToTheOldFileThenStartsANewDocument)
{
    MainFixture fixture;
    makePendingChange (*fixture.controller, "before-new");

    fixture.main->menuItemSelected (MainComponent::newId, 0);

    EXPECT_TRUE (fileHoldsMarker (juce::File (fixture.startPath), "before-new"));
    EXPECT_NE (fixture.controller->documentPath, fixture.startPath);
    EXPECT_EQ (juce::File (fixture.controller->documentPath).getParentDirectory(), documentsFolder());
    EXPECT_EQ (lastUsedPathInPreferences(), fixture.controller->documentPath);

    // The new document goes to its own new file a second later.
    ASSERT_TRUE (test::pumpUntil ([&] { return juce::File (fixture.controller->documentPath).getSize() > 0; }, 5000));
    EXPECT_TRUE (fileHoldsDocument (juce::File (fixture.controller->documentPath), *fixture.controller));
}

TEST (MainComponentMenus, LoadRefusalsLeaveDocumentPathAndPreferencesAlone)
{
    struct Row
    {
        const char* name;
        std::optional<juce::String> content; // nothing: the chooser gives an empty path
        juce::String title;
    };

    const Row rows[] = {
        { "empty path", std::nullopt, "Eh?" },
        { "empty file", juce::String(), "Oh no! Load error..." },
        { "not XML", juce::String ("just some words, no markup"), "Oh no! Load error..." },
        { "truncated XML", juce::String ("<Corvadine version=\"0.9.9\"><looks>"), "Oh no! Load error..." },
        { "cut in its last end tag", juce::String ("<Corvadine version=\"0.9.9\"><looks/></Corva"), "Oh no! Load error..." },
        { "root in another case", juce::String ("<corvadine version=\"0.9.9\"/>"), "Oh no! Load error..." },
        { "another root", juce::String ("<Document version=\"0.9.9\"/>"), "Oh no! Load error..." },
        { "a DTD", juce::String ("<!DOCTYPE a [<!ENTITY x \"y\">]><Corvadine version=\"0.9.9\"/>"), "Oh no! Load error..." },
        { "too old", juce::String ("<Corvadine version=\"0.9.3\"/>"), "Whoops! Older version eror..." },
    };

    MainFixture fixture;
    const auto preferencesBefore = preferencesFile().loadFileAsString();
    const auto documentBefore = fixture.controller->document.createCopy();

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        juce::File chosen;

        if (row.content.has_value())
        {
            chosen = test::documentsFolder().getChildFile (juce::String (row.name) + ".xml");
            test::writeTextFile (chosen, *row.content);
        }

        ScopedFileChooserAnswerer files ([&] (const FileChoice&) { return std::optional<juce::File> (chosen); });
        RecordedDialogs dialogs;

        fixture.main->menuItemSelected (MainComponent::loadId, 0);

        ASSERT_EQ (files.requests.size(), 1u);
        EXPECT_EQ (files.requests[0].title, "Load Corvadine document...");
        EXPECT_EQ (files.requests[0].startFolder, documentsFolder());
        EXPECT_EQ (files.requests[0].patterns, "*.xml");
        EXPECT_EQ (files.requests[0].flags, 5);
        ASSERT_EQ (dialogs.titles(), juce::StringArray (row.title));
        EXPECT_EQ (dialogs.answerer.requests[0].buttons, juce::StringArray ("Ok"));

        if (row.title == "Eh?")
            EXPECT_EQ (dialogs.answerer.requests[0].message, "This file appears to be empty.");
        if (row.title.startsWith ("Whoops"))
            EXPECT_EQ (dialogs.answerer.requests[0].message,
                       "This file can't be loaded, because it was created using an older version and this version cannot read it.");

        EXPECT_EQ (fixture.controller->documentPath, fixture.startPath);
        EXPECT_TRUE (fixture.controller->document.isEquivalentTo (documentBefore));
        EXPECT_EQ (preferencesFile().loadFileAsString(), preferencesBefore);
    }
}

TEST (MainComponentMenus, CancelledLoadAndSaveAsDoNothing)
{
    MainFixture fixture;
    const auto documentBefore = fixture.controller->document.createCopy();
    ScopedFileChooserAnswerer files ([] (const FileChoice&) { return std::optional<juce::File>(); });
    RecordedDialogs dialogs;

    fixture.main->menuItemSelected (MainComponent::loadId, 0);
    fixture.main->menuItemSelected (MainComponent::saveAsId, 0);
    fixture.main->menuItemSelected (MainComponent::versionId, 0);
    fixture.main->menuItemSelected (9, 0);
    fixture.main->menuItemSelected (2, 1);

    EXPECT_EQ (files.requests.size(), 2u);
    EXPECT_TRUE (dialogs.answerer.requests.isEmpty());
    EXPECT_EQ (fixture.controller->documentPath, fixture.startPath);
    EXPECT_TRUE (fixture.controller->document.isEquivalentTo (documentBefore));
    EXPECT_FALSE (savePending (*fixture.controller));
}

TEST (MainComponentMenus, LoadAcceptsADocumentRecordsItAndWritesThePendingChangeFirst)
{
    MainFixture fixture;
    const auto chosen = test::documentsFolder().getChildFile ("Show/Tonight.xml");
    // No "version": read as 1.0.0, which loads; the loaded tree keeps its own.
    test::writeTextFile (chosen, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Corvadine><assFile x=\"1280\" y=\"720\"/></Corvadine>");

    makePendingChange (*fixture.controller, "before-load");
    ScopedFileChooserAnswerer files ([&] (const FileChoice&) { return std::optional<juce::File> (chosen); });
    RecordedDialogs dialogs;

    fixture.main->menuItemSelected (MainComponent::loadId, 0);

    EXPECT_TRUE (fileHoldsMarker (juce::File (fixture.startPath), "before-load"));
    EXPECT_EQ (fixture.controller->documentPath, chosen.getFullPathName());
    EXPECT_EQ (lastUsedPathInPreferences(), chosen.getFullPathName());
    EXPECT_FALSE (fixture.controller->document.hasProperty ("version"));
    EXPECT_FALSE (fixture.controller->document.hasProperty ("testMarker"));
    EXPECT_EQ (fixture.controller->model->compositionSize, juce::Point<int> (1280, 720));

    // The load stores, and the store is written to the loaded file.
    ASSERT_TRUE (test::pumpUntil ([&] { return ! savePending (*fixture.controller); }, 5000));
    EXPECT_TRUE (fileHoldsDocument (chosen, *fixture.controller));
}

TEST (MainComponentMenus, SaveAsOntoAnExistingFileKeepsItUntilTheDeferredSave)
{
    MainFixture fixture;
    const auto target = test::documentsFolder().getChildFile ("Existing.xml");
    test::writeTextFile (target, "old contents");
    ScopedFileChooserAnswerer files ([&] (const FileChoice&) { return std::optional<juce::File> (target); });
    RecordedDialogs dialogs;

    fixture.main->menuItemSelected (MainComponent::saveAsId, 0);

    ASSERT_EQ (files.requests.size(), 1u);
    EXPECT_EQ (files.requests[0].title, "Save file as...");
    EXPECT_EQ (files.requests[0].startFolder, documentsFolder());
    EXPECT_EQ (files.requests[0].patterns, "*.xml");
    EXPECT_EQ (files.requests[0].flags, 134);
    EXPECT_TRUE (dialogs.answerer.requests.isEmpty());
    EXPECT_EQ (fixture.controller->documentPath, target.getFullPathName());
    EXPECT_EQ (target.loadFileAsString(), "old contents");
    EXPECT_TRUE (savePending (*fixture.controller));

    ASSERT_TRUE (test::pumpUntil ([&] { return ! savePending (*fixture.controller); }, 5000));
    EXPECT_TRUE (fileHoldsDocument (target, *fixture.controller));
    EXPECT_EQ (lastUsedPathInPreferences(), target.getFullPathName());
}

TEST (MainComponentMenus, SaveAsOntoANewPathCreatesItEmptyAtOnceAndTheOldFileGetsThePendingChange)
{
    MainFixture fixture;
    const auto target = test::documentsFolder().getChildFile ("New Folder/Deeper/Copy.xml");
    makePendingChange (*fixture.controller, "before-save-as");
    ScopedFileChooserAnswerer files ([&] (const FileChoice&) { return std::optional<juce::File> (target); });

    fixture.main->menuItemSelected (MainComponent::saveAsId, 0);

    EXPECT_TRUE (target.existsAsFile());
    EXPECT_EQ (fixture.controller->documentPath, target.getFullPathName());
    EXPECT_TRUE (fileHoldsMarker (juce::File (fixture.startPath), "before-save-as"));
    EXPECT_TRUE (savePending (*fixture.controller));

    ASSERT_TRUE (test::pumpUntil ([&] { return ! savePending (*fixture.controller); }, 5000));
    EXPECT_TRUE (fileHoldsMarker (target, "before-save-as"));
    EXPECT_EQ (lastUsedPathInPreferences(), target.getFullPathName());
}

TEST (MainComponentMenus, SaveAsWhereNoFileCanBeMadeSaysSoAndKeepsTheOldPath)
{
    MainFixture fixture;
    // A plain file where a folder would have to be: nothing can be created
    // below it, not even by root.
    const auto blocker = test::documentsFolder().getChildFile ("blocker");
    test::writeTextFile (blocker, "a file, not a folder");
    const auto folder = test::documentsFolder().getChildFile ("A Folder.xml");
    folder.createDirectory();

    for (const auto& target : { blocker.getChildFile ("Copy.xml"), folder })
    {
        SCOPED_TRACE (target.getFullPathName());
        ScopedFileChooserAnswerer files ([&] (const FileChoice&) { return std::optional<juce::File> (target); });
        RecordedDialogs dialogs;

        fixture.main->menuItemSelected (MainComponent::saveAsId, 0);

        ASSERT_EQ (dialogs.answerer.requests.size(), 1);
        EXPECT_EQ (dialogs.answerer.requests[0].title, "Can't save there");
        EXPECT_TRUE (dialogs.answerer.requests[0].message.contains (target.getFullPathName()));
        EXPECT_TRUE (dialogs.answerer.requests[0].message.contains (fixture.startPath));
        EXPECT_EQ (fixture.controller->documentPath, fixture.startPath);
        EXPECT_FALSE (savePending (*fixture.controller));
    }

    EXPECT_EQ (blocker.loadFileAsString(), "a file, not a folder");
    EXPECT_TRUE (folder.isDirectory());
}

TEST (MainComponentMenus, NewAndLoadStayWhenThePendingChangeCannotBeWrittenAndTheUserKeepsIt)
{
    // Only a store whose flush reports a failed write can ask.
    if constexpr (! std::is_same_v<decltype (std::declval<FileLess&>().flushPendingSave()), bool>)
        GTEST_SKIP() << "the document store does not report failed writes yet";

    MainFixture fixture;
    const auto blocker = test::documentsFolder().getChildFile ("blocker");
    test::writeTextFile (blocker, "x");
    const auto unwritable = blocker.getChildFile ("Doc.xml").getFullPathName();
    fixture.controller->setDocumentPath (unwritable);
    makePendingChange (*fixture.controller, "unwritable");

    const auto chosen = test::documentsFolder().getChildFile ("Other.xml");
    test::writeTextFile (chosen, "<Corvadine version=\"0.9.9\"/>");
    ScopedFileChooserAnswerer files ([&] (const FileChoice&) { return std::optional<juce::File> (chosen); });
    // The question ends without a button: stay with the document.
    DialogManager::ScopedAnswerer dialogs ([] (const Request&) { return -1; });

    fixture.main->menuItemSelected (MainComponent::newId, 0);
    fixture.main->menuItemSelected (MainComponent::loadId, 0);

    EXPECT_GE (dialogs.requests.size(), 2);
    for (const auto& request : dialogs.requests)
        EXPECT_EQ (request.kind, Request::Kind::choice);
    EXPECT_EQ (fixture.controller->documentPath, unwritable);
    EXPECT_EQ (fixture.controller->document.getProperty ("testMarker").toString(), "unwritable");
}

TEST (MainComponentMenus, RelinkReportsHowTheStageWasRelinked)
{
    const auto samples = test::hostSamplesFolder().getChildFile ("Resolume Arena");

    if (! samples.isDirectory())
        GTEST_SKIP() << "no host sample files beside the checkout";

    ASSERT_TRUE (samples.copyDirectoryTo (test::documentsFolder().getChildFile ("Resolume Arena")));
    MainFixture fixture;
    const auto slicesBefore = fixture.controller->document.getChildWithName ("arenaScreens").toXmlString();
    ASSERT_TRUE (slicesBefore.contains ("<slice "));
    RecordedDialogs dialogs;

    fixture.main->menuItemSelected (MainComponent::relinkId, 0);

    ASSERT_EQ (dialogs.titles(), juce::StringArray ("Stage relinked..."));
    EXPECT_EQ (fixture.controller->documentPath, fixture.startPath);
    ASSERT_TRUE (test::pumpUntil ([&] { return ! savePending (*fixture.controller); }, 5000));
    const auto problems = test::checkDocumentFile (juce::File (fixture.startPath));
    EXPECT_TRUE (problems.isEmpty()) << problems.joinIntoString ("\n");
}

TEST (MainComponentMenus, PreviewItemOpensAndClosesThePreviewAndIsTickedWhileItIsOpen)
{
    // Mesa's leftovers of a closed OpenGL window are known once its driver stays loaded.
    test::keepOpenGLDriverLoaded();
    MainFixture fixture;
    auto& main = *fixture.main;

    const auto previewTicked = [&main]
    {
        const auto menu = main.getMenuForIndex (1, "Window");
        for (juce::PopupMenu::MenuItemIterator items (menu); items.next();)
            if (items.getItem().itemID == MainComponent::previewId)
                return items.getItem().isTicked;
        ADD_FAILURE() << "no Preview item";
        return false;
    };

    EXPECT_FALSE (previewTicked());
    main.menuItemSelected (MainComponent::previewId, 1);
    ASSERT_NE (main.controller->preview, nullptr);
    EXPECT_TRUE (previewTicked());

    main.menuItemSelected (MainComponent::previewId, 1);
    EXPECT_EQ (main.controller->preview, nullptr);
    EXPECT_FALSE (previewTicked());
}
