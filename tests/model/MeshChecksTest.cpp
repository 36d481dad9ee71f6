#include "model/MeshChecks.h"

#include "model/Ids.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
juce::ValueTree verticesTree (int vertexCount, std::vector<int> indices)
{
    juce::ValueTree vertices (ids::vertices);
    vertices.setProperty (ids::uniqueId, (juce::int64) 1, nullptr);
    for (int i = 0; i < vertexCount * 4; ++i)
        vertices.appendChild (juce::ValueTree (ids::vertex, { { ids::value, 0.5 } }), nullptr);
    for (auto index : indices)
        vertices.appendChild (juce::ValueTree (ids::index, { { ids::value, index } }), nullptr);
    return vertices;
}

juce::ValueTree looksTree (std::vector<juce::ValueTree> verticesOfOneFocal)
{
    juce::ValueTree looks (ids::looks), look (ids::look), focals (ids::focals), focal (ids::focal);
    look.setProperty (ids::sampleUvs, "0 0 1 1", nullptr);
    for (auto& v : verticesOfOneFocal)
        focal.appendChild (v, nullptr);
    focal.appendChild (juce::ValueTree (ids::shared), nullptr);
    focals.appendChild (focal, nullptr);
    look.appendChild (focals, nullptr);
    looks.appendChild (look, nullptr);
    return looks;
}
} // namespace

TEST (MeshChecks, TheLooksCheckerFindsEachBrokenRule)
{
    auto good = test::checkLooksTree (looksTree ({ verticesTree (4, { 0, 1, 2, 0, 2, 3 }),
                                                   verticesTree (3, { 4, 5, 6 }) }), true);
    EXPECT_TRUE (good.problems.isEmpty()) << good.problems.joinIntoString ("\n");
    EXPECT_EQ (good.vertexCount, 7);
    EXPECT_EQ (good.triangleCount, 3);

    // Local numbering in the second element, an index past the end, a NaN,
    // a vertex after an index.
    EXPECT_FALSE (test::checkLooksTree (looksTree ({ verticesTree (4, { 0, 1, 2 }), verticesTree (3, { 0, 1, 2 }) }), false)
                      .problems.isEmpty());
    EXPECT_FALSE (test::checkLooksTree (looksTree ({ verticesTree (3, { 0, 1, 3 }) }), false).problems.isEmpty());

    auto withNan = verticesTree (3, { 0, 1, 2 });
    withNan.getChild (0).setProperty (ids::value, std::numeric_limits<double>::quiet_NaN(), nullptr);
    EXPECT_FALSE (test::checkLooksTree (looksTree ({ withNan }), false).problems.isEmpty());

    auto misordered = verticesTree (3, { 0, 1, 2 });
    misordered.appendChild (juce::ValueTree (ids::vertex, { { ids::value, 0.0 } }), nullptr);
    EXPECT_FALSE (test::checkLooksTree (looksTree ({ misordered }), false).problems.isEmpty());

    auto outOfRange = verticesTree (3, { 0, 1, 2 });
    outOfRange.getChild (2).setProperty (ids::value, 1.5, nullptr);
    EXPECT_TRUE (test::checkLooksTree (looksTree ({ outOfRange }), false).problems.isEmpty());
    EXPECT_FALSE (test::checkLooksTree (looksTree ({ outOfRange }), true).problems.isEmpty());
}

TEST (MeshChecks, TheVertexDataCheckerFindsAnIndexPastTheMesh)
{
    juce::ValueTree mesh (ids::vertexData);
    for (int i = 0; i < 12; ++i)
        mesh.appendChild (juce::ValueTree (ids::vertex, { { ids::value, 0.0 } }), nullptr);
    for (auto index : { 0, 1, 2 })
        mesh.appendChild (juce::ValueTree (ids::index, { { ids::value, index } }), nullptr);

    EXPECT_TRUE (test::checkVertexDataTree (mesh).problems.isEmpty());

    mesh.appendChild (juce::ValueTree (ids::index, { { ids::value, 3 } }), nullptr);
    EXPECT_FALSE (test::checkVertexDataTree (mesh).problems.isEmpty());
}
