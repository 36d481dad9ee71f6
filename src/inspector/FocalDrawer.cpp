#include "inspector/FocalDrawer.h"

#include "platform/Typefaces.h"
#include "stage/StageItem.h"

#include <unordered_set>

namespace corvadine
{
namespace
{
std::unique_ptr<juce::Component> newStackOfHeaderHeight()
{
    auto stack = std::make_unique<DrawerComponent>();
    stack->setSize (0, 50);
    return stack;
}

// Every popup menu of the application, the focal options menu among them,
// and all text in the default sans-serif face take these from the first
// focal drawer on.
void setApplicationMenuLook (juce::LookAndFeel& lookAndFeel)
{
    const auto menuBackground = juce::Colour (Drawer::darkPurple).withSaturation (0.75f);
    lookAndFeel.setColour (juce::PopupMenu::backgroundColourId, menuBackground);
    lookAndFeel.setColour (juce::PopupMenu::textColourId, juce::Colour (Drawer::olive));
    lookAndFeel.setColour (juce::PopupMenu::highlightedBackgroundColourId, menuBackground);
    lookAndFeel.setColour (juce::PopupMenu::highlightedTextColourId, juce::Colour (Drawer::brightYellow));
    lookAndFeel.setDefaultSansSerifTypefaceName (installedTypefaceName ("Arial"));
}
} // namespace

FocalDrawer::FocalDrawer (FocalSlice* focalToShow)
    : focal (focalToShow)
{
    highlighted = true;
    expandable = true;
    setContent (newStackOfHeaderHeight().release());

    setApplicationMenuLook (getLookAndFeel());

    slicesDrawer = std::make_unique<Drawer>();
    slicesDrawer->setName ("Slices");
    slicesDrawer->expandable = true;
    slicesDrawer->setContent (newStackOfHeaderHeight().release());
    content->addAndMakeVisible (slicesDrawer.get());
}

FocalDrawer::~FocalDrawer()
{
    sliceDrawers.clear (true);
    slicesDrawer.reset();
}

void FocalDrawer::addListener (Listener* listener)
{
    if (listener != nullptr)
        listeners.addIfNotAlreadyThere (listener);
}

void FocalDrawer::rebuildSliceDrawers()
{
    juce::Array<ArenaSlice*> visible, active;

    if (auto* shown = focal.get())
    {
        visible = shown->getVisibleSlices();
        active = shown->getActiveSlices();
    }

    // The toggles there are serve the slices in order, named and switched
    // as new ones would be (every store rebuilds the list, mostly to the
    // same slices); only those beyond the count go. OwnedArray deletes from
    // the last to the first.
    while (sliceDrawers.size() > visible.size())
        sliceDrawers.removeLast (1, true);

    const std::unordered_set<ArenaSlice*> activeSet (active.begin(), active.end());

    for (int i = 0; i < visible.size(); ++i)
    {
        auto* slice = visible.getUnchecked (i);
        auto* toggle = sliceDrawers[i];

        if (toggle == nullptr)
        {
            toggle = sliceDrawers.add (new Drawer());
            toggle->addListener (this);
        }
        else
        {
            // As if made now: the click rule counts from here.
            toggle->lastClickTime = Drawer::clickClockMilliseconds();
        }

        toggle->setName (slice->name);
        toggle->setActive (activeSet.count (slice) > 0);
        toggle->setComponentID (juce::String (slice->uniqueId));
        slicesDrawer->content->addAndMakeVisible (toggle);
    }

    // Laid out once for the whole list: the result is the same as after
    // each toggle, without walking the enclosing drawers for every slice.
    slicesDrawer->updateLayout();
    updateLayout();
}

void FocalDrawer::drawerClicked (Drawer* drawer)
{
    if (! sliceDrawers.contains (drawer))
        return;

    drawer->setActive (! drawer->active);

    auto* shown = focal.get();

    if (shown == nullptr)
        return;

    const bool excluded = ! drawer->active;
    const auto sliceId = drawer->getComponentID();

    for (auto* slice : shown->getVisibleSlices())
        if (juce::String (slice->uniqueId) == sliceId)
            shown->setExcluded (slice->uniqueId, excluded);

    shown->rebuildCoveredButtons();

    // The controller answers by storing the looks and rebuilding the slice
    // lists, which deletes the clicked toggle: nothing of this drawer is
    // touched after this call.
    if (auto* item = shown->getStageItem())
        item->sendItemChanged();
}

void FocalDrawer::drawerCloseClicked (Drawer*)
{
}
} // namespace corvadine
