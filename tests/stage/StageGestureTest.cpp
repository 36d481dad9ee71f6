#include "stage/FocalStageItem.h"
#include "stage/ImageStageItem.h"
#include "stage/SliceStageItem.h"
#include "stage/StageComponent.h"
#include "stage/ZoomportComponent.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace corvadine;

namespace
{
using P = juce::Point<float>;

juce::Rectangle<float> placedBounds (const TransformableComponent& item)
{
    auto placed = item.outline;
    placed.applyTransform (item.getTransform());
    return placed.getBounds();
}

// The stage inside the zoom view in a real window, driven with mouse events
// through the window's peer: JUCE's own hit-testing, mouse capture and drag
// threshold decide which component gets each event.
struct StageGestures : testing::Test
{
    void SetUp() override
    {
        window.setBounds (40, 40, 1000, 500);
        window.addAndMakeVisible (view);
        view.setBounds (window.getLocalBounds());
        view.setContent (stage);
        // 0.15 screen pixels per stage unit, centred on the stage centre.
        view.fitContentToView (20.0f);
        window.addToDesktop (0);
        window.setVisible (true);
        window.toFront (true);
        test::pumpMessageLoop (50);

        stage->onItemsTransformed = [this] (juce::Array<StageItem*> items) { reported.push_back (items); };
        stage->onStageChanged = [this] { ++stageChanges; };
    }

    void TearDown() override
    {
        juce::ModifierKeys::currentModifiers = {};
        window.removeFromDesktop();
        // The view deletes the stage; the items outlive it.
        window.removeChildComponent (&view);
    }

    template <typename ItemType = SliceStageItem>
    ItemType& add (juce::Rectangle<float> r)
    {
        auto item = std::make_unique<ItemType>();
        item->setOutline ({ r.getTopLeft(), r.getTopRight(), r.getBottomRight(), r.getBottomLeft() }, 0.0f);
        item->hidden = false;
        auto& ref = *item;
        owned.push_back (std::move (item));
        stage->addSlice (&ref);
        return ref;
    }

    // A point of a component in the window's coordinates.
    P inWindow (juce::Component& c, P local) { return window.getLocalPoint (&c, local); }
    P stagePoint (P p) { return inWindow (*stage, p); }

    void send (P position, juce::ModifierKeys mods)
    {
        time += 20;
        window.getPeer()->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, position, mods,
                                            juce::MouseInputSource::defaultPressure,
                                            juce::MouseInputSource::defaultOrientation, time);
    }

    // Press, drag in steps and release, with the keyboard modifiers held
    // throughout (as the platform layer records them).
    void drag (P from, P to, juce::ModifierKeys keys = {}, int button = juce::ModifierKeys::leftButtonModifier)
    {
        juce::ModifierKeys::currentModifiers = keys;
        send (from, keys);
        const auto pressed = keys.withFlags (button);
        send (from, pressed);

        for (int i = 1; i <= 8; ++i)
            send (from + (to - from) * (float) i / 8.0f, pressed);

        send (to, keys);
        juce::ModifierKeys::currentModifiers = {};
        test::pumpMessageLoop (20);
    }

    juce::Component window;
    ZoomportComponent view;
    StageComponent* stage = new StageComponent();
    std::vector<std::unique_ptr<StageItem>> owned;
    std::vector<juce::Array<StageItem*>> reported;
    int stageChanges = 0;
    juce::int64 time = juce::Time::currentTimeMillis();
};
} // namespace

