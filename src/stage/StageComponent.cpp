#include "stage/StageComponent.h"

#include "stage/FocalStageItem.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace corvadine
{
namespace
{
const juce::Colour crossColour { 0xbfdfdf17 };

// A table from components to small numbers, made for one pass over the
// stage's children: one block of memory, found by probing (a node-based set
// allocates once for every child, thousands of them at every restack). Keyed
// by the component itself, so an item is found whether it is given as an
// item or as a child.
class PointerTable
{
public:
    explicit PointerTable (size_t expected)
    {
        size_t capacity = 16;

        while (capacity < expected * 2)
            capacity *= 2;

        slots.assign (capacity, { nullptr, 0 });
        mask = capacity - 1;
    }

    // Adds the key with the value; false (and nothing changed) when the key
    // is there already.
    bool insert (const juce::Component* key, int value = 0)
    {
        auto& slot = find (key);

        if (slot.first != nullptr)
            return false;

        slot = { key, value };

        if (++count * 2 > slots.size())
            grow();

        return true;
    }

    // The key's value, or nullptr when it is not there.
    const int* lookUp (const juce::Component* key) const
    {
        const auto& slot = const_cast<PointerTable&> (*this).find (key);
        return slot.first != nullptr ? &slot.second : nullptr;
    }

private:
    std::pair<const juce::Component*, int>& find (const juce::Component* key)
    {
        auto at = (size_t) ((reinterpret_cast<std::uintptr_t> (key) >> 4) * 0x9e3779b97f4a7c15ull) & mask;

        while (slots[at].first != nullptr && slots[at].first != key)
            at = (at + 1) & mask;

        return slots[at];
    }

    void grow()
    {
        auto old = std::move (slots);
        slots.assign (old.size() * 2, { nullptr, 0 });
        mask = slots.size() - 1;

        for (auto& [key, value] : old)
            if (key != nullptr)
                find (key) = { key, value };
    }

    std::vector<std::pair<const juce::Component*, int>> slots;
    size_t mask = 0;
    size_t count = 0;
};

juce::Rectangle<float> placedBounds (const TransformableComponent& item)
{
    auto placed = item.outline;
    placed.applyTransform (item.getTransform());
    return placed.getBounds();
}

// The group as sending each to the back, smallest first, leaves it from the
// back: by the area of the outline as placed without its rotation, largest
// first, and of equal areas the later one first.
std::vector<StageItem*> largestFirst (std::vector<StageItem*> group)
{
    std::vector<std::pair<float, StageItem*>> sized;
    sized.reserve (group.size());

    for (auto* item : group)
        sized.emplace_back (item->getTransformedOutlineArea(), item);

    std::stable_sort (sized.begin(), sized.end(), [] (const auto& x, const auto& y) { return x.first < y.first; });

    std::vector<StageItem*> back;
    back.reserve (sized.size());

    for (auto it = sized.rbegin(); it != sized.rend(); ++it)
        back.push_back (it->second);

    return back;
}

// Puts the parent's children into the order (back to front; every child
// once), moving only those outside the longest run of children already in
// that order: each is put just behind the one that follows it.
void moveChildrenInto (juce::Component& parent, const std::vector<juce::Component*>& order)
{
    PointerTable wanted (order.size());

    for (size_t i = 0; i < order.size(); ++i)
        wanted.insert (order[i], (int) i);

    // The wanted positions in the present order; its longest increasing
    // run stays where it is.
    std::vector<int> positions;
    positions.reserve (order.size());

    for (auto* child : parent.getChildren())
        if (const auto* found = wanted.lookUp (child))
            positions.push_back (*found);

    std::vector<int> tails, tailAt, previous (positions.size(), -1);

    for (size_t i = 0; i < positions.size(); ++i)
    {
        const auto at = (size_t) (std::lower_bound (tails.begin(), tails.end(), positions[i]) - tails.begin());

        if (at == tails.size())
        {
            tails.push_back (positions[i]);
            tailAt.push_back ((int) i);
        }
        else
        {
            tails[at] = positions[i];
            tailAt[at] = (int) i;
        }

        previous[i] = at > 0 ? tailAt[at - 1] : -1;
    }

    std::vector<char> staying (order.size(), 0);

    for (auto i = tailAt.empty() ? -1 : tailAt.back(); i >= 0; i = previous[(size_t) i])
        staying[(size_t) positions[(size_t) i]] = 1;

    for (auto i = (int) order.size() - 1; i >= 0; --i)
    {
        if (staying[(size_t) i] != 0)
            continue;

        auto* child = order[(size_t) i];

        if (i + 1 < (int) order.size())
            child->toBehind (order[(size_t) i + 1]);
        else
            child->toFront (false);
    }
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
    for (auto& [component, item] : adopted)
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
    backgroundItem = nullptr;
    items.clearQuick();

    centreAnchor.hidden = false;
    addAndMakeVisible (centreAnchor);
    items.add (&centreAnchor);

    // With the list emptied first, the gizmo's snap targets are gathered
    // from the anchor alone, not from every item about to go.
    transformerManager->clearSelection();
    resized();
}

void StageComponent::adopt (StageItem* item)
{
    addChildComponent (item);
    item->setVisible (! item->hidden);

    if (adopted.count (item) > 0)
        return;

    adopted.emplace (item, item);

    item->addListener (this);
    item->addComponentListener (this);

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
}

void StageComponent::addSlice (StageItem* item)
{
    if (item == nullptr || item == &centreAnchor)
        return;

    adopt (item);

    if (item->isLayoutItem())
        items.addIfNotAlreadyThere (item);
}

void StageComponent::addSlices (const juce::Array<StageItem*>& newItems)
{
    PointerTable listed ((size_t) (items.size() + newItems.size()));

    for (auto* item : items)
        listed.insert (item);

    for (auto* item : newItems)
    {
        if (item == nullptr || item == &centreAnchor)
            continue;

        adopt (item);

        if (item->isLayoutItem() && listed.insert (item))
            items.add (item);
    }
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
    // What the sends to the back and to the front leave: back to front, the
    // guide, the locked items largest first, the unlocked largest first,
    // the other children in their order, the selection in its order (each
    // item where its last bringing to the front put it) and the gizmo.
    std::vector<juce::Component*> front;
    // What is placed already: first the front, then the order below it.
    PointerTable placed ((size_t) getNumChildComponents());

    for (auto* child : { static_cast<juce::Component*> (&transformerManager->widget) })
        if (child->getParentComponent() == this && placed.insert (child))
            front.push_back (child);

    const auto& selection = transformerManager->selection;

    for (int i = selection.size(); --i >= 0;)
        if (auto* item = selection.getUnchecked (i); item->getParentComponent() == this && placed.insert (item))
            front.push_back (item);

    std::reverse (front.begin(), front.end());

    std::vector<juce::Component*> order;
    order.reserve ((size_t) getNumChildComponents());

    const auto place = [&] (juce::Component* child)
    {
        if (child->getParentComponent() == this && placed.insert (child))
            order.push_back (child);
    };

    if (backgroundItem != nullptr)
        place (backgroundItem);

    std::vector<StageItem*> unlocked, locked;

    for (auto* item : items)
        (item->locked ? locked : unlocked).push_back (item);

    for (auto* group : { &locked, &unlocked })
        for (auto* item : largestFirst (*group))
            place (item);

    for (auto* child : getChildren())
        place (child);

    order.insert (order.end(), front.begin(), front.end());
    moveChildrenInto (*this, order);
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
    const auto found = adopted.find (&component);

    if (found == adopted.end())
        return;

    auto* item = found->second;
    adopted.erase (found);
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
