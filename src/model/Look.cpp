#include "model/Look.h"

#include "stage/FocalStageItem.h"

namespace corvadine
{
juce::Point<int> Look::boundedResolution (juce::Point<int> r) noexcept
{
    return { juce::jmin (r.x, maxResolutionSide), juce::jmin (r.y, maxResolutionSide) };
}

bool Look::isUsableResolution (juce::Point<int> r) noexcept
{
    return r.x >= 1 && r.y >= 1 && r.x <= maxResolutionSide && r.y <= maxResolutionSide;
}

void Look::addFocal (FocalSlice* focal)
{
    if (focal == nullptr)
        return;

    focal->setResolution (resolution);
    focal->compositionSize = compositionSize;

    if (auto* item = focal->getFocalItem())
        item->compositionSize = compositionSize;

    focals.add (focal);
}
} // namespace corvadine
