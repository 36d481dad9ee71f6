#include "stage/ImageStageItem.h"

#include "stage/ZoomableComponent.h"

namespace corvadine
{
ImageStageItem::~ImageStageItem() = default;

void ImageStageItem::resized()
{
    if (imageComponent != nullptr)
        imageComponent->setBoundsRelative (0.0f, 0.0f, 1.0f, 1.0f);

    StageItem::resized();
}

bool ImageStageItem::isSelectable() { return ! locked; }
bool ImageStageItem::canTransform() { return true; }
bool ImageStageItem::isLayoutItem() { return false; }

void ImageStageItem::mouseDown (const juce::MouseEvent& e)
{
    popupGesture = isPopupMenuClick (e.mods);

    if (popupGesture)
    {
        juce::Component::SafePointer<ImageStageItem> self (this);

        if (onPopupMenu)
            onPopupMenu();

        // Locked, the stage still gets the press: the drag and release that
        // follow go to it too, and must not run on from an earlier press.
        if (self != nullptr)
            route (e, nullptr, &juce::Component::mouseDown);

        return;
    }

    route (e, onMouseDown, &juce::Component::mouseDown);
}

void ImageStageItem::mouseDrag (const juce::MouseEvent& e)
{
    route (e, popupGesture ? nullptr : onMouseDrag, &juce::Component::mouseDrag);
}

void ImageStageItem::mouseUp (const juce::MouseEvent& e)
{
    route (e, popupGesture ? nullptr : onMouseUp, &juce::Component::mouseUp);
}

// Unlocked, the event goes to the stage's callback for the item; locked (also
// when the callback has just locked it) the stage gets it as if it had been
// pressed itself, and converts it into its own coordinates. An item that is
// not on a stage has nowhere to send it and drops it.
void ImageStageItem::route (const juce::MouseEvent& e,
                            const std::function<void (const juce::MouseEvent&)>& callback,
                            void (juce::Component::*stageHandler) (const juce::MouseEvent&))
{
    juce::Component::SafePointer<ImageStageItem> self (this);

    if (! locked && callback)
        callback (e);

    if (self != nullptr && locked)
        if (auto* stage = findParentComponentOfClass<ZoomableComponent>())
            (stage->*stageHandler) (e);
}
} // namespace corvadine
