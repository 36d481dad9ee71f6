#include "host/ScreenSetupFile.h"

#include "host/CompositionSize.h"
#include "host/HostNumbers.h"
#include "host/HostText.h"
#include "host/HostXmlFile.h"
#include "host/HostXmlTree.h"
#include "host/ScreenSetupFormat.h"

#include <cstring>

namespace corvadine
{
namespace
{
using Index = HostXmlTree::Index;
using PointList = juce::Array<juce::Point<float>>;

// Every tag the reader below looks for, at any level. An element of any
// other tag is never found, nor is anything inside it (the host's parameter
// ranges, warpers, effects), so the tree does not hold them.
bool isTagTheSetupReaderLooksFor (std::string_view tag)
{
    static const char* const tags[] = { "v", "Param", "Params", "InputRect", "OutputRect", "points", "Slice", "Polygon",
                                         "DmxSlice", "InputContour", "OutputContour", "SliceMask", "ShapeObject", "Shape",
                                         "Contour", "layers", "Screen", "DmxScreen", "screens", "ScreenSetup",
                                         "CurrentCompositionTextureSize" };

    for (auto* candidate : tags)
        if (HostXmlTree::tagsMatch (tag, candidate))
            return true;

    return false;
}

// The screen setup's vocabulary read from the light tree, rule for rule as
// parseScreens and relinkCompositionSize read it from a juce::XmlElement.
class SetupReader
{
public:
    explicit SetupReader (const HostXmlTree& treeToRead) : tree (treeToRead) {}

    Index findScreenSetupElement (Index root) const
    {
        if (tree.tagMatches (root, "ScreenSetup"))
            return root;

        return tree.findChild (root, "ScreenSetup");
    }

    juce::Point<int> relinkCompositionSize (Index setup) const
    {
        const auto size = tree.findChild (setup, "CurrentCompositionTextureSize");

        if (size == HostXmlTree::none)
            return { 1920, 1080 };

        return { positiveOr (size, "width", 1920), positiveOr (size, "height", 1080) };
    }

    juce::Array<ScreenInfo> parseScreens (Index setup) const
    {
        juce::Array<ScreenInfo> screens;
        const auto screensElement = tree.findChild (setup, "screens");

        if (screensElement == HostXmlTree::none)
            return screens;

        for (auto child = tree.firstChild (screensElement); child != HostXmlTree::none; child = tree.nextSibling (child))
            if (tree.tagMatches (child, "Screen") || tree.tagMatches (child, "DmxScreen"))
                screens.add (readScreen (child));

        return screens;
    }

private:
    // Calls f with the value as a terminated text, which the number readers take.
    template <typename Function>
    static auto withTerminatedText (std::string_view value, Function&& f)
    {
        char buffer[128];

        if (value.size() < sizeof (buffer))
        {
            if (! value.empty())
                std::memcpy (buffer, value.data(), value.size());

            buffer[value.size()] = 0;
            return f (juce::StringRef (buffer));
        }

        const std::string copy (value);
        return f (juce::StringRef (copy.c_str()));
    }

    static int intOf (std::string_view value)
    {
        return withTerminatedText (value, [] (juce::StringRef text) { return readHostInt (text); });
    }

    static juce::int64 int64Of (std::string_view value)
    {
        return withTerminatedText (value, [] (juce::StringRef text) { return readHostInt64 (text); });
    }

    static float numberOf (std::string_view value)
    {
        return withTerminatedText (value, [] (juce::StringRef text) { return readHostNumber (text); });
    }

    static juce::String stringOf (std::string_view value)
    {
        return juce::String::fromUTF8 (value.data(), (int) value.size());
    }

    // The attribute's value, or the given text when the element has none.
    std::string_view attributeOr (Index element, std::string_view name, std::string_view fallback = {}) const
    {
        std::string_view value;
        return tree.attribute (element, name, value) ? value : fallback;
    }

    int positiveOr (Index element, std::string_view name, int fallback) const
    {
        std::string_view value;

        if (! tree.attribute (element, name, value))
            return fallback;

        const auto number = intOf (value);
        return number > 0 ? number : fallback;
    }

    Index followFirstChildren (Index start, std::initializer_list<const char*> path) const
    {
        auto element = start;

        for (auto* tag : path)
        {
            element = tree.findChild (element, tag);

            if (element == HostXmlTree::none)
                return HostXmlTree::none;
        }

        return element;
    }

    void readPoints (Index container, PointList& points) const
    {
        if (container == HostXmlTree::none)
            return;

        for (auto v = tree.firstChild (container); v != HostXmlTree::none; v = tree.nextSibling (v))
            if (tree.tagMatches (v, "v"))
                points.add ({ numberOf (attributeOr (v, "x")), numberOf (attributeOr (v, "y")) });
    }

