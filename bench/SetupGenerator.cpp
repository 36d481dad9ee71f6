#include "SetupGenerator.h"

#include <cmath>

namespace corvadine::bench
{
namespace
{
constexpr juce::int64 seed = 20261210;
constexpr int gridColumns = 8;
constexpr int gridRows = slicesPerScreen / gridColumns;

using PointList = std::vector<juce::Point<float>>;

int screenColumnsFor (int numScreens)
{
    // Square-ish: 8 screens as 4 x 2, 64 as 8 x 8.
    auto columns = (int) std::ceil (std::sqrt ((double) numScreens));

    while (numScreens % columns != 0)
        ++columns;

    return columns;
}

juce::XmlElement* addPoint (juce::XmlElement& parent, juce::Point<float> p)
{
    auto* v = parent.createNewChildElement ("v");
    v->setAttribute ("x", p.x);
    v->setAttribute ("y", p.y);
    return v;
}

void addPoints (juce::XmlElement& parent, const PointList& points)
{
    for (auto p : points)
        addPoint (parent, p);
}

PointList rectangleCorners (juce::Rectangle<float> r, float angle)
{
    PointList corners { r.getTopLeft(), r.getTopRight(), r.getBottomRight(), r.getBottomLeft() };
    const auto turn = juce::AffineTransform::rotation (angle, r.getCentreX(), r.getCentreY());

    for (auto& p : corners)
        p.applyTransform (turn);

    return corners;
}

// A polygon inside r: points at even angles around its centre with radii
// drawn between 60 % and 100 % of the half size, so it never crosses itself.
PointList contourIn (juce::Rectangle<float> r, juce::Random& random)
{
    PointList points;

    for (int k = 0; k < pointsPerContour; ++k)
    {
        const auto angle = juce::MathConstants<float>::twoPi * (float) k / (float) pointsPerContour;
        const auto radius = 0.6f + 0.4f * random.nextFloat();
        points.push_back ({ r.getCentreX() + std::cos (angle) * radius * r.getWidth() * 0.5f,
                            r.getCentreY() + std::sin (angle) * radius * r.getHeight() * 0.5f });
    }

    return points;
}

void addParam (juce::XmlElement& params, const char* name, const char* type, const juce::String& value)
{
    auto* param = params.createNewChildElement ("Param");
    param->setAttribute ("name", name);
    param->setAttribute ("T", type);
    param->setAttribute ("default", value);
    param->setAttribute ("value", value);
}

// The host writes every colour parameter with its ranges; nothing here reads
// them, but a reader walks past them.
void addParamRange (juce::XmlElement& params, const char* name, double value)
{
    auto* range = params.createNewChildElement ("ParamRange");
    range->setAttribute ("name", name);
    range->setAttribute ("T", "DOUBLE");
    range->setAttribute ("default", value);
    range->setAttribute ("value", value);
    range->createNewChildElement ("PhaseSourceStatic")->setAttribute ("phase", 0.5);
    range->createNewChildElement ("BehaviourDouble")->setAttribute ("name", "BehaviourDouble");

    for (auto* rangeName : { "defaultRange", "minMax", "startStop" })
    {
        auto* r = range->createNewChildElement ("ValueRange");
        r->setAttribute ("name", rangeName);
        r->setAttribute ("min", -1);
        r->setAttribute ("max", 1);
    }
}

void addWarper (juce::XmlElement& slice, juce::Rectangle<float> output)
{
    auto* warper = slice.createNewChildElement ("Warper");
    auto* vertices = warper->createNewChildElement ("BezierWarper")->createNewChildElement ("vertices");

    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            addPoint (*vertices, { output.getX() + output.getWidth() * (float) column / 3.0f,
                                   output.getY() + output.getHeight() * (float) row / 3.0f });

    auto* homography = warper->createNewChildElement ("Homography");
    addPoints (*homography->createNewChildElement ("src"), rectangleCorners (output, 0.0f));
    addPoints (*homography->createNewChildElement ("dst"), rectangleCorners (output, 0.0f));
}

void addSlice (juce::XmlElement& layers, int sliceIndex, juce::int64 id, juce::Rectangle<float> cell, juce::Random& random)
{
    const auto kind = sliceKindAt (sliceIndex);
    auto* slice = layers.createNewChildElement (kind == SliceKind::contour ? "Polygon" : "Slice");
    slice->setAttribute ("uniqueId", juce::String (id));

    auto* common = slice->createNewChildElement ("Params");
    common->setAttribute ("name", "Common");
    addParam (*common, "Name", "STRING", "Slice " + juce::String (sliceIndex + 1));
    addParam (*common, "Enabled", "BOOL", "1");

    auto* input = slice->createNewChildElement ("Params");
    input->setAttribute ("name", "Input");
    addParam (*input, "Input Opacity", "BOOL", "1");
    addParam (*input, "Input Bypass/Solo", "BOOL", "1");
    addParam (*input, "SoftEdgeEnable", "BOOL", "0");

    auto* output = slice->createNewChildElement ("Params");
    output->setAttribute ("name", "Output");
    addParam (*output, "Flip", "UINT8", "0");

    for (auto* colour : { "Brightness", "Contrast", "Red", "Green", "Blue" })
        addParamRange (*output, colour, 0.0);

    // Slices fill most of their cell, shifted a little so that edges rarely line up.
    const auto area = cell.reduced (cell.getWidth() * 0.08f, cell.getHeight() * 0.08f)
                          .translated ((random.nextFloat() - 0.5f) * 8.0f, (random.nextFloat() - 0.5f) * 8.0f);
    const auto angle = kind == SliceKind::rotated ? (random.nextFloat() - 0.5f) * 0.8f : 0.0f;

    auto* inputRect = slice->createNewChildElement ("InputRect");
    inputRect->setAttribute ("orientation", angle);
    addPoints (*inputRect, rectangleCorners (area, angle));

    const auto outputArea = area.translated (random.nextFloat() * 40.0f, random.nextFloat() * 40.0f);
    auto* outputRect = slice->createNewChildElement ("OutputRect");
    outputRect->setAttribute ("orientation", 0.0f);
    addPoints (*outputRect, rectangleCorners (outputArea, 0.0f));

    if (kind == SliceKind::contour)
    {
        auto* inputContour = slice->createNewChildElement ("InputContour");
        inputContour->setAttribute ("closed", 1);
        addPoints (*inputContour->createNewChildElement ("points"), contourIn (area, random));

        auto* outputContour = slice->createNewChildElement ("OutputContour");
        outputContour->setAttribute ("closed", 1);
        addPoints (*outputContour->createNewChildElement ("points"), contourIn (outputArea, random));
    }

    addWarper (*slice, outputArea);
}
} // namespace

juce::Point<int> compositionSizeFor (int numScreens)
{
    const auto columns = screenColumnsFor (numScreens);
    const auto rows = numScreens / columns;
    return { columns * screenRegion.x, rows * screenRegion.y };
}

SliceKind sliceKindAt (int sliceIndex)
{
    return static_cast<SliceKind> (sliceIndex % 3);
}

std::unique_ptr<juce::XmlElement> makeHostSetup (int numScreens, juce::int64 firstId)
{
    juce::Random random (seed);
    auto nextId = firstId;

    auto root = std::make_unique<juce::XmlElement> ("XmlState");
    root->setAttribute ("name", "Benchmark " + juce::String (numScreens * slicesPerScreen));
    auto* setup = root->createNewChildElement ("ScreenSetup");
    setup->setAttribute ("name", "ScreenSetup");

    const auto composition = compositionSizeFor (numScreens);
    auto* size = setup->createNewChildElement ("CurrentCompositionTextureSize");
    size->setAttribute ("width", composition.x);
    size->setAttribute ("height", composition.y);

    auto* screens = setup->createNewChildElement ("screens");
    const auto columns = screenColumnsFor (numScreens);

    for (int s = 0; s < numScreens; ++s)
    {
        auto* screen = screens->createNewChildElement ("Screen");
        screen->setAttribute ("name", "Screen " + juce::String (s + 1));
        screen->setAttribute ("uniqueId", juce::String (nextId++));

        auto* params = screen->createNewChildElement ("Params");
        params->setAttribute ("name", "Params");
        addParam (*params, "Name", "STRING", "Screen " + juce::String (s + 1));
        addParam (*params, "Enabled", "BOOL", "1");
        addParam (*params, "Hidden", "BOOL", "0");

        const juce::Rectangle<float> region ((float) ((s % columns) * screenRegion.x),
                                             (float) ((s / columns) * screenRegion.y),
                                             (float) screenRegion.x,
                                             (float) screenRegion.y);
        const auto cellWidth = region.getWidth() / (float) gridColumns;
        const auto cellHeight = region.getHeight() / (float) gridRows;
        auto* layers = screen->createNewChildElement ("layers");

        for (int i = 0; i < slicesPerScreen; ++i)
        {
            const juce::Rectangle<float> cell (region.getX() + cellWidth * (float) (i % gridColumns),
                                               region.getY() + cellHeight * (float) (i / gridColumns),
                                               cellWidth,
                                               cellHeight);
            addSlice (*layers, i, nextId++, cell, random);
        }
    }

    return root;
}

std::vector<juce::Point<float>> makeRing (int numPoints)
{
    juce::Random random (seed + numPoints);
    PointList ring;

    for (int k = 0; k < numPoints; ++k)
    {
        // Four points make a square; more make a star whose tips alternate in
        // length, so ear clipping meets reflex corners as on real outlines.
        const auto angle = juce::MathConstants<float>::twoPi * ((float) k + 0.5f) / (float) numPoints;
        const auto radius = numPoints <= 4 ? 100.0f : (k % 2 == 0 ? 100.0f : 55.0f + 20.0f * random.nextFloat());
        ring.push_back ({ std::cos (angle) * radius, std::sin (angle) * radius });
    }

    return ring;
}
} // namespace corvadine::bench
