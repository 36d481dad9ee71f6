#include "stage/StageComponent.h"

#include "stage/FocalStageItem.h"

#include <algorithm>
#include <vector>

namespace corvadine
{
namespace
{
const juce::Colour crossColour { 0xbfdfdf17 };

juce::Rectangle<float> placedBounds (const TransformableComponent& item)
{
    auto placed = item.outline;
    placed.applyTransform (item.getTransform());
    return placed.getBounds();
}

// Sorts by the area of the outline as placed without its rotation, smallest
// first, and sends each to the back in that order, so the largest ends up
// behind.
void sendToBackSmallestFirst (std::vector<StageItem*> group)
{
    const auto area = [] (StageItem* item)
    {
        const auto b = item->getTransformedOutline().getBounds();
        return b.getWidth() * b.getHeight();
    };

    std::stable_sort (group.begin(), group.end(), [&] (StageItem* x, StageItem* y) { return area (x) < area (y); });

    for (auto* item : group)
        item->toBack();
}
} // namespace

StageComponent::StageComponent()
    : transformerManager (std::make_unique<TransformerManager> (items))
{
    addAndMakeVisible (transformerManager->widget);
    addChildComponent (lasso);
    lasso.setAlpha (0.5f);
    setSize (stageWidth, stageHeight);
    clearStage();

    transformerManager->onTransformCommitted = [this]
    {
        restack();

        if (onStageChanged)
            onStageChanged();
    };
    transformerManager->onSelectionTransformed = [this]
    {
        if (onItemsTransformed)
            onItemsTransformed (transformerManager->selection);
    };

    // The gizmo's handles follow the zoom, which is this component's transform.
    addComponentListener (this);
}

StageComponent::~StageComponent()
{
    removeComponentListener (this);

    // The items outlive the stage: none may call back into it.
    for (auto* item : adopted)
    {
        item->removeComponentListener (this);
        item->removeListener (this);
        item->onMouseDown = nullptr;
        item->onMouseDrag = nullptr;
        item->onMouseUp = nullptr;
    }
}

void StageComponent::clearStage()
{
    transformerManager->clearSelection();
    backgroundItem = nullptr;
    items.clearQuick();

    centreAnchor.hidden = false;
    addAndMakeVisible (centreAnchor);
    items.add (&centreAnchor);
    resized();
}

void StageComponent::addSlice (StageItem* item)
{
    if (item == nullptr || item == &centreAnchor)
        return;

    item->addListener (this);
    item->addComponentListener (this);
    adopted.addIfNotAlreadyThere (item);
    addChildComponent (item);
    item->setVisible (! item->hidden);

    auto& manager = *transformerManager;
    auto& widget = manager.widget;

    // A press, drag and release on an item move the selection exactly as
    // they would on the gizmo's body.
    item->onMouseDown = [this, item, &manager, &widget] (const juce::MouseEvent& e)
    {
        pressedItem = item;
        manager.selectItem (item, e.mods.isShiftDown());

        // A press on the stage sends the arrow keys to the gizmo.
        if (widget.isShowing())
            widget.grabKeyboardFocus();

        widget.draggerMouseDown (widget.moveDragger.get(), e.getEventRelativeTo (widget.moveDragger.get()));

        if (onItemClicked)
            onItemClicked (item);
    };
    // Only a press that went to the gizmo has drags and a release to follow
    // there: after a popup-menu press the item's drags and release would
    // otherwise move the selection or click it.
    item->onMouseDrag = [this, item, &widget] (const juce::MouseEvent& e)
    {
        if (pressedItem == item)
            widget.draggerMouseDrag (widget.moveDragger.get(), e.getEventRelativeTo (widget.moveDragger.get()));
    };
    item->onMouseUp = [this, item, &widget] (const juce::MouseEvent& e)
    {
        if (pressedItem != item)
            return;

        pressedItem = nullptr;
        widget.draggerMouseUp (e);
    };

    if (item->isLayoutItem())
        items.addIfNotAlreadyThere (item);
}

void StageComponent::addSliceOverSelection (StageItem* item)
{
    if (item == nullptr)
        return;

    addSlice (item);
    item->setVisible (true);

    const auto& manager = *transformerManager;

    if (manager.selection.size() == 1)
        item->fitOutlineInto (placedBounds (*manager.selection.getFirst()));
    else if (manager.selection.size() > 1)
        item->fitOutlineInto (manager.getBounds().toFloat().transformedBy (manager.getTransform()));

    transformerManager->selectItem (item, false);
}

void StageComponent::removeSlice (StageItem* item)
{
    if (item == nullptr)
        return;

    if (item->isLayoutItem())
        items.removeAllInstancesOf (item);

    if (transformerManager->selection.contains (item))
        transformerManager->selectItem (item, true);
    else
        transformerManager->updateWidget();
}

void StageComponent::restack()
{
    std::vector<StageItem*> unlocked, locked;

    for (auto* item : items)
        (item->locked ? locked : unlocked).push_back (item);

    sendToBackSmallestFirst (unlocked);
    sendToBackSmallestFirst (locked);

    if (backgroundItem != nullptr)
        backgroundItem->toBack();

    for (auto* item : transformerManager->selection)
        item->toFront (false);

    transformerManager->widget.toFront (false);
}

void StageComponent::setLassoBounds (const juce::MouseEvent& e)
{
    const auto position = e.getEventRelativeTo (this).getPosition();
    lasso.setBounds (juce::Rectangle<int> (lassoStart, position));
}

juce::Array<StageItem*> StageComponent::itemsInLasso()
{
    const auto area = lasso.getBounds().toFloat();
    const juce::Line<float> edges[] { { area.getTopLeft(), area.getTopRight() },
                                      { area.getTopRight(), area.getBottomRight() },
                                      { area.getBottomRight(), area.getBottomLeft() },
                                      { area.getBottomLeft(), area.getTopLeft() } };
    juce::Array<StageItem*> found;

    for (auto* item : items)
    {
        if (item->hidden || ! item->isSelectable() || dynamic_cast<FocalStageItem*> (item) != nullptr)
            continue;

        auto placed = item->outline;
        placed.applyTransform (item->getTransform());

        // An outline that encloses the whole band without crossing an edge
        // is not taken.
        const auto crossed = std::any_of (std::begin (edges), std::end (edges),
                                          [&] (const juce::Line<float>& edge) { return placed.intersectsLine (edge, 1.0f); });

        if (crossed || lasso.getBounds().contains (placed.getBounds().toNearestInt()))
            found.add (item);
    }

    return found;
}

void StageComponent::mouseDown (const juce::MouseEvent& e)
{
    transformerManager->clearSelection();
    lassoStart = e.getEventRelativeTo (this).getMouseDownPosition();
    lasso.setVisible (true);
    setLassoBounds (e);
}

void StageComponent::mouseDrag (const juce::MouseEvent& e)
{
    setLassoBounds (e);

    // The selection follows the band while it is dragged.
    transformerManager->setSelection (itemsInLasso());
}

void StageComponent::mouseUp (const juce::MouseEvent&)
{
    if (lasso.isVisible())
        lasso.setVisible (false);

    restack();
}

void StageComponent::paint (juce::Graphics& g)
{
    const auto w = static_cast<float> (getWidth() / 2);
    const auto h = static_cast<float> (getHeight() / 2);
    g.setColour (crossColour);
    g.drawLine (w, 0.0f, w, static_cast<float> (getHeight()));
    g.drawLine (0.0f, h, static_cast<float> (getWidth()), h);
}

void StageComponent::resized()
{
    transformerManager->widget.setBoundsRelative (0.0f, 0.0f, 1.0f, 1.0f);
    transformerManager->widget.layoutHandles();
    centreAnchor.centreWithSize (0, 0);
}

bool StageComponent::isInterestedInFileDrag (const juce::StringArray& files)
{
    if (files.size() != 1 || ! juce::File::isAbsolutePath (files[0]))
        return false;

    const juce::File file (files[0]);

    if (file.isDirectory())
        return false;

    const auto extension = file.getFileExtension();
    return extension.equalsIgnoreCase (".jpeg") || extension.equalsIgnoreCase (".jpg") || extension.equalsIgnoreCase (".png");
}

void StageComponent::filesDropped (const juce::StringArray& files, int, int)
{
    if (isInterestedInFileDrag (files) && onFileDropped)
        onFileDropped (juce::File (files[0]));
}

void StageComponent::componentBeingDeleted (juce::Component& component)
{
    // Only pointers are compared here: the item's own parts are gone already.
    StageItem* item = nullptr;

    for (auto* a : adopted)
        if (static_cast<juce::Component*> (a) == &component)
            item = a;

    if (item == nullptr)
        return;

    adopted.removeAllInstancesOf (item);
    items.removeAllInstancesOf (item);

    if (backgroundItem == item)
        backgroundItem = nullptr;

    transformerManager->forgetItem (item);
}

void StageComponent::componentMovedOrResized (juce::Component& component, bool, bool)
{
    if (&component == this)
        transformerManager->widget.updateHandleSize();
}
} // namespace corvadine
