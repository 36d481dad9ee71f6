#include "model/SliceMatching.h"

#include <unordered_map>

namespace corvadine
{
namespace
{
using Points = juce::Array<juce::Point<float>>;

bool identical (const Points& a, const Points& b)
{
    if (a.size() != b.size())
        return false;

    for (int i = 0; i < a.size(); ++i)
        if (! (a.getReference (i).x == b.getReference (i).x && a.getReference (i).y == b.getReference (i).y))
            return false;

    return true;
}

// Equal lists hash equally: 0 and -0 compare equal, so both hash as 0.
size_t hashOf (const Points& points)
{
    auto mix = [] (size_t seed, float value)
    {
        return seed ^ (std::hash<float>() (value == 0.0f ? 0.0f : value) + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2));
    };

    size_t seed = (size_t) points.size();
    for (auto& p : points)
        seed = mix (mix (seed, p.x), p.y);

    return seed;
}

// The slices' point lists sorted into groups of identical lists, found
// through their hash: each list is compared only with one representative
// of each group whose hash it shares.
class PointListIndex
{
public:
    PointListIndex (const std::vector<SliceIdentity>& slices, Points SliceIdentity::*member)
        : slices (slices), member (member)
    {
        groupOf.reserve (slices.size());

        for (int i = 0; i < (int) slices.size(); ++i)
        {
            auto& bucket = buckets[hashOf (slices[(size_t) i].*member)];
            auto group = findGroup (bucket, slices[(size_t) i].*member);

            if (group < 0)
            {
                group = (int) groups.size();
                groups.emplace_back();
                bucket.push_back (group);
            }

            groups[(size_t) group].push_back (i);
            groupOf.push_back (group);
        }
    }

    // The last slice whose list is identical to the given one, or -1.
    int lastIdentical (const Points& points) const
    {
        auto found = buckets.find (hashOf (points));
        if (found == buckets.end())
            return -1;

        auto group = findGroup (found->second, points);
        return group < 0 ? -1 : groups[(size_t) group].back();
    }

    // Whether no other slice has a list identical to that of the one at `position`.
    bool isUnique (int position) const
    {
        return groups[(size_t) groupOf[(size_t) position]].size() == 1;
    }

private:
    int findGroup (const std::vector<int>& bucket, const Points& points) const
    {
        for (auto group : bucket)
            if (identical (slices[(size_t) groups[(size_t) group].front()].*member, points))
                return group;

        return -1;
    }

    const std::vector<SliceIdentity>& slices;
    Points SliceIdentity::*member;
    std::unordered_map<size_t, std::vector<int>> buckets; // hash -> groups
    std::vector<std::vector<int>> groups;                 // group -> slice positions in order
    std::vector<int> groupOf;                             // slice position -> group
};
} // namespace

std::vector<int> matchSlices (const std::vector<SliceIdentity>& saved, const std::vector<SliceIdentity>& fresh)
{
    std::unordered_map<juce::int64, int> lastSavedById;

    for (int i = 0; i < (int) saved.size(); ++i)
        lastSavedById[saved[(size_t) i].uniqueId] = i;

    // The host keeps its ids, so a relink usually finds every slice by id;
    // the look-ups by name and by points are built only when one is left.
    std::vector<int> matches (fresh.size(), -1);
    bool allFound = true;

    for (int i = 0; i < (int) fresh.size(); ++i)
    {
        if (auto found = lastSavedById.find (fresh[(size_t) i].uniqueId); found != lastSavedById.end())
            matches[(size_t) i] = found->second;
        else
            allFound = false;
    }

    if (allFound)
        return matches;

    std::unordered_map<juce::String, int> lastSavedByName;

    for (int i = 0; i < (int) saved.size(); ++i)
        lastSavedByName[saved[(size_t) i].name] = i;

    std::unordered_map<juce::String, int> freshNameCount;
    for (auto& slice : fresh)
        ++freshNameCount[slice.name];

    const PointListIndex savedInputs (saved, &SliceIdentity::inputPoints);
    const PointListIndex savedOutputs (saved, &SliceIdentity::outputPoints);
    const PointListIndex freshInputs (fresh, &SliceIdentity::inputPoints);
    const PointListIndex freshOutputs (fresh, &SliceIdentity::outputPoints);

    for (int i = 0; i < (int) fresh.size(); ++i)
    {
        const auto& slice = fresh[(size_t) i];
        auto& match = matches[(size_t) i];

        if (match < 0 && freshNameCount[slice.name] == 1)
            if (auto found = lastSavedByName.find (slice.name); found != lastSavedByName.end())
                match = found->second;

        if (match < 0 && freshInputs.isUnique (i))
            match = savedInputs.lastIdentical (slice.inputPoints);

        if (match < 0 && freshOutputs.isUnique (i))
            match = savedOutputs.lastIdentical (slice.outputPoints);
    }

    return matches;
}
} // namespace corvadine
