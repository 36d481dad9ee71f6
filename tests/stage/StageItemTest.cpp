#include "stage/StageItem.h"

#include "support/TestSupport.h"
#include "widgets/SvgButton.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace corvadine;

namespace
{
using Log = std::vector<std::string>;

// Records every call as "name:event" and can act inside a call.
struct RecordingListener final : StageItem::Listener
{
    RecordingListener (Log& l, std::string n) : log (l), name (std::move (n)) {}

    void stageItemChanged (StageItem* item) override { record ("changed", item); }
    void stageItemLockChanged (StageItem* item) override { record ("lock", item); }
    void stageItemDeleteRequested (StageItem* item) override { record ("delete", item); }

    void record (const std::string& event, StageItem* item)
    {
        log.push_back (name + ":" + event);

        if (action)
            action (item);
    }

    Log& log;
    std::string name;
    std::function<void (StageItem*)> action;
};

// An item kind that can be picked, as the slice and focal items can.
struct SelectableItem final : StageItem
{
    bool isSelectable() override { return true; }
};

juce::Array<juce::Point<float>> rectangle (float w, float h)
{
    using P = juce::Point<float>;
    return { P { 0, 0 }, P { w, 0 }, P { w, h }, P { 0, h } };
}

// The colours of the fully covered pixels of a component's picture.
std::set<juce::uint32> opaqueColours (juce::Component& component)
{
    const auto image = component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f);
    std::set<juce::uint32> colours;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (const auto c = image.getPixelAt (x, y); c.getAlpha() == 255)
                colours.insert (c.getARGB());

    return colours;
}

struct ListenedItem : testing::Test
{
    ListenedItem()
    {
        item->setOutline (rectangle (200, 100), 0.0f);
        for (auto* l : { &a, &b, &c })
            item->addListener (l);
    }

    Log log;
    RecordingListener a { log, "a" }, b { log, "b" }, c { log, "c" };
    std::unique_ptr<StageItem> item = std::make_unique<StageItem>();
};
} // namespace

TEST (StageItem, StartsHiddenAndUnlockedWithHiddenButtons)
{
    StageItem item;

    EXPECT_TRUE (item.hidden);
    EXPECT_FALSE (item.locked);
    EXPECT_FALSE (item.selected);
    EXPECT_FALSE (item.hovered);
    EXPECT_FALSE (item.isSelectable());
    EXPECT_FALSE (item.canTransform());
    EXPECT_TRUE (item.isLayoutItem());

    EXPECT_FALSE (item.lockButton->isVisible());
    EXPECT_FALSE (item.removeButton->isVisible());
    EXPECT_EQ (item.lockButton->getParentComponent(), &item);
    EXPECT_EQ (item.removeButton->getParentComponent(), &item);
    EXPECT_TRUE (item.lockButton->getClickingTogglesState());
    EXPECT_FALSE (item.removeButton->getClickingTogglesState());
    EXPECT_EQ (item.ownButtons, (juce::Array<juce::Component*> { item.lockButton.get(), item.removeButton.get() }));

    for (auto* button : { item.lockButton.get(), item.removeButton.get() })
    {
        EXPECT_EQ (button->normalColour, juce::Colour (0xff9d03f2).withSaturation (0.75f));
        EXPECT_EQ (button->overColour, juce::Colour (0xffdfdf17));
        EXPECT_EQ (button->downColour, juce::Colour (0xffa2a235));
        EXPECT_EQ (button->disabledColour, juce::Colour (0xff9d03f2).withBrightness (0.5f).withSaturation (0.6f));
        EXPECT_FALSE (button->shape.isEmpty());
    }
}

TEST (StageItem, VisibleButtonsLineUpFromTheTopRightCorner)
{
    struct Case
    {
        float width;
        bool lock, remove;
        juce::Rectangle<int> lockBounds, removeBounds;
    };

    const Case cases[] = {
        { 200, true, false, { 140, 10, 50, 50 }, {} },
        { 200, true, true, { 140, 10, 50, 50 }, { 80, 10, 50, 50 } },
        { 200, false, true, {}, { 140, 10, 50, 50 } },
        { 40, true, false, { -20, 10, 50, 50 }, {} },
    };

    for (const auto& c : cases)
    {
        StageItem item;
        item.lockButton->setVisible (c.lock);
        item.removeButton->setVisible (c.remove);
        item.setOutline (rectangle (c.width, 100), 0.0f);

        EXPECT_EQ (item.lockButton->getBounds(), c.lockBounds);
        EXPECT_EQ (item.removeButton->getBounds(), c.removeBounds);
    }
}

