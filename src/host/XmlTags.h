#pragma once

#include <juce_core/juce_core.h>

#include <iterator>

namespace corvadine
{
// Tag look-ups that ignore letter case. JUCE's own getChildByName and
// hasTagName also ignore case but assert in debug builds when the case
// differs, and the host's files are not consistent about case.
bool tagMatches (const juce::XmlElement& element, juce::StringRef tag);

// First direct child whose tag matches, or nullptr.
juce::XmlElement* findChildIgnoringCase (const juce::XmlElement& parent, juce::StringRef tag);

// The direct children whose tag matches, in document order, walked in place:
// a host file has tens of thousands of elements, and none is copied into a list.
// The tag is not copied either: pass text that outlives the walk (a literal).
class ChildrenWithTag
{
public:
    class Iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = juce::XmlElement*;
        using difference_type = std::ptrdiff_t;
        using pointer = value_type*;
        using reference = value_type;

        Iterator (juce::XmlElement* first, juce::StringRef tagToMatch)
            : element (first), tag (tagToMatch)
        {
            skipOthers();
        }

        juce::XmlElement* operator*() const noexcept { return element; }
        bool operator== (const Iterator& other) const noexcept { return element == other.element; }
        bool operator!= (const Iterator& other) const noexcept { return element != other.element; }

        Iterator& operator++()
        {
            element = element->getNextElement();
            skipOthers();
            return *this;
        }

    private:
        void skipOthers()
        {
            while (element != nullptr && ! tagMatches (*element, tag))
                element = element->getNextElement();
        }

        juce::XmlElement* element;
        juce::StringRef tag;
    };

    ChildrenWithTag (const juce::XmlElement& parentElement, juce::StringRef tagToMatch)
        : parent (parentElement), tag (tagToMatch)
    {
    }

    Iterator begin() const { return { parent.getFirstChildElement(), tag }; }
    Iterator end() const { return { nullptr, tag }; }
    int size() const { return (int) std::distance (begin(), end()); }

private:
    const juce::XmlElement& parent;
    juce::StringRef tag;
};

// All direct children whose tag matches, in document order.
inline ChildrenWithTag childrenIgnoringCase (const juce::XmlElement& parent, juce::StringRef tag)
{
    return { parent, tag };
}
} // namespace corvadine
