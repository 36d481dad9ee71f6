#pragma once

#include <juce_data_structures/juce_data_structures.h>

// Checks of the meshes the model writes, for the tests: they walk a written
// tree the way the host's plug-in and the preview read it and list every
// rule that the tree breaks.
namespace corvadine::test
{
struct MeshCheck
{
    juce::StringArray problems; // empty when the tree keeps every rule
    int vertexCount = 0;        // vertices (groups of four numbers) in the tree
    int triangleCount = 0;
};

// A "looks" subtree: every "vertices" element holds its "vertex" children
// before its "index" children, in groups of four and three; every index is
// a vertex of that same element, numbered across the whole subtree in
// document order; every number is finite; every look has its four
// "sampleUvs" numbers and every focal its "shared" list. With
// `valuesInRange`, x and y also lie within -1 .. 1 and u and v within 0 .. 1
// (what a slice inside the composition and inside the focal gives).
MeshCheck checkLooksTree (const juce::ValueTree& looks, bool valuesInRange);

// A preview mesh "vertexData": all "vertex" children before all "index"
// children, in groups of four and three, every index a vertex of the mesh,
// every number finite.
MeshCheck checkVertexDataTree (const juce::ValueTree& vertexData);
} // namespace corvadine::test
