#include "inspector/InspectorTestSupport.h"
#include "inspector/ResolutionDrawer.h"
#include "model/Look.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
constexpr int intMax = std::numeric_limits<int>::max();
constexpr int intMin = std::numeric_limits<int>::min();
static_assert (Look::maxResolutionSide == 16384, "the edit table's sides");

struct RecordingResolutionListener : ResolutionDrawer::Listener
{
    void resolutionChanged (ResolutionDrawer*, juce::Point<int> size) override
    {
        sizes.push_back (size);
        if (after)
            after();
    }

    std::vector<juce::Point<int>> sizes;
    std::function<void()> after;
};

// Typing as the user does: key presses through the window's peer, to
// whatever component has the keyboard focus.
void typeKeys (juce::Component& inWindow, const juce::String& text)
{
    auto* peer = inWindow.getPeer();
    ASSERT_NE (peer, nullptr);

    for (auto c : text)
        peer->handleKeyPress (juce::KeyPress ((int) c, {}, c));
}

// The editor handles Return through a posted message: pumped until the
// label has closed its editor.
void pressReturn (juce::Component& inWindow, juce::Label& label)
{
    inWindow.getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::returnKey));
    EXPECT_TRUE (pumpUntil ([&] { return ! label.isBeingEdited(); }, 2000));
}
} // namespace

TEST (ResolutionDrawer, ReadsASideAsADecimalClampedToAnInt)
{
    const std::pair<const char*, int> cases[] = {
        { "1280", 1280 },
        { "  42", 42 },
        { "+7", 7 },
        { "-5", -5 },
        { "12ab", 12 },
        { "abc", 0 },
        { "", 0 },
        { "2147483647", intMax },
        { "2147483648", intMax },
        { "99999999999999999999999999", intMax },
        { "-99999999999999999999999999", intMin },
    };

    for (const auto& [text, expected] : cases)
        EXPECT_EQ (ResolutionDrawer::readSide (text), expected) << text;
}

TEST (ResolutionDrawer, LabelsCoverTheHeaderHalvesInArialOlive)
{
    ResolutionDrawer drawer;
    drawer.setSize (200, 50);

    EXPECT_EQ (drawer.widthLabel.getBounds(), juce::Rectangle<int> (5, 5, 90, 40));
    EXPECT_EQ (drawer.heightLabel.getBounds(), juce::Rectangle<int> (105, 5, 90, 40));
    EXPECT_EQ (drawer.widthLabel.getJustificationType(), juce::Justification::centredRight);
    EXPECT_EQ (drawer.heightLabel.getJustificationType(), juce::Justification::centredLeft);

    for (auto* label : { &drawer.widthLabel, &drawer.heightLabel })
    {
        EXPECT_EQ (label->findColour (juce::Label::textColourId), juce::Colour (0xffa2a235));
        EXPECT_EQ (label->getFont().getHeight(), 16.0f);
        EXPECT_TRUE (label->isEditableOnSingleClick());
        EXPECT_TRUE (label->isEditableOnDoubleClick());
        EXPECT_FALSE (label->doesLossOfFocusDiscardChanges());
    }

    EXPECT_TRUE (drawer.isKeyboardFocusContainer());
    EXPECT_EQ (drawer.getHeight(), 50);
    EXPECT_TRUE (drawer.getName().isEmpty());
}

