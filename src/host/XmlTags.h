#pragma once

#include <juce_core/juce_core.h>

namespace corvadine
{
// Tag look-ups that ignore letter case. JUCE's own getChildByName and
// hasTagName also ignore case but assert in debug builds when the case
// differs, and the host's files are not consistent about case.
bool tagMatches (const juce::XmlElement& element, juce::StringRef tag);

// First direct child whose tag matches, or nullptr.
juce::XmlElement* findChildIgnoringCase (const juce::XmlElement& parent, juce::StringRef tag);

// All direct children whose tag matches, in document order.
juce::Array<juce::XmlElement*> childrenIgnoringCase (const juce::XmlElement& parent, juce::StringRef tag);
} // namespace corvadine
