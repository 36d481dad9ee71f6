#pragma once

#include "inspector/Drawer.h"

namespace corvadine
{
// The look's resolution as two editable numbers in a header strip: the
// width right-aligned left of the middle, the height left-aligned right of
// it. Every edit is reported as a new resolution, each side from 1 to the
// largest a look takes (Look::maxResolutionSide): a larger number shows and
// is sent as that largest side, a side of 0 keeps the side it had.
class ResolutionDrawer : public Drawer,
                         public juce::Label::Listener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;

        virtual void resolutionChanged (ResolutionDrawer* drawer, juce::Point<int> size) = 0;
    };

    ResolutionDrawer();
    ~ResolutionDrawer() override;

    // Drawer::addListener stays reachable beside this one.
    using Drawer::addListener;
    void addListener (Listener* listener);

    // Shows a resolution without reporting it.
    void setResolution (juce::Point<int> size);

    // A label's text as a side of a resolution: leading blanks skipped, digits
    // read up to the first other character, clamped to what an int holds; no
    // digits give 0.
    static int readSide (const juce::String& text);

    void resized() override;

    void labelTextChanged (juce::Label* label) override;
    void editorShown (juce::Label* label, juce::TextEditor& editor) override;

    juce::Array<Listener*> listeners;
    juce::Label widthLabel;
    juce::Label heightLabel;

private:
    // The last size reported or shown: a side typed as 0 keeps this value.
    juce::Point<int> lastSize;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ResolutionDrawer)
};
} // namespace corvadine
