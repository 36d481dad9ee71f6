#include "model/MappingGeometry.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvadine;
using namespace corvadine::mapping;

namespace
{
using Points = juce::Array<juce::Point<float>>;

Points rectanglePoints (float x, float y, float w, float h)
{
    return test::pointList ({ { x, y }, { x + w, y }, { x + w, y + h }, { x, y + h } });
}

std::vector<juce::Point<float>> asVector (const Points& points)
{
    return { points.begin(), points.end() };
}

struct Vertex { float x, y, u, v; };

std::vector<Vertex> vertices (const std::vector<float>& values)
{
    std::vector<Vertex> result;
    for (size_t i = 0; i + 3 < values.size(); i += 4)
        result.push_back ({ values[i], values[i + 1], values[i + 2], values[i + 3] });
    return result;
}

// A closed ring through the points, as an item's outline is built.
juce::Path ringPath (const Points& points)
{
    juce::Path path;
    path.startNewSubPath (points.getFirst());
    for (int i = 1; i < points.size(); ++i)
        path.lineTo (points[i]);
    path.closeSubPath();
    return path;
}

void expectAllFinite (const std::vector<float>& values)
{
    for (auto value : values)
        EXPECT_TRUE (std::isfinite (value));
}
} // namespace

TEST (MappingGeometry, OutlineCornersGiveOnePointPerInputPointAlsoWhenTheRingRepeatsItsStart)
{
    auto square = ringPath (rectanglePoints (0, 0, 10, 10));

    auto corners = outlineCorners (square, juce::AffineTransform::translation (5, 7));
    ASSERT_EQ (corners.size(), 4u);
    EXPECT_EQ (corners[0], juce::Point<float> (5, 7));
    EXPECT_EQ (corners[2], juce::Point<float> (15, 17));

    // The last point repeats the first: flattening would give three steps.
    EXPECT_EQ (outlineCorners (ringPath (test::pointList ({ { 0, 0 }, { 10, 0 }, { 10, 10 }, { 0, 0 } }))).size(), 4u);
}

TEST (MappingGeometry, AFocalExactlyOnTheSliceSamplesTheWholeTextureWithVTurnedOver)
{
    const FocalTexture texture { { 1920, 1080 }, { 1920, 1080 }, 0 };
    const auto input = rectanglePoints (0, 0, 1920, 1080);

    std::vector<float> values;
    ASSERT_EQ (appendFocalVertices (values, input, asVector (input), texture), 4);
    ASSERT_EQ (values.size(), 16u);

    auto v = vertices (values);
    // Composition corners: top-left (-1, 1), bottom-right (1, -1).
    EXPECT_FLOAT_EQ (v[0].x, -1.0f); EXPECT_FLOAT_EQ (v[0].y, 1.0f);
    EXPECT_FLOAT_EQ (v[2].x, 1.0f);  EXPECT_FLOAT_EQ (v[2].y, -1.0f);
    // u over 0 and 1, v over 1 and 0.
    EXPECT_FLOAT_EQ (v[0].u, 0.0f); EXPECT_FLOAT_EQ (v[0].v, 1.0f);
    EXPECT_FLOAT_EQ (v[1].u, 1.0f); EXPECT_FLOAT_EQ (v[1].v, 1.0f);
    EXPECT_FLOAT_EQ (v[2].u, 1.0f); EXPECT_FLOAT_EQ (v[2].v, 0.0f);
    EXPECT_FLOAT_EQ (v[3].u, 0.0f); EXPECT_FLOAT_EQ (v[3].v, 0.0f);
}

TEST (MappingGeometry, MirrorSettingsTurnUAndV)
{
    struct Case { int flip; float u, v; };
    // (u, v) of the sample at the focal's top-left corner.
    const Case cases[] = {
        { 0, 0.0f, 1.0f }, // "Off": v turned over by default
        { 1, 1.0f, 1.0f }, // "X"
        { 2, 0.0f, 0.0f }, // "Y": v = 0 at the top
        { 3, 1.0f, 0.0f }, // "X + Y"
        { 7, 0.0f, 1.0f }, // an unknown value mirrors nothing
    };

    const auto input = rectanglePoints (0, 0, 100, 50);

    for (auto c : cases)
    {
        std::vector<float> values;
        appendFocalVertices (values, input, asVector (input), { { 100, 50 }, { 1920, 1080 }, c.flip });
        auto v = vertices (values);
        EXPECT_FLOAT_EQ (v[0].u, c.u) << "flip " << c.flip;
        EXPECT_FLOAT_EQ (v[0].v, c.v) << "flip " << c.flip;
        // The bottom-right corner mirrors the top-left.
        EXPECT_FLOAT_EQ (v[2].u, 1.0f - c.u) << "flip " << c.flip;
        EXPECT_FLOAT_EQ (v[2].v, 1.0f - c.v) << "flip " << c.flip;
    }
}

