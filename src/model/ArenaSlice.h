#pragma once

#include "model/CorvadineSlice.h"

#include <juce_graphics/juce_graphics.h>

namespace corvadine
{
class SliceStageItem;

// One slice of the host's screen setup. The builders fill the members
// directly and then call createStageItem.
class ArenaSlice : public CorvadineSlice
{
public:
    // Told while a slice is being destroyed; the focals that cover it listen.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void arenaSliceDeleted (ArenaSlice* slice) = 0;
    };

    ArenaSlice();
    ~ArenaSlice() override;

    // A "slice" subtree: "name", "uniqueId", the "path" and "outputPoints"
    // point lists and the item's "position".
    juce::ValueTree toValueTree() override;
    StageItem* getStageItem() override;
    void createStageItem() override;

    void addListener (Listener* listener);
    void removeListener (Listener* listener);
    bool hasListener (Listener* listener) const;

    // Tells the listeners what the destructor tells them and lets go of them:
    // a re-import that carries the slice over treats it as gone and come back.
    void releaseListeners();

    juce::ListenerList<Listener> listeners;
    juce::String name;
    juce::int64 uniqueId = 0;
    // In composition pixels: the mask when there is one, else the input rectangle.
    juce::Array<juce::Point<float>> inputPoints;
    juce::Array<juce::Point<float>> outputPoints;
    // The input rectangle's orientation from the host, in radians.
    float rotation = 0.0f;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ArenaSlice)
};
} // namespace corvadine
