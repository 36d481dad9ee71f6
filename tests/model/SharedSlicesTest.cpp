#include "model/SharedSlices.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
// Stand-in addresses: the lists only compare slice identities.
const ArenaSlice* slice (int n)
{
    static char storage[16];
    return reinterpret_cast<const ArenaSlice*> (storage + n);
}
} // namespace

TEST (SharedSlices, ListsEachSliceOncePerOtherFocalInLookOrder)
{
    auto a = slice (0), b = slice (1), c = slice (2), d = slice (3);

    // Three focals covering a; the second and third share b as well; d is
    // nobody else's.
    auto shared = sharedSlices ({ { a, d }, { b, a }, { a, b, c } });

    ASSERT_EQ (shared.size(), 3u);
    EXPECT_EQ (shared[0], (std::vector<const ArenaSlice*> { a, a }));
    // For the first other focal first (a), then the third (b before a in this focal's order).
    EXPECT_EQ (shared[1], (std::vector<const ArenaSlice*> { a, b, a }));
    EXPECT_EQ (shared[2], (std::vector<const ArenaSlice*> { a, a, b }));
}

TEST (SharedSlices, NothingSharedGivesEmptyLists)
{
    auto shared = sharedSlices ({ { slice (0) }, {}, { slice (1) } });
    for (auto& list : shared)
        EXPECT_TRUE (list.empty());

    EXPECT_TRUE (sharedSlices ({}).empty());
}
