#include "inspector/FlyOutComponent.h"
#include "inspector/InspectorTestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
using R = juce::Rectangle<int>;

// The main component's arrangement: a 1000 x 800 window with the fly-out
// right-aligned below a 100-pixel strip (where the menu bar would be), at
// the full remaining height, and the inspector as its content.
struct PanelFixture
{
    PanelFixture()
    {
        window.addAndMakeVisible (flyOut);
        flyOut.setBounds (710, 100, 290, 700);
        flyOut.setContent (&inspector);
    }

    ~PanelFixture()
    {
        juce::Desktop::getInstance().getAnimator().cancelAllAnimations (false);
    }

    bool settlesAt (R bounds)
    {
        return pumpUntil ([&] { return flyOut.getBounds() == bounds
                                       && ! juce::Desktop::getInstance().getAnimator().isAnimating (&flyOut); },
                          3000);
    }

    DesktopWindow window { 1000, 800 };
    FlyOutComponent flyOut;
    LookInspector inspector;
};
} // namespace

TEST (FlyOutComponent, OpenAndFoldedBoundsKeepTheRightEdge)
{
    struct Case
    {
        const char* what;
        R panel;
        juce::Point<int> contentSize;
        R open;
        R folded;
    };

    const Case cases[] = {
        { "right-aligned, inspector size", { 710, 0, 290, 800 }, { 290, 160 }, { 710, 0, 290, 160 }, { 900, 0, 100, 60 } },
        { "folded tab, inspector size", { 900, 30, 100, 60 }, { 290, 160 }, { 710, 30, 290, 160 }, { 900, 30, 100, 60 } },
        { "content wider than the parent", { 710, 0, 290, 800 }, { 1200, 160 }, { -200, 0, 1200, 160 }, { 900, 0, 100, 60 } },
        // Still a tab to enter: never smaller than 100 x 60.
        { "content of no height", { 900, 0, 100, 60 }, { 290, 0 }, { 710, 0, 290, 60 }, { 900, 0, 100, 60 } },
        { "content of no size", { 900, 0, 100, 60 }, { 0, 0 }, { 900, 0, 100, 60 }, { 900, 0, 100, 60 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        juce::Component parent;
        parent.setSize (1000, 800);
        FlyOutComponent flyOut;
        parent.addAndMakeVisible (flyOut);
        juce::Component content;
        content.setSize (c.contentSize.x, c.contentSize.y);
        flyOut.setContent (&content);
        flyOut.setBounds (c.panel);

        EXPECT_EQ (content.getPosition(), juce::Point<int> (0, 0));
        EXPECT_TRUE (content.isVisible());
        EXPECT_EQ (flyOut.openBounds(), c.open);
        EXPECT_EQ (flyOut.foldedBounds(), c.folded);
    }
}

TEST (FlyOutComponent, WithoutAParentWidthThePanelDoesNotMove)
{
    FlyOutComponent flyOut;
    juce::Component content;
    content.setSize (290, 160);
    flyOut.setContent (&content);
    flyOut.setBounds (10, 10, 100, 60);

    flyOut.mouseEnter (mouseEventAt (flyOut, { 5, 5 }));
    flyOut.mouseExit (mouseEventAt (flyOut, { -50, 5 }));
    test::pumpMessageLoop (250);
    EXPECT_EQ (flyOut.getBounds(), R (10, 10, 100, 60));
}

// The animations run on the message loop: pumped, they reach their end
// bounds; entering while folding opens the panel again.
TEST (FlyOutComponent, OpensOnEnteringAndFoldsToTheTabOnLeaving)
{
    PanelFixture f;
    const R open (710, 100, 290, 160), tab (900, 100, 100, 60);
    moveTo (f.inspector, { 140, 30 });
    EXPECT_TRUE (f.settlesAt (open));

    // Leaving upwards.
    moveTo (f.window, { 800, 50 });
    EXPECT_TRUE (f.settlesAt (tab));

    moveTo (f.window, { 950, 130 });
    EXPECT_TRUE (f.settlesAt (open));

    // Leaving the inspector's surface to the left, and coming back while
    // the panel folds.
    moveTo (f.window, { 700, 130 });
    test::pumpMessageLoop (40);
    auto& animator = juce::Desktop::getInstance().getAnimator();
    EXPECT_TRUE (animator.isAnimating (&f.flyOut));
    EXPECT_EQ (animator.getComponentDestination (&f.flyOut), tab);
    moveTo (f.window, { 950, 130 });
    EXPECT_TRUE (f.settlesAt (open));
}

// Leaving a lower drawer upwards into the drawer above, or into the
// inspector's own surface between the drawers, is not leaving the panel.
TEST (FlyOutComponent, PointerMovingInsideTheInspectorKeepsThePanelOpen)
{
    PanelFixture f;
    const R open (710, 100, 290, 160);
    moveTo (f.inspector, { 140, 95 });
    ASSERT_TRUE (f.settlesAt (open));
    auto& animator = juce::Desktop::getInstance().getAnimator();

    const juce::Point<int> path[] = { { 140, 30 }, { 140, 95 }, { 20, 95 }, { 140, 65 }, { 140, 145 }, { 140, 30 } };

    for (auto p : path)
    {
        moveTo (f.inspector, p);
        test::pumpMessageLoop (20);
        // Entering a component may restart the opening, never a folding.
        if (animator.isAnimating (&f.flyOut))
            EXPECT_EQ (animator.getComponentDestination (&f.flyOut), open) << p.toString();
    }

    test::pumpMessageLoop (250);
    EXPECT_EQ (f.flyOut.getBounds(), open);
}

// Beside a short inspector, or beside the folded tab, the pointer reaches
// the stage beneath.
TEST (FlyOutComponent, OnlyTheContentAndTheTabTakeThePointer)
{
    PanelFixture f;

    struct Case
    {
        const char* what;
        R panel;
        juce::Point<int> inWindow;
        bool panelTakesIt;
    };

    const Case cases[] = {
        { "full height, on the inspector", { 710, 0, 290, 800 }, { 800, 30 }, true },
        { "full height, below the inspector", { 710, 0, 290, 800 }, { 800, 500 }, false },
        { "full height, tab corner", { 710, 0, 290, 800 }, { 990, 50 }, true },
        { "folded, on the tab", { 900, 0, 100, 60 }, { 950, 30 }, true },
        { "folded, left of the tab", { 900, 0, 100, 60 }, { 850, 30 }, false },
        { "folded, below the tab", { 900, 0, 100, 60 }, { 950, 90 }, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        f.flyOut.setBounds (c.panel);
        auto* hit = f.window.getComponentAt (c.inWindow);
        const bool inPanel = hit != nullptr && (hit == &f.flyOut || f.flyOut.isParentOf (hit));
        EXPECT_EQ (inPanel, c.panelTakesIt);
    }
}

// A content of no height still leaves a tab to enter, and the panel opens
// and folds around it.
TEST (FlyOutComponent, ContentOfNoHeightStillHasATabToEnter)
{
    DesktopWindow window (1000, 800);
    FlyOutComponent flyOut;
    window.addAndMakeVisible (flyOut);
    juce::Component content;
    content.setSize (290, 0);
    flyOut.setContent (&content);
    flyOut.setBounds (900, 0, 100, 60);

    moveTo (window, { 950, 30 });
    EXPECT_TRUE (pumpUntil ([&] { return flyOut.getBounds() == R (710, 0, 290, 60); }));
    EXPECT_TRUE (flyOut.isOpen());

    // It follows its content while open, though no taller than the tab.
    content.setSize (290, 40);
    EXPECT_TRUE (pumpUntil ([&] { return flyOut.getBounds() == R (710, 0, 290, 60); }));

    moveTo (window, { 300, 300 });
    EXPECT_TRUE (pumpUntil ([&] { return flyOut.getBounds() == R (900, 0, 100, 60); }));
    EXPECT_FALSE (flyOut.isOpen());
    juce::Desktop::getInstance().getAnimator().cancelAllAnimations (false);
}

// Open, the panel grows with an expanded drawer; folded, it stays a tab.
TEST (FlyOutComponent, FollowsTheContentOnlyWhileOpen)
{
    PanelFixture f;
    moveTo (f.inspector, { 140, 30 });
    ASSERT_TRUE (f.settlesAt ({ 710, 100, 290, 160 }));

    f.inspector.setScreens ([]
    {
        juce::ValueTree screens ("arenaScreens");
        for (auto name : { "Left", "Right" })
            screens.appendChild (juce::ValueTree ("screen", { { "name", name }, { "enabled", true } }), nullptr);
        return screens;
    }());
    f.inspector.stageDrawer->buttonClicked (f.inspector.stageDrawer->cogButton.get());
    ASSERT_EQ (f.inspector.getHeight(), 260);
    EXPECT_TRUE (f.settlesAt ({ 710, 100, 290, 260 }));

    moveTo (f.window, { 300, 300 });
    ASSERT_TRUE (f.settlesAt ({ 900, 100, 100, 60 }));

    f.inspector.stageDrawer->buttonClicked (f.inspector.stageDrawer->cogButton.get());
    ASSERT_EQ (f.inspector.getHeight(), 160);
    test::pumpMessageLoop (100);
    EXPECT_EQ (f.flyOut.getBounds(), R (900, 100, 100, 60));
}

TEST (FlyOutComponent, ContentDeletedFirstLeavesNoPointer)
{
    FlyOutComponent flyOut;
    auto content = std::make_unique<juce::Component>();
    content->setSize (290, 160);
    flyOut.setContent (content.get());
    content.reset();
    EXPECT_EQ (flyOut.content.getComponent(), nullptr);
    EXPECT_FALSE (flyOut.hitTest (20, 20));
}
