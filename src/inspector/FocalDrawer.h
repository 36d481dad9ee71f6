#pragma once

#include "inspector/Drawer.h"
#include "model/FocalSlice.h"

namespace corvadine
{
// The drawer of one focal of the shown look. Its content holds a "Slices"
// sub-drawer listing one toggle drawer per covered slice that is visible on
// the stage; switching a toggle off excludes that slice from the focal.
class FocalDrawer : public Drawer,
                    public Drawer::Listener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;

        virtual void focalDrawerChanged (FocalDrawer* drawer) = 0;
    };

    explicit FocalDrawer (FocalSlice* focal);
    ~FocalDrawer() override;

    // Drawer::addListener stays reachable beside this one.
    using Drawer::addListener;
    void addListener (Listener* listener);

    // Replaces the toggle drawers with one per visible covered slice of the
    // focal (none once the focal is gone).
    void rebuildSliceDrawers();

    void drawerClicked (Drawer* drawer) override;
    void drawerCloseClicked (Drawer* drawer) override;

    // Weak: a focal removed from its look leaves this null rather than
    // dangling, until the inspector rebuilds the look's drawers.
    juce::WeakReference<FocalSlice> focal;
    juce::Array<Listener*> listeners;
    std::unique_ptr<Drawer> slicesDrawer;
    juce::OwnedArray<Drawer> sliceDrawers;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FocalDrawer)
};
} // namespace corvadine
