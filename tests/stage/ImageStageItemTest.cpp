#include "stage/ImageStageItem.h"
#include "stage/SliceStageItem.h"
#include "stage/StageComponent.h"
#include "stage/TransformerManager.h"
#include "stage/ZoomableComponent.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
struct RecordingStage : ZoomableComponent
{
    void mouseDown (const juce::MouseEvent&) override { log.add ("stage down"); }
    void mouseDrag (const juce::MouseEvent&) override { log.add ("stage drag"); }
    void mouseUp (const juce::MouseEvent&) override { log.add ("stage up"); }
    juce::StringArray log;
};

juce::MouseEvent pressOn (juce::Component& c, juce::ModifierKeys mods = juce::ModifierKeys::leftButtonModifier)
{
    auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto now = juce::Time::getCurrentTime();
    const juce::Point<float> at (10, 10);
    return { source, at, mods, juce::MouseInputSource::defaultPressure, 0, 0, 0, 0, &c, &c, now, at, now, 1, false };
}
} // namespace

TEST (ImageStageItem, LockedHandsTheGestureToTheStageUnlockedToItsCallbacks)
{
    RecordingStage stage;
    ImageStageItem item;
    stage.addAndMakeVisible (item);
    item.onMouseDown = [&] (const juce::MouseEvent&) { stage.log.add ("item down"); };
    item.onMouseDrag = [&] (const juce::MouseEvent&) { stage.log.add ("item drag"); };
    item.onMouseUp = [&] (const juce::MouseEvent&) { stage.log.add ("item up"); };

    EXPECT_TRUE (item.isSelectable());
    EXPECT_FALSE (item.isLayoutItem());
    // Press, drag and release with the same event.
    auto gesture = [&item] (const juce::MouseEvent& ev)
    {
        item.mouseDown (ev);
        item.mouseDrag (ev);
        item.mouseUp (ev);
    };

    auto e = pressOn (item);
    gesture (e);
    EXPECT_EQ (stage.log, juce::StringArray ({ "item down", "item drag", "item up" }));

    stage.log.clear();
    item.locked = true;
    EXPECT_FALSE (item.isSelectable());
    gesture (e);
    EXPECT_EQ (stage.log, juce::StringArray ({ "stage down", "stage drag", "stage up" }));

    // The guide has no menu: a popup-menu press is a press on the stage like
    // any other, so the drag and release that follow it have their press.
    stage.log.clear();
    const auto right = pressOn (item, juce::ModifierKeys::rightButtonModifier);
    gesture (right);
    EXPECT_EQ (stage.log, juce::StringArray ({ "stage down", "stage drag", "stage up" }));

    // Unlocked, it goes nowhere, and neither do its drag and release.
    stage.log.clear();
    item.locked = false;
    gesture (right);
    EXPECT_TRUE (stage.log.isEmpty());
    item.locked = true;
    stage.log.clear();

    // Off the stage, a locked item drops the events.
    stage.removeChildComponent (&item);
    item.mouseDown (e);
    EXPECT_TRUE (stage.log.isEmpty());
}

// A right-button drag that starts on the locked guide image draws the band from
// where it was pressed, as on the empty stage; it never selects from a band
// left over from an earlier gesture.
TEST (ImageStageItem, RightDragOnALockedGuideDrawsTheBandFromItsPress)
{
    auto corners = [] (juce::Rectangle<float> r)
    {
        return juce::Array<juce::Point<float>> { r.getTopLeft(), r.getTopRight(), r.getBottomRight(), r.getBottomLeft() };
    };

    StageComponent stage;
    SliceStageItem slice;
    slice.setOutline (corners ({ 1000, 1000, 100, 100 }), 0.0f);
    slice.hidden = false;
    stage.addSlice (&slice);

    ImageStageItem guide;
    guide.setOutline (corners ({ 19000, 1000, 3000, 3000 }), 0.0f);
    guide.hidden = false;
    guide.locked = true;
    stage.addSlice (&guide);
    stage.backgroundItem = &guide;

    const juce::ModifierKeys right (juce::ModifierKeys::rightButtonModifier);
    stage.transformerManager->selectItem (&slice, false);
    guide.mouseDown (test::mouseEventAt (guide, { 900, 900 }, right));
    EXPECT_TRUE (stage.transformerManager->selection.isEmpty());

    guide.mouseDrag (test::mouseDragEventAt (guide, { 900, 900 }, { 1150, 1150 }, right));
    EXPECT_EQ (stage.lasso.getBounds(), juce::Rectangle<int> (19900, 1900, 250, 250));
    EXPECT_TRUE (stage.transformerManager->selection.isEmpty());
    guide.mouseUp (test::mouseDragEventAt (guide, { 900, 900 }, { 1150, 1150 }, right));
    EXPECT_FALSE (stage.lasso.isVisible());

    stage.removeSlice (&guide);
    stage.removeSlice (&slice);
}
