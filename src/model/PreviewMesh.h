#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <vector>

namespace corvadine
{
// The preview mesh as plain arrays, the form the preview's render thread
// draws from: it never reads a value tree, so the message thread converts
// the "vertexData" tree once per store and hands these arrays over.
//
// vertexValues holds four floats per mesh vertex (x and y in -1 .. 1 over the
// visible slices' bounds, u and v as fractions of the composition);
// indexValues holds three vertex numbers per triangle.
struct PreviewMesh
{
    std::vector<float> vertexValues;
    std::vector<int> indexValues;

    int getNumVertices() const noexcept { return (int) (vertexValues.size() / 4); }
    bool operator== (const PreviewMesh& other) const { return vertexValues == other.vertexValues && indexValues == other.indexValues; }
    bool operator!= (const PreviewMesh& other) const { return ! operator== (other); }
};

// Reads a "vertexData" tree: the "value" of every "vertex" child in order (a
// value that is not a finite float becomes 0, so no NaN or infinity reaches
// the drawing), the "value" of every "index" child in order; other children
// are ignored, and an invalid tree gives an empty mesh. Indices are kept as
// they stand: the renderer skips triangles that name a missing vertex.
PreviewMesh previewMeshFromTree (const juce::ValueTree& vertexData);
} // namespace corvadine
