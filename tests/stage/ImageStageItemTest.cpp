#include "stage/ImageStageItem.h"
#include "stage/ZoomableComponent.h"

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
    auto e = pressOn (item);
    item.mouseDown (e);
    item.mouseDrag (e);
    item.mouseUp (e);
    EXPECT_EQ (stage.log, juce::StringArray ({ "item down", "item drag", "item up" }));

    stage.log.clear();
    item.locked = true;
    EXPECT_FALSE (item.isSelectable());
    item.mouseDown (e);
    item.mouseDrag (e);
    item.mouseUp (e);
    EXPECT_EQ (stage.log, juce::StringArray ({ "stage down", "stage drag", "stage up" }));

    // A popup-menu click goes nowhere: the guide has no menu.
    stage.log.clear();
    item.mouseDown (pressOn (item, juce::ModifierKeys::rightButtonModifier));
    EXPECT_TRUE (stage.log.isEmpty());

    // Off the stage, a locked item drops the events.
    stage.removeChildComponent (&item);
    item.mouseDown (e);
    EXPECT_TRUE (stage.log.isEmpty());
}
