#include "stage/FocalStageItem.h"

#include "widgets/SvgButton.h"

#include <cmath>

namespace corvadine
{
FocalStageItem::FocalStageItem() = default;

// The buttons belong to the focal slice, which deletes them itself.
FocalStageItem::~FocalStageItem() = default;

bool FocalStageItem::isSelectable() { return true; }
bool FocalStageItem::canTransform() { return true; }

juce::Point<int> FocalStageItem::checkCounts (int width, int height)
{
    auto count = [] (int size) { return juce::jmax (1, (int) std::round (size / 200.0)); };
    return { count (width), count (height) };
}

void FocalStageItem::paint (juce::Graphics& g)
{
    auto w = getWidth();
    auto h = getHeight();

    g.reduceClipRegion (w / 2 - compositionSize.x / 2, h / 2 - compositionSize.y / 2, compositionSize.x, compositionSize.y);

    auto counts = checkCounts (w, h);

    if (w > 0 && h > 0)
        g.fillCheckerBoard (getLocalBounds().toFloat(), (float) w / (float) counts.x, (float) h / (float) counts.y,
                            juce::Colour (selected ? 0x1adfdf17 : 0x33681795),
                            juce::Colour (selected ? 0x1a5b5b34 : 0x3334243d));

    if (overlay != nullptr)
    {
        // A resolution with a side of 0 has no meaningful scale.
        auto placed = getTransformedOutline().getBounds();
        overlay->scale = (resolution.x > 0 && resolution.y > 0)
                             ? juce::Point<float> (placed.getWidth() / (float) resolution.x,
                                                   placed.getHeight() / (float) resolution.y)
                             : juce::Point<float>();
    }
}

void FocalStageItem::resized()
{
    if (overlay != nullptr)
        overlay->setBoundsRelative (0.0f, 0.0f, 1.0f, 1.0f);

    StageItem::resized();
}

void FocalStageItem::setSelected (bool shouldBeSelected)
{
    if (isSelectable())
        selected = shouldBeSelected;

    repaint();

    removeButton->setVisible (selected);

    if (overlay != nullptr)
        overlay->setVisible (selected);

    for (auto* button : coveredButtons)
    {
        button->focalSelected = selected;
        button->repaint();
    }

    resized();
}

void FocalStageItem::handleTransformerClick (const juce::MouseEvent& e)
{
    if (isPopupMenuClick (e.mods))
    {
        if (onPopupMenu)
            onPopupMenu();
        return;
    }

    // Every button under the point toggles, not only the top one.
    juce::Array<juce::Component*> buttons;
    for (auto* button : coveredButtons)
        buttons.add (button);

    triggerButtonsUnder (e, buttons);

    StageItem::handleTransformerClick (e);
}
} // namespace corvadine
