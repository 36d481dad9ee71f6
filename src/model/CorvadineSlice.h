#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include <juce_graphics/juce_graphics.h>

#include <memory>

namespace corvadine
{
class StageItem;

// Everything the model places on the stage: owns its stage item, can build
// a new one, and writes itself into the document.
class CorvadineSlice
{
public:
    CorvadineSlice();
    virtual ~CorvadineSlice();

    virtual juce::ValueTree toValueTree() = 0;
    virtual StageItem* getStageItem() = 0;
    // Builds a new item and replaces (deletes) the old one.
    virtual void createStageItem() = 0;

protected:
    // The outline points of a w x h rectangle: (0, 0), (w, 0), (w, h), (0, h).
    static juce::Array<juce::Point<float>> rectangleOutline (float w, float h);

    std::unique_ptr<StageItem> stageItem;

private:
    JUCE_DECLARE_NON_COPYABLE (CorvadineSlice)
};
} // namespace corvadine