TEST_F (ListenedItem, LockClickLocksTheItemAndSendsItBack)
{
    juce::Component parent;
    juce::Component sibling;
    parent.addAndMakeVisible (sibling);
    parent.addAndMakeVisible (*item);
    item->lockButton->setVisible (true);
    item->removeButton->setVisible (true);
    item->removeButton->setBounds (0, 0, 50, 50);

    item->lockButton->triggerClick();
    ASSERT_TRUE (test::pumpUntil ([this] { return item->locked; }));

    EXPECT_EQ (log, (Log { "c:lock", "b:lock", "a:lock" }));
    EXPECT_TRUE (item->lockButton->getToggleState());
    EXPECT_FALSE (item->removeButton->isEnabled());
    EXPECT_EQ (parent.getIndexOfChildComponent (item.get()), 0);
    EXPECT_EQ (opaqueColours (*item->removeButton), (std::set<juce::uint32> { item->removeButton->disabledColour.getARGB() }));

    // A locked item cannot be removed, by a click or by a direct call.
    log.clear();
    item->removeButton->triggerClick();
    test::pumpMessageLoop (50);
    item->buttonClicked (item->removeButton.get());
    EXPECT_TRUE (log.empty());

    item->lockButton->triggerClick();
    ASSERT_TRUE (test::pumpUntil ([this] { return ! item->locked; }));

    EXPECT_EQ (log, (Log { "c:lock", "b:lock", "a:lock" }));
    EXPECT_TRUE (item->removeButton->isEnabled());
    EXPECT_EQ (parent.getIndexOfChildComponent (item.get()), 1);
    EXPECT_EQ (opaqueColours (*item->removeButton), (std::set<juce::uint32> { item->removeButton->normalColour.getARGB() }));
}

TEST_F (ListenedItem, RemoveClickAsksTheListenersLastFirst)
{
    item->removeButton->setVisible (true);
    item->removeButton->triggerClick();
    ASSERT_TRUE (test::pumpUntil ([this] { return log.size() == 3; }));
    EXPECT_EQ (log, (Log { "c:delete", "b:delete", "a:delete" }));

    log.clear();
    item->sendItemChanged();
    EXPECT_EQ (log, (Log { "c:changed", "b:changed", "a:changed" }));
}

TEST_F (ListenedItem, ListenerThatDeletesTheItemEndsTheCalls)
{
    b.action = [this] (StageItem* sender)
    {
        EXPECT_EQ (sender, item.get());
        item.reset();
    };

    // Through the button's own click, as the controller's remove handling runs.
    item->removeButton->setVisible (true);
    item->removeButton->triggerClick();
    ASSERT_TRUE (test::pumpUntil ([this] { return item == nullptr; }));
    test::pumpMessageLoop (20);
    EXPECT_EQ (log, (Log { "c:delete", "b:delete" }));

    for (auto send : { std::function<void (StageItem&)> ([] (StageItem& i) { i.sendItemChanged(); }),
                       std::function<void (StageItem&)> ([] (StageItem& i) { i.buttonClicked (i.lockButton.get()); }) })
    {
        log.clear();
        item = std::make_unique<StageItem>();
        for (auto* l : { &a, &b, &c })
            item->addListener (l);

        send (*item);
        EXPECT_EQ (item, nullptr);
        ASSERT_EQ (log.size(), 2u);
        EXPECT_EQ (log[0].substr (0, 2), "c:");
        EXPECT_EQ (log[1].substr (0, 2), "b:");
    }
}

