#include "model/SliceMatching.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
using Points = juce::Array<juce::Point<float>>;

Points rect (float x, float w = 100.0f)
{
    return test::pointList ({ { x, 0 }, { x + w, 0 }, { x + w, 50 }, { x, 50 } });
}

SliceIdentity slice (juce::int64 id, juce::String name, Points input = {}, Points output = {})
{
    return { id, std::move (name), std::move (input), std::move (output) };
}
} // namespace

TEST (SliceMatching, ReImportScenarios)
{
    struct Case
    {
        const char* what;
        std::vector<SliceIdentity> saved, fresh;
        std::vector<int> expected;
    };

    const Case cases[] = {
        { "unchanged ids keep every slice",
          { slice (1, "A", rect (0)), slice (2, "B", rect (100)) },
          { slice (1, "A", rect (0)), slice (2, "B", rect (100)) }, { 0, 1 } },
        { "a renamed slice is found by its id",
          { slice (1, "A", rect (0)) }, { slice (1, "Renamed", rect (500)) }, { 0 } },
        { "a new id with the old name is found by name",
          { slice (1, "A", rect (0)) }, { slice (9, "A", rect (500)) }, { 0 } },
        { "a name two new slices share is no match; their input points still are",
          { slice (1, "A", rect (0)), slice (2, "A", rect (100)) },
          { slice (8, "A", rect (100)), slice (9, "A", rect (0)) }, { 1, 0 } },
        { "identical input points of two new slices skip the input pass; the output pass can match",
          { slice (1, "A", rect (0), rect (7)), slice (2, "B", rect (0), rect (9)) },
          { slice (8, "C", rect (0), rect (9)), slice (9, "C", rect (0), rect (3)) }, { 1, -1 } },
        { "two old slices with the same id: the later one's placement",
          { slice (1, "A", rect (0)), slice (1, "B", rect (100)) }, { slice (1, "X") }, { 1 } },
        { "two old slices with the same name: the later one",
          { slice (1, "A"), slice (2, "A") }, { slice (3, "A") }, { 1 } },
        { "nothing in common is no match",
          { slice (1, "A", rect (0), rect (0)) }, { slice (2, "B", rect (10), rect (10)) }, { -1 } },
        { "empty point lists are identical to each other",
          { slice (1, "A", rect (0)) }, { slice (2, "B", rect (10)) }, { 0 } },
        { "an id match wins over a later pass",
          { slice (5, "A"), slice (6, "B") }, { slice (6, "A") }, { 1 } },
        { "points compare exactly: -0 equals 0, a tiny difference does not",
          { slice (1, "A", test::pointList ({ { -0.0f, 1.0f } }), test::pointList ({ { 1.0f, 1.0f } })) },
          { slice (2, "B", test::pointList ({ { 0.0f, 1.0f } })), slice (3, "C", test::pointList ({ { 0.0f, 1.0001f } })) }, { 0, -1 } },
        { "a point list that differs only in length is not identical",
          { slice (1, "A", rect (0), test::pointList ({ { 1, 1 } })) },
          { slice (2, "B", test::pointList ({ { 0, 0 }, { 100, 0 }, { 100, 50 } }), test::pointList ({ { 2, 2 } })) }, { -1 } },
        { "nothing saved", {}, { slice (1, "A") }, { -1 } },
        { "nothing new", { slice (1, "A") }, {}, {} },
    };

    for (auto& c : cases)
        EXPECT_EQ (matchSlices (c.saved, c.fresh), c.expected) << c.what;
}

TEST (SliceMatching, ManyIdenticalListsStayCorrect)
{
    // Every slice without output points shares the empty list: none of the
    // new ones is unique, so the output pass never matches.
    std::vector<SliceIdentity> saved, fresh;
    for (int i = 0; i < 500; ++i)
    {
        saved.push_back (slice (i, "old" + juce::String (i)));
        fresh.push_back (slice (10000 + i, "new" + juce::String (i), rect ((float) i)));
    }

    auto matches = matchSlices (saved, fresh);
    for (auto match : matches)
        EXPECT_EQ (match, -1);

    // One new slice whose input rectangle an old one had.
    saved[42].inputPoints = rect (7.0f);
    EXPECT_EQ (matchSlices (saved, fresh)[7], 42);
}
