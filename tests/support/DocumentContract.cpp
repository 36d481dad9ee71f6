#include "support/DocumentContract.h"

#include "host/HostXmlFile.h"
#include "model/Ids.h"
#include "model/MeshChecks.h"

#include <cmath>

namespace corvadine::test
{
namespace
{
bool isWholeNumber (const juce::var& value)
{
    const auto text = value.toString().trim();

    if (text.isEmpty())
        return false;

    const auto digits = text.startsWithChar ('-') ? text.substring (1) : text;
    return digits.isNotEmpty() && digits.containsOnly ("0123456789");
}

// A number as the plug-ins read it: text that parses whole as a finite double.
bool isFiniteNumber (const juce::var& value)
{
    if (value.isDouble() || value.isInt() || value.isInt64())
        return std::isfinite ((double) value);

    const auto text = value.toString().trim();

    if (text.isEmpty() || text.containsIgnoreCase ("nan") || text.containsIgnoreCase ("inf"))
        return false;

    const auto utf8 = text.toStdString();
    char* end = nullptr;
    const auto parsed = std::strtod (utf8.c_str(), &end);
    return end == utf8.c_str() + utf8.size() && std::isfinite (parsed);
}

int countChildren (const juce::ValueTree& tree, const juce::Identifier& type)
{
    int count = 0;

    for (const auto& child : tree)
        if (child.hasType (type))
            ++count;

    return count;
}

void requireProperty (const juce::ValueTree& tree, const juce::Identifier& name, const juce::String& where,
                      juce::StringArray& problems)
{
    if (! tree.hasProperty (name))
        problems.add (where + ": no \"" + name.toString() + "\"");
}

void requireWholeNumber (const juce::ValueTree& tree, const juce::Identifier& name, const juce::String& where,
                         juce::StringArray& problems, bool notNegative)
{
    if (! tree.hasProperty (name))
        return problems.add (where + ": no \"" + name.toString() + "\"");

    const auto value = tree[name];

    if (! isWholeNumber (value))
        return problems.add (where + ": \"" + name.toString() + "\" is not a whole number: " + value.toString());

    if (notNegative && value.toString().trim().startsWithChar ('-'))
        problems.add (where + ": \"" + name.toString() + "\" below 0: " + value.toString());
}

void checkPosition (const juce::ValueTree& owner, const juce::String& where, juce::StringArray& problems)
{
    const auto position = owner.getChildWithName (ids::position);

    if (! position.isValid())
        return problems.add (where + ": no \"position\"");

    const auto numbers = juce::StringArray::fromTokens (position[ids::transform].toString(), ", ", {});
    int count = 0;

    for (const auto& number : numbers)
    {
        if (number.isEmpty())
            continue;

        ++count;

        if (! isFiniteNumber (number))
            problems.add (where + ": a transform number that is not finite: " + number);
    }

    if (count != 6)
        problems.add (where + ": a transform of " + juce::String (count) + " numbers");

    if (! isFiniteNumber (position[ids::finalRotation]))
        problems.add (where + ": finalRotation \"" + position[ids::finalRotation].toString() + "\"");
}

// Left empty while the document is linked to no host file; a missing "x"
// or "y" reads 0.
void checkAssFile (const juce::ValueTree& assFile, juce::StringArray& problems)
{
    for (const auto* side : { &ids::x, &ids::y })
        if (assFile.hasProperty (*side))
            requireWholeNumber (assFile, *side, "assFile", problems, true);
}

void checkPointsList (const juce::ValueTree& points, const juce::String& where, juce::StringArray& problems)
{
    for (const auto& point : points)
    {
        if (! point.hasType (ids::point))
            problems.add (where + ": a child \"" + point.getType().toString() + "\" that is not a point");

        if (! isFiniteNumber (point[ids::x]) || ! isFiniteNumber (point[ids::y]))
            problems.add (where + ": a point that is not two finite numbers");
    }
}

void checkArenaScreens (const juce::ValueTree& arenaScreens, juce::StringArray& problems)
{
    int screenNumber = 0;

    for (const auto& screen : arenaScreens)
    {
        const auto where = "screen " + juce::String (screenNumber++);

        if (! screen.hasType (ids::screen))
            problems.add (where + ": type \"" + screen.getType().toString() + "\"");

        requireProperty (screen, ids::name, where, problems);
        requireWholeNumber (screen, ids::uniqueId, where, problems, false);
        requireProperty (screen, ids::enabled, where, problems);

        int sliceNumber = 0;

        for (const auto& slice : screen)
        {
            const auto sliceWhere = where + " slice " + juce::String (sliceNumber++);

            if (! slice.hasType (ids::slice))
                problems.add (sliceWhere + ": type \"" + slice.getType().toString() + "\"");

            requireProperty (slice, ids::name, sliceWhere, problems);
            requireWholeNumber (slice, ids::uniqueId, sliceWhere, problems, false);

            bool hasPath = false, hasOutput = false;

            for (const auto& points : slice)
            {
                if (! points.hasType (ids::points))
                    continue;

                const auto name = points[ids::name].toString();

                if (name == ids::path.toString())
                {
                    hasPath = true;

                    if (! isFiniteNumber (points[ids::rotation]))
                        problems.add (sliceWhere + ": path rotation \"" + points[ids::rotation].toString() + "\"");
                }
                else if (name == ids::outputPoints.toString())
                {
                    hasOutput = true;
                }

                checkPointsList (points, sliceWhere + " " + name, problems);
            }

            if (! hasPath)
                problems.add (sliceWhere + ": no \"path\" points");
            if (! hasOutput)
                problems.add (sliceWhere + ": no \"outputPoints\" points");

            checkPosition (slice, sliceWhere, problems);
        }
    }
}

// The slice ids of a focal's "vertices" elements, in order.
juce::Array<juce::int64> vertexSliceIds (const juce::ValueTree& focal)
{
    juce::Array<juce::int64> ids;

    for (const auto& vertices : focal)
        if (vertices.hasType (ids::vertices))
            ids.add ((juce::int64) vertices[ids::uniqueId]);

    return ids;
}

void checkLooks (const juce::ValueTree& looks, bool valuesInRange, juce::StringArray& problems)
{
    for (const auto& problem : checkLooksTree (looks, valuesInRange).problems)
        problems.add ("looks: " + problem);

    int lookNumber = 0;

    for (const auto& look : looks)
    {
        const auto where = "look " + juce::String (lookNumber++);

        if (! look.hasType (ids::look))
            problems.add (where + ": type \"" + look.getType().toString() + "\"");

        requireWholeNumber (look, ids::x, where, problems, true);
        requireWholeNumber (look, ids::y, where, problems, true);

        const auto focals = look.getChildWithName (ids::focals);
        juce::Array<juce::Array<juce::int64>> sliceIds;

        for (const auto& focal : focals)
            sliceIds.add (vertexSliceIds (focal));

        for (int f = 0; f < focals.getNumChildren(); ++f)
        {
            const auto focal = focals.getChild (f);
            const auto focalWhere = where + " focal " + juce::String (f);

            if (! focal.hasType (ids::focal))
                problems.add (focalWhere + ": type \"" + focal.getType().toString() + "\"");

            const auto uId = focal[ids::uId].toString();
            if (uId.length() != 32 || ! uId.containsOnly ("0123456789abcdef"))
                problems.add (focalWhere + ": uId \"" + uId + "\"");

            for (const auto* setting : { &ids::distribution, &ids::flip, &ids::extend, &ids::cover })
                requireWholeNumber (focal, *setting, focalWhere, problems, false);

            checkPosition (focal, focalWhere, problems);

            // What "shared" must hold, as the plug-in pairs it with "vertices".
            juce::Array<juce::int64> expected;

            for (int other = 0; other < sliceIds.size(); ++other)
                if (other != f)
                    for (auto id : sliceIds[f])
                        if (sliceIds[other].contains (id))
                            expected.add (id);

            juce::Array<juce::int64> written;

            for (const auto& slice : focal.getChildWithName (ids::shared))
                written.add ((juce::int64) slice[ids::uniqueId]);

            if (written != expected)
            {
                juce::StringArray writtenText, expectedText;
                for (auto id : written)
                    writtenText.add (juce::String (id));
                for (auto id : expected)
                    expectedText.add (juce::String (id));

                problems.add (focalWhere + ": shared [" + writtenText.joinIntoString (" ") + "] where its vertices give ["
                              + expectedText.joinIntoString (" ") + "]");
            }
        }
    }
}

// Every property anywhere that looks like a number must be a finite one.
void checkAllNumbersFinite (const juce::ValueTree& tree, const juce::String& where, juce::StringArray& problems)
{
    for (int i = 0; i < tree.getNumProperties(); ++i)
    {
        const auto name = tree.getPropertyName (i);
        const auto value = tree[name];
        const auto text = value.toString().trim().toLowerCase();

        const bool numeric = value.isDouble() || value.isInt() || value.isInt64();
        const bool looksNonFinite = text == "nan" || text == "-nan" || text == "inf" || text == "-inf"
                                    || text == "infinity" || text == "-infinity";

        if ((numeric && ! std::isfinite ((double) value)) || looksNonFinite)
            problems.add (where + ": \"" + name.toString() + "\" is not finite");
    }

    for (const auto& child : tree)
        checkAllNumbersFinite (child, where + "/" + child.getType().toString(), problems);
}
} // namespace

juce::StringArray checkDocumentContract (const juce::ValueTree& document, DocumentContractOptions options)
{
    juce::StringArray problems;

    if (! document.isValid())
        return { "no document" };

    if (! document.hasType (ids::Corvadine))
        problems.add ("the root is \"" + document.getType().toString() + "\"");

    requireProperty (document, ids::version, "root", problems);

    for (const auto* type : { &ids::assFile, &ids::arenaScreens, &ids::looks })
        if (countChildren (document, *type) != 1)
            problems.add (juce::String (countChildren (document, *type)) + " \"" + type->toString() + "\" children");

    const auto guides = countChildren (document, ids::bgImage);
    if (guides > 1 || (options.requireGuide && guides != 1))
        problems.add (juce::String (guides) + " \"bgImage\" children");

    if (const auto assFile = document.getChildWithName (ids::assFile); assFile.isValid())
        checkAssFile (assFile, problems);

    // An empty "bgImage" is what a load leaves while there is no guide.
    if (const auto guide = document.getChildWithName (ids::bgImage);
        guide.isValid() && (guide.getNumProperties() > 0 || guide.getNumChildren() > 0))
    {
        requireProperty (guide, ids::file, "bgImage", problems);
        requireProperty (guide, ids::bounds, "bgImage", problems);
        checkPosition (guide, "bgImage", problems);
    }

    if (const auto screens = document.getChildWithName (ids::arenaScreens); screens.isValid())
        checkArenaScreens (screens, problems);

    if (const auto looks = document.getChildWithName (ids::looks); looks.isValid())
        checkLooks (looks, options.valuesInRange, problems);

    checkAllNumbersFinite (document, document.getType().toString(), problems);
    return problems;
}

juce::StringArray checkDocumentFile (const juce::File& file, DocumentContractOptions options)
{
    const auto root = parseHostXmlFile (file);

    if (root == nullptr)
        return { file.getFullPathName() + ": not a readable XML file" };

    return checkDocumentContract (juce::ValueTree::fromXml (*root), options);
}
} // namespace corvadine::test