TEST_F (ListenedItem, ListenersRemovedDuringACallAreSkipped)
{
    c.action = [this] (StageItem* sender) { sender->removeListener (&b); };
    item->sendItemChanged();
    EXPECT_EQ (log, (Log { "c:changed", "a:changed" }));

    // A listener that takes itself off still lets the ones below it hear.
    log.clear();
    item->addListener (&b);
    b.action = [this] (StageItem* sender) { sender->removeListener (&b); };
    c.action = nullptr;
    item->sendItemChanged();
    EXPECT_EQ (log, (Log { "b:changed", "c:changed", "a:changed" }));

    // A listener is registered once.
    log.clear();
    b.action = nullptr;
    item->addListener (&a);
    item->sendItemChanged();
    EXPECT_EQ (log, (Log { "c:changed", "a:changed" }));
}

TEST (StageItem, PopupClicksOpenTheMenuAndNothingElse)
{
    const juce::ModifierKeys popupClicks[] = {
        juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier),
        juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::ctrlModifier),
    };

    for (auto mods : popupClicks)
    {
        SelectableItem item;
        item.setOutline (rectangle (200, 100), 0.0f);
        int presses = 0, menus = 0;
        item.onMouseDown = [&] (const juce::MouseEvent&) { ++presses; };

        // Without a menu the click does nothing at all.
        item.mouseDown (test::mouseEventAt (item, { 20, 20 }, mods));
        item.handleTransformerClick (test::mouseEventAt (item, { 20, 20 }, mods));
        EXPECT_EQ (presses, 0);

        item.onPopupMenu = [&] { ++menus; };
        item.mouseDown (test::mouseEventAt (item, { 20, 20 }, mods));
        item.handleTransformerClick (test::mouseEventAt (item, { 20, 20 }, mods));
        EXPECT_EQ (menus, 2);
        EXPECT_EQ (presses, 0);
    }
}

// The drag and release of a popup-menu press are no move: they would move
// whatever else is selected, since the press selected nothing.
TEST (StageItem, DragsAndReleasesAfterAPopupPressGoNowhere)
{
    const juce::ModifierKeys popupClicks[] = {
        juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier),
        juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::ctrlModifier),
    };
    const auto left = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier);

    for (auto mods : popupClicks)
    {
        SelectableItem item;
        item.setOutline (rectangle (200, 100), 0.0f);
        std::vector<std::string> calls;
        item.onMouseDown = [&] (const juce::MouseEvent&) { calls.push_back ("down"); };
        item.onMouseDrag = [&] (const juce::MouseEvent&) { calls.push_back ("drag"); };
        item.onMouseUp = [&] (const juce::MouseEvent&) { calls.push_back ("up"); };

        for (bool withMenu : { false, true })
        {
            if (withMenu)
                item.onPopupMenu = [&] { calls.push_back ("menu"); };

            item.mouseDown (test::mouseEventAt (item, { 20, 20 }, mods));
            item.mouseDrag (test::mouseDragEventAt (item, { 20, 20 }, { 80, 20 }, mods));
            item.mouseUp (test::mouseDragEventAt (item, { 20, 20 }, { 80, 20 }, mods));
        }

        EXPECT_EQ (calls, std::vector<std::string> { "menu" });

        // The next ordinary press starts a move again.
        item.mouseDown (test::mouseEventAt (item, { 20, 20 }, left));
        item.mouseDrag (test::mouseDragEventAt (item, { 20, 20 }, { 80, 20 }, left));
        item.mouseUp (test::mouseDragEventAt (item, { 20, 20 }, { 80, 20 }, left));
        EXPECT_EQ (calls, (std::vector<std::string> { "menu", "down", "drag", "up" }));
    }
}

