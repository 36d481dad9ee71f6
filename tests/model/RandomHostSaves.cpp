#include "model/RandomHostSaves.h"

#include "model/ModelFixtures.h"

namespace corvadine::test
{
namespace
{
float between (juce::Random& random, float low, float high)
{
    return low + random.nextFloat() * (high - low);
}

SliceInfo newSlice (juce::Random& random, juce::int64 uniqueId, juce::Point<int> composition)
{
    const auto w = (float) composition.x, h = (float) composition.y;
    const juce::Rectangle<float> area (between (random, -50, w - 100), between (random, -50, h - 80),
                                       between (random, 10, w * 0.3f), between (random, 10, h * 0.3f));
    auto slice = rectangleSlice (uniqueId, "slice " + juce::String (uniqueId), area);

    if (random.nextInt (4) == 0)
        slice.inputOrientation = between (random, -3.0f, 3.0f);

    if (random.nextInt (5) == 0)
    {
        const auto centre = area.getCentre();

        for (int k = 0; k < 5; ++k)
            slice.mask.add (centre + juce::Point<float> (between (random, -60, 60), between (random, -60, 60)));
    }

    return slice;
}

juce::Array<juce::Point<float>>& inputOf (SliceInfo& slice)
{
    return slice.mask.isEmpty() ? slice.inputRect : slice.mask;
}

// Every slice of every screen, for changes that pick one anywhere.
juce::Array<SliceInfo*> allSlices (juce::Array<ScreenInfo>& screens)
{
    juce::Array<SliceInfo*> slices;

    for (auto& screen : screens)
        for (auto& slice : screen.slices)
            slices.add (&slice);

    return slices;
}

juce::String changeOne (juce::Array<ScreenInfo>& screens, juce::Random& random, juce::Point<int> composition, juce::int64& nextId)
{
    auto slices = allSlices (screens);
    auto* slice = slices.isEmpty() ? nullptr : slices[random.nextInt (slices.size())];
    auto* other = slices.isEmpty() ? nullptr : slices[random.nextInt (slices.size())];
    auto* screen = screens.isEmpty() ? nullptr : &screens.getReference (random.nextInt (screens.size()));

    switch (random.nextInt (16))
    {
        case 0:
            if (slice != nullptr)
            {
                for (auto& p : inputOf (*slice))
                    p += juce::Point<float> (12.5f, -7.0f);
                return "slice moved";
            }
            break;

        case 1:
            if (slice != nullptr && ! inputOf (*slice).isEmpty())
            {
                inputOf (*slice).getReference (0) += juce::Point<float> (between (random, -30, 30), between (random, -30, 30));
                return "slice point moved";
            }
            break;

        case 2:
            if (slice != nullptr)
            {
                slice->inputOrientation += 0.25f;
                return "slice turned";
            }
            break;

        case 3:
            if (slice != nullptr)
            {
                slice->name = "renamed " + juce::String (random.nextInt (1000));
                return "slice renamed";
            }
            break;

        case 4:
            if (slice != nullptr)
            {
                slice->uniqueId = nextId++;
                return "slice given a new id";
            }
            break;

        case 5:
            if (slice != nullptr && other != nullptr)
            {
                slice->name = other->name;
                return "slice given another's name";
            }
            break;

        case 6:
            if (slice != nullptr && other != nullptr)
            {
                slice->uniqueId = other->uniqueId;
                return "slice given another's id";
            }
            break;

        case 7:
            if (slice != nullptr && other != nullptr)
            {
                slice->inputRect = other->inputRect;
                slice->mask = other->mask;
                return "slice given another's points";
            }
            break;

        case 8:
            if (slice != nullptr)
            {
                for (auto& p : slice->outputRect)
                    p += juce::Point<float> (3.0f, 4.0f);
                slice->outputContour.clear();
                return "slice output moved";
            }
            break;

        case 9:
            if (screen != nullptr)
            {
                screen->slices.insert (random.nextInt (screen->slices.size() + 1), newSlice (random, nextId++, composition));
                return "slice added";
            }
            break;

        case 10:
            if (screen != nullptr && ! screen->slices.isEmpty())
            {
                screen->slices.remove (random.nextInt (screen->slices.size()));
                return "slice removed";
            }
            break;

        case 11:
            if (screen != nullptr && screen->slices.size() > 1)
            {
                screen->slices.swap (0, screen->slices.size() - 1);
                return "slices reordered";
            }
            break;

        case 12:
            if (screen != nullptr && ! screen->slices.isEmpty() && screens.size() > 1)
            {
                auto moved = screen->slices.removeAndReturn (0);
                screens.getReference (random.nextInt (screens.size())).slices.add (moved);
                return "slice moved to another screen";
            }
            break;

        case 13:
            if (screens.size() > 1)
            {
                screens.swap (0, screens.size() - 1);
                return "screens reordered";
            }
            break;

        case 14:
            if (screen != nullptr)
            {
                screen->enabled = ! screen->enabled;
                return "screen hidden or shown by the host";
            }
            break;

        default:
            if (random.nextBool() && ! screens.isEmpty())
            {
                screens.remove (random.nextInt (screens.size()));
                return "screen removed";
            }
            else
            {
                ScreenInfo added;
                added.uniqueId = nextId++;
                added.name = "Screen " + juce::String (added.uniqueId);

                for (int i = 0; i < 3; ++i)
                    added.slices.add (newSlice (random, nextId++, composition));

                screens.add (added);
                return "screen added";
            }
    }

    return "nothing";
}
} // namespace

HostSave randomHostSave (const juce::Array<ScreenInfo>& before, juce::Random& random,
                         juce::Point<int> composition, juce::int64& nextId)
{
    HostSave save;
    save.screens = before;

    if (random.nextInt (8) == 0)
    {
        // Another preset: the same screens, every slice new.
        for (auto& screen : save.screens)
            for (auto& slice : screen.slices)
                slice = newSlice (random, nextId++, composition);

        save.changes = "preset switched";
        return save;
    }

    const auto count = random.nextInt (4);

    for (int i = 0; i < count; ++i)
        save.changes << changeOne (save.screens, random, composition, nextId) << "; ";

    if (count == 0)
        save.changes = "saved unchanged";

    return save;
}
} // namespace corvadine::test
