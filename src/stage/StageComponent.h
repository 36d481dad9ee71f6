#pragma once

#include "stage/StageItem.h"
#include "stage/TransformerManager.h"
#include "stage/ZoomableComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>
#include <memory>
#include <unordered_map>

namespace corvadine
{
// The canvas of 100000 x 10000 stage units on which every stage item is a
// child. It keeps the layout items for selection and snapping, owns the
// transform manager (and through it the gizmo), selects with a rubber band,
// orders its items front to back and takes one dropped image file. The
// items belong to their slices; the stage only points to them, and forgets
// an item the moment it is deleted.
class StageComponent : public ZoomableComponent,
                       public juce::FileDragAndDropTarget,
                       public StageItem::Listener,
                       private juce::ComponentListener
{
public:
    StageComponent();
    ~StageComponent() override;

    // Empties the selection, the item list and the background slot; the
    // centre anchor is the first item again.
    void clearStage();
    void addSlice (StageItem* item);
    // addSlice for each, in order, with the list looked up once instead of
    // once per item.
    void addSlices (const juce::Array<StageItem*>& newItems);
    // Puts a new item over the selection (scaled to cover it) and selects only it.
    void addSliceOverSelection (StageItem* item);
    // Takes the item out of the item list and the selection; it stays a
    // child and is not deleted.
    void removeSlice (StageItem* item);
    // Back to front: the guide image, the locked items largest first, the
    // unlocked items largest first, the selected items, the gizmo. The
    // order is that of sending each group to the back, smallest first, then
    // bringing the selection and the gizmo to the front; only the children
    // out of that order are moved, so a restack of an order that is
    // already right, or nearly, moves next to nothing.
    void restack();

    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    void resized() override;

    // Exactly one ".png", ".jpg" or ".jpeg" file, in any letter case.
    bool isInterestedInFileDrag (const juce::StringArray& files) override;
    void filesDropped (const juce::StringArray& files, int x, int y) override;

    void stageItemLockChanged (StageItem*) override {}

    static constexpr int stageWidth = 100000;
    static constexpr int stageHeight = 10000;

    // Called with a copy of the selection after every step of the gizmo.
    std::function<void (juce::Array<StageItem*>)> onItemsTransformed;
    // Called after a committed transform, once the items are restacked.
    std::function<void()> onStageChanged;
    // Called when an item is pressed, after it is selected.
    std::function<void (StageItem*)> onItemClicked;
    std::function<void (juce::File)> onFileDropped;

    // Zero size at the stage centre, always first in items: a snap target.
    StageItem centreAnchor;
    // The layout items in the order they were added, the anchor first.
    juce::Array<StageItem*> items;
    // The guide image's item; set and cleared by the controller.
    StageItem* backgroundItem = nullptr;
    std::unique_ptr<TransformerManager> transformerManager;
    juce::TextButton lasso;

private:
    void componentBeingDeleted (juce::Component&) override;
    void componentMovedOrResized (juce::Component&, bool wasMoved, bool wasResized) override;

    void setLassoBounds (const juce::MouseEvent&);
    juce::Array<StageItem*> itemsInLasso();

    // Installs the stage's listeners and mouse callbacks on the item, once.
    void adopt (StageItem* item);

    // Every item the stage has taken on (its listener and mouse callbacks
    // are installed), so that they can be released when either side goes;
    // found by the component, which is all that is left of an item being
    // deleted.
    std::unordered_map<juce::Component*, StageItem*> adopted;
    juce::Point<int> lassoStart;
    // The item whose press went to the gizmo, until its release.
    juce::Component::SafePointer<StageItem> pressedItem;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StageComponent)
};
} // namespace corvadine
