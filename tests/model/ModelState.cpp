#include "model/ModelState.h"

#include "stage/CoveredButton.h"
#include "stage/FocalStageItem.h"
#include "stage/StageItem.h"

#include <cstring>

namespace corvadine::test
{
namespace
{
juce::String floatBits (float v)
{
    juce::uint32 bits;
    std::memcpy (&bits, &v, sizeof (bits));
    return juce::String::toHexString ((int) bits);
}
} // namespace

juce::String transformBits (const juce::AffineTransform& t)
{
    juce::String text;

    for (auto v : { t.mat00, t.mat01, t.mat02, t.mat10, t.mat11, t.mat12 })
        text << floatBits (v) << " ";

    return text;
}

juce::String modelStateText (StageModel& model)
{
    juce::String text;

    for (auto* screen : model.screens)
    {
        text << "screen " << screen->uniqueId << " " << screen->name << " " << (int) screen->enabled
             << " " << screen->sliceInfos.size() << "\n";

        for (auto* slice : screen->slices)
        {
            auto* item = slice->getStageItem();
            text << "  slice " << slice->uniqueId << " '" << slice->name << "' r" << floatBits (slice->rotation)
                 << " in" << slice->inputPoints.size() << " out" << slice->outputPoints.size()
                 << " item '" << item->getName() << "' " << item->getBounds().toString()
                 << " t " << transformBits (item->getTransform()) << " c " << transformBits (item->committedTransform)
                 << " rot " << floatBits (item->rotation) << " " << floatBits (item->pendingRotation)
                 << " hidden " << (int) item->hidden << " visible " << (int) item->isVisible()
                 << " outline " << item->outline.toString() << "\n";
        }
    }

    for (auto* look : model.looks)
        for (auto* focal : look->focals)
        {
            text << "focal covers";

            for (auto* slice : focal->coveredSlices)
                text << " " << slice->uniqueId;

            text << " buttons";

            for (auto* button : focal->coveredButtons)
                text << " " << button->getComponentID() << "'" << button->getName() << "'" << button->getBounds().toString();

            text << "\n";
        }

    return text;
}
} // namespace corvadine::test
