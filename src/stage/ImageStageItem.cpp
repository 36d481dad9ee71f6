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

// The stage converts the event into its own coordinates. An item that is
// not on a stage has nowhere to send it and drops it.
void ImageStageItem::mouseDown (const juce::MouseEvent& e)
{
    if (isPopupMenuClick (e.mods))
    {
        if (onPopupMenu)
            onPopupMenu();
        return;
    }

    juce::Component::SafePointer<ImageStageItem> self (this);

    if (isSelectable() && onMouseDown)
        onMouseDown (e);

    if (self != nullptr && locked)
        if (auto* stage = findParentComponentOfClass<ZoomableComponent>())
            stage->mouseDown (e);
}

void ImageStageItem::mouseDrag (const juce::MouseEvent& e)
{
    juce::Component::SafePointer<ImageStageItem> self (this);

    if (! locked && onMouseDrag)
        onMouseDrag (e);

    if (self != nullptr && locked)
        if (auto* stage = findParentComponentOfClass<ZoomableComponent>())
            stage->mouseDrag (e);
}

void ImageStageItem::mouseUp (const juce::MouseEvent& e)
{
    juce::Component::SafePointer<ImageStageItem> self (this);

    if (! locked && onMouseUp)
        onMouseUp (e);

    if (self != nullptr && locked)
        if (auto* stage = findParentComponentOfClass<ZoomableComponent>())
            stage->mouseUp (e);
}
} // namespace corvadine