TEST_F (StageGestures, DragShiftScaleAndRotateThroughRealMouseEvents)
{
    auto& a = add ({ 47500, 4200, 1000, 800 });
    auto& b = add ({ 50600, 4300, 900, 600 });
    auto& focal = add<FocalStageItem> ({ 48800, 5400, 1600, 700 });
    focal.compositionSize = { 1600, 700 };
    stage->restack();
    ASSERT_NEAR (view.getZoom(), 0.15f, 1.0e-4f);

    // A press on an item selects it and the drag moves it, like the gizmo's body.
    drag (stagePoint ({ 48000, 4600 }), stagePoint ({ 48000 + 333, 4600 + 200 }));
    ASSERT_EQ (stage->transformerManager->selection, juce::Array<StageItem*> { &a });
    const auto moved = placedBounds (a);
    EXPECT_NEAR (moved.getX(), 47500 + 333, 8.0f);
    EXPECT_NEAR (moved.getY(), 4200 + 200, 8.0f);
    EXPECT_EQ (a.committedTransform, a.getTransform());
    ASSERT_FALSE (reported.empty());
    EXPECT_EQ (reported.back(), juce::Array<StageItem*> { &a });
    EXPECT_EQ (stageChanges, 1);

    // Shift on the bottom-right handle keeps the proportions.
    auto& widget = stage->transformerManager->widget;
    auto& corner = *widget.handleDraggers[8];
    ASSERT_TRUE (corner.isShowing());
    const auto cornerCentre = inWindow (corner, corner.getLocalBounds().getCentre().toFloat());
    drag (cornerCentre, cornerCentre + P (60, 15), juce::ModifierKeys::shiftModifier);
    const auto scaled = placedBounds (a);
    EXPECT_GT (scaled.getWidth(), moved.getWidth() * 1.2f);
    EXPECT_NEAR (scaled.getWidth() / scaled.getHeight(), moved.getWidth() / moved.getHeight(), 0.01f);
    EXPECT_NEAR (scaled.getX(), moved.getX(), 1.0f);
    EXPECT_NEAR (scaled.getY(), moved.getY(), 1.0f);
    EXPECT_EQ (stageChanges, 2);

    // The rotate handle dragged to the right of the centre, with Shift: a
    // quarter turn exactly.
    auto& rotate = *widget.rotateDragger;
    ASSERT_TRUE (rotate.isShowing());
    const auto centre = stagePoint (scaled.getCentre());
    drag (inWindow (rotate, rotate.getLocalBounds().getCentre().toFloat()), centre + P (120, 4),
          juce::ModifierKeys::shiftModifier);
    EXPECT_NEAR (a.rotation, juce::MathConstants<float>::halfPi, 1.0e-5f);
    EXPECT_NEAR (placedBounds (a).getCentreX(), scaled.getCentreX(), 2.0f); // about the whole-unit centre
    EXPECT_NEAR (placedBounds (a).getWidth(), scaled.getHeight(), 1.0f);
    EXPECT_EQ (stageChanges, 3);

    // A band from empty stage over everything takes the slices but not the focal.
    drag (stagePoint ({ 47000, 3500 }), stagePoint ({ 52000, 6500 }));
    EXPECT_EQ (stage->transformerManager->selection, (juce::Array<StageItem*> { &a, &b }));
    EXPECT_FALSE (stage->lasso.isVisible());
    stage->transformerManager->selectItem (&focal, true);

    juce::Image picture (juce::Image::ARGB, window.getWidth(), window.getHeight(), true);
    {
        juce::Graphics g (picture);
        g.fillAll (juce::Colour (0xff1e1e1e));
        g.drawImageAt (window.createComponentSnapshot (window.getLocalBounds()), 0, 0);
    }
    EXPECT_TRUE (test::writeSnapshot (picture, "stage-after-gestures").existsAsFile());
}

TEST_F (StageGestures, OnlyAShiftPressOnASelectedItemGoesToTheItemOtherPressesStayTheBodys)
{
    auto& a = add ({ 47500, 4200, 1000, 800 });
    auto& b = add ({ 50600, 4300, 900, 600 });
    auto& manager = *stage->transformerManager;
    std::vector<StageItem*> clicked;
    stage->onItemClicked = [&] (StageItem* item) { clicked.push_back (item); };
    manager.selectItem (&a, false);
    manager.selectItem (&b, true);

    // A plain press on a selected item keeps the group and drags all of it;
    // with Control held (Ctrl here, no popup click on the gizmo) it drags too.
    drag (stagePoint ({ 48000, 4600 }), stagePoint ({ 48000 + 200, 4600 }));
    EXPECT_EQ (manager.selection, (juce::Array<StageItem*> { &a, &b }));
    EXPECT_NEAR (placedBounds (a).getX(), 47700, 8.0f);
    EXPECT_NEAR (placedBounds (b).getX(), 50800, 8.0f);
    drag (stagePoint ({ 48100, 4600 }), stagePoint ({ 48100 + 100, 4600 + 100 }), juce::ModifierKeys::ctrlModifier);
    EXPECT_EQ (manager.selection, (juce::Array<StageItem*> { &a, &b }));
    EXPECT_NEAR (placedBounds (a).getX(), 47800, 8.0f);
    EXPECT_NEAR (placedBounds (a).getY(), 4300, 8.0f);
    EXPECT_TRUE (clicked.empty());

    // The frame's empty area between them is the body: it drags the group too.
    const auto before = placedBounds (b).getX();
    ASSERT_LT (placedBounds (a).getRight(), 49700.0f);
    drag (stagePoint ({ 49800, 4500 }), stagePoint ({ 49800 + 100, 4500 }));
    EXPECT_EQ (manager.selection, (juce::Array<StageItem*> { &a, &b }));
    EXPECT_NEAR (placedBounds (b).getX(), before + 100, 8.0f);

    // Shift-press on a selected item takes it out; the rest stays selected.
    drag (stagePoint (placedBounds (a).getCentre()), stagePoint (placedBounds (a).getCentre()),
          juce::ModifierKeys::shiftModifier);
    EXPECT_EQ (manager.selection, juce::Array<StageItem*> { &b });
    EXPECT_FALSE (a.selected);
    EXPECT_EQ (clicked, std::vector<StageItem*> { &a });

    // Shift-press on an item inside the frame adds it.
    auto& between = add ({ 49500, 4400, 400, 300 });
    manager.selectItem (&a, true);
    ASSERT_EQ (stage->getChildren().getLast(), &manager.widget);
    drag (stagePoint ({ 49700, 4550 }), stagePoint ({ 49700, 4550 }), juce::ModifierKeys::shiftModifier);
    EXPECT_EQ (manager.selection, (juce::Array<StageItem*> { &b, &a, &between }));
}

