#include "model/MeshChecks.h"

#include "model/Ids.h"

#include <cmath>

namespace corvadine::test
{
namespace
{
struct Element
{
    std::vector<double> values;
    std::vector<int> indices;
};

// The "vertex" and "index" children of an element, with the order rule.
Element readElement (const juce::ValueTree& tree, const juce::String& where, juce::StringArray& problems)
{
    Element element;
    bool indexSeen = false;

    for (auto child : tree)
    {
        if (child.hasType (ids::vertex))
        {
            if (indexSeen)
                problems.add (where + ": a vertex after an index");

            auto value = (double) child[ids::value];
            if (! std::isfinite (value))
                problems.add (where + ": a vertex value that is not finite");
            element.values.push_back (value);
        }
        else if (child.hasType (ids::index))
        {
            indexSeen = true;
            element.indices.push_back ((int) child[ids::value]);
        }
    }

    if (element.values.size() % 4 != 0)
        problems.add (where + ": " + juce::String ((int) element.values.size()) + " vertex values, not groups of four");
    if (element.indices.size() % 3 != 0)
        problems.add (where + ": " + juce::String ((int) element.indices.size()) + " indices, not groups of three");

    return element;
}

void checkIndices (const Element& element, int first, const juce::String& where, juce::StringArray& problems)
{
    const auto end = first + (int) element.values.size() / 4;

    for (auto index : element.indices)
        if (index < first || index >= end)
            problems.add (where + ": index " + juce::String (index) + " outside its own vertices "
                          + juce::String (first) + " .. " + juce::String (end - 1));
}

bool within (double value, double low, double high)
{
    constexpr double slack = 1.0e-4;
    return value >= low - slack && value <= high + slack;
}
} // namespace

MeshCheck checkLooksTree (const juce::ValueTree& looks, bool valuesInRange)
{
    MeshCheck check;
    auto& problems = check.problems;

    if (! looks.hasType (ids::looks))
        problems.add ("the tree is not \"looks\"");

    int lookNumber = 0;
    for (auto look : looks)
    {
        const auto lookName = "look " + juce::String (lookNumber++);

        auto uvs = juce::StringArray::fromTokens (look[ids::sampleUvs].toString(), " ", {});
        if (uvs.size() != 4)
            problems.add (lookName + ": sampleUvs \"" + look[ids::sampleUvs].toString() + "\"");
        for (auto& number : uvs)
            if (! std::isfinite (number.getDoubleValue()) || number.containsIgnoreCase ("nan") || number.containsIgnoreCase ("inf"))
                problems.add (lookName + ": sampleUvs number " + number);

        auto focals = look.getChildWithName (ids::focals);
        if (! focals.isValid())
            problems.add (lookName + ": no focals");

        int focalNumber = 0;
        for (auto focal : focals)
        {
            const auto focalName = lookName + " focal " + juce::String (focalNumber++);

            if (! focal.getChildWithName (ids::shared).isValid())
                problems.add (focalName + ": no shared");

            int verticesNumber = 0;
            for (auto vertices : focal)
            {
                if (! vertices.hasType (ids::vertices))
                    continue;

                const auto where = focalName + " vertices " + juce::String (verticesNumber++);
                if (! vertices.hasProperty (ids::uniqueId))
                    problems.add (where + ": no uniqueId");

                auto element = readElement (vertices, where, problems);
                checkIndices (element, check.vertexCount, where, problems);

                if (valuesInRange)
                    for (size_t i = 0; i < element.values.size(); ++i)
                    {
                        const bool isPosition = i % 4 < 2;
                        if (! within (element.values[i], isPosition ? -1.0 : 0.0, 1.0))
                            problems.add (where + ": value " + juce::String (element.values[i]) + " out of range");
                    }

                check.vertexCount += (int) element.values.size() / 4;
                check.triangleCount += (int) element.indices.size() / 3;
            }
        }
    }

    return check;
}

MeshCheck checkVertexDataTree (const juce::ValueTree& vertexData)
{
    MeshCheck check;

    if (! vertexData.hasType (ids::vertexData))
        check.problems.add ("the tree is not \"vertexData\"");

    auto element = readElement (vertexData, "vertexData", check.problems);
    checkIndices (element, 0, "vertexData", check.problems);
    check.vertexCount = (int) element.values.size() / 4;
    check.triangleCount = (int) element.indices.size() / 3;
    return check;
}
} // namespace corvadine::test