TEST (MappingGeometry, DuplicateFitsTheWholeSliceCentredWithItsAspectKept)
{
    // A 200 x 100 slice in a 100 x 100 focal: scale 0.5, centred vertically.
    auto fitted = fitIntoFocal (asVector (rectanglePoints (300, 40, 200, 100)), { 100, 100 });
    ASSERT_EQ (fitted.size(), 4u);
    EXPECT_EQ (fitted[0], juce::Point<float> (0, 25));
    EXPECT_EQ (fitted[2], juce::Point<float> (100, 75));

    std::vector<float> values;
    appendFocalVertices (values, rectanglePoints (0, 0, 200, 100), fitted, { { 100, 100 }, { 1920, 1080 }, 2 });
    auto v = vertices (values);
    EXPECT_FLOAT_EQ (v[0].u, 0.0f);  EXPECT_FLOAT_EQ (v[0].v, 0.25f);
    EXPECT_FLOAT_EQ (v[2].u, 1.0f);  EXPECT_FLOAT_EQ (v[2].v, 0.75f);

    // A tall slice is limited by the height instead.
    auto tall = fitIntoFocal (asVector (rectanglePoints (0, 0, 50, 400)), { 100, 100 });
    EXPECT_EQ (tall[0], juce::Point<float> (43.75f, 0));
    EXPECT_EQ (tall[2], juce::Point<float> (56.25f, 100));
}

TEST (MappingGeometry, DegenerateSizesGiveFiniteNumbers)
{
    const auto input = rectanglePoints (0, 0, 100, 100);

    // A slice folded onto a point or a line in "Duplicate" mode.
    for (auto slice : { test::pointList ({ { 5, 5 }, { 5, 5 }, { 5, 5 } }), test::pointList ({ { 0, 5 }, { 10, 5 }, { 20, 5 } }),
                        test::pointList ({ { 5, 0 }, { 5, 10 }, { 5, 20 } }) })
    {
        auto fitted = fitIntoFocal (asVector (slice), { 100, 100 });
        for (auto p : fitted)
            EXPECT_TRUE (std::isfinite (p.x) && std::isfinite (p.y));
    }
    EXPECT_EQ (fitIntoFocal (asVector (test::pointList ({ { 5, 5 } })), { 100, 100 })[0], juce::Point<float> (50, 50));

    // Zero resolution, zero composition size, non-finite sample points.
    for (auto texture : { FocalTexture { { 0, 0 }, { 1920, 1080 }, 0 }, FocalTexture { { 100, 100 }, { 0, 0 }, 1 },
                          FocalTexture { { 0, 100 }, { -5, 0 }, 3 } })
    {
        std::vector<float> values;
        EXPECT_EQ (appendFocalVertices (values, input, asVector (input), texture), 4);
        expectAllFinite (values);
        for (auto fitted : fitIntoFocal (asVector (input), texture.resolution))
            EXPECT_TRUE (std::isfinite (fitted.x) && std::isfinite (fitted.y));
    }

    std::vector<float> values;
    const auto inf = std::numeric_limits<float>::infinity();
    appendFocalVertices (values, input, { { inf, std::nanf ("") } }, { { 100, 100 }, { 1920, 1080 }, 0 });
    expectAllFinite (values);

    // No composition size known: the default 1920 x 1080 stands in.
    values.clear();
    appendFocalVertices (values, test::pointList ({ { 960, 540 }, { 1920, 1080 } }), { { 0, 0 } }, { { 100, 100 }, {}, 0 });
    EXPECT_FLOAT_EQ (values[0], 0.0f);
    EXPECT_FLOAT_EQ (values[5], -1.0f);
}

