#include "model/CorvadineSlice.h"

#include "stage/StageItem.h"

namespace corvadine
{
CorvadineSlice::CorvadineSlice() = default;
CorvadineSlice::~CorvadineSlice() = default;

juce::Array<juce::Point<float>> CorvadineSlice::rectangleOutline (float w, float h)
{
    juce::Array<juce::Point<float>> points;
    for (auto corner : { juce::Point<float> (0.0f, 0.0f), juce::Point<float> (w, 0.0f), juce::Point<float> (w, h), juce::Point<float> (0.0f, h) })
        points.add (corner);
    return points;
}
} // namespace corvadine
