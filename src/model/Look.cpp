#include "model/Look.h"

#include "stage/FocalStageItem.h"

namespace corvadine
{
void Look::addFocal (FocalSlice* focal)
{
    if (focal == nullptr)
        return;

    focal->setResolution (resolution);
    focal->compositionSize = compositionSize;

    if (auto* item = focal->getFocalItem())
        item->compositionSize = compositionSize;

    focals.add (focal);
}
} // namespace corvadine
