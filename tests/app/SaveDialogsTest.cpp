// The dialogs a failed save shows, with a document path of a few hundred
// characters: the question (or the statement) is seen without scrolling,
// the file is named once, and its path is broken only after a "/".
#include "app/ControllerHarness.h"

#include "model/FileLess.h"
#include "support/TestSupport.h"
#include "widgets/DialogComponent.h"
#include "widgets/DialogManager.h"

#include <gtest/gtest.h>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
// A document path of about 300 characters in folders that do not exist, so
// that every write to it fails; without spaces it can only break after a "/".
juce::String longDocumentPath (bool withSpaces)
{
    auto folder = testHome();

    for (auto name : { "Shows and rehearsals of the touring season", "Main stage projection mapping",
                       "Festival grounds north field with the big screens", "Backup copies kept by the operator",
                       "Second night with the extended set list", "Final versions approved by the director" })
        folder = folder.getChildFile (withSpaces ? juce::String (name) : juce::String (name).replaceCharacter (' ', '-'));

    return folder.getChildFile (withSpaces ? "Projection mapping of the main stage.xml" : "NewCorvadineDocument.xml").getFullPathName();
}

int occurrences (const juce::String& text, const juce::String& part)
{
    int count = 0;

    for (int i = text.indexOf (part); i >= 0; i = text.indexOf (i + 1, part))
        ++count;

    return count;
}

// Walks the lines through the text: each break falls at a space or a line
// end, or after a "/" (or, with allowCharacterBreaks, anywhere in a word
// too long for a line); nothing is lost or repeated.
void expectBreaksOnlyWhereTheyRead (const juce::String& text, const juce::StringArray& lines, bool allowCharacterBreaks = false)
{
    int pos = 0;

    for (int i = 0; i < lines.size(); ++i)
    {
        while (pos < text.length() && (text[pos] == ' ' || (text[pos] == '\n' && lines[i].isNotEmpty())))
            ++pos;

        if (lines[i].isEmpty())
        {
            if (pos < text.length() && text[pos] == '\n')
                ++pos;
            continue;
        }

        ASSERT_TRUE (text.substring (pos).startsWith (lines[i])) << lines[i] << " at " << pos;
        pos += lines[i].length();

        if (pos < text.length() && ! allowCharacterBreaks)
            EXPECT_TRUE (text[pos] == ' ' || text[pos] == '\n' || lines[i].endsWithChar ('/')) << lines[i];
    }

    while (pos < text.length() && (text[pos] == ' ' || text[pos] == '\n'))
        ++pos;

    EXPECT_EQ (pos, text.length());
}

struct Shown
{
    juce::String message;
    juce::StringArray lines;
    int lineHeight = 0;
    int top = 0;
    int viewportHeight = 0;
    int labelHeight = 0;
    juce::Rectangle<int> viewport;
};

// Shows the dialog for real, in the colours the main component gives every
// dialog; looks at it, writes its snapshot and presses its first button.
Shown showAndLookAt (const DialogManager::Request& request, const juce::String& snapshotName)
{
    auto& manager = DialogManager::getInstance();
    manager.backgroundColour = juce::Colour (0xff54276c);
    manager.accentColour = juce::Colour (0xffdfdf17);
    manager.textColour = juce::Colour (0xffffff00);

    Shown shown;
    std::function<void()> look = [&]
    {
        auto* dialog = dynamic_cast<DialogComponent*> (juce::Component::getCurrentlyModalComponent());

        if (dialog == nullptr || dialog->titleLabel.getText() != request.title)
            return callAfter (50, look);

        shown.message = dialog->messageLabel.getText();
        shown.lines = dialog->messageLines();
        shown.lineHeight = (int) dialog->messageLabel.getFont().getHeight();
        shown.top = dialog->messageLabel.getBorderSize().getTop();
        shown.viewportHeight = dialog->viewport.getHeight();
        shown.viewport = dialog->viewport.getBounds();
        shown.labelHeight = dialog->messageLabel.getHeight();

        callAfter (200, [dialog = juce::Component::SafePointer<DialogComponent> (dialog), snapshotName]
        {
            if (dialog == nullptr)
                return;

            writeSnapshot (*dialog, snapshotName);
            clickThroughWindow (*dialog->buttons[0]);
        });
    };

    callAfter (0, look);
    manager.showChoiceDialog (request.title, request.message, request.buttons);

    manager.backgroundColour = juce::Colour (0xff19abff);
    manager.accentColour = juce::Colour (0xffff9200);
    manager.textColour = juce::Colour (0xfff5f5f5);
    return shown;
}

