#include "model/ArenaScreen.h"

namespace corvadine
{
ArenaScreen::~ArenaScreen()
{
    sliceInfos.clear();
    name = {};

    while (! slices.isEmpty())
        slices.removeLast();
}
} // namespace corvadine
