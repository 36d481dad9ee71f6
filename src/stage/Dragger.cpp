#include "stage/Dragger.h"

namespace corvadine
{
void Dragger::addListener (Listener* listener)
{
    listeners.addIfNotAlreadyThere (listener);
}

void Dragger::removeListener (Listener* listener)
{
    listeners.removeAllInstancesOf (listener);
}

template <typename Call>
void Dragger::callListeners (const juce::MouseEvent& e, Call&& call)
{
    const auto relative = e.getEventRelativeTo (this);
    const juce::Component::SafePointer<Dragger> self (this);

    for (int i = listeners.size(); --i >= 0 && self != nullptr;)
    {
        // A listener may also have removed others meanwhile.
        if (i >= listeners.size())
            continue;

        call (*listeners.getUnchecked (i), relative);
    }
}

void Dragger::mouseDown (const juce::MouseEvent& e)
{
    callListeners (e, [this] (Listener& l, const juce::MouseEvent& r) { l.draggerMouseDown (this, r); });
}

void Dragger::mouseDrag (const juce::MouseEvent& e)
{
    callListeners (e, [this] (Listener& l, const juce::MouseEvent& r) { l.draggerMouseDrag (this, r); });
}

void Dragger::mouseUp (const juce::MouseEvent& e)
{
    callListeners (e, [] (Listener& l, const juce::MouseEvent& r) { l.draggerMouseUp (r); });
}
} // namespace corvadine
