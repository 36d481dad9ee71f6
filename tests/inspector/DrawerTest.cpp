#include "inspector/InspectorTestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
void expand (Drawer& drawer)
{
    if (! drawer.expanded)
        drawer.buttonClicked (drawer.cogButton.get());
}
} // namespace

TEST (Drawer, StartsCollapsedFiftyHighWithHiddenButtons)
{
    Drawer drawer;
    EXPECT_EQ (drawer.getHeight(), 50);
    EXPECT_EQ (drawer.getWidth(), 0);
    EXPECT_EQ (drawer.headerHeight, 50);
    EXPECT_FALSE (drawer.active || drawer.expanded || drawer.highlighted || drawer.closable || drawer.expandable);
    EXPECT_FALSE (drawer.closeButton->isVisible());
    EXPECT_FALSE (drawer.cogButton->isVisible());
    EXPECT_TRUE (drawer.viewport->isVisible());
    EXPECT_EQ (drawer.closeButton->getButtonText(), "x");
    EXPECT_TRUE (drawer.cogButton->getClickingTogglesState());
    EXPECT_EQ (drawer.cogButton->normalColour, juce::Colour (0xff681795));
    EXPECT_FALSE (drawer.cogButton->shape.isEmpty());
}

// Only the outermost drawer limits its viewport to 500; nested viewports
// are as tall as their content.
TEST (Drawer, LayoutOfTopLevelAndNestedDrawers)
{
    struct Case
    {
        const char* what;
        bool nested;
        int rows;
        bool expanded;
        int viewportHeight;
        int drawerHeight;
    };

    const Case cases[] = {
        { "12 rows, top level, expanded", false, 12, true, 500, 550 },
        { "12 rows, top level, collapsed", false, 12, false, 500, 50 },
        { "3 rows, top level, expanded", false, 3, true, 150, 200 },
        { "12 rows, nested, expanded", true, 12, true, 600, 650 },
        { "12 rows, nested, collapsed", true, 12, false, 600, 50 },
        { "no rows, top level, expanded", false, 0, true, 0, 50 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Drawer outer;
        outer.setSize (200, 50);
        outer.setContent (rowsContent (0));

        auto* drawer = &outer;
        Drawer inner;

        if (c.nested)
        {
            outer.content->addAndMakeVisible (inner);
            outer.updateLayout();
            drawer = &inner;
        }

        drawer->setContent (rowsContent (c.rows));
        drawer->expanded = c.expanded;
        drawer->updateLayout();

        // A nested drawer is as wide as the enclosing content (the outer
        // viewport's inner width, without its scroll bar).
        const int width = c.nested ? outer.content->getWidth() : 200;
        EXPECT_EQ (drawer->viewport->getBounds(), juce::Rectangle<int> (0, 50, width, c.viewportHeight));
        EXPECT_EQ (drawer->getHeight(), c.drawerHeight);
        EXPECT_EQ (drawer->getWidth(), width);
        EXPECT_EQ (drawer->content->getHeight(), c.rows * 50);

        // Rows are stacked at the content's full width.
        for (int i = 0; i < c.rows; ++i)
            EXPECT_EQ (drawer->content->getChildComponent (i)->getBounds().getY(), i * 50);

        if (c.nested)
            outer.content->removeChildComponent (&inner);
    }
}

// Expanding a nested drawer resizes every enclosing drawer, and each
// enclosing viewport scrolls the drawer of the chain to its top as far as it
// can.
TEST (Drawer, ExpandingANestedDrawerLaysOutAndScrollsTheEnclosingOnes)
{
    Drawer outer;
    outer.setSize (200, 50);
    outer.setContent (rowsContent (10));
    Drawer middle;
    Drawer inner;
    outer.content->addAndMakeVisible (middle);
    middle.setContent (rowsContent (1));
    middle.content->addAndMakeVisible (inner);
    inner.setContent (rowsContent (5));

    expand (outer);
    expand (middle);
    EXPECT_EQ (middle.getHeight(), 50 + 100);
    expand (inner);

    EXPECT_EQ (inner.getHeight(), 50 + 250);
    EXPECT_EQ (middle.getHeight(), 50 + 50 + 300);
    EXPECT_EQ (middle.getY(), 500);
    EXPECT_EQ (outer.content->getHeight(), 500 + 400);
    EXPECT_EQ (outer.getHeight(), 550);
    // The outer viewport can scroll 400 at most; the middle drawer stands at 500.
    EXPECT_EQ (outer.viewport->getViewPositionY(), 400);
    // The nested viewport is as tall as its content: nothing to scroll.
    EXPECT_EQ (middle.viewport->getViewPositionY(), 0);

    // The outermost drawer's content follows the viewport's inner width.
    EXPECT_EQ (outer.content->getWidth(), outer.viewport->getMaximumVisibleWidth());
    EXPECT_LT (outer.content->getWidth(), 200);

    middle.content->removeChildComponent (&inner);
    outer.content->removeChildComponent (&middle);
}

TEST (Drawer, DrawerWithoutContentKeepsItsSizeAndStillLaysOutItsEnclosingDrawer)
{
    Drawer outer;
    outer.setSize (200, 50);
    outer.setContent (rowsContent (0));
    outer.expanded = true;
    Drawer bare;
    bare.setSize (0, 70);
    outer.content->addAndMakeVisible (bare);

    bare.updateLayout();
    EXPECT_EQ (bare.getHeight(), 70);
    EXPECT_EQ (outer.getHeight(), 50 + 70);
    outer.content->removeChildComponent (&bare);
}

TEST (Drawer, CogSendsTheClickBeforeTogglingAndShowsTheNewState)
{
    std::vector<std::string> log;
    RecordingDrawerListener first (log, "first"), second (log, "second");
    Drawer drawer;
    drawer.setName ("D");
    drawer.setSize (200, 50);
    drawer.setContent (rowsContent (2));
    drawer.addListener (&first);
    drawer.addListener (&second);
    drawer.addListener (&first);

    drawer.buttonClicked (drawer.cogButton.get());
    EXPECT_EQ (log, (std::vector<std::string> { "second clicked D collapsed", "first clicked D collapsed" }));
    EXPECT_TRUE (drawer.expanded);
    EXPECT_TRUE (drawer.cogButton->getToggleState());
    EXPECT_EQ (drawer.getHeight(), 150);

    log.clear();
    drawer.buttonClicked (drawer.closeButton.get());
    EXPECT_EQ (log, (std::vector<std::string> { "second close D", "first close D" }));

    log.clear();
    drawer.buttonClicked (drawer.cogButton.get());
    EXPECT_EQ (log, (std::vector<std::string> { "second clicked D expanded", "first clicked D expanded" }));
    EXPECT_FALSE (drawer.expanded);
    EXPECT_FALSE (drawer.cogButton->getToggleState());
    EXPECT_EQ (drawer.getHeight(), 50);
}

// The notification stops at the listener that deleted the drawer, and the
// cog toggles nothing afterwards (AddressSanitizer watches the rest).
TEST (Drawer, ListenerDeletingTheDrawerEndsTheNotification)
{
    std::vector<std::string> log;
    RecordingDrawerListener first (log, "first"), second (log, "second");
    auto* drawer = new Drawer();
    drawer->setName ("D");
    drawer->setContent (rowsContent (1));
    drawer->addListener (&first);
    drawer->addListener (&second);
    second.onClicked = [] (Drawer* d) { delete d; };

    drawer->buttonClicked (drawer->cogButton.get());
    EXPECT_EQ (log, (std::vector<std::string> { "second clicked D collapsed" }));
}

TEST (Drawer, SetActiveShowsTheCogOfAnExpandableDrawerAndCollapsesItWhenInactive)
{
    Drawer drawer;
    drawer.setSize (200, 50);
    drawer.setContent (rowsContent (2));
    drawer.setActive (true);
    EXPECT_TRUE (drawer.active);
    EXPECT_FALSE (drawer.cogButton->isVisible());

    drawer.expandable = true;
    drawer.setActive (true);
    EXPECT_TRUE (drawer.cogButton->isVisible());
    expand (drawer);
    EXPECT_EQ (drawer.getHeight(), 150);

    drawer.setActive (false);
    EXPECT_FALSE (drawer.active);
    EXPECT_FALSE (drawer.expanded);
    EXPECT_FALSE (drawer.cogButton->isVisible());
    EXPECT_FALSE (drawer.cogButton->getToggleState());
    EXPECT_EQ (drawer.getHeight(), 50);
}

TEST (Drawer, ButtonsSitInTheHeadersRightEnd)
{
    Drawer drawer;
    drawer.setSize (200, 50);
    EXPECT_EQ (drawer.closeButton->getBounds(), juce::Rectangle<int> (160, 10, 30, 30));
    EXPECT_EQ (drawer.cogButton->getBounds(), juce::Rectangle<int> (165, 12, 25, 25));

    drawer.closeButton->setVisible (true);
    drawer.setSize (300, 50);
    EXPECT_EQ (drawer.cogButton->getBounds(), juce::Rectangle<int> (220, 12, 25, 25));
}

namespace
{
// The click rule's clock, stepped by hand.
juce::int64 fakeNow = 0;

struct FakeClickClock
{
    FakeClickClock() { Drawer::clockOverride = [] { return fakeNow; }; }
    ~FakeClickClock() { Drawer::clockOverride = nullptr; }
};
} // namespace

// Header clicks in a real window: the press and the release on the drawer
// itself, more than 100 ms after the last accepted click (or the drawer's
// creation). A release on the drawer reaches it twice and counts once.
TEST (Drawer, HeaderClickRuleInARealWindow)
{
    FakeClickClock clock;
    fakeNow = 1000000;
    DesktopWindow window (400, 600);
    std::vector<std::string> log;
    RecordingDrawerListener listener (log, "l");
    Drawer outer;
    outer.setName ("Outer");
    outer.expandable = true;
    outer.setBounds (10, 10, 300, 50);
    outer.setContent (rowsContent (0));
    Drawer inner;
    inner.setName ("Inner");
    outer.content->addAndMakeVisible (inner);
    window.addAndMakeVisible (outer);
    outer.addListener (&listener);
    expand (outer);
    ASSERT_EQ (outer.getHeight(), 100);

    const juce::Point<int> header (60, 25);
    const auto clickAfter = [&] (int ms) { fakeNow += ms; clickAt (outer, header); };

    struct Case
    {
        const char* what;
        std::function<void()> act;
        int expectedClicks;
    };

    const Case cases[] = {
        { "a click 100 ms after the drawer was made", [&] { clickAfter (100); }, 0 },
        { "a click 101 ms after the drawer was made", [&] { clickAfter (1); }, 1 },
        { "a second click at the same time", [&] { clickAfter (0); }, 0 },
        { "a click 50 ms after the last", [&] { clickAfter (50); }, 0 },
        // Refused clicks leave the time of the last accepted one.
        { "a click 100 ms after the last", [&] { clickAfter (50); }, 0 },
        { "a click 101 ms after the last", [&] { clickAfter (1); }, 1 },
        { "a click 5 s after the last", [&] { clickAfter (5000); }, 1 },
        { "a press on the header released outside the drawer",
          [&] { fakeNow += 1000; moveTo (outer, header); pressAt (outer, header); releaseAt (outer, { 60, 300 }); }, 0 },
        { "a press on the nested drawer released over the header",
          [&] { fakeNow += 1000; moveTo (inner, { 20, 20 }); pressAt (inner, { 20, 20 }); releaseAt (outer, header); }, 0 },
        { "a press on the cog released over the header",
          [&] { fakeNow += 1000; auto& cog = *outer.cogButton; moveTo (cog, { 12, 12 }); pressAt (cog, { 12, 12 }); releaseAt (outer, header); }, 0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        log.clear();
        c.act();
        test::pumpMessageLoop (5);
        EXPECT_EQ ((int) log.size(), c.expectedClicks);
    }

    outer.content->removeChildComponent (&inner);
}

TEST (Drawer, HoverShowsTheButtonsAndAnExpandedDrawerKeepsItsCog)
{
    DesktopWindow window (400, 400);
    Drawer drawer;
    drawer.closable = true;
    drawer.expandable = true;
    drawer.setBounds (10, 10, 300, 50);
    drawer.setContent (rowsContent (1));
    window.addAndMakeVisible (drawer);

    moveTo (drawer, { 100, 25 });
    EXPECT_TRUE (drawer.closeButton->isVisible());
    EXPECT_TRUE (drawer.cogButton->isVisible());
    EXPECT_EQ (drawer.cogButton->getX(), 300 - 80);

    // Onto a button inside the drawer: still over the drawer.
    moveTo (*drawer.closeButton, { 15, 15 });
    EXPECT_TRUE (drawer.closeButton->isVisible());

    moveTo (window, { 350, 300 });
    EXPECT_FALSE (drawer.closeButton->isVisible());
    EXPECT_FALSE (drawer.cogButton->isVisible());

    moveTo (drawer, { 100, 25 });
    expand (drawer);
    moveTo (window, { 350, 300 });
    EXPECT_FALSE (drawer.closeButton->isVisible());
    EXPECT_TRUE (drawer.cogButton->isVisible());
}

TEST (Drawer, PaintsTheHeaderInThePalette)
{
    struct Case
    {
        const char* what;
        bool highlighted;
        bool expanded;
        juce::Colour header;
    };

    const Case cases[] = {
        { "plain, collapsed", false, false, juce::Colour (0xff54276c).withSaturation (0.75f) },
        { "plain, expanded", false, true, juce::Colour (0xff54276c) },
        { "highlighted, collapsed", true, false, juce::Colour (0xff8207c6).withSaturation (0.75f) },
        { "highlighted, expanded", true, true, juce::Colour (0xff8207c6) },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Drawer drawer;
        drawer.highlighted = c.highlighted;
        drawer.setSize (200, 50);
        drawer.setContent (rowsContent (1));
        drawer.expanded = c.expanded;
        drawer.updateLayout();

        const auto image = drawer.createComponentSnapshot (drawer.getLocalBounds());
        const auto pixel = image.getPixelAt (4, 4);
        EXPECT_LE (std::abs ((int) pixel.getRed() - (int) c.header.getRed()), 1);
        EXPECT_LE (std::abs ((int) pixel.getGreen() - (int) c.header.getGreen()), 1);
        EXPECT_LE (std::abs ((int) pixel.getBlue() - (int) c.header.getBlue()), 1);
        // The header's own outline (near-black purple unless active and
        // highlighted) is drawn over the drawer's bright yellow one.
        EXPECT_EQ (image.getPixelAt (0, 25), juce::Colour (0xff34243d)) << "header outline";
    }
}

TEST (Drawer, SnapshotsOfNamesInEveryState)
{
    juce::Component strip;
    strip.setSize (220, 5 * 60);
    juce::OwnedArray<Drawer> drawers;
    const char* names[] = { "Active", "Highlighted", "Plain", "Active and highlighted",
                            "A name far too long for the header of this drawer" };

    for (int i = 0; i < 5; ++i)
    {
        auto* d = drawers.add (new Drawer());
        d->setName (names[i]);
        d->highlighted = i == 1 || i == 3;
        d->active = i == 0 || i == 3;
        d->setBounds (10, 5 + i * 60, 200, 50);
        strip.addAndMakeVisible (d);
    }

    auto file = test::writeSnapshot (strip, "inspector-drawer-states");
    EXPECT_TRUE (file.existsAsFile());
}

// The controller marks a clicked focal drawer by making every focal drawer
// inactive (which collapses an expandable one) and then the clicked one
// active: the cog still toggles what the user saw.
TEST (Drawer, CogTogglesTheStateTheUserSawWhenAListenerMarksTheDrawer)
{
    std::vector<std::string> log;
    RecordingDrawerListener marking (log, "controller");
    marking.onClicked = [] (Drawer* d)
    {
        d->setActive (false);
        d->setActive (true);
    };

    Drawer drawer;
    drawer.expandable = true;
    drawer.setSize (200, 50);
    drawer.setContent (rowsContent (2));
    drawer.addListener (&marking);

    drawer.buttonClicked (drawer.cogButton.get());
    EXPECT_TRUE (drawer.expanded);
    EXPECT_EQ (drawer.getHeight(), 150);

    drawer.buttonClicked (drawer.cogButton.get());
    EXPECT_FALSE (drawer.expanded);
    EXPECT_EQ (drawer.getHeight(), 50);
    EXPECT_TRUE (drawer.active);
    EXPECT_TRUE (drawer.cogButton->isVisible());
}

// The click rule's clock is the monotonic millisecond counter, not the
// wall clock, which the user or the network may set back.
TEST (Drawer, ClickClockIsTheMonotonicCounter)
{
    const auto before = (juce::int64) juce::Time::getMillisecondCounterHiRes();
    const auto clock = Drawer::clickClockMilliseconds();
    const auto after = (juce::int64) juce::Time::getMillisecondCounterHiRes();
    EXPECT_GE (clock, before);
    EXPECT_LE (clock, after);

    Drawer drawer;
    EXPECT_GE (drawer.lastClickTime, after);
    EXPECT_LE (drawer.lastClickTime, Drawer::clickClockMilliseconds());
}
