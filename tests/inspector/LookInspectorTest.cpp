#include "inspector/InspectorTestSupport.h"
#include "model/Ids.h"
#include "model/Look.h"
#include "model/SliceTestHelpers.h"

#include <gtest/gtest.h>

#include <utility>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
using Log = std::vector<std::string>;

juce::ValueTree screensTree (std::initializer_list<std::pair<const char*, bool>> screens)
{
    juce::ValueTree tree (ids::arenaScreens);
    juce::int64 id = 100;

    for (const auto& [name, enabled] : screens)
    {
        juce::ValueTree screen (ids::screen);
        screen.setProperty (ids::uniqueId, id++, nullptr);
        screen.setProperty (ids::name, name, nullptr);
        screen.setProperty (ids::enabled, enabled, nullptr);
        tree.appendChild (screen, nullptr);
    }

    return tree;
}

// A look at 1920 x 1080 with n focals spread over the stage.
void fillLook (Look& look, int n)
{
    look.resolution = { 1920, 1080 };
    look.compositionSize = { 1920, 1080 };

    for (int i = 0; i < n; ++i)
        look.addFocal (makeFocal ({ 1920, 1080 }, { 1000.0f + 3000.0f * (float) i, 4000, 1920, 1080 }).release());
}

juce::StringArray childNames (juce::Component& content)
{
    juce::StringArray names;

    for (auto* child : content.getChildren())
        names.add (dynamic_cast<ResolutionDrawer*> (child) != nullptr ? "resolution" : child->getName());

    return names;
}
} // namespace

