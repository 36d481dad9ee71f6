#include "host/XmlTags.h"

namespace corvadine
{
bool tagMatches (const juce::XmlElement& element, juce::StringRef tag)
{
    return element.getTagName().equalsIgnoreCase (tag);
}

juce::XmlElement* findChildIgnoringCase (const juce::XmlElement& parent, juce::StringRef tag)
{
    for (auto* child : parent.getChildIterator())
        if (tagMatches (*child, tag))
            return child;

    return nullptr;
}

juce::Array<juce::XmlElement*> childrenIgnoringCase (const juce::XmlElement& parent, juce::StringRef tag)
{
    juce::Array<juce::XmlElement*> result;

    for (auto* child : parent.getChildIterator())
        if (tagMatches (*child, tag))
            result.add (child);

    return result;
}
} // namespace corvadine
