#pragma once

#include "stage/TransformableComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>
#include <memory>

namespace corvadine
{
class SvgButton;

// Base of everything the stage shows and the user can pick. Adds to the
// placement a lock toggle and a remove button in the top right corner
// (hidden until an item kind shows them), the flags the stage and the
// controller work with, the mouse rules and the item's listeners.
class StageItem : public juce::Button::Listener,
                  public TransformableComponent
{
public:
    // Called from the last registered listener to the first; the calls stop
    // as soon as a listener has deleted the item.
    struct Listener
    {
        virtual ~Listener() = default;
        virtual void stageItemChanged (StageItem*) {}
        virtual void stageItemLockChanged (StageItem*) {}
        virtual void stageItemDeleteRequested (StageItem*) {}
    };

    StageItem();
    ~StageItem() override;

    void buttonClicked (juce::Button*) override;
    void resized() override;
    void mouseEnter (const juce::MouseEvent&) override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void mouseExit (const juce::MouseEvent&) override;

    // A click that the transform widget received for this selected item:
    // the item's menu, or one of its own buttons when the click is on it.
    virtual void handleTransformerClick (const juce::MouseEvent&);
    virtual void setSelected (bool shouldBeSelected);
    virtual bool isSelectable();
    virtual bool canTransform();
    virtual bool isLayoutItem();

    void sendItemChanged();

    // Locks or unlocks the item with its lock and remove buttons in line, as
    // a click on the lock button leaves them, but without moving the item
    // in the stage's order or telling the listeners: for items that the
    // stage is about to stack anyway.
    void setLockedQuietly (bool shouldBeLocked);
    void addListener (Listener*);
    void removeListener (Listener*);

    // A right-click, or a click with Ctrl held. Read from the raw flags:
    // ModifierKeys::isPopupMenu counts only the right button outside macOS.
    static bool isPopupMenuClick (const juce::ModifierKeys&);

    // Called on a popup-menu click; only focal items get one.
    std::function<void()> onPopupMenu;
    bool selected = false;
    std::unique_ptr<SvgButton> lockButton;
    std::unique_ptr<SvgButton> removeButton;
    // The buttons that handleTransformerClick may trigger, in that order.
    juce::Array<juce::Component*> ownButtons;
    bool hovered = false;
    juce::ListenerList<Listener> listeners;
    // Locked items stay behind the others and can be neither dragged nor removed.
    bool locked = false;
    // The stage shows an item only while this is false; owners set it
    // together with the component's visibility.
    bool hidden = true;

protected:
    // The press of the current gesture was a popup-menu click. It selected
    // nothing, so its drag and release must not move the selection.
    bool popupGesture = false;

    // Triggers each of the buttons that contains the event's position. The
    // click arrives later, through the message loop, as if the user had
    // clicked the button itself.
    static void triggerButtonsUnder (const juce::MouseEvent&, const juce::Array<juce::Component*>& buttons);

private:
    template <typename Callback>
    void callListeners (Callback&& callback);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StageItem)
};
} // namespace corvadine