// Each edit of a label sends the resolution both labels give, each side at
// most the largest a look takes; an empty label or a side of 0 keeps the old
// side and sends nothing.
TEST (ResolutionDrawer, EditsSendTheNewResolutionAndRefuseEmptyOrZeroSides)
{
    struct Case
    {
        const char* what;
        bool width;
        const char* text;
        std::vector<juce::Point<int>> sent;
        const char* widthShown;
        const char* heightShown;
    };

    const Case cases[] = {
        { "new width", true, "1280", { { 1280, 1080 } }, "1280", "1080" },
        { "new height", false, "0720", { { 1920, 720 } }, "1920", "720" },
        { "cleared width", true, "", {}, "1920", "1080" },
        { "width 0", true, "0", {}, "1920", "1080" },
        { "height 000", false, "000", {}, "1920", "1080" },
        { "negative width", true, "-3", {}, "1920", "1080" },
        // Sides beyond the largest a look takes show and are sent as it.
        { "width too long for an int", true, "123456789012", { { 16384, 1080 } }, "16384", "1080" },
        { "height 1", false, "1", { { 1920, 1 } }, "1920", "1" },
        { "height at the limit", false, "16384", { { 1920, 16384 } }, "1920", "16384" },
        { "height past the limit", false, "16385", { { 1920, 16384 } }, "1920", "16384" },
        { "height of the largest int", false, "2147483647", { { 1920, 16384 } }, "1920", "16384" },
        { "height 10^11", false, "100000000000", { { 1920, 16384 } }, "1920", "16384" },
        { "same width again", true, "1920", {}, "1920", "1080" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ResolutionDrawer drawer;
        RecordingResolutionListener listener;
        drawer.addListener (&listener);
        drawer.setResolution ({ 1920, 1080 });
        EXPECT_TRUE (listener.sizes.empty());

        auto& label = c.width ? drawer.widthLabel : drawer.heightLabel;
        label.setText (c.text, juce::dontSendNotification);
        drawer.labelTextChanged (&label);

        EXPECT_EQ (listener.sizes, c.sent);
        EXPECT_EQ (drawer.widthLabel.getText(), c.widthShown);
        EXPECT_EQ (drawer.heightLabel.getText(), c.heightShown);
    }
}

TEST (ResolutionDrawer, ListenerDeletingTheDrawerEndsTheNotification)
{
    auto* drawer = new ResolutionDrawer();
    RecordingResolutionListener first, second;
    drawer->addListener (&first);
    drawer->addListener (&second);
    drawer->setResolution ({ 1920, 1080 });
    second.after = [&] { delete std::exchange (drawer, nullptr); };

    drawer->widthLabel.setText ("800", juce::dontSendNotification);
    drawer->labelTextChanged (&drawer->widthLabel);

    EXPECT_EQ (second.sizes.size(), 1u);
    EXPECT_TRUE (first.sizes.empty());
}

// In a real window: digits only, pasted letters dropped, Return sends the
// width, and the height editor opens although the listener of that report
// gives the keyboard focus to something else (as the controller gives it to
// the stage).
TEST (ResolutionDrawer, TypingInARealWindowGoesFromTheWidthToTheHeightEditor)
{
    DesktopWindow window (400, 300);
    juce::Component stage;
    stage.setWantsKeyboardFocus (true);
    stage.setBounds (0, 100, 400, 200);
    window.addAndMakeVisible (stage);

    ResolutionDrawer drawer;
    drawer.setBounds (50, 20, 200, 50);
    window.addAndMakeVisible (drawer);
    drawer.setResolution ({ 1920, 1080 });
    RecordingResolutionListener listener;
    drawer.addListener (&listener);
    listener.after = [&] { stage.grabKeyboardFocus(); };

    clickAt (drawer.widthLabel, drawer.widthLabel.getLocalBounds().getCentre());
    ASSERT_TRUE (pumpUntil ([&] { return drawer.widthLabel.getCurrentTextEditor() != nullptr; }, 2000));
    auto* editor = drawer.widthLabel.getCurrentTextEditor();
    EXPECT_EQ (editor->getJustificationType(), juce::Justification::centredRight);
    ASSERT_TRUE (pumpUntil ([&] { return editor->hasKeyboardFocus (true); }, 2000));

    editor->selectAll();
    typeKeys (window, "12x8-0");
    EXPECT_EQ (editor->getText(), "1280");
    editor->insertTextAtCaret ("a5 ");
    EXPECT_EQ (editor->getText(), "12805");
    editor->selectAll();
    editor->insertTextAtCaret ("1,280");
    EXPECT_EQ (editor->getText(), "1280");

    pressReturn (window, drawer.widthLabel);
    EXPECT_EQ (listener.sizes, (std::vector<juce::Point<int>> { { 1280, 1080 } }));

    ASSERT_TRUE (pumpUntil ([&] { return drawer.heightLabel.getCurrentTextEditor() != nullptr
                                          && drawer.heightLabel.getCurrentTextEditor()->hasKeyboardFocus (true); },
                            2000));
    test::pumpMessageLoop (50);
    auto* heightEditor = drawer.heightLabel.getCurrentTextEditor();
    ASSERT_NE (heightEditor, nullptr);
    EXPECT_EQ (heightEditor->getJustificationType(), juce::Justification::centredLeft);

    heightEditor->selectAll();
    typeKeys (window, "720");
    pressReturn (window, drawer.heightLabel);
    EXPECT_EQ (listener.sizes, (std::vector<juce::Point<int>> { { 1280, 1080 }, { 1280, 720 } }));
    EXPECT_EQ (drawer.heightLabel.getText(), "720");

    // A width of 0 typed in is refused: the label shows the old width again.
    clickAt (drawer.widthLabel, drawer.widthLabel.getLocalBounds().getCentre());
    ASSERT_TRUE (pumpUntil ([&] { return drawer.widthLabel.getCurrentTextEditor() != nullptr; }, 2000));
    drawer.widthLabel.getCurrentTextEditor()->selectAll();
    typeKeys (window, "0");
    pressReturn (window, drawer.widthLabel);
    EXPECT_EQ (listener.sizes.size(), 2u);
    EXPECT_EQ (drawer.widthLabel.getText(), "1280");
    test::pumpMessageLoop (50);
}
