#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// The "Focal Options" popup menu: building it from a focal's settings and
// applying the item the user chose are kept apart, because the menu is
// shown asynchronously and its result may arrive after the focal is gone.
struct FocalOptionsMenu
{
    struct Settings
    {
        int distribution = 0;
        int flip = 0;
        int cover = 0;
    };

    // Item ids: each submenu's first id plus the value it sets.
    static constexpr int firstDistributionId = 11;
    static constexpr int firstMirrorId = 21;
    static constexpr int firstCoverageId = 31;

    static juce::PopupMenu create (const Settings& settings);

    // Applies a chosen item id to the settings. A dismissed menu (0) or an id
    // the menu does not hold changes nothing; returns whether anything was set.
    static bool apply (int chosenId, Settings& settings);
};
} // namespace corvadine
