#pragma once

#include <juce_core/juce_core.h>

// The names of the document's and the preferences file's elements and
// properties. They are read by the host's plug-ins too, so each is written
// exactly once, here. A name used by several subtrees stands under the
// first of them.
namespace corvadine::ids
{
// Placement of a stage item ("position" subtree).
inline const juce::Identifier position { "position" };
inline const juce::Identifier transform { "transform" };
inline const juce::Identifier finalRotation { "finalRotation" };

// Document root.
inline const juce::Identifier Corvadine { "Corvadine" };
inline const juce::Identifier version { "version" }; // also the preferences' "app"

// Host screens and slices ("arenaScreens", "screen", "slice").
inline const juce::Identifier arenaScreens { "arenaScreens" };
inline const juce::Identifier screen { "screen" };
inline const juce::Identifier slice { "slice" }; // also in "excluded" and "shared"
inline const juce::Identifier name { "name" };   // also in "assFile"
inline const juce::Identifier uniqueId { "uniqueId" }; // also in "vertices"
inline const juce::Identifier enabled { "enabled" };
inline const juce::Identifier points { "points" };
inline const juce::Identifier point { "point" };
inline const juce::Identifier rotation { "rotation" };
inline const juce::Identifier x { "x" }; // also in "assFile" and "look"
inline const juce::Identifier y { "y" };
// Values of a "points" element's "name": the input outline and the output shape.
inline const juce::Identifier path { "path" };
inline const juce::Identifier outputPoints { "outputPoints" }; // also a subtree type read back from a saved screen
// Read back from a saved "screen" by the screen list, never written.
inline const juce::Identifier outputRes { "outputRes" };
inline const juce::Identifier inputRect { "inputRect" };
inline const juce::Identifier mask { "mask" };
inline const juce::Identifier orientation { "orientation" };

// Host setup file ("assFile").
inline const juce::Identifier assFile { "assFile" };

// Guide image ("bgImage").
inline const juce::Identifier bgImage { "bgImage" };
inline const juce::Identifier file { "file" };
inline const juce::Identifier bounds { "bounds" };

// Looks, focals and mapping geometry ("looks", "look", "focal", "vertices", "shared").
inline const juce::Identifier looks { "looks" };
inline const juce::Identifier look { "look" };
inline const juce::Identifier sampleUvs { "sampleUvs" };
inline const juce::Identifier focals { "focals" };
inline const juce::Identifier focal { "focal" };
inline const juce::Identifier uId { "uId" };
inline const juce::Identifier distribution { "distribution" };
inline const juce::Identifier flip { "flip" };
inline const juce::Identifier extend { "extend" };
inline const juce::Identifier cover { "cover" };
inline const juce::Identifier excluded { "excluded" };
inline const juce::Identifier vertices { "vertices" };
inline const juce::Identifier vertex { "vertex" }; // also in the preview mesh
inline const juce::Identifier index { "index" };   // also in the preview mesh
inline const juce::Identifier value { "value" };   // also in the preview mesh
inline const juce::Identifier shared { "shared" };

// Preview mesh ("vertexData"; kept in memory, not part of the document).
inline const juce::Identifier vertexData { "vertexData" };

// Preferences file.
inline const juce::Identifier preferences { "preferences" };
inline const juce::Identifier lastusedfile { "lastusedfile" };
inline const juce::Identifier fullpathname { "fullpathname" };
inline const juce::Identifier app { "app" };
} // namespace corvadine::ids
