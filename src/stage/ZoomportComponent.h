#pragma once

#include "stage/ZoomableComponent.h"

#include <functional>
#include <memory>

namespace corvadine
{
// The window onto one ZoomableComponent. It never scrolls or resizes its
// content: zooming and panning only change the content's transform. It zooms
// about the pointer (wheel, pinch, Ctrl or Cmd with "=" and "-"), pans while
// Space is held, fits the content to its width on every resize and draws a
// rubber band while the mouse is dragged over its own background.
class ZoomportComponent : public juce::Component,
                          public juce::KeyListener
{
public:
    // Zoom steps outside this range are refused. The lower bound keeps the
    // transform invertible: far below it the content is a speck and a float
    // transform degenerates.
    static constexpr float maximumZoom = 1000.0f;
    static constexpr float minimumZoom = 1.0e-5f;

    ZoomportComponent();
    ~ZoomportComponent() override;

    // Called with the new zoom after every zoom step and every fit.
    std::function<void (float)> onZoom;
    // Called with the new pan mode whenever it changes.
    std::function<void (bool)> onPanModeChanged;

    // Takes ownership; the previous content is deleted.
    void setContent (ZoomableComponent* newContent);
    ZoomableComponent* getContent() const noexcept { return content.get(); }

    // Centres the content and scales it to 0.75 x factor of the view's width.
    void fitContentToView (float factor);

    // Scales the content by the factor about a point of its untransformed
    // parent space, which stays where it is on screen. Returns false when
    // the step is refused.
    bool zoomAboutPoint (float factor, juce::Point<float> pivot);

    void setPanMode (bool shouldPan);
    bool isPanMode() const noexcept { return panMode; }

    // The content's scale: the square root of its transform's determinant.
    float getZoom() const;

    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails&) override;
    void mouseMagnify (const juce::MouseEvent&, float scaleFactor) override;
    void paint (juce::Graphics&) override;
    void resized() override;

    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;
    bool keyStateChanged (bool isKeyDown, juce::Component* originatingComponent) override;

private:
    juce::Point<float> pointerPivot() const;
    juce::Point<int> dragOffsetInContent (const juce::MouseEvent&) const;
    void panBy (const juce::MouseEvent&);

    std::unique_ptr<ZoomableComponent> content;
    // The drag offset (content units) already applied by panning in this drag.
    juce::Point<int> lastDragOffset;
    juce::LookAndFeel_V4 bandLookAndFeel;
    juce::TextButton band;
    bool panMode = false;
    // The content's own click interception, restored when panning ends.
    bool contentAllowsClicks = true, contentAllowsChildClicks = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZoomportComponent)
};
} // namespace corvadine