TEST (LookInspector, ResetGivesStageModeAndTheLayoutAtWidth290)
{
    LookInspector inspector;

    EXPECT_EQ (inspector.getWidth(), 290);
    EXPECT_EQ (inspector.getHeight(), 160);
    ASSERT_EQ (inspector.topDrawers.size(), 2);
    EXPECT_EQ (inspector.topDrawers[0], inspector.stageDrawer);
    EXPECT_EQ (inspector.topDrawers[1], inspector.lookDrawer);
    EXPECT_EQ (inspector.stageDrawer->getName(), "Stage");
    EXPECT_EQ (inspector.lookDrawer->getName(), "Look 1");
    EXPECT_EQ (inspector.lookIndex, 0);
    EXPECT_EQ (inspector.lastLookIndex, 15);
    EXPECT_TRUE (inspector.stageDrawer->active);
    EXPECT_FALSE (inspector.lookDrawer->active);
    EXPECT_TRUE (inspector.stageDrawer->highlighted && inspector.stageDrawer->expandable);
    EXPECT_TRUE (inspector.lookDrawer->highlighted && inspector.lookDrawer->expandable);
    EXPECT_FALSE (inspector.stageDrawer->expanded || inspector.lookDrawer->expanded);

    struct Case
    {
        const char* what;
        juce::Component* component;
        juce::Rectangle<int> bounds;
    };

    const Case cases[] = {
        { "Stage drawer", inspector.stageDrawer, { 40, 10, 200, 50 } },
        { "Look drawer", inspector.lookDrawer, { 40, 70, 200, 50 } },
        { "previous", inspector.prevButton.get(), { 0, 80, 30, 30 } },
        { "next", inspector.nextButton.get(), { 250, 80, 30, 30 } },
        { "plus", inspector.plusButton.get(), { 125, 130, 30, 30 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_EQ (c.component->getBounds(), c.bounds);
    }

    for (auto* button : { inspector.prevButton.get(), inspector.nextButton.get(), inspector.plusButton.get() })
    {
        EXPECT_FALSE (button->isVisible());
        EXPECT_EQ (button->normalColour, juce::Colour (0xff9d03f2).withSaturation (0.75f));
        EXPECT_EQ (button->overColour, juce::Colour (0xffdfdf17));
        EXPECT_EQ (button->downColour, juce::Colour (0xffa2a235));
        EXPECT_FALSE (button->shape.isEmpty());
    }
}

TEST (LookInspector, LayoutFollowsAnExpandedDrawer)
{
    LookInspector inspector;
    inspector.setScreens (screensTree ({ { "A", true }, { "B", true }, { "C", false } }));
    inspector.stageDrawer->buttonClicked (inspector.stageDrawer->cogButton.get());

    EXPECT_EQ (inspector.stageDrawer->getHeight(), 50 + 150);
    EXPECT_EQ (inspector.lookDrawer->getBounds(), juce::Rectangle<int> (40, 220, 200, 50));
    EXPECT_EQ (inspector.prevButton->getBounds(), juce::Rectangle<int> (0, 230, 30, 30));
    EXPECT_EQ (inspector.plusButton->getBounds(), juce::Rectangle<int> (125, 280, 30, 30));
    EXPECT_EQ (inspector.getHeight(), 310);
}

TEST (LookInspector, SetScreensReportsEachScreenThenTheChangeToTheLastListenerFirst)
{
    LookInspector inspector;
    Log log;
    RecordingInspectorListener first (log, "first"), second (log, "second");
    inspector.addListener (&first);
    inspector.addListener (&second);
    inspector.addListener (&first);

    inspector.setScreens (screensTree ({ { "Left", true }, { "Right", false } }));

    EXPECT_EQ (log, (Log { "second screenEnabledChanged 0 on", "first screenEnabledChanged 0 on",
                           "second screenEnabledChanged 1 off", "first screenEnabledChanged 1 off",
                           "second screensChanged", "first screensChanged" }));
    ASSERT_EQ (inspector.screenDrawers.size(), 2);
    EXPECT_EQ (childNames (*inspector.stageDrawer->content), juce::StringArray ("Left", "Right"));
    EXPECT_TRUE (inspector.screenDrawers[0]->active);
    EXPECT_FALSE (inspector.screenDrawers[1]->active);
    EXPECT_TRUE (inspector.screenDrawers[0]->highlighted);
    EXPECT_FALSE (inspector.screenDrawers[0]->expandable || inspector.screenDrawers[0]->closable);

    // A second call replaces the drawers; no screens still report the change.
    log.clear();
    inspector.setScreens (screensTree ({}));
    EXPECT_EQ (log, (Log { "second screensChanged", "first screensChanged" }));
    EXPECT_EQ (inspector.stageDrawer->content->getNumChildComponents(), 0);
}

TEST (LookInspector, TogglingAScreenDrawerReportsItsNewState)
{
    LookInspector inspector;
    inspector.setScreens (screensTree ({ { "Left", true }, { "Right", true } }));
    Log log;
    RecordingInspectorListener listener (log);
    inspector.addListener (&listener);

    inspector.drawerClicked (inspector.screenDrawers[1]);
    EXPECT_EQ (log, (Log { "screenEnabledChanged 1 off", "screensChanged" }));
    EXPECT_FALSE (inspector.screenDrawers[1]->active);

    log.clear();
    inspector.drawerClicked (inspector.screenDrawers[1]);
    EXPECT_EQ (log, (Log { "screenEnabledChanged 1 on", "screensChanged" }));
}

TEST (LookInspector, PreviousAndNextWrapOverAllSixteenLooks)
{
    struct Case
    {
        int from;
        bool next;
        int to;
        const char* name;
    };

    const Case cases[] = {
        { 0, false, 15, "Look 16" },
        { 15, true, 0, "Look 1" },
        { 0, true, 1, "Look 2" },
        { 7, false, 6, "Look 7" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (std::to_string (c.from) + (c.next ? " next" : " previous"));
        LookInspector inspector;
        inspector.lookIndex = c.from;
        Log log;
        RecordingInspectorListener listener (log);
        inspector.addListener (&listener);

        inspector.buttonClicked (c.next ? inspector.nextButton.get() : inspector.prevButton.get());

        EXPECT_EQ (inspector.lookIndex, c.to);
        EXPECT_EQ (inspector.lookDrawer->getName(), c.name);
        EXPECT_EQ (log, (Log { "lookSelected " + std::to_string (c.to) }));
    }
}

TEST (LookInspector, LookAndStageDrawersSwitchTheMode)
{
    LookInspector inspector;
    Log log;
    RecordingInspectorListener listener (log);
    inspector.addListener (&listener);
    inspector.stageDrawer->buttonClicked (inspector.stageDrawer->cogButton.get());
    ASSERT_TRUE (inspector.stageDrawer->expanded);
    log.clear();

    // Header click on the Look drawer: look mode, nothing expands.
    inspector.drawerClicked (inspector.lookDrawer);
    EXPECT_EQ (log, (Log { "lookSelected 0" }));
    EXPECT_TRUE (inspector.lookDrawer->active);
    EXPECT_FALSE (inspector.stageDrawer->active);
    EXPECT_FALSE (inspector.stageDrawer->expanded);
    EXPECT_FALSE (inspector.lookDrawer->expanded);
    EXPECT_TRUE (inspector.plusButton->isVisible() && inspector.nextButton->isVisible() && inspector.prevButton->isVisible());

    log.clear();
    inspector.buttonClicked (inspector.plusButton.get());
    EXPECT_EQ (log, (Log { "addFocalClicked 0" }));

    // The cog both expands the Look drawer and reports the choice.
    log.clear();
    inspector.lookDrawer->buttonClicked (inspector.lookDrawer->cogButton.get());
    EXPECT_EQ (log, (Log { "lookSelected 0" }));
    EXPECT_TRUE (inspector.lookDrawer->expanded);

    log.clear();
    inspector.drawerClicked (inspector.stageDrawer);
    EXPECT_EQ (log, (Log { "stageSelected" }));
    EXPECT_TRUE (inspector.stageDrawer->active);
    EXPECT_FALSE (inspector.lookDrawer->active || inspector.lookDrawer->expanded);
    EXPECT_FALSE (inspector.plusButton->isVisible() || inspector.nextButton->isVisible() || inspector.prevButton->isVisible());
}

TEST (LookInspector, LookWithThreeFocalsListsResolutionThenFocalsAndSelectsTheLast)
{
    LookInspector inspector;
    Look look;
    fillLook (look, 3);
    look.resolution = { 1280, 720 };

    inspector.setLook (&look, true);

    EXPECT_EQ (childNames (*inspector.lookDrawer->content),
               juce::StringArray ("resolution", "Focal 1", "Focal 2", "Focal 3"));
    ASSERT_EQ (inspector.focalDrawers.size(), 3);
    EXPECT_FALSE (inspector.focalDrawers[0]->active);
    EXPECT_FALSE (inspector.focalDrawers[1]->active);
    EXPECT_TRUE (inspector.focalDrawers[2]->active);
    EXPECT_EQ (inspector.resolutionDrawer->widthLabel.getText(), "1280");
    EXPECT_EQ (inspector.resolutionDrawer->heightLabel.getText(), "720");
    EXPECT_FALSE (inspector.resolutionDrawer->highlighted);

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ (inspector.focalDrawers[i]->focal.get(), look.focals[i]);

    // A focal drawer's click reports its index in the shown look.
    Log log;
    RecordingInspectorListener listener (log);
    inspector.addListener (&listener);
    inspector.lookIndex = 4;
    inspector.focalDrawers[1]->Drawer::addListener (static_cast<Drawer::Listener*> (&inspector));
    inspector.drawerClicked (inspector.focalDrawers[1]);
    inspector.focalDrawerChanged (inspector.focalDrawers[2]);
    inspector.resolutionChanged (inspector.resolutionDrawer.get(), { 800, 600 });
    EXPECT_EQ (log, (Log { "focalDrawerClicked 4 1", "looksChanged Focal 3", "lookResolutionChanged 4 800x600" }));
    EXPECT_FALSE (inspector.focalDrawers[1]->active);
}

// With the Look drawer expanded and the list longer than its 500-pixel
// viewport, select-last scrolls the list to its bottom.
TEST (LookInspector, SelectLastScrollsToTheBottomOfALongList)
{
    LookInspector inspector;
    inspector.lookDrawer->buttonClicked (inspector.lookDrawer->cogButton.get());
    Look look;
    fillLook (look, 14);

    inspector.setLook (&look, true);
    auto& viewport = *inspector.lookDrawer->viewport;
    EXPECT_EQ (viewport.getHeight(), 500);
    EXPECT_EQ (inspector.lookDrawer->content->getHeight(), 15 * 50);
    EXPECT_EQ (viewport.getViewPositionY(), 15 * 50 - 500);
    EXPECT_TRUE (inspector.focalDrawers.getLast()->active);

    // Shown again without select-last: rebuilt, nothing marked.
    inspector.setLook (&look, false);
    EXPECT_EQ (inspector.focalDrawers.size(), 14);

    for (auto* drawer : inspector.focalDrawers)
        EXPECT_FALSE (drawer->active);
}

TEST (LookInspector, ANullLookLeavesOnlyAnEmptyResolution)
{
    LookInspector inspector;
    Look look;
    fillLook (look, 2);
    inspector.setLook (&look, false);
    inspector.setLook (nullptr, true);
    EXPECT_TRUE (inspector.focalDrawers.isEmpty());
    EXPECT_EQ (inspector.lookDrawer->content->getNumChildComponents(), 1);
}

// A listener that deletes the inspector ends the notification: no further
// listener is called and setScreens builds no further drawer
// (AddressSanitizer watches the rest).
TEST (LookInspector, ListenerDeletingTheInspectorEndsEveryNotification)
{
    struct Case
    {
        const char* what;
        std::function<void (LookInspector&)> act;
        Log expected;
    };

    const Case cases[] = {
        { "setScreens", [] (LookInspector& i) { i.setScreens (screensTree ({ { "A", true }, { "B", true } })); },
          { "second screenEnabledChanged 0 on" } },
        { "screen toggle", [] (LookInspector& i) { i.drawerClicked (i.screenDrawers[0]); },
          { "second screenEnabledChanged 0 off" } },
        { "next", [] (LookInspector& i) { i.buttonClicked (i.nextButton.get()); }, { "second lookSelected 1" } },
        { "stage", [] (LookInspector& i) { i.drawerClicked (i.stageDrawer); }, { "second stageSelected" } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto* inspector = new LookInspector();
        inspector->setScreens (screensTree ({ { "A", true } }));
        Log log;
        RecordingInspectorListener first (log, "first"), second (log, "second");
        inspector->addListener (&first);
        inspector->addListener (&second);
        bool deleted = false;
        second.after = [&]
        {
            if (! std::exchange (deleted, true))
                delete inspector;
        };

        c.act (*inspector);
        EXPECT_EQ (log, c.expected);
    }
}

TEST (LookInspector, ResetKeepsNoFocalDrawerAndTheScreenDrawersStayOwned)
{
    LookInspector inspector;
    inspector.setScreens (screensTree ({ { "A", true } }));
    Look look;
    fillLook (look, 2);
    inspector.setLook (&look, false);
    inspector.lookIndex = 5;

    inspector.reset();
    EXPECT_EQ (inspector.lookIndex, 0);
    EXPECT_TRUE (inspector.focalDrawers.isEmpty());
    EXPECT_EQ (inspector.screenDrawers.size(), 1);
    EXPECT_EQ (inspector.screenDrawers[0]->getParentComponent(), nullptr);
    EXPECT_EQ (inspector.getBounds(), juce::Rectangle<int> (0, 0, 290, 160));

    // The next look and screens attach to the new drawers.
    inspector.setLook (&look, false);
    inspector.setScreens (screensTree ({ { "B", false } }));
    EXPECT_EQ (childNames (*inspector.lookDrawer->content), juce::StringArray ("resolution", "Focal 1", "Focal 2"));
    EXPECT_EQ (childNames (*inspector.stageDrawer->content), juce::StringArray ("B"));
}
