#pragma once

#include <juce_core/juce_core.h>

// The names of the document's and the preferences file's elements and
// properties. They are read by the host's plug-ins too, so each is written
// exactly once, here.
namespace corvadine::ids
{
// Placement of a stage item ("position" subtree).

// Document root.

// Host screens and slices ("arenaScreens", "screen", "slice").

// Host setup file ("assFile").

// Guide image ("bgImage").

// Looks, focals and mapping geometry ("looks", "look", "focal", "vertices", "shared").

// Preferences file.
} // namespace corvadine::ids