// The line that ends with the sentence lies inside the viewport; the path
// appears once, and no line breaks inside a word unless after a "/".
void expectReadable (const Shown& shown, const juce::String& sentenceEnd, const juce::String& path)
{
    ASSERT_FALSE (shown.lines.isEmpty());
    EXPECT_EQ (shown.viewport, juce::Rectangle<int> (25, 100, 750, 192));

    int sentenceLine = -1;
    for (int i = 0; i < shown.lines.size(); ++i)
        if (shown.lines[i].endsWith (sentenceEnd))
            sentenceLine = i;

    ASSERT_GE (sentenceLine, 0) << shown.lines.joinIntoString ("|");
    EXPECT_LE (shown.top + (sentenceLine + 1) * shown.lineHeight, shown.viewportHeight) << shown.lines.joinIntoString ("|");

    // The whole message is laid out: the label is as tall as its lines.
    EXPECT_GE (shown.labelHeight, shown.top + shown.lines.size() * shown.lineHeight);

    EXPECT_EQ (occurrences (shown.message, path), 1);
    expectBreaksOnlyWhereTheyRead (shown.message, shown.lines);
}
} // namespace

TEST (SaveDialogs, TheSaveQuestionIsSeenWithALongPath)
{
    const auto path = longDocumentPath (false);
    ASSERT_GT (path.length(), 280);

    ControllerHarness harness;
    DialogManager::Request question;
    harness.answer = [&] (const DialogManager::Request& request)
    {
        if (request.title == "Can't save document")
            question = request;
        return 2; // "Discard changes"
    };
    auto& controller = harness.start();
    controller.setDocumentPath (path);
    controller.addFocalClicked (0);
    ASSERT_TRUE (controller.writePendingSaveOrAsk());
    ASSERT_EQ (question.title, "Can't save document");

    EXPECT_TRUE (question.message.startsWith ("I couldn't save the document: No such file or directory. Try again"))
        << question.message;
    EXPECT_EQ (occurrences (question.message, path), 1);

    // The save error the failed write posts is answered too, before the
    // question is shown for real.
    pumpMessageLoop (200);
    harness.dialogs.reset();
    const auto shown = showAndLookAt (question, "save-question-long-path");
    expectReadable (shown, "discard the changes?", path);
}

TEST (SaveDialogs, TheSaveErrorIsSeenWithALongPath)
{
    const auto path = longDocumentPath (true);
    DialogManager::Request told;

    {
        DialogManager::ScopedAnswerer answerer ([&] (const DialogManager::Request& request)
        {
            told = request;
            return 0;
        });

        FileLess store;
        store.documentPath = path;
        store.startDeferredSave();
        EXPECT_FALSE (store.flushPendingSave());
        ASSERT_TRUE (pumpUntil ([&] { return told.title.isNotEmpty(); }, 3000));
        store.discardPendingSave();
    }

    EXPECT_EQ (told.title, "Oh no! Save error...");
    EXPECT_TRUE (told.message.startsWith ("I couldn't save the document: No such file or directory. I'll keep trying"))
        << told.message;
    EXPECT_EQ (occurrences (told.message, path), 1);

    const auto shown = showAndLookAt (told, "save-error-long-path");
    expectReadable (shown, "kept until then.", path);
}

// The breaking rule itself: at spaces; a word longer than the line after
// its last "/" that fits; a word without one after the last character that
// fits; no line wider than the width.
TEST (SaveDialogs, MessagesBreakAtSpacesAndLongPathsAfterASlash)
{
    const juce::Font font (juce::Font::getDefaultSansSerifFontName(), 24.0f, juce::Font::plain);
    const auto width = 300.0f;

    const juce::String texts[] = {
        "Short words only, several of them, so that the line must break somewhere.",
        "/home/operator/Documents/Corvadine/A folder with spaces in it/NewCorvadineDocument.xml",
        "/a/very/long/path/that/has/many/short/folders/in/it/and/ends/in/a/file.xml",
        "Averyveryverylongwordwithoutanyslashthatcannotfitononelineatall",
        "Two paragraphs.\n\nThe second after a blank line.",
    };

    for (const auto& text : texts)
    {
        SCOPED_TRACE (text);
        const auto lines = DialogComponent::wrapMessage (text, font, width);

        for (const auto& line : lines)
            EXPECT_LE (font.getStringWidthFloat (line), width) << line;

        expectBreaksOnlyWhereTheyRead (text, lines, text.startsWith ("Avery"));
    }

    // A path of short folders breaks after a "/".
    const auto path = DialogComponent::wrapMessage ("/a/very/long/path/that/has/many/short/folders/in/it/and/ends/in/a/file.xml",
                                                    font, width);
    ASSERT_GT (path.size(), 1);
    for (int i = 0; i < path.size() - 1; ++i)
        EXPECT_TRUE (path[i].endsWithChar ('/')) << path[i];

    EXPECT_EQ (DialogComponent::wrapMessage ("Two paragraphs.\n\nThe second.", font, 1000.0f),
               juce::StringArray ({ "Two paragraphs.", "", "The second." }));
}