    void readParams (Index sliceElement, SliceInfo& slice) const
    {
        for (auto params = tree.firstChild (sliceElement); params != HostXmlTree::none; params = tree.nextSibling (params))
        {
            if (! tree.tagMatches (params, "Params"))
                continue;

            const auto group = attributeOr (params, "name");
            const auto common = group == "Common";

            if (! common && group != "Output")
                continue;

            for (auto param = tree.firstChild (params); param != HostXmlTree::none; param = tree.nextSibling (param))
            {
                if (! tree.tagMatches (param, "Param"))
                    continue;

                const auto name = attributeOr (param, "name");

                if (common && name == "Name")
                    slice.name = stringOf (attributeOr (param, "value", "Slice"));
                else if (common && name == "Enabled")
                    slice.enabled = intOf (attributeOr (param, "value", "1")) != 0;
                else if (! common && name == "Flip")
                    slice.flip = intOf (attributeOr (param, "value"));
            }
        }
    }

    SliceInfo readSlice (Index sliceElement) const
    {
        SliceInfo slice;
        slice.uniqueId = int64Of (attributeOr (sliceElement, "uniqueId"));
        readParams (sliceElement, slice);

        if (const auto inputRect = tree.findChild (sliceElement, "InputRect"); inputRect != HostXmlTree::none)
        {
            slice.inputOrientation = numberOf (attributeOr (inputRect, "orientation"));
            readPoints (inputRect, slice.inputRect);
        }

        if (const auto outputRect = tree.findChild (sliceElement, "OutputRect"); outputRect != HostXmlTree::none)
        {
            slice.outputOrientation = numberOf (attributeOr (outputRect, "orientation"));
            readPoints (outputRect, slice.outputRect);
        }

        readPoints (followFirstChildren (sliceElement, { "SliceMask", "ShapeObject", "Shape", "Contour", "points" }), slice.mask);
        readPoints (followFirstChildren (sliceElement, { "InputContour", "points" }), slice.mask);
        readPoints (followFirstChildren (sliceElement, { "OutputContour", "points" }), slice.outputContour);
        return slice;
    }

    ScreenInfo readScreen (Index screenElement) const
    {
        ScreenInfo screen;
        screen.name = stringOf (attributeOr (screenElement, "name"));
        screen.uniqueId = int64Of (attributeOr (screenElement, "uniqueId"));

        // Only the screen's first "Params" holds its own settings.
        if (const auto params = tree.findChild (screenElement, "Params"); params != HostXmlTree::none)
            for (auto param = tree.firstChild (params); param != HostXmlTree::none; param = tree.nextSibling (param))
                if (tree.tagMatches (param, "Param") && attributeOr (param, "name") == "Hidden")
                    screen.enabled = intOf (attributeOr (param, "value")) == 0;

        if (const auto layers = tree.findChild (screenElement, "layers"); layers != HostXmlTree::none)
            for (auto layer = tree.firstChild (layers); layer != HostXmlTree::none; layer = tree.nextSibling (layer))
                if (tree.tagMatches (layer, "Slice") || tree.tagMatches (layer, "Polygon") || tree.tagMatches (layer, "DmxSlice"))
                    screen.slices.add (readSlice (layer));

        return screen;
    }

