#include "stage/TransformerWidget.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace corvadine;
using corvadine::test::mouseDragEventAt;
using corvadine::test::mouseEventAt;

namespace
{
using P = juce::Point<float>;

constexpr float halfPi = 1.5707964f;

// The widget inside a stand-in for the stage, which it fills.
struct WidgetOnStage : testing::Test
{
    WidgetOnStage()
    {
        stage.setSize (100000, 10000);
        stage.addAndMakeVisible (widget);
        widget.setBounds (stage.getLocalBounds());
        widget.frameBounds = { 0.0f, 0.0f, 200.0f, 100.0f };
        widget.showHandles = true;
        widget.layoutHandles();
    }

    juce::Component stage;
    TransformerWidget widget;
};

void expectNear (P actual, P expected)
{
    EXPECT_NEAR (actual.x, expected.x, 0.01f);
    EXPECT_NEAR (actual.y, expected.y, 0.01f);
}

TEST_F (WidgetOnStage, HandlePointsFollowARotatedAndScaledFrameWithTheRotateHandleBeyondItsTop)
{
    // A quarter turn clockwise maps (x, y) to (-y, x).
    widget.frameTransform = juce::AffineTransform::rotation (halfPi).translated (1000.0f, 500.0f);
    auto points = widget.getHandlePoints();
    ASSERT_EQ (points.size(), 10);

    const std::vector<P> expected { { 1000, 500 }, { 1000, 600 }, { 1000, 700 },
                                    { 950, 500 }, { 950, 600 }, { 950, 700 },
                                    { 900, 500 }, { 900, 600 }, { 900, 700 },
                                    // 2.5 handle sizes of 20 beyond the top middle, along the frame's up.
                                    { 1050, 600 } };

    for (int i = 0; i < 10; ++i)
    {
        SCOPED_TRACE (i);
        expectNear (points[i], expected[(size_t) i]);
    }

    // At twice the size the rotate handle stays 50 stage units out.
    widget.frameTransform = juce::AffineTransform::scale (2.0f).rotated (halfPi).translated (1000.0f, 500.0f);
    points = widget.getHandlePoints();
    expectNear (points[1], { 1000, 700 });
    expectNear (points[9], { 1050, 700 });

    // The draggers sit on those points; the centre one never shows.
    widget.layoutHandles();
    EXPECT_EQ (widget.handleDraggers[8]->getBounds().getCentre(), juce::Point<int> (800, 900));
    EXPECT_EQ (widget.rotateDragger->getBounds().getCentre(), juce::Point<int> (1050, 700));
    EXPECT_FALSE (widget.handleDraggers[4]->isVisible());
    EXPECT_TRUE (widget.handleDraggers[4]->getBounds().isEmpty());
    EXPECT_EQ (widget.moveDragger->getTransform(), widget.frameTransform);
}

TEST_F (WidgetOnStage, HandleSizeFollowsTheZoomButNeverVanishesAndTheHandlesAreLaidOutAgain)
{
    const std::vector<std::pair<float, int>> cases { { 1.0f, 6 }, { 0.3f, 22 }, { 6.6f, 1 }, { 10.0f, 1 }, { 1000.0f, 1 } };

    for (const auto& [zoom, size] : cases)
    {
        SCOPED_TRACE (zoom);
        stage.setTransform (juce::AffineTransform::scale (zoom));
        EXPECT_EQ (widget.handleSizeForZoom(), size);
    }

    stage.setTransform (juce::AffineTransform::scale (1.0e-9f));
    EXPECT_GT (widget.handleSizeForZoom(), 100000);

    stage.setTransform (juce::AffineTransform::scale (0.3f));
    widget.updateHandleSize();
    EXPECT_EQ (widget.handleSize, 22);
    EXPECT_EQ (widget.handleDraggers[0]->getBounds(), juce::Rectangle<int> (-22, -22, 44, 44));
    EXPECT_EQ (widget.rotateDragger->getWidth(), 44);
}

TEST_F (WidgetOnStage, HiddenHandlesLeaveEveryDraggerInvisible)
{
    widget.showHandles = false;
    widget.layoutHandles();
    EXPECT_FALSE (widget.moveDragger->isVisible());
    EXPECT_FALSE (widget.rotateDragger->isVisible());

    for (auto& d : widget.handleDraggers)
        EXPECT_FALSE (d->isVisible());

    widget.showHandles = true;
    widget.layoutHandles();

    for (int i = 0; i < 9; ++i)
        EXPECT_EQ (widget.handleDraggers[(size_t) i]->isVisible(), i != 4) << i;
}

TEST (TransformerWidget, ArrowKeysNudgeByOneOrByTenWithShiftAlone)
{
    using K = juce::KeyPress;
    const auto shift = juce::ModifierKeys::shiftModifier;
    const auto cmd = juce::ModifierKeys::commandModifier;

    struct Case
    {
        int key;
        int mods;
        bool handled;
        juce::Point<int> step;
    };

    const std::vector<Case> cases {
        { K::leftKey, 0, true, { -1, 0 } },     { K::rightKey, 0, true, { 1, 0 } },
        { K::upKey, 0, true, { 0, -1 } },       { K::downKey, 0, true, { 0, 1 } },
        { K::leftKey, shift, true, { -10, 0 } }, { K::downKey, shift, true, { 0, 10 } },
        { K::rightKey, shift | cmd, true, { 1, 0 } }, { K::upKey, cmd, true, { 0, -1 } },
        { 'a', 0, false, {} },                  { K::spaceKey, shift, false, {} },
    };

    TransformerWidget widget;
    juce::Array<juce::Point<int>> nudges;
    widget.onNudge = [&] (juce::Point<int> step) { nudges.add (step); };

    for (const auto& k : cases)
    {
        SCOPED_TRACE (k.key);
        nudges.clear();
        EXPECT_EQ (widget.keyPressed (K (k.key, juce::ModifierKeys (k.mods), 0)), k.handled);

        if (k.handled)
            EXPECT_EQ (nudges, juce::Array<juce::Point<int>> { k.step });
        else
            EXPECT_TRUE (nudges.isEmpty());
    }

    // With nobody listening an arrow key still counts as handled.
    widget.onNudge = nullptr;
    EXPECT_TRUE (widget.keyPressed (K (K::leftKey)));
}

TEST_F (WidgetOnStage, APressPicksTheNearestGridPointWithinTheDiagonal)
{
    widget.moveDragger->mouseDown (mouseEventAt (*widget.moveDragger, { 195.0f, 98.0f }));
    EXPECT_EQ (widget.activeHandle, 8);

    // On the body far from every grid point the nearest one wins, possibly the centre.
    widget.moveDragger->mouseDown (mouseEventAt (*widget.moveDragger, { 60.0f, 40.0f }));
    EXPECT_EQ (widget.activeHandle, 4);

    // The rotate handle, 50 units above the top middle, picks that middle.
    widget.rotateDragger->mouseDown (mouseEventAt (*widget.rotateDragger, { 20.0f, 20.0f }));
    EXPECT_EQ (widget.activeHandle, 1);

    // Farther than the diagonal from every point: the last choice stays.
    widget.moveDragger->mouseDown (mouseEventAt (stage, { 5000.0f, 5000.0f }));
    EXPECT_EQ (widget.activeHandle, 1);
}

TEST_F (WidgetOnStage, DragsBecomeMoveScaleAndRotateCallbacks)
{
    std::vector<std::string> calls;
    juce::Point<int> moved;
    int scaledHandle = -1, scaledDistance = -1;
    float scaledAngle = 99.0f, rotatedAngle = 99.0f;
    widget.onMove = [&] (juce::Point<int> o) { moved = o; calls.push_back ("move"); };
    widget.onScale = [&] (int i, float a, int d) { scaledHandle = i; scaledAngle = a; scaledDistance = d; calls.push_back ("scale"); };
    widget.onRotate = [&] (float a) { rotatedAngle = a; calls.push_back ("rotate"); };
    widget.onTransformEnd = [&] { calls.push_back ("end"); };
    widget.onClick = [&] (const juce::MouseEvent&) { calls.push_back ("click"); };

    // The body's offset is in the frame's own axes: on a frame turned a
    // quarter turn, 20 units along its x are 20 units down the stage.
    widget.frameTransform = juce::AffineTransform::rotation (halfPi).translated (1000.0f, 500.0f);
    widget.layoutHandles();
    widget.moveDragger->mouseDown (mouseEventAt (stage, { 990.0f, 510.0f }));
    widget.moveDragger->mouseDrag (mouseDragEventAt (stage, { 990.0f, 510.0f }, { 990.0f, 530.0f }));
    EXPECT_EQ (moved, juce::Point<int> (20, 0));

    // A drag that has not passed the threshold calls nothing.
    widget.moveDragger->mouseDrag (mouseEventAt (stage, { 990.0f, 512.0f }));
    EXPECT_EQ (calls, (std::vector<std::string> { "move" }));

    widget.frameTransform = {};
    widget.layoutHandles();
    auto& corner = *widget.handleDraggers[8];
    corner.mouseDown (mouseEventAt (stage, { 200.0f, 100.0f }));
    corner.mouseDrag (mouseDragEventAt (stage, { 200.0f, 100.0f }, { 200.0f, 150.0f }));
    EXPECT_EQ (scaledHandle, 8);
    EXPECT_NEAR (scaledAngle, 0.0f, 1.0e-6f);
    EXPECT_EQ (scaledDistance, 50);
    corner.mouseDrag (mouseDragEventAt (stage, { 200.0f, 100.0f }, { 250.0f, 100.0f }));
    EXPECT_NEAR (scaledAngle, -halfPi, 1.0e-6f);

    // Dragged from above the centre to its right: a quarter turn clockwise.
    widget.rotateDragger->mouseDown (mouseEventAt (stage, { 100.0f, -50.0f }));
    widget.rotateDragger->mouseDrag (mouseDragEventAt (stage, { 100.0f, -50.0f }, { 200.0f, 50.0f }));
    EXPECT_NEAR (rotatedAngle, halfPi, 1.0e-6f);
}

TEST_F (WidgetOnStage, AReleaseEndsADragOrClicksAndAlwaysHidesTheGuides)
{
    std::vector<std::string> calls;
    widget.onTransformEnd = [&] { calls.push_back ("end"); };
    widget.onClick = [&] (const juce::MouseEvent&) { calls.push_back ("click"); };

    widget.setGuides (true, { 5000.0f }, { 50000.0f });
    widget.moveDragger->mouseUp (mouseEventAt (*widget.moveDragger, { 10.0f, 10.0f }));
    EXPECT_EQ (calls, (std::vector<std::string> { "click" }));
    EXPECT_FALSE (widget.showGuides);
    EXPECT_TRUE (widget.xGuides.isEmpty() && widget.yGuides.isEmpty());

    widget.setGuides (true, { 5000.0f }, {});
    widget.moveDragger->mouseUp (mouseDragEventAt (*widget.moveDragger, { 10.0f, 10.0f }, { 40.0f, 10.0f }));
    EXPECT_EQ (calls, (std::vector<std::string> { "click", "end" }));
    EXPECT_FALSE (widget.showGuides);
}

TEST (Dragger, CallsItsListenersLastFirstOnceEachAndStopsWhenDeleted)
{
    struct Recorder final : Dragger::Listener
    {
        Recorder (std::vector<std::string>& l, std::string n) : log (l), name (std::move (n)) {}
        void draggerMouseDown (Dragger*, const juce::MouseEvent& e) override
        {
            log.push_back (name + juce::String (e.position.x).toStdString());
            if (action)
                action();
        }
        void draggerMouseDrag (Dragger*, const juce::MouseEvent&) override {}
        void draggerMouseUp (const juce::MouseEvent&) override {}
        std::vector<std::string>& log;
        std::string name;
        std::function<void()> action;
    };

    std::vector<std::string> log;
    Recorder a { log, "a" }, b { log, "b" };
    juce::Component parent;
    auto dragger = std::make_unique<Dragger>();
    parent.addAndMakeVisible (*dragger);
    dragger->setBounds (100, 0, 10, 10);
    dragger->addListener (&a);
    dragger->addListener (&b);
    dragger->addListener (&a);

    // The event reaches them relative to the dragger.
    dragger->mouseDown (mouseEventAt (parent, { 105.0f, 5.0f }));
    EXPECT_EQ (log, (std::vector<std::string> { "b5", "a5" }));

    log.clear();
    b.action = [&] { dragger.reset(); };
    Dragger* raw = dragger.get();
    raw->mouseDown (mouseEventAt (*raw, { 1.0f, 1.0f }));
    EXPECT_EQ (log, (std::vector<std::string> { "b1" }));
}
} // namespace
