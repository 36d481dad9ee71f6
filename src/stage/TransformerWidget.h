#pragma once

#include "stage/Dragger.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <array>
#include <functional>
#include <memory>

namespace corvadine
{
// The gizmo drawn over the selection: its frame, eight resize handles, a
// rotate handle above the top centre, the snapping guides and the handle
// the last press picked. It turns drags on its handles and the arrow keys
// into callbacks; the transform manager tells it the frame and the guides.
// It fills the stage, so its coordinates are stage coordinates.
class TransformerWidget : public juce::Component,
                          public Dragger::Listener
{
public:
    TransformerWidget();
    ~TransformerWidget() override;

    // Handle points 0 to 8: the frame's grid points in reading order, on the
    // stage; point 9: the rotate handle.
    juce::Array<juce::Point<float>> getHandlePoints() const;
    void layoutHandles();
    void setGuides (bool show, juce::Array<float> yPositions, juce::Array<float> xPositions);

    // The handle radius in stage units for the stage's current zoom: about
    // 6.6 screen pixels, never below one stage unit.
    int handleSizeForZoom() const;
    // Takes the handle size for the current zoom and, when it changed, lays
    // the handles out again. The stage calls it whenever its zoom changes.
    void updateHandleSize();

    void paint (juce::Graphics&) override;
    bool keyPressed (const juce::KeyPress&) override;

    void draggerMouseDown (Dragger*, const juce::MouseEvent&) override;
    void draggerMouseDrag (Dragger*, const juce::MouseEvent&) override;
    void draggerMouseUp (const juce::MouseEvent&) override;

    // The body was dragged: offset since the press, in the frame's coordinates.
    std::function<void (juce::Point<int>)> onMove;
    // An arrow key: step in stage units.
    std::function<void (juce::Point<int>)> onNudge;
    // A resize handle was dragged: handle index, angle and distance.
    std::function<void (int, float, int)> onScale;
    // The rotate handle was dragged: angle about the frame centre, clockwise
    // from straight up.
    std::function<void (float)> onRotate;
    std::function<void()> onTransformEnd;
    // A press released without a drag.
    std::function<void (const juce::MouseEvent&)> onClick;

    juce::Rectangle<float> frameBounds;
    juce::AffineTransform frameTransform;
    int handleSize = 20;
    bool showHandles = false;
    std::unique_ptr<Dragger> moveDragger;
    std::unique_ptr<Dragger> rotateDragger;
    // Index i sits on handle point i; the centre (4) is never laid out.
    std::array<std::unique_ptr<Dragger>, 9> handleDraggers;
    juce::Point<int> dragStartCentre;
    bool showGuides = false;
    juce::Array<float> yGuides;
    juce::Array<float> xGuides;
    // The handle point nearest to the last press (0 to 8), or -1.
    int activeHandle = -1;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TransformerWidget)
};
} // namespace corvadine
