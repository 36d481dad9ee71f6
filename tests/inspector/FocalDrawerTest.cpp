#include "inspector/FocalDrawer.h"
#include "inspector/InspectorTestSupport.h"
#include "model/Look.h"
#include "model/SliceTestHelpers.h"
#include "platform/Typefaces.h"
#include "stage/CoveredButton.h"

#include <gtest/gtest.h>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
// The focal spans (10000, 4000)-(11920, 5080); three slices lie inside it.
const juce::Rectangle<float> focalArea (10000, 4000, 1920, 1080);

// Answers an item change as the controller does: the slice lists of the
// focal drawers are rebuilt, deleting the toggle that was clicked.
struct RebuildingListener : StageItem::Listener
{
    void stageItemChanged (StageItem*) override
    {
        ++changes;

        if (drawer != nullptr)
            drawer->rebuildSliceDrawers();
    }

    FocalDrawer* drawer = nullptr;
    int changes = 0;
};

struct ThreeSlices
{
    ThreeSlices()
    {
        slices.push_back (makeSlice (11, { 10100, 4100, 400, 300 }));
        slices.push_back (makeSlice (-12, { 10600, 4100, 400, 300 }));
        slices.push_back (makeSlice (13, { 11100, 4100, 400, 300 }));
        focal = makeFocal ({ 1920, 1080 }, focalArea);

        for (auto& s : slices)
            focal->updateCoverage (s.get());

        focal->rebuildCoveredButtons();
    }

    void hide (int index)
    {
        auto* item = slices[(size_t) index]->getStageItem();
        item->hidden = true;
        item->setVisible (false);
    }

    std::vector<std::unique_ptr<ArenaSlice>> slices;
    std::unique_ptr<FocalSlice> focal;
};

juce::StringArray toggleNames (const FocalDrawer& drawer)
{
    juce::StringArray names;

    for (auto* toggle : drawer.sliceDrawers)
        names.add (toggle->getName() + "#" + toggle->getComponentID() + (toggle->active ? " on" : " off"));

    return names;
}
} // namespace

TEST (FocalDrawer, BuildsAHighlightedExpandableDrawerWithASlicesSubDrawer)
{
    FocalSlice focal;
    FocalDrawer drawer (&focal);

    EXPECT_TRUE (drawer.highlighted);
    EXPECT_TRUE (drawer.expandable);
    EXPECT_EQ (drawer.focal.get(), &focal);
    ASSERT_NE (drawer.slicesDrawer, nullptr);
    EXPECT_EQ (drawer.slicesDrawer->getName(), "Slices");
    EXPECT_TRUE (drawer.slicesDrawer->expandable);
    EXPECT_EQ (drawer.slicesDrawer->getParentComponent(), drawer.content.get());
    EXPECT_TRUE (drawer.slicesDrawer->listeners.isEmpty());

    // The application's menus and default face follow from here on.
    auto& lookAndFeel = juce::LookAndFeel::getDefaultLookAndFeel();
    const auto menuBackground = juce::Colour (0xff54276c).withSaturation (0.75f);
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::backgroundColourId), menuBackground);
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::highlightedBackgroundColourId), menuBackground);
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::textColourId), juce::Colour (0xffa2a235));
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::highlightedTextColourId), juce::Colour (0xffffff00));
    EXPECT_EQ (lookAndFeel.getTypefaceForFont (juce::Font())->getName(),
               juce::Typeface::createSystemTypefaceFor (juce::Font (installedTypefaceName ("Arial"), 12.0f, 0))->getName());

    // An empty focal: the expanded "Slices" drawer shows nothing below its header.
    drawer.setSize (200, 50);
    drawer.rebuildSliceDrawers();
    drawer.buttonClicked (drawer.cogButton.get());
    drawer.slicesDrawer->buttonClicked (drawer.slicesDrawer->cogButton.get());
    EXPECT_TRUE (drawer.sliceDrawers.isEmpty());
    EXPECT_EQ (drawer.slicesDrawer->getHeight(), 50);
    EXPECT_EQ (drawer.getHeight(), 100);
}

// A focal over three slices, the last hidden on the stage and the second
// (with a negative id) excluded: two toggles in the covered order.
TEST (FocalDrawer, ListsTheVisibleCoveredSlicesWithTheirExclusion)
{
    ThreeSlices fixture;
    auto& focal = *fixture.focal;
    ASSERT_EQ (focal.coveredSlices.size(), 3);
    fixture.hide (2);
    focal.setExcluded (-12, true);

    FocalDrawer drawer (&focal);
    drawer.setSize (200, 50);
    drawer.rebuildSliceDrawers();

    EXPECT_EQ (toggleNames (drawer), juce::StringArray ("Slice 11#11 on", "Slice -12#-12 off"));

    for (auto* toggle : drawer.sliceDrawers)
    {
        EXPECT_EQ (toggle->getParentComponent(), drawer.slicesDrawer->content.get());
        EXPECT_FALSE (toggle->highlighted || toggle->expandable);
        EXPECT_TRUE (toggle->listeners.contains (&drawer));
    }

    // Expanded, the lists stack: focal header, Slices header, two toggles.
    drawer.buttonClicked (drawer.cogButton.get());
    drawer.slicesDrawer->buttonClicked (drawer.slicesDrawer->cogButton.get());
    EXPECT_EQ (drawer.slicesDrawer->getHeight(), 150);
    EXPECT_EQ (drawer.getHeight(), 200);
}

