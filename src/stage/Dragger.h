#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// A handle of the transform widget (or the frame's body): draws nothing and
// passes its presses, drags and releases on to its listeners.
class Dragger : public juce::Component
{
public:
    struct Listener
    {
        virtual ~Listener() = default;
        virtual void draggerMouseDown (Dragger*, const juce::MouseEvent&) = 0;
        virtual void draggerMouseDrag (Dragger*, const juce::MouseEvent&) = 0;
        virtual void draggerMouseUp (const juce::MouseEvent&) = 0;
    };

    Dragger() = default;

    // A listener is added once; adding it again does nothing.
    void addListener (Listener*);
    void removeListener (Listener*);

    void mouseEnter (const juce::MouseEvent&) override {}
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override {}
    void resized() override {}

    juce::Array<Listener*> listeners;

private:
    // Calls the listeners from the last added to the first, with the event
    // relative to this dragger, and stops once a listener has deleted it.
    template <typename Call>
    void callListeners (const juce::MouseEvent&, Call&& call);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Dragger)
};
} // namespace corvadine
