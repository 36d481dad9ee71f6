#include "model/RandomModels.h"

#include "model/ModelFixtures.h"
#include "stage/FocalStageItem.h"

#include <cmath>

namespace corvadine::test
{
namespace
{
float between (juce::Random& random, float low, float high)
{
    return low + random.nextFloat() * (high - low);
}

SliceInfo randomSlice (juce::Random& random, juce::int64 uniqueId, juce::Point<int> composition)
{
    const auto w = (float) composition.x, h = (float) composition.y;
    const juce::Rectangle<float> area (between (random, -50, w - 100), between (random, -50, h - 80),
                                       between (random, 10, w * 0.3f), between (random, 10, h * 0.3f));
    auto slice = rectangleSlice (uniqueId, "slice " + juce::String (uniqueId), area);

    switch (random.nextInt (6))
    {
        case 0: // turned on the stage
            slice.inputOrientation = between (random, -3.0f, 3.0f);
            break;

        case 1:
        case 2: // a mask, which may cross itself or close on its first point
        {
            const auto centre = area.getCentre();
            const int n = 3 + random.nextInt (18);

            for (int k = 0; k < n; ++k)
            {
                const auto angle = random.nextBool() ? (float) k / (float) n * juce::MathConstants<float>::twoPi
                                                     : between (random, 0, juce::MathConstants<float>::twoPi);
                const auto radius = between (random, 5, 150);
                slice.mask.add (centre + juce::Point<float> (std::cos (angle), std::sin (angle)) * radius);
            }

            if (random.nextInt (3) == 0)
                slice.mask.add (slice.mask.getFirst());
            break;
        }

        case 3:
            if (random.nextInt (4) == 0) // a slice of two points, or of one
            {
                slice.inputRect.removeRange (random.nextInt (2) + 1, 4);
                slice.outputRect = slice.inputRect;
            }
            break;

        default:
            break;
    }

    return slice;
}

juce::AffineTransform nudged (juce::Random& random, const juce::AffineTransform& placement, juce::Rectangle<float> area)
{
    auto t = placement.translated (between (random, -60, 60), between (random, -40, 40));

    if (random.nextInt (3) == 0)
        t = t.rotated (between (random, -0.6f, 0.6f), area.getCentreX(), area.getCentreY());

    if (random.nextInt (4) == 0)
    {
        const auto k = between (random, 0.7f, 1.4f);
        t = t.scaled (k, k, area.getCentreX(), area.getCentreY());
    }

    return t;
}

juce::Rectangle<float> placedArea (StageItem& item)
{
    return item.outline.getBoundsTransformed (item.getTransform());
}

FocalSlice& addRandomFocal (StageModel& model, Look& look, juce::Random& random)
{
    const auto composition = model.compositionSize.x > 0 ? model.compositionSize : juce::Point<int> (1920, 1080);
    const juce::Rectangle<float> area (between (random, -100, (float) composition.x - 200), between (random, -100, (float) composition.y - 150),
                                       between (random, 50, (float) composition.x * 0.6f), between (random, 50, (float) composition.y * 0.6f));
    auto& focal = addFocal (look, onStage (model, area), random.nextInt (3), random.nextInt (5), random.nextInt (2));
    focal.extend = random.nextInt (2);

    if (random.nextInt (4) == 0)
    {
        auto* item = focal.getStageItem();
        item->pendingRotation = between (random, -0.5f, 0.5f);
        const auto centre = placedArea (*item).getCentre();
        item->setPlacement (item->committedTransform.rotated (item->pendingRotation, centre.x, centre.y));
    }

    return focal;
}

// Shows the slices of switched-on screens and hides the others, as the
// controller does after a load or a relink.
void showEnabledScreens (StageModel& model)
{
    for (auto* screen : model.screens)
        for (auto* slice : screen->slices)
        {
            slice->getStageItem()->hidden = ! screen->enabled;
            slice->getStageItem()->setVisible (screen->enabled);
        }
}

juce::int64 nextSliceId (const StageModel& model)
{
    juce::int64 next = 1;

    for (auto* screen : model.screens)
        for (auto& info : screen->sliceInfos)
            next = juce::jmax (next, info.uniqueId + 1);

    return next;
}

ArenaSlice* randomSliceOf (StageModel& model, juce::Random& random)
{
    juce::Array<ArenaSlice*> slices;

    for (auto* screen : model.screens)
        slices.addArray (screen->slices);

    return slices.isEmpty() ? nullptr : slices[random.nextInt (slices.size())];
}

FocalSlice* randomFocalOf (StageModel& model, juce::Random& random)
{
    juce::Array<FocalSlice*> focals;

    for (auto* look : model.looks)
        focals.addArray (look->focals);

    return focals.isEmpty() ? nullptr : focals[random.nextInt (focals.size())];
}

// The host saved its setup again: a slice dropped, one added, a point
// moved, now and then another composition size.
juce::String relink (StageModel& model, juce::Random& random)
{
    if (random.nextInt (3) == 0)
    {
        model.compositionSize = random.nextBool() ? juce::Point<int> (1920, 1080) : juce::Point<int> (1280, 720);

        for (auto* look : model.looks)
        {
            look->compositionSize = model.compositionSize;

            for (auto* focal : look->focals)
            {
                focal->compositionSize = model.compositionSize;
                focal->getFocalItem()->compositionSize = model.compositionSize;
            }
        }
    }

    auto nextId = nextSliceId (model);
    juce::Array<ScreenInfo> infos;

    for (auto* screen : model.screens)
    {
        ScreenInfo info;
        info.uniqueId = screen->uniqueId;
        info.name = screen->name;
        info.enabled = true;
        info.slices = screen->sliceInfos;

        if (! info.slices.isEmpty() && random.nextInt (3) == 0)
            info.slices.remove (random.nextInt (info.slices.size()));

        if (random.nextInt (3) == 0)
            info.slices.add (randomSlice (random, nextId++, model.compositionSize));

        if (! info.slices.isEmpty() && random.nextBool())
        {
            auto& changed = info.slices.getReference (random.nextInt (info.slices.size()));
            auto& points = changed.mask.isEmpty() ? changed.inputRect : changed.mask;

            if (! points.isEmpty())
                points.getReference (0) += juce::Point<float> (between (random, -30, 30), between (random, -30, 30));
        }

        infos.add (info);
    }

    model.mergeScreens (infos);
    showEnabledScreens (model);
    return "relink to " + juce::String (model.compositionSize.x) + " x " + juce::String (model.compositionSize.y);
}
} // namespace

std::unique_ptr<StageModel> randomModel (juce::Random& random, int numScreens, int slicesPerScreen, int numLooks, int focalsPerLook)
{
    const juce::Point<int> sizes[] = { { 1920, 1080 }, { 1280, 720 }, { 3840, 1080 } };
    const auto composition = sizes[random.nextInt (3)];

    juce::Array<ScreenInfo> screens;
    juce::int64 nextId = 1;

    for (int s = 0; s < numScreens; ++s)
    {
        std::vector<SliceInfo> slices;

        for (int i = 0; i < slicesPerScreen; ++i)
            slices.push_back (randomSlice (random, nextId++, composition));

        screens.add (screenOf (1000 + s, slices, random.nextInt (5) != 0));
    }

    auto model = modelWith (composition, screens);
    showEnabledScreens (*model);

    for (auto* screen : model->screens)
        for (auto* slice : screen->slices)
            if (random.nextInt (6) == 0)
            {
                auto* item = slice->getStageItem();
                item->setPlacement (nudged (random, item->committedTransform, placedArea (*item)));
            }

    for (int l = 0; l < numLooks; ++l)
    {
        auto* look = model->addLook ({ 320 + random.nextInt (1600), 180 + random.nextInt (900) });

        for (int f = 0; f < focalsPerLook; ++f)
        {
            auto& focal = addRandomFocal (*model, *look, random);

            if (random.nextInt (3) == 0)
                focal.setExcluded (1 + random.nextInt ((int) nextId), true);
        }
    }

    return model;
}

juce::String randomEdit (StageModel& model, juce::Random& random)
{
    switch (random.nextInt (12))
    {
        case 0:
        case 1:
        case 2:
            if (auto* focal = randomFocalOf (model, random))
            {
                auto* item = focal->getStageItem();
                item->setPlacement (nudged (random, item->committedTransform, placedArea (*item)));
                return "focal moved";
            }
            break;

        case 3:
            if (! model.looks.isEmpty())
            {
                addRandomFocal (model, *model.looks[random.nextInt (model.looks.size())], random);
                return "focal added";
            }
            break;

        case 4:
            if (! model.looks.isEmpty())
            {
                auto* look = model.looks[random.nextInt (model.looks.size())];

                if (! look->focals.isEmpty())
                {
                    look->focals.remove (random.nextInt (look->focals.size()));
                    return "focal removed";
                }
            }
            break;

        case 5:
            if (auto* focal = randomFocalOf (model, random))
            {
                if (! focal->coveredSlices.isEmpty())
                {
                    auto* slice = focal->coveredSlices[random.nextInt (focal->coveredSlices.size())];
                    focal->setExcluded (slice->uniqueId, ! focal->isExcluded (slice->uniqueId));
                    return "exclusion toggled";
                }
            }
            break;

        case 6:
            if (! model.looks.isEmpty())
            {
                auto* look = model.looks[random.nextInt (model.looks.size())];
                look->resolution = { random.nextInt (8) == 0 ? 0 : 100 + random.nextInt (2000), 100 + random.nextInt (1200) };

                for (auto* focal : look->focals)
                    focal->setResolution (look->resolution);

                return "look resolution changed";
            }
            break;

        case 7:
            if (auto* focal = randomFocalOf (model, random))
            {
                focal->distribution = random.nextInt (3);
                focal->flip = random.nextInt (5);
                focal->cover = random.nextInt (2);
                focal->extend = random.nextInt (2);
                return "focal settings changed";
            }
            break;

        case 8:
            if (! model.screens.isEmpty())
            {
                auto* screen = model.screens[random.nextInt (model.screens.size())];
                screen->enabled = ! screen->enabled;
                showEnabledScreens (model);
                return "screen switched";
            }
            break;

        case 9:
            if (auto* slice = randomSliceOf (model, random))
            {
                auto* item = slice->getStageItem();

                if (random.nextBool())
                    item->setPlacement (nudged (random, item->committedTransform, placedArea (*item)));
                else
                    slice->name = "renamed " + juce::String (random.nextInt (100));

                return "slice moved or renamed";
            }
            break;

        case 10:
            return relink (model, random);

        default:
            break;
    }

    return "nothing";
}
} // namespace corvadine::test