TEST (FocalDrawer, TogglingASliceExcludesOrIncludesItAndReportsTheItemChange)
{
    ThreeSlices fixture;
    auto& focal = *fixture.focal;
    fixture.hide (2);
    focal.setExcluded (-12, true);
    FocalDrawer drawer (&focal);
    drawer.rebuildSliceDrawers();
    RebuildingListener counter;
    focal.getStageItem()->addListener (&counter);

    struct Case
    {
        int toggle;
        juce::int64 sliceId;
        bool excludedAfter;
    };

    const Case cases[] = { { 0, 11, true }, { 1, -12, false }, { 0, 11, false } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.sliceId);
        auto* toggle = drawer.sliceDrawers[c.toggle];
        drawer.drawerClicked (toggle);

        EXPECT_EQ (focal.isExcluded (c.sliceId), c.excludedAfter);
        EXPECT_EQ (toggle->active, ! c.excludedAfter);
    }

    EXPECT_EQ (counter.changes, 3);

    // The covered-slice button of slice 11 on the stage shows it included again.
    for (auto* button : focal.coveredButtons)
        if (auto* slice = focal.sliceOfButton (button); slice != nullptr && slice->uniqueId == 11)
            EXPECT_TRUE (button->getToggleState());

    focal.getStageItem()->removeListener (&counter);
}

// The controller rebuilds the slice lists while the clicked toggle is still
// handling its click: the click ends without touching the deleted toggle.
TEST (FocalDrawer, ClickedToggleDeletedByTheRebuildEndsItsClickSafely)
{
    ThreeSlices fixture;
    auto& focal = *fixture.focal;
    DesktopWindow window (400, 400);
    FocalDrawer drawer (&focal);
    drawer.setBounds (10, 10, 300, 50);
    window.addAndMakeVisible (drawer);
    drawer.rebuildSliceDrawers();
    drawer.buttonClicked (drawer.cogButton.get());
    drawer.slicesDrawer->buttonClicked (drawer.slicesDrawer->cogButton.get());
    ASSERT_EQ (drawer.sliceDrawers.size(), 3);

    RebuildingListener controller;
    controller.drawer = &drawer;
    focal.getStageItem()->addListener (&controller);

    Drawer* toggle = drawer.sliceDrawers[1];
    allowNextClick (*toggle);
    clickAt (*toggle, { 50, 25 });
    test::pumpMessageLoop (5);

    EXPECT_EQ (controller.changes, 1);
    EXPECT_TRUE (focal.isExcluded (-12));
    ASSERT_EQ (drawer.sliceDrawers.size(), 3);
    EXPECT_FALSE (drawer.sliceDrawers[1]->active);
    EXPECT_EQ (drawer.sliceDrawers[1]->getComponentID(), "-12");

    focal.getStageItem()->removeListener (&controller);
}

// A focal removed from its look leaves the drawer without a focal, not with
// a dangling pointer: a rebuild shows no slices, and a toggle clicked
// meanwhile changes only its own look (AddressSanitizer watches the rest).
TEST (FocalDrawer, RemovedFocalLeavesNoDanglingPointer)
{
    ThreeSlices fixture;
    Look look;
    look.resolution = { 1920, 1080 };
    look.addFocal (fixture.focal.release());
    FocalDrawer drawer (look.focals[0]);
    drawer.rebuildSliceDrawers();
    ASSERT_EQ (drawer.sliceDrawers.size(), 3);

    look.focals.removeObject (look.focals[0]);
    EXPECT_EQ (drawer.focal.get(), nullptr);

    auto* toggle = drawer.sliceDrawers[0];
    drawer.drawerClicked (toggle);
    EXPECT_FALSE (toggle->active);

    drawer.rebuildSliceDrawers();
    EXPECT_TRUE (drawer.sliceDrawers.isEmpty());
    EXPECT_EQ (drawer.slicesDrawer->content->getNumChildComponents(), 0);
}

// A slice hidden after the rebuild: its toggle matches no visible slice and
// changes only its own look; the next rebuild drops it.
TEST (FocalDrawer, ToggleOfASliceHiddenMeanwhileChangesOnlyItself)
{
    ThreeSlices fixture;
    auto& focal = *fixture.focal;
    FocalDrawer drawer (&focal);
    drawer.rebuildSliceDrawers();
    fixture.hide (0);

    drawer.drawerClicked (drawer.sliceDrawers[0]);
    EXPECT_FALSE (drawer.sliceDrawers[0]->active);
    EXPECT_FALSE (focal.isExcluded (11));

    drawer.rebuildSliceDrawers();
    EXPECT_EQ (toggleNames (drawer), juce::StringArray ("Slice -12#-12 on", "Slice 13#13 on"));
}
