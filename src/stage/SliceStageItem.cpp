#include "stage/SliceStageItem.h"

namespace corvadine
{
namespace
{
const juce::Colour purple (0xff8207c6);
const juce::Colour yellow (0xffdfdf17);
} // namespace

bool SliceStageItem::isSelectable() { return true; }
bool SliceStageItem::canTransform() { return true; }

juce::String SliceStageItem::positionText (juce::Rectangle<int> b)
{
    return juce::Point<int> (b.getX() + b.getWidth() / 2 - 50000, b.getY() + b.getHeight() / 2 - 5000).toString();
}

void SliceStageItem::paint (juce::Graphics& g)
{
    auto w = (float) getWidth();
    auto h = (float) getHeight();
    auto box = outline.getBounds();

    // Maps the outline onto the item's integer bounds; an outline without a
    // width or height is drawn as it is rather than scaled by infinity.
    juce::AffineTransform toBounds;
    if (box.getWidth() > 0.0f && box.getHeight() > 0.0f)
        toBounds = juce::AffineTransform::translation (-box.getX(), -box.getY())
                       .scaled (w / box.getWidth(), h / box.getHeight());

    g.setColour (selected ? yellow.withAlpha ((juce::uint8) 0xe6) : purple.withAlpha ((juce::uint8) 0x80));
    g.fillPath (outline, toBounds);

    g.setColour (selected ? purple : yellow);
    g.strokePath (outline, juce::PathStrokeType (1.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt), toBounds);

    g.setFont (g.getCurrentFont().withHeight (32.0f));

    if (hovered && ! selected)
    {
        g.drawText (getName(), juce::Rectangle<float> (0, 0, w, h), juce::Justification::centred, true);
        return;
    }

    if (! selected)
        return;

    if (getHeight() < 64)
    {
        g.drawText (getName(), juce::Rectangle<float> (0, 0, w, h), juce::Justification::centred, true);
        return;
    }

    g.drawText (getName(), juce::Rectangle<float> (0, -16, w, h), juce::Justification::centred, true);
    g.drawText (positionText (getBoundsInParent()), juce::Rectangle<float> (0, 16, w, h), juce::Justification::centred, true);
}
} // namespace corvadine
