#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// Base of a component shown through a ZoomportComponent: the view tells it
// about an area selected with the rubber band and about every zoom step.
class ZoomableComponent : public juce::Component
{
public:
    ZoomableComponent() = default;

    // The band dragged over the view's background, in this component's own
    // coordinates, with the modifiers held at the mouse-up.
    virtual void areaSelected (juce::Rectangle<int> area, juce::ModifierKeys modifiers);

    // Called after every zoom step (not after a fit or a pan).
    virtual void zoomChanged();

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZoomableComponent)
};
} // namespace corvadine
