#include "DocumentGenerator.h"

#include "SetupGenerator.h"

#include "host/ScreenSetupFormat.h"
#include "model/FocalSlice.h"

namespace corvadine::bench
{
namespace
{
constexpr juce::int64 focalSeed = 4242;

// Where the host's composition lies on the stage: centred on (50000, 5000).
juce::Point<float> compositionOffset (juce::Point<int> composition)
{
    return { (float) (50000 - composition.x / 2), (float) (5000 - composition.y / 2) };
}

void showItem (StageItem& item, bool shown)
{
    item.hidden = ! shown;
    item.setVisible (shown);
}

void placeFocal (FocalSlice& focal, juce::Rectangle<float> area, float angle)
{
    auto* item = focal.getStageItem();
    item->fitOutlineInto (area);

    if (angle != 0.0f)
    {
        // As the gizmo turns an item: the turn is pending until the commit
        // folds it into the rotation.
        const auto centre = area.getCentre();
        item->pendingRotation = angle;
        item->setPlacement (item->committedTransform.rotated (angle, centre.x, centre.y));
    }
}
} // namespace

juce::Array<FocalSlice*> BenchDocument::allFocals() const
{
    juce::Array<FocalSlice*> focals;

    for (auto* look : model.looks)
        for (auto* focal : look->focals)
            focals.add (focal);

    return focals;
}

void BenchDocument::updateCoverage (FocalSlice& focal) const
{
    for (auto* screen : model.screens)
        for (auto* slice : screen->slices)
            focal.updateCoverage (slice);

    focal.rebuildCoveredButtons();
}

std::unique_ptr<BenchDocument> makeDocument (int numSlices)
{
    const auto numScreens = numSlices / slicesPerScreen;
    auto document = std::make_unique<BenchDocument>();
    auto& model = document->model;

    model.compositionSize = compositionSizeFor (numScreens);
    const auto setup = makeHostSetup (numScreens);
    model.rebuildScreens (parseScreens (findScreenSetupElement (*setup)));

    // As the loader shows the slices of enabled screens (all of them here).
    for (auto* screen : model.screens)
        for (auto* slice : screen->slices)
            showItem (*slice->getStageItem(), true);

    // Focals cover between a few slices and a whole screen, somewhere over
    // the composition.
    juce::Random random (focalSeed);
    const auto offset = compositionOffset (model.compositionSize);

    for (int l = 0; l < benchLooks; ++l)
    {
        auto* look = model.addLook ({ 1920, 1080 });

        for (int f = 0; f < focalsPerLook; ++f)
        {
            auto* focal = new FocalSlice();
            focal->createStageItem();
            look->addFocal (focal);

            const auto width = 240.0f + random.nextFloat() * 720.0f;
            const auto height = width * (0.4f + random.nextFloat() * 0.4f);
            const juce::Rectangle<float> area (offset.x + random.nextFloat() * ((float) model.compositionSize.x - width),
                                               offset.y + random.nextFloat() * ((float) model.compositionSize.y - height),
                                               width,
                                               height);
            const auto angle = f == focalsPerLook - 1 ? (random.nextFloat() - 0.5f) : 0.0f;
            placeFocal (*focal, area, angle);

            // The look being edited shows its focals; the others are hidden.
            showItem (*focal->getStageItem(), l == 0);
        }
    }

    for (auto* focal : document->allFocals())
        document->updateCoverage (*focal);

    document->centreAnchor = std::make_unique<StageItem>();
    document->centreAnchor->setTransform (juce::AffineTransform::translation (50000.0f, 5000.0f));
    document->stageItems.add (document->centreAnchor.get());
    document->stageItems.addArray (model.collectStageItems());
    return document;
}
} // namespace corvadine::bench
