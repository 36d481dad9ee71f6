#include "model/PreviewMesh.h"

#include "model/Ids.h"

#include <cmath>
#include <limits>

namespace corvadine
{
namespace
{
float finiteFloat (double value)
{
    // A double past float's range would turn into an infinity.
    if (! std::isfinite (value) || std::abs (value) > (double) std::numeric_limits<float>::max())
        return 0.0f;

    return (float) value;
}
} // namespace

PreviewMesh previewMeshFromTree (const juce::ValueTree& vertexData)
{
    PreviewMesh mesh;

    if (! vertexData.isValid())
        return mesh;

    const auto numChildren = vertexData.getNumChildren();
    mesh.vertexValues.reserve ((size_t) numChildren);

    for (const auto& child : vertexData)
    {
        const auto type = child.getType();

        if (type == ids::vertex)
            mesh.vertexValues.push_back (finiteFloat ((double) child.getProperty (ids::value)));
        else if (type == ids::index)
            mesh.indexValues.push_back ((int) child.getProperty (ids::value));
    }

    return mesh;
}
} // namespace corvadine
