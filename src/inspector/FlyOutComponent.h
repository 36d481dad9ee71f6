#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// The transparent panel at the right edge that holds the look inspector:
// it slides open to its content's size when the pointer enters it and folds
// to a 100 x 60 tab once the pointer has left the content, keeping its right
// edge where it is.
class FlyOutComponent : public juce::Component
{
public:
    FlyOutComponent();
    ~FlyOutComponent() override;

    // The content is shown at (0, 0) inside the panel; it is not owned.
    void setContent (juce::Component* newContent);

    void mouseEnter (const juce::MouseEvent& event) override;
    void mouseExit (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;
    void resized() override;
    void childBoundsChanged (juce::Component* child) override;

    // Only the content and the tab take the pointer: the rest of the panel
    // (below a short inspector, or beside the tab while folded) lets clicks
    // through to the stage beneath.
    bool hitTest (int x, int y) override;

    // Where the animations go: the content's size (at least the tab's), and
    // the tab; both right-aligned to the panel's current right edge.
    juce::Rectangle<int> openBounds() const;
    juce::Rectangle<int> foldedBounds() const;

    // Whether the panel counts as open: taller than the tab, or opened by the
    // pointer (a content no taller than the tab still follows its size).
    bool isOpen() const;

    static constexpr int openMilliseconds = 50;
    static constexpr int closeMilliseconds = 200;
    static constexpr int tabWidth = 100;
    static constexpr int tabHeight = 60;

    // Not owned; cleared by itself when the content is deleted first.
    juce::Component::SafePointer<juce::Component> content;

private:
    void animateTo (juce::Rectangle<int> target, int milliseconds);
    int parentWidth() const;

    bool openedByPointer = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FlyOutComponent)
};
} // namespace corvadine
