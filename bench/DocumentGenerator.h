#pragma once

#include "model/StageModel.h"
#include "stage/StageItem.h"

#include <memory>

namespace corvadine::bench
{
constexpr int benchLooks = 16;
constexpr int focalsPerLook = 4;

// A document as the application holds it after an import: the model built
// from a generated host setup (makeHostSetup) the way an import builds it,
// 16 looks of 4 focals each laid over the screens (every fourth focal
// turned), every focal's coverage computed and its buttons built. Every
// slice is shown, and so are the focals of the first look, the one being
// edited; the focals of the other looks are hidden, as on the stage.
//
// stageItems is the stage's item list as the gizmo sees it: the stage's
// zero-size centre anchor first, then every slice and focal item.
struct BenchDocument
{
    StageModel model;
    std::unique_ptr<StageItem> centreAnchor;
    juce::Array<StageItem*> stageItems;

    // Every focal of every look, in model order.
    juce::Array<FocalSlice*> allFocals() const;

    // The coverage test of the focal against every slice of every screen,
    // then its buttons, as the controller runs it after each move.
    void updateCoverage (FocalSlice& focal) const;
};

std::unique_ptr<BenchDocument> makeDocument (int numSlices);
} // namespace corvadine::bench
