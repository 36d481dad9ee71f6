#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// The transparent panel at the right edge that holds the look inspector:
// it slides open to its content's size when the pointer enters it and folds
// to a 100 x 60 tab once the pointer has left the content, keeping its right
// edge where it is. Only the pointer leaving folds it: an exit event that
// comes while the pointer has not moved (the content changed under it: a
// drawer above folded, and the pointer is now below the inspector's end) or
// while it is still over the panel leaves the panel open until the pointer
// moves elsewhere.
class FlyOutComponent : public juce::Component
{
public:
    FlyOutComponent();
    ~FlyOutComponent() override;

    // The content is shown at (0, 0) inside the panel; it is not owned.
    void setContent (juce::Component* newContent);

    void mouseEnter (const juce::MouseEvent& event) override;
    void mouseExit (const juce::MouseEvent& event) override;
    // Where the pointer was at the panel's last event from inside it.
    void mouseMove (const juce::MouseEvent& event) override;
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;
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

    // How often the real pointer is looked at after an exit event that came
    // while the pointer was still over the panel.
    static constexpr int pointerWatchMilliseconds = 100;

private:
    void animateTo (juce::Rectangle<int> target, int milliseconds);
    void fold();
    int parentWidth() const;

    // Whether the panel takes the pointer at a point of its own.
    bool takesPointerAt (juce::Point<int> position);
    // The pointer as the system reports it now, on the screen.
    static juce::Point<int> pointerOnScreen();
    void notePointer (const juce::MouseEvent& event);

    // After an exit event that did not come from the pointer leaving (the
    // content changed under a still pointer, or the pointer is still over
    // the panel), folds the panel once the pointer has moved and is not over
    // it: the mouse handling takes the pointer for gone by then and sends no
    // further exit when it moves on.
    struct PointerWatch final : public juce::Timer
    {
        explicit PointerWatch (FlyOutComponent& owner) : panel (owner) {}
        void timerCallback() override;
        FlyOutComponent& panel;
        juce::Point<int> stillAt;
    };

    PointerWatch pointerWatch { *this };
    bool openedByPointer = false;
    // On the screen, at the last event from inside the panel.
    juce::Point<int> lastPointerInside { -1000000, -1000000 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FlyOutComponent)
};
} // namespace corvadine
