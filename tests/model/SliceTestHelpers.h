#pragma once

#include "model/ArenaSlice.h"
#include "model/FocalSlice.h"
#include "stage/FocalStageItem.h"
#include "stage/StageItem.h"

#include <memory>

namespace corvadine::test
{
inline juce::Array<juce::Point<float>> pointList (std::initializer_list<juce::Point<float>> points)
{
    juce::Array<juce::Point<float>> list;
    for (auto p : points)
        list.add (p);
    return list;
}

// A host slice whose input outline is the rectangle, shown on the stage
// where the rectangle lies (setOutline keeps a given polygon in place).
inline std::unique_ptr<ArenaSlice> makeSlice (juce::int64 id, juce::Rectangle<float> area, bool hidden = false)
{
    auto slice = std::make_unique<ArenaSlice>();
    slice->uniqueId = id;
    slice->name = "Slice " + juce::String (id);
    slice->inputPoints = pointList ({ area.getTopLeft(), area.getTopRight(), area.getBottomRight(), area.getBottomLeft() });
    slice->outputPoints = slice->inputPoints;
    slice->createStageItem();
    slice->getStageItem()->hidden = hidden;
    slice->getStageItem()->setVisible (! hidden);
    return slice;
}

// A focal with its item, of the given resolution, placed so that its
// outline spans the area on the stage.
inline std::unique_ptr<FocalSlice> makeFocal (juce::Point<int> resolution, juce::Rectangle<float> area)
{
    auto focal = std::make_unique<FocalSlice>();
    focal->createStageItem();
    focal->setResolution (resolution);
    focal->getStageItem()->fitOutlineInto (area);
    return focal;
}

inline FocalStageItem& itemOf (FocalSlice& focal) { return *focal.getFocalItem(); }

// Records the item-changed reports of one stage item.
struct ChangeCounter : StageItem::Listener
{
    void stageItemChanged (StageItem*) override { ++changes; }
    int changes = 0;
};
} // namespace corvadine::test
