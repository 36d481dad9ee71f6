// The document's readers on value trees made from arbitrary XML, the way a
// document file comes back: every property of every element read through
// each conversion (numbers, bools, "bounds", "uId", paths), the "excluded"
// list of every element, every element read as a saved screen and as an
// item's "position" subtree.
#include "FuzzChecks.h"

#include "host/HostNumbers.h"
#include "host/HostXmlFile.h"
#include "host/ScreenSetupFormat.h"
#include "model/DocumentFormat.h"
#include "model/Finite.h"
#include "stage/TransformableComponent.h"

#include <cstdlib>

using namespace corvadine;

namespace
{
void readEveryProperty (const juce::ValueTree& tree)
{
    for (int i = 0; i < tree.getNumProperties(); ++i)
    {
        const auto name = tree.getPropertyName (i);

        (void) readInt (tree, name);
        (void) readInt64 (tree, name);
        (void) readBool (tree, name);
        (void) readString (tree, name);
        (void) readFile (tree, name);
        (void) readUuid (tree, name);
        fuzz::checkFinite (readDouble (tree, name), "readDouble");

        const auto bounds = readBounds (tree, name);
        fuzz::check (bounds.getWidth() >= 0 && bounds.getHeight() >= 0, "readBounds gives no negative size");

        // Without an exponent (where JUCE's reader overflows) the document's
        // number reader gives exactly JUCE's value, sign of zero included.
        const auto text = tree[name].toString();

        if (! text.containsAnyOf ("eE"))
        {
            const auto ours = readHostDouble (text);
            const auto juces = text.getDoubleValue();
            fuzz::check ((std::isnan (ours) && std::isnan (juces))
                             || (ours == juces && std::signbit (ours) == std::signbit (juces)),
                         "readHostDouble reads a plain number as JUCE does");
        }
    }
}

// A placement restored the way the loader restores one: onto an item that
// already has its outline.
void restorePosition (const juce::ValueTree& position)
{
    using P = juce::Point<float>;
    const juce::Array<P> rectangle { P { 0.0f, 0.0f }, P { 200.0f, 0.0f }, P { 200.0f, 100.0f }, P { 0.0f, 100.0f } };
    TransformableComponent item;
    item.setOutline (rectangle, 0.0f);
    item.positionFromValueTree (position);

    fuzz::check (isFinite (item.committedTransform), "restored placement");
    fuzz::check (isFinite (item.getTransform()), "restored component transform");
    fuzz::checkFinite (item.rotation, "restored rotation");
    fuzz::checkFinite (item.pendingRotation, "restored pending rotation");

    fuzz::check (isFinite (item.getTransformedOutline().getBounds()), "restored outline");
}

// The tree with every character XML forbids replaced by U+FFFD in its
// types, property names and texts, as the document's writer writes it; null
// when two names of one node become one name.
juce::ValueTree withAllowedCharacters (const juce::ValueTree& tree)
{
    juce::ValueTree result (withAllowedXmlCharacters (tree.getType().toString()));

    for (int i = 0; i < tree.getNumProperties(); ++i)
    {
        const auto name = tree.getPropertyName (i);
        const auto& value = tree.getProperty (name);
        result.setProperty (withAllowedXmlCharacters (name.toString()),
                            value.isString() ? juce::var (withAllowedXmlCharacters (value.toString())) : value,
                            nullptr);
    }

    if (result.getNumProperties() != tree.getNumProperties())
        return {};

    for (const auto& child : tree)
    {
        auto allowed = withAllowedCharacters (child);

        if (! allowed.isValid())
            return {};

        result.appendChild (allowed, nullptr);
    }

    return result;
}

// No character reference in the text names a character XML forbids.
bool referencesOnlyAllowedCharacters (const std::string& text)
{
    for (auto at = text.find ("&#"); at != std::string::npos; at = text.find ("&#", at + 2))
    {
        const auto number = std::strtoll (text.c_str() + at + 2, nullptr, 10);

        if (number > 0x10ffff || ! isAllowedXmlCharacter (static_cast<juce::juce_wchar> (number)))
            return false;
    }

    return true;
}

void readTree (const juce::ValueTree& tree)
{
    readEveryProperty (tree);
    (void) readExcludedIds (tree);
    fuzz::checkFinite (screenInfoFromTree (tree));
    restorePosition (tree);

    for (const auto& child : tree)
        readTree (child);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto xml = parseHostXml (fuzz::textOf (data, size));

    if (xml == nullptr)
        return 0;

    (void) hasDocumentRoot (*xml);
    (void) documentVersion (*xml);

    const auto tree = juce::ValueTree::fromXml (*xml);
    readTree (tree);

    // The document's own writer gives JUCE's text of the same tree, byte for
    // byte, whatever its names and texts hold, except that characters XML
    // forbids are written as U+FFFD.
    const auto text = documentToText (tree);
    fuzz::check (referencesOnlyAllowedCharacters (text), "the document's text references only allowed characters");

    if (const auto allowed = withAllowedCharacters (tree); allowed.isValid())
        fuzz::check (text == allowed.createXml()->toString (documentTextFormat()).toStdString(),
                     "the document's text is JUCE's text of the tree");
    return 0;
}