    const HostXmlTree& tree;
};
} // namespace

namespace
{
ScreenSetupFileRead readScreenSetupTextInto (const std::string& text, HostXmlTree& tree)
{
    ScreenSetupFileRead read;
    const auto scan = scanHostXml (text.c_str());

    // Refused as the host parser refuses it, and nothing from a file that
    // the host is still writing.
    if (! scan.safe || ! scan.whole)
        return read;

    if (! tree.parse (text, isTagTheSetupReaderLooksFor))
        return read;

    read.parsed = true;
    const SetupReader reader (tree);
    const auto setup = reader.findScreenSetupElement (tree.root());

    if (setup == HostXmlTree::none)
        return read;

    read.hasSetupElement = true;
    read.compositionSize = reader.relinkCompositionSize (setup);
    read.screens = reader.parseScreens (setup);
    return read;
}
} // namespace

ScreenSetupFileRead readScreenSetupText (const std::string& text)
{
    HostXmlTree tree;
    return readScreenSetupTextInto (text, tree);
}

ScreenSetupFileRead readScreenSetupBytes (const void* data, size_t size)
{
    auto text = hostTextFromBytes (data, size);
    finishHostXmlText (text);
    return readScreenSetupText (text);
}

ScreenSetupFileRead readWholeScreenSetupFile (const juce::File& file)
{
    ScreenSetupReadBuffers buffers;
    return readWholeScreenSetupFile (file, buffers);
}

ScreenSetupFileRead readWholeScreenSetupFile (const juce::File& file, ScreenSetupReadBuffers& buffers)
{
    if (! file.existsAsFile())
        return {};

    const auto size = file.getSize();

    if (size > largestScreenSetupFile)
        return {};

    juce::FileInputStream stream (file);

    if (! stream.openedOk())
        return {};

    // Read straight into the text the parser takes, with room for the line
    // end it adds: a large file is copied once.
    auto& text = buffers.text;
    text.clear();
    text.reserve ((size_t) size + 2);
    text.resize ((size_t) size);

    if (size > 0 && stream.read (text.data(), (int) size) != (int) size)
        return {};

    // Grown meanwhile: the host is still writing it.
    char more = 0;

    if (stream.read (&more, 1) > 0 || file.getSize() != size)
        return {};

    // Whether it is all there is told from the decoded text.
    finishHostXmlText (text);
    return readScreenSetupTextInto (text, buffers.tree);
}

ScreenSetupFileRead readScreenSetupFile (const juce::File& file)
{
    std::string text;

    if (! readHostXmlText (file, text))
        return {};

    return readScreenSetupText (text);
}
ScreenSetupFileRead readScreenSetupElement (const juce::XmlElement* root)
{
    ScreenSetupFileRead read;

    if (root == nullptr)
        return read;

    read.parsed = true;
    auto* setup = findScreenSetupElement (*root);

    if (setup == nullptr)
        return read;

    read.hasSetupElement = true;
    read.compositionSize = relinkCompositionSize (setup);
    read.screens = parseScreens (setup);
    return read;
}

namespace
{
bool sameBits (float a, float b)
{
    return std::memcmp (&a, &b, sizeof (float)) == 0;
}

bool samePoints (const PointList& a, const PointList& b)
{
    if (a.size() != b.size())
        return false;

    for (int i = 0; i < a.size(); ++i)
        if (! sameBits (a[i].x, b[i].x) || ! sameBits (a[i].y, b[i].y))
            return false;

    return true;
}

juce::String sliceDifference (const SliceInfo& a, const SliceInfo& b)
{
    if (a.name != b.name) return "name \"" + a.name + "\" against \"" + b.name + "\"";
    if (a.uniqueId != b.uniqueId) return "uniqueId " + juce::String (a.uniqueId) + " against " + juce::String (b.uniqueId);
    if (a.enabled != b.enabled) return "enabled";
    if (a.flip != b.flip) return "flip";
    if (! samePoints (a.inputRect, b.inputRect)) return "inputRect";
    if (! sameBits (a.inputOrientation, b.inputOrientation)) return "inputOrientation";
    if (! samePoints (a.mask, b.mask)) return "mask";
    if (! samePoints (a.outputRect, b.outputRect)) return "outputRect";
    if (! sameBits (a.outputOrientation, b.outputOrientation)) return "outputOrientation";
    if (! samePoints (a.outputContour, b.outputContour)) return "outputContour";
    return {};
}

juce::String screenDifference (const ScreenInfo& a, const ScreenInfo& b)
{
    if (a.uniqueId != b.uniqueId) return "uniqueId " + juce::String (a.uniqueId) + " against " + juce::String (b.uniqueId);
    if (a.name != b.name) return "name \"" + a.name + "\" against \"" + b.name + "\"";
    if (a.enabled != b.enabled) return "enabled";
    if (a.outputRes != b.outputRes) return "outputRes";
    if (a.slices.size() != b.slices.size()) return "slice count " + juce::String (a.slices.size()) + " against " + juce::String (b.slices.size());

    for (int i = 0; i < a.slices.size(); ++i)
        if (const auto difference = sliceDifference (a.slices.getReference (i), b.slices.getReference (i)); difference.isNotEmpty())
            return "slice " + juce::String (i) + ": " + difference;

    return {};
}
} // namespace

bool sameScreenSetupRead (const ScreenSetupFileRead& a, const ScreenSetupFileRead& b, juce::String& difference)
{
    difference.clear();

    if (a.parsed != b.parsed)
        difference = "parsed " + juce::String (a.parsed ? "true" : "false") + " against " + (b.parsed ? "true" : "false");
    else if (a.hasSetupElement != b.hasSetupElement)
        difference = "hasSetupElement";
    else if (a.compositionSize != b.compositionSize)
        difference = "compositionSize " + a.compositionSize.toString() + " against " + b.compositionSize.toString();
    else if (a.screens.size() != b.screens.size())
        difference = "screen count " + juce::String (a.screens.size()) + " against " + juce::String (b.screens.size());
    else
        for (int i = 0; i < a.screens.size() && difference.isEmpty(); ++i)
            if (const auto d = screenDifference (a.screens.getReference (i), b.screens.getReference (i)); d.isNotEmpty())
                difference = "screen " + juce::String (i) + ": " + d;

    return difference.isEmpty();
}
} // namespace corvadine
