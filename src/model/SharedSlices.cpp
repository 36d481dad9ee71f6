#include "model/SharedSlices.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace corvadine
{
std::vector<std::vector<const ArenaSlice*>> sharedSlices (const std::vector<std::vector<const ArenaSlice*>>& activeByFocal)
{
    // The focals that have each slice active, in look order, each once.
    std::unordered_map<const ArenaSlice*, std::vector<int>> holders;

    for (int focal = 0; focal < (int) activeByFocal.size(); ++focal)
        for (auto* slice : activeByFocal[(size_t) focal])
        {
            auto& list = holders[slice];
            if (list.empty() || list.back() != focal)
                list.push_back (focal);
        }

    std::vector<std::vector<const ArenaSlice*>> shared (activeByFocal.size());

    for (int focal = 0; focal < (int) activeByFocal.size(); ++focal)
    {
        const auto& active = activeByFocal[(size_t) focal];

        // (other focal, position in this focal's list), ordered other-focal first.
        std::vector<std::pair<int, int>> entries;
        for (int position = 0; position < (int) active.size(); ++position)
            for (auto other : holders[active[(size_t) position]])
                if (other != focal)
                    entries.emplace_back (other, position);

        std::sort (entries.begin(), entries.end());

        for (auto [other, position] : entries)
            shared[(size_t) focal].push_back (active[(size_t) position]);
    }

    return shared;
}
} // namespace corvadine