TEST (MappingGeometry, OneVertexPerInputPointWhateverTheSampleOutline)
{
    const FocalTexture texture { { 100, 100 }, { 1920, 1080 }, 0 };
    std::vector<float> values;

    // A sample outline that came out shorter repeats its last point.
    EXPECT_EQ (appendFocalVertices (values, rectanglePoints (0, 0, 10, 10), { { 0, 0 }, { 50, 50 } }, texture), 4);
    EXPECT_EQ (values.size(), 16u);
    EXPECT_FLOAT_EQ (values[14], 0.5f);

    // No sample outline: nothing to draw, no vertices.
    values.clear();
    EXPECT_EQ (appendFocalVertices (values, rectanglePoints (0, 0, 10, 10), {}, texture), 0);
    EXPECT_TRUE (values.empty());

    // Two input points: two vertices and no triangle; one point: nothing.
    EXPECT_EQ (appendFocalVertices (values, test::pointList ({ { 0, 0 }, { 10, 0 } }), { { 0, 0 }, { 1, 1 } }, texture), 2);
    EXPECT_TRUE (triangleIndices (test::pointList ({ { 0, 0 }, { 10, 0 } }), 2, 0).empty());
    EXPECT_EQ (vertexCountFor (1), 0);
    EXPECT_EQ (vertexCountFor (0), 0);
}

TEST (MappingGeometry, TriangleIndicesAreOffsetAndAddressTheSlicesOwnVertices)
{
    auto indices = triangleIndices (rectanglePoints (0, 0, 10, 10), 4, 8);
    ASSERT_EQ (indices.size(), 6u);
    for (auto index : indices)
    {
        EXPECT_GE (index, 8);
        EXPECT_LE (index, 11);
    }

    // A slice that got no vertices gets no triangles.
    EXPECT_TRUE (triangleIndices (rectanglePoints (0, 0, 10, 10), 0, 8).empty());
}

TEST (MappingGeometry, SampleUvsTexts)
{
    EXPECT_EQ (sampleUvs ({ 1920, 1080 }, { 1920, 1080 }), "0 0 1 1");
    EXPECT_EQ (sampleUvs ({ 960, 540 }, { 1920, 1080 }), "0.25 0.25 0.5 0.5");
    // Larger than the composition: the rectangle reaches beyond the texture.
    EXPECT_EQ (sampleUvs ({ 3840, 1080 }, { 1920, 1080 }), "-0.5 0 2 1");
    // Six significant digits, scientific below 1e-4.
    EXPECT_EQ (sampleUvs ({ 1, 1080 }, { 1048576, 1080 }), "0.5 0 9.53674e-07 1");
    // Zero sizes stay finite: no look resolution samples nothing, no
    // composition size counts as the default one.
    EXPECT_EQ (sampleUvs ({ 0, 0 }, { 1920, 1080 }), "0.5 0.5 0 0");
    EXPECT_EQ (sampleUvs ({ 1920, 1080 }, { 0, 0 }), "0 0 1 1");
}

TEST (MappingGeometry, PreviewMeshOfOneSliceOverTheWholeComposition)
{
    EXPECT_EQ (previewBounds ({}), juce::Rectangle<float> (-80, -80, 160, 160));

    const juce::Rectangle<float> placed (49040, 4460, 1920, 1080);
    const auto bounds = previewBounds ({ placed });
    EXPECT_EQ (bounds, juce::Rectangle<float> (48960, 4380, 2080, 1240));

    std::vector<float> values;
    const auto input = rectanglePoints (0, 0, 1920, 1080);
    ASSERT_EQ (appendPreviewVertices (values, input, asVector (rectanglePoints (49040, 4460, 1920, 1080)),
                                      bounds, { 1920, 1080 }), 4);
    auto v = vertices (values);
    EXPECT_NEAR (v[0].x, -12.0f / 13.0f, 1.0e-6f); EXPECT_NEAR (v[0].y, 27.0f / 31.0f, 1.0e-6f);
    EXPECT_NEAR (v[2].x, 12.0f / 13.0f, 1.0e-6f);  EXPECT_NEAR (v[2].y, -27.0f / 31.0f, 1.0e-6f);
    EXPECT_FLOAT_EQ (v[0].u, 0.0f); EXPECT_FLOAT_EQ (v[0].v, 0.0f);
    EXPECT_FLOAT_EQ (v[2].u, 1.0f); EXPECT_FLOAT_EQ (v[2].v, 1.0f);

    // Two boxes: least left and top, greatest right and bottom.
    EXPECT_EQ (previewBounds ({ { 0, 0, 10, 10 }, { 100, -50, 10, 10 } }),
               juce::Rectangle<float> (-80, -130, 270, 220));

    // No composition size: finite all the same.
    values.clear();
    appendPreviewVertices (values, input, asVector (input), bounds, { 0, 0 });
    expectAllFinite (values);
}
