#pragma once

#include "model/StageModel.h"

// The state of a model as text, for tests that compare two ways of reaching
// the same model: every screen, slice and focal with what a user or the
// document can tell apart, the numbers as their bits.
namespace corvadine::test
{
// The six numbers of a transform as the bits of each.
juce::String transformBits (const juce::AffineTransform& t);

// Every screen and slice (with its item's placement, shown state and
// outline) and every focal's covered slices and their buttons.
juce::String modelStateText (StageModel& model);
} // namespace corvadine::test
