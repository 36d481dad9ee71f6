#pragma once

#include <vector>

namespace corvadine
{
class ArenaSlice;

// What each focal of a look shares with the others. Given the active slices
// of every focal of the look, in look order, it gives for each focal F the
// list that its "shared" element holds: for every other focal G in look
// order, each of F's active slices, in F's order, that G has active too. A
// slice shared with two other focals is listed twice.
//
// Each slice is looked up once per focal holding it, so the work grows with
// the size of the answer, not with the number of focal pairs times slices.
std::vector<std::vector<const ArenaSlice*>> sharedSlices (const std::vector<std::vector<const ArenaSlice*>>& activeByFocal);
} // namespace corvadine