TEST (StageItem, PressesGoToTheStageOnlyForSelectableItems)
{
    const auto left = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier);
    const auto shiftLeft = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::shiftModifier);
    int presses = 0, drags = 0, releases = 0, menus = 0;

    auto wire = [&] (StageItem& item)
    {
        item.setOutline (rectangle (200, 100), 0.0f);
        item.onMouseDown = [&] (const juce::MouseEvent&) { ++presses; };
        item.onMouseDrag = [&] (const juce::MouseEvent&) { ++drags; };
        item.onMouseUp = [&] (const juce::MouseEvent&) { ++releases; };
        item.onPopupMenu = [&] { ++menus; };
    };

    StageItem anchor;
    wire (anchor);
    anchor.mouseDown (test::mouseEventAt (anchor, { 20, 20 }, left));
    EXPECT_EQ (presses, 0);

    SelectableItem item;
    wire (item);
    item.mouseDown (test::mouseEventAt (item, { 20, 20 }, left));
    item.mouseDown (test::mouseEventAt (item, { 20, 20 }, shiftLeft));
    item.mouseDrag (test::mouseEventAt (item, { 30, 20 }, left));
    item.mouseUp (test::mouseEventAt (item, { 30, 20 }, left));
    EXPECT_EQ (presses, 2);
    EXPECT_EQ (drags, 1);
    EXPECT_EQ (releases, 1);

    // A locked item can still be pressed (and so selected) but not dragged.
    item.locked = true;
    item.mouseDown (test::mouseEventAt (item, { 20, 20 }, left));
    item.mouseDrag (test::mouseEventAt (item, { 30, 20 }, left));
    item.mouseUp (test::mouseEventAt (item, { 30, 20 }, left));
    EXPECT_EQ (presses, 3);
    EXPECT_EQ (drags, 1);
    EXPECT_EQ (releases, 1);
    EXPECT_EQ (menus, 0);

    item.mouseEnter (test::mouseEventAt (item, { 20, 20 }));
    EXPECT_TRUE (item.hovered);
    item.mouseExit (test::mouseEventAt (item, { 20, 20 }));
    EXPECT_FALSE (item.hovered);
}

TEST (StageItem, OnlySelectableItemsKeepTheSelectedFlag)
{
    StageItem anchor;
    anchor.setSelected (true);
    EXPECT_FALSE (anchor.selected);

    SelectableItem item;
    item.setSelected (true);
    EXPECT_TRUE (item.selected);
    item.setSelected (false);
    EXPECT_FALSE (item.selected);
}

// The transform widget lies over a selected item and hands its clicks on.
struct ItemUnderWidget : ListenedItem
{
    void SetUp() override
    {
        stage.setBounds (100, 100, 800, 600);
        widget.setBounds (stage.getLocalBounds());
        stage.addAndMakeVisible (*item);
        stage.addAndMakeVisible (widget);
        item->setPlacement (juce::AffineTransform::scale (1.5f).translated (100.0f, 50.0f));
        // Component::contains needs a real window.
        stage.addToDesktop (0);
        stage.setVisible (true);
    }

    void TearDown() override { stage.removeFromDesktop(); }

    void clickOn (juce::Component& button, juce::Point<float> inButton = { 25, 25 })
    {
        item->handleTransformerClick (test::mouseEventAt (widget, widget.getLocalPoint (&button, inButton)));
    }

    juce::Component stage, widget;
};

TEST_F (ItemUnderWidget, ClickOnAVisibleButtonTriggersIt)
{
    item->lockButton->setVisible (true);
    item->removeButton->setVisible (true);
    item->resized();

    clickOn (*item->lockButton);
    ASSERT_TRUE (test::pumpUntil ([this] { return item->locked; }));
    EXPECT_EQ (log, (Log { "c:lock", "b:lock", "a:lock" }));

    // The remove button of a locked item is disabled: nothing is sent.
    log.clear();
    clickOn (*item->removeButton);
    test::pumpMessageLoop (100);
    EXPECT_TRUE (log.empty());

    // Outside both buttons nothing is triggered.
    clickOn (*item->lockButton, { 25, 70 });
    test::pumpMessageLoop (100);
    EXPECT_TRUE (log.empty());
    EXPECT_TRUE (item->locked);
}

TEST_F (ItemUnderWidget, HiddenButtonsCannotBeTriggered)
{
    // A slice item keeps both buttons hidden: a click where they would be
    // must neither lock nor remove it.
    item->lockButton->setBounds (140, 10, 50, 50);
    item->removeButton->setBounds (80, 10, 50, 50);

    clickOn (*item->lockButton);
    clickOn (*item->removeButton);
    test::pumpMessageLoop (100);

    EXPECT_FALSE (item->locked);
    EXPECT_TRUE (log.empty());
}
