#include "stage/ZoomableComponent.h"

namespace corvadine
{
void ZoomableComponent::areaSelected (juce::Rectangle<int>, juce::ModifierKeys) {}

void ZoomableComponent::zoomChanged() {}
} // namespace corvadine
