#include "host/ScreenSetupFormat.h"

#include "host/HostNumbers.h"
#include "host/XmlTags.h"
#include "model/Ids.h"

namespace corvadine
{
namespace
{
using PointList = juce::Array<juce::Point<float>>;

bool tagMatchesAny (const juce::XmlElement& element, std::initializer_list<const char*> tags)
{
    for (auto* tag : tags)
        if (tagMatches (element, tag))
            return true;

    return false;
}

// Follows a chain of first children by tag; nullptr when a link is missing.
const juce::XmlElement* followFirstChildren (const juce::XmlElement& start, std::initializer_list<const char*> path)
{
    auto* element = &start;

    for (auto* tag : path)
    {
        element = findChildIgnoringCase (*element, tag);

        if (element == nullptr)
            return nullptr;
    }

    return element;
}

void readPoints (const juce::XmlElement* container, PointList& points)
{
    if (container == nullptr)
        return;

    for (auto* v : childrenIgnoringCase (*container, "v"))
        readXmlPoint (*v, points);
}

void readParams (const juce::XmlElement& sliceElement, SliceInfo& slice)
{
    for (auto* params : childrenIgnoringCase (sliceElement, "Params"))
    {
        const auto& group = params->getStringAttribute ("name");

        if (group != "Common" && group != "Output")
            continue;

        for (auto* param : childrenIgnoringCase (*params, "Param"))
        {
            const auto& name = param->getStringAttribute ("name");

            if (group == "Common" && name == "Name")
                slice.name = param->getStringAttribute ("value", "Slice");
            else if (group == "Common" && name == "Enabled")
                slice.enabled = readHostInt (param->getStringAttribute ("value", "1")) != 0;
            else if (group == "Output" && name == "Flip")
                slice.flip = readHostInt (param->getStringAttribute ("value"));
        }
    }
}

SliceInfo readSlice (const juce::XmlElement& sliceElement)
{
    SliceInfo slice;
    slice.uniqueId = readHostInt64 (sliceElement.getStringAttribute ("uniqueId"));
    readParams (sliceElement, slice);

    if (auto* inputRect = findChildIgnoringCase (sliceElement, "InputRect"))
    {
        slice.inputOrientation = readHostNumber (inputRect->getStringAttribute ("orientation"));
        readPoints (inputRect, slice.inputRect);
    }

    if (auto* outputRect = findChildIgnoringCase (sliceElement, "OutputRect"))
    {
        slice.outputOrientation = readHostNumber (outputRect->getStringAttribute ("orientation"));
        readPoints (outputRect, slice.outputRect);
    }

    readPoints (followFirstChildren (sliceElement, { "SliceMask", "ShapeObject", "Shape", "Contour", "points" }), slice.mask);
    readPoints (followFirstChildren (sliceElement, { "InputContour", "points" }), slice.mask);
    readPoints (followFirstChildren (sliceElement, { "OutputContour", "points" }), slice.outputContour);
    return slice;
}

ScreenInfo readScreen (const juce::XmlElement& screenElement)
{
    ScreenInfo screen;
    screen.name = screenElement.getStringAttribute ("name");
    screen.uniqueId = readHostInt64 (screenElement.getStringAttribute ("uniqueId"));

    // Only the screen's first "Params" holds its own settings.
    if (auto* params = findChildIgnoringCase (screenElement, "Params"))
        for (auto* param : childrenIgnoringCase (*params, "Param"))
            if (param->getStringAttribute ("name") == "Hidden")
                screen.enabled = readHostInt (param->getStringAttribute ("value")) == 0;

    if (auto* layers = findChildIgnoringCase (screenElement, "layers"))
        for (auto* layer : layers->getChildIterator())
            if (tagMatchesAny (*layer, { "Slice", "Polygon", "DmxSlice" }))
                screen.slices.add (readSlice (*layer));

    return screen;
}

void readTreePoints (const juce::ValueTree& container, PointList& points)
{
    for (const auto& point : container)
        points.add ({ floatFromVar (point[ids::x]), floatFromVar (point[ids::y]) });
}

// "width,height": the text before the first comma and the text after it.
juce::Point<int> readOutputRes (const juce::String& text)
{
    const auto comma = text.indexOfChar (',');

    if (comma < 0)
        return { readHostInt (text), 0 };

    return { readHostInt (text.substring (0, comma)), readHostInt (text.substring (comma + 1)) };
}
} // namespace

juce::XmlElement* findScreenSetupElement (const juce::XmlElement& root)
{
    if (tagMatches (root, "ScreenSetup"))
        return const_cast<juce::XmlElement*> (&root);

    return findChildIgnoringCase (root, "ScreenSetup");
}

juce::Array<ScreenInfo> parseScreens (const juce::XmlElement* screenSetup)
{
    juce::Array<ScreenInfo> screens;

    if (screenSetup == nullptr)
        return screens;

    if (auto* screensElement = findChildIgnoringCase (*screenSetup, "screens"))
        for (auto* child : screensElement->getChildIterator())
            if (tagMatchesAny (*child, { "Screen", "DmxScreen" }))
                screens.add (readScreen (*child));

    return screens;
}

void readXmlPoint (const juce::XmlElement& v, juce::Array<juce::Point<float>>& points)
{
    // A missing attribute reads as the empty text, which is 0 like "0.0",
    // without making a default text for every point.
    points.add ({ readHostNumber (v.getStringAttribute ("x")),
                  readHostNumber (v.getStringAttribute ("y")) });
}

ScreenInfo screenInfoFromTree (const juce::ValueTree& screen)
{
    ScreenInfo info;
    info.uniqueId = int64FromVar (screen[ids::uniqueId]);
    info.name = screen[ids::name].toString();
    info.enabled = boolFromVar (screen[ids::enabled]);
    info.outputRes = readOutputRes (screen[ids::outputRes].toString());

    for (const auto& sliceTree : screen)
    {
        SliceInfo slice;
        slice.name = sliceTree[ids::name].toString();
        slice.uniqueId = int64FromVar (sliceTree[ids::uniqueId]);
        slice.enabled = boolFromVar (sliceTree[ids::enabled]);

        if (const auto inputRect = sliceTree.getChildWithName (ids::inputRect); inputRect.isValid())
        {
            slice.inputOrientation = floatFromVar (inputRect[ids::orientation]);
            readTreePoints (inputRect, slice.inputRect);
        }

        if (const auto mask = sliceTree.getChildWithName (ids::mask); mask.isValid())
            readTreePoints (mask, slice.mask);

        if (const auto outputPoints = sliceTree.getChildWithName (ids::outputPoints); outputPoints.isValid())
        {
            slice.outputOrientation = floatFromVar (outputPoints[ids::orientation]);
            readTreePoints (outputPoints, slice.outputContour);
        }

        info.slices.add (slice);
    }

    return info;
}
} // namespace corvadine
