#include "model/PreviewMesh.h"

#include "model/Ids.h"
#include "model/ModelFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace corvadine;

TEST (PreviewMeshArrays, HoldTheModelsTreeValueForValue)
{
    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 960, 1080 }),
                                                                          test::rectangleSlice (2, "b", { 960, 0, 960, 540 }) }) });
    const auto tree = model->writeVertexDataTree();
    const auto mesh = previewMeshFromTree (tree);

    std::vector<float> vertices;
    std::vector<int> indices;
    for (const auto& child : tree)
        (child.hasType (ids::vertex) ? (void) vertices.push_back ((float) (double) child[ids::value])
                                     : (void) indices.push_back ((int) child[ids::value]));

    EXPECT_EQ (mesh.vertexValues, vertices);
    EXPECT_EQ (mesh.indexValues, indices);
    EXPECT_EQ (mesh.getNumVertices(), 8);
    EXPECT_EQ (mesh.indexValues.size(), 12u);
}

TEST (PreviewMeshArrays, AnInvalidOrEmptyTreeGivesAnEmptyMesh)
{
    for (const auto& tree : { juce::ValueTree(), juce::ValueTree (ids::vertexData) })
    {
        const auto mesh = previewMeshFromTree (tree);
        EXPECT_TRUE (mesh.vertexValues.empty());
        EXPECT_TRUE (mesh.indexValues.empty());
    }
}

TEST (PreviewMeshArrays, ValuesThatAreNotFiniteFloatsBecomeZeroAndOtherChildrenAreIgnored)
{
    struct Case
    {
        juce::var stored;
        float expected;
    };

    const Case cases[] = {
        { 0.25, 0.25f },
        { -1.0, -1.0f },
        { std::numeric_limits<double>::quiet_NaN(), 0.0f },
        { std::numeric_limits<double>::infinity(), 0.0f },
        { -std::numeric_limits<double>::infinity(), 0.0f },
        { 1.0e300, 0.0f }, // past float's range: would become an infinity
        { "0.5", 0.5f },
        { "garbage", 0.0f },
    };

    juce::ValueTree tree (ids::vertexData);
    for (const auto& c : cases)
    {
        tree.appendChild (juce::ValueTree (ids::vertex, { { ids::value, c.stored } }), nullptr);
        tree.appendChild (juce::ValueTree ("other", { { ids::value, 7 } }), nullptr);
    }
    tree.appendChild (juce::ValueTree (ids::index, { { ids::value, 3 } }), nullptr);
    tree.appendChild (juce::ValueTree (ids::index, { { ids::value, -2 } }), nullptr);

    const auto mesh = previewMeshFromTree (tree);
    ASSERT_EQ (mesh.vertexValues.size(), std::size (cases));
    for (size_t i = 0; i < std::size (cases); ++i)
    {
        EXPECT_TRUE (std::isfinite (mesh.vertexValues[i]));
        EXPECT_FLOAT_EQ (mesh.vertexValues[i], cases[i].expected) << "case " << i;
    }

    // Indices are kept as they stand; drawing skips what addresses no vertex.
    EXPECT_EQ (mesh.indexValues, (std::vector<int> { 3, -2 }));
}
