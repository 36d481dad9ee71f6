#include "stage/StageItem.h"

#include "widgets/SvgButton.h"

#include <CorvadineBinaryData.h>

namespace corvadine
{
namespace
{
const juce::Colour violet { 0xff9d03f2 };

std::unique_ptr<SvgButton> makeItemButton (const char* svg, int numBytes)
{
    // Worked out once: an import or relink makes thousands of these buttons.
    static const auto normal = violet.withSaturation (0.75f);
    static const auto disabled = violet.withBrightness (0.5f).withSaturation (0.6f);

    auto button = std::make_unique<SvgButton> (svg, numBytes);
    button->normalColour = normal;
    button->overColour = juce::Colour (0xffdfdf17);
    button->downColour = juce::Colour (0xffa2a235);
    button->disabledColour = disabled;
    return button;
}
} // namespace

StageItem::StageItem()
    : lockButton (makeItemButton (CorvadineBinaryData::lock_svg, CorvadineBinaryData::lock_svgSize)),
      removeButton (makeItemButton (CorvadineBinaryData::minuscircle_svg, CorvadineBinaryData::minuscircle_svgSize))
{
    addChildComponent (*lockButton);
    lockButton->addListener (this);
    lockButton->setClickingTogglesState (true);

    removeButton->addListener (this);
    addChildComponent (*removeButton);

    ownButtons.add (lockButton.get());
    ownButtons.add (removeButton.get());

    setRepaintsOnMouseActivity (true);
}

StageItem::~StageItem() = default;

template <typename Callback>
void StageItem::callListeners (Callback&& callback)
{
    // A listener may delete the item (the controller does on a remove
    // request): the checker ends the loop before the list is touched again.
    const Component::BailOutChecker checker (this);
    listeners.callChecked (checker, std::forward<Callback> (callback));
}

void StageItem::buttonClicked (juce::Button* button)
{
    if (button == lockButton.get())
    {
        locked = lockButton->getToggleState();
        removeButton->setEnabled (! locked);

        if (locked)
            toBack();
        else
            toFront (false);

        callListeners ([this] (Listener& l) { l.stageItemLockChanged (this); });
    }
    else if (button == removeButton.get() && ! locked)
    {
        callListeners ([this] (Listener& l) { l.stageItemDeleteRequested (this); });
    }
}

void StageItem::setLockedQuietly (bool shouldBeLocked)
{
    locked = shouldBeLocked;
    lockButton->setToggleState (shouldBeLocked, juce::dontSendNotification);
    removeButton->setEnabled (! shouldBeLocked);
}

void StageItem::sendItemChanged()
{
    callListeners ([this] (Listener& l) { l.stageItemChanged (this); });
}

void StageItem::addListener (Listener* listener)
{
    listeners.add (listener);
}

void StageItem::removeListener (Listener* listener)
{
    listeners.remove (listener);
}

void StageItem::resized()
{
    // The buttons live in the item's own coordinates, so the placement
    // scales and turns them with the item.
    const auto w = getWidth();
    auto x = w - 60;

    if (lockButton->isVisible())
    {
        lockButton->setBounds (x, 10, 50, 50);
        x -= 60;
    }

    if (removeButton->isVisible())
        removeButton->setBounds (x, 10, 50, 50);
}

void StageItem::mouseEnter (const juce::MouseEvent&)
{
    hovered = true;
}

void StageItem::mouseExit (const juce::MouseEvent&)
{
    hovered = false;
}

bool StageItem::isPopupMenuClick (const juce::ModifierKeys& mods)
{
    return (mods.getRawFlags() & (juce::ModifierKeys::rightButtonModifier | juce::ModifierKeys::ctrlModifier)) != 0;
}

void StageItem::mouseDown (const juce::MouseEvent& e)
{
    popupGesture = isPopupMenuClick (e.mods);

    if (popupGesture)
    {
        if (onPopupMenu)
            onPopupMenu();

        return;
    }

    // Locked items that are selectable can still be pressed, and so selected.
    if (isSelectable() && onMouseDown)
        onMouseDown (e);
}

void StageItem::mouseDrag (const juce::MouseEvent& e)
{
    if (! locked && ! popupGesture && onMouseDrag)
        onMouseDrag (e);
}

void StageItem::mouseUp (const juce::MouseEvent& e)
{
    if (! locked && ! popupGesture && onMouseUp)
        onMouseUp (e);
}

void StageItem::handleTransformerClick (const juce::MouseEvent& e)
{
    if (isPopupMenuClick (e.mods))
    {
        if (onPopupMenu)
            onPopupMenu();

        return;
    }

    triggerButtonsUnder (e, ownButtons);
}

void StageItem::triggerButtonsUnder (const juce::MouseEvent& e, const juce::Array<juce::Component*>& buttons)
{
    for (auto* component : buttons)
    {
        auto* button = dynamic_cast<juce::Button*> (component);

        if (button == nullptr)
            continue;

        const auto position = e.getEventRelativeTo (button).position.roundToInt();

        if (button->contains (position))
            button->triggerClick();
    }
}

void StageItem::setSelected (bool shouldBeSelected)
{
    if (isSelectable())
        selected = shouldBeSelected;

    repaint();
}

bool StageItem::isSelectable()
{
    return false;
}

bool StageItem::canTransform()
{
    return false;
}

bool StageItem::isLayoutItem()
{
    return true;
}
} // namespace corvadine