TEST_F (StageGestures, ArrowAndZoomKeysReachTheGizmoAndTheViewThroughTheWindow)
{
    auto& a = add ({ 47500, 4200, 1000, 800 });
    window.addKeyListener (&view);
    drag (stagePoint ({ 48000, 4600 }), stagePoint ({ 48000, 4600 }));
    ASSERT_EQ (stage->transformerManager->selection, juce::Array<StageItem*> { &a });

    auto* peer = window.getPeer();
    juce::ModifierKeys::currentModifiers = juce::ModifierKeys::shiftModifier;
    EXPECT_TRUE (peer->handleKeyPress (juce::KeyPress (juce::KeyPress::leftKey, juce::ModifierKeys::shiftModifier, 0)));
    juce::ModifierKeys::currentModifiers = {};
    EXPECT_TRUE (peer->handleKeyPress (juce::KeyPress (juce::KeyPress::downKey)));
    EXPECT_EQ (placedBounds (a).getPosition(), P (47490, 4201));
    EXPECT_EQ (a.committedTransform, a.getTransform());

    // Ctrl is the command key here.
    const auto zoom = view.getZoom();
    EXPECT_TRUE (peer->handleKeyPress (juce::KeyPress ('=', juce::ModifierKeys::ctrlModifier, 0)));
    EXPECT_NEAR (view.getZoom(), zoom * 1.1f, 1.0e-4f);
    window.removeKeyListener (&view);
}

TEST_F (StageGestures, PopupPressesNeitherMoveNorClickTheSelectionAndStartNoBand)
{
    auto& guide = add<ImageStageItem> ({ 46000, 3000, 8000, 4000 });
    guide.locked = true;
    stage->backgroundItem = &guide;
    auto& slice = add ({ 47500, 4200, 1000, 800 });
    auto& focal = add<FocalStageItem> ({ 50600, 4300, 900, 600 });
    int menus = 0;
    focal.onPopupMenu = [&] { ++menus; };
    stage->restack();

    // A band pressed on the locked guide selects the slice.
    drag (stagePoint ({ 47000, 4000 }), stagePoint ({ 48700, 5200 }));
    auto& manager = *stage->transformerManager;
    ASSERT_EQ (manager.selection, juce::Array<StageItem*> { &slice });
    manager.selectItem (&focal, false);
    const auto focalPlace = focal.getTransform();

    constexpr auto right = juce::ModifierKeys::rightButtonModifier;
    const auto onSlice = stagePoint ({ 48000, 4600 });

    // Right-dragged or right-clicked, an unselected item moves nothing and
    // opens no menu of the selected focal.
    drag (onSlice, onSlice + P (40, 20), {}, right);
    drag (onSlice, onSlice, {}, right);
    EXPECT_EQ (focal.getTransform(), focalPlace);
    EXPECT_EQ (menus, 0);
    EXPECT_EQ (manager.selection, juce::Array<StageItem*> { &focal });

    // A right-drag on the guide bands from its own press, not from an earlier one.
    const auto onGuide = stagePoint ({ 53000, 6500 });
    drag (onGuide, onGuide - P (40, 20), {}, right);
    EXPECT_TRUE (manager.selection.isEmpty());
    EXPECT_EQ (focal.getTransform(), focalPlace);
    manager.selectItem (&focal, false);

    // A right-click on the selected focal opens its menu once.
    drag (stagePoint ({ 51000, 4600 }), stagePoint ({ 51000, 4600 }), {}, right);
    EXPECT_EQ (menus, 1);
    EXPECT_EQ (focal.getTransform(), focalPlace);
}

TEST_F (StageGestures, APopupClickOnTheGizmoOpensTheMenuOfTheItemUnderItAlone)
{
    auto& left = add<FocalStageItem> ({ 47500, 4200, 1000, 800 });
    auto& right = add<FocalStageItem> ({ 50600, 4300, 900, 600 });
    int leftMenus = 0, rightMenus = 0;
    left.onPopupMenu = [&] { ++leftMenus; };
    right.onPopupMenu = [&] { ++rightMenus; };
    auto& manager = *stage->transformerManager;
    manager.selectItem (&left, false);
    manager.selectItem (&right, true);

    drag (stagePoint ({ 51000, 4600 }), stagePoint ({ 51000, 4600 }), {}, juce::ModifierKeys::rightButtonModifier);
    EXPECT_EQ (rightMenus, 1);
    EXPECT_EQ (leftMenus, 0);

    // On the frame's empty area between them there is no item's menu to open.
    drag (stagePoint ({ 49500, 4500 }), stagePoint ({ 49500, 4500 }), {}, juce::ModifierKeys::rightButtonModifier);
    EXPECT_EQ (rightMenus, 1);
    EXPECT_EQ (leftMenus, 0);
    EXPECT_EQ (manager.selection, (juce::Array<StageItem*> { &left, &right }));
}
