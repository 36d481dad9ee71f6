#include "inspector/ResolutionDrawer.h"

#include "model/Look.h"
#include "platform/Typefaces.h"

#include <limits>

namespace corvadine
{
namespace
{
void setUpNumberLabel (juce::Label& label, juce::Justification justification)
{
    label.setFont (makeFont ("Arial", 16.0f));
    label.setColour (juce::Label::textColourId, juce::Colour (Drawer::olive));
    label.setEditable (true, true, false);
    label.setJustificationType (justification);
}
} // namespace

ResolutionDrawer::ResolutionDrawer()
{
    setUpNumberLabel (widthLabel, juce::Justification::centredRight);
    addAndMakeVisible (widthLabel);
    widthLabel.addListener (this);

    // After the width is typed, the height editor opens at once: moving the
    // focus to the next sibling counts as a Tab move, which opens a label's
    // editor. The label reports the new text only after this runs, and the
    // listener of that report may move the focus elsewhere (the controller
    // gives it to the stage), which would close the height editor again; so
    // the move waits until the report has been handled.
    widthLabel.onEditorHide = [this]
    {
        juce::MessageManager::callAsync ([alive = juce::Component::SafePointer<ResolutionDrawer> (this)]
        {
            if (alive != nullptr && alive->isShowing())
                alive->widthLabel.moveKeyboardFocusToSibling (true);
        });
    };

    setUpNumberLabel (heightLabel, juce::Justification::centredLeft);
    addAndMakeVisible (heightLabel);
    heightLabel.addListener (this);

    setFocusContainerType (juce::Component::FocusContainerType::keyboardFocusContainer);
}

ResolutionDrawer::~ResolutionDrawer()
{
    widthLabel.onEditorHide = nullptr;
}

void ResolutionDrawer::addListener (Listener* listener)
{
    if (listener != nullptr)
        listeners.addIfNotAlreadyThere (listener);
}

void ResolutionDrawer::setResolution (juce::Point<int> size)
{
    lastSize = size;
    widthLabel.setText (juce::String (size.x), juce::dontSendNotification);
    heightLabel.setText (juce::String (size.y), juce::dontSendNotification);
}

int ResolutionDrawer::readSide (const juce::String& text)
{
    auto p = text.getCharPointer();

    while (p.isWhitespace())
        ++p;

    bool negative = false;

    if (*p == '-' || *p == '+')
    {
        negative = *p == '-';
        ++p;
    }

    // Read in 64 bits and clamp, so that a long row of digits gives the
    // largest int instead of wrapping around.
    constexpr juce::int64 limit = std::numeric_limits<int>::max();
    juce::int64 value = 0;

    while (p.isDigit())
    {
        value = juce::jmin (limit + 1, value * 10 + (juce::int64) (*p - '0'));
        ++p;
    }

    if (negative)
        return (int) juce::jmax ((juce::int64) std::numeric_limits<int>::min(), -value);

    return (int) juce::jmin (limit, value);
}

void ResolutionDrawer::resized()
{
    Drawer::resized();

    const int half = getWidth() / 2;
    widthLabel.setBoundsInset (juce::BorderSize<int> (5, 5, 5, half + 5));
    heightLabel.setBoundsInset (juce::BorderSize<int> (5, half + 5, 5, 5));
}

void ResolutionDrawer::labelTextChanged (juce::Label* label)
{
    // A cleared label sends nothing; it shows the side it had again.
    if (label->getText().isEmpty())
    {
        label->setText (juce::String (label == &widthLabel ? lastSize.x : lastSize.y), juce::dontSendNotification);
        return;
    }

    // A side beyond the largest a look takes is brought down to it, and the
    // label shows the side that is sent.
    auto size = Look::boundedResolution ({ readSide (widthLabel.getText()), readSide (heightLabel.getText()) });

    // A side of 0 (or less) is no resolution: that side keeps its old value.
    if (size.x <= 0)
        size.x = lastSize.x;

    if (size.y <= 0)
        size.y = lastSize.y;

    widthLabel.setText (juce::String (size.x), juce::dontSendNotification);
    heightLabel.setText (juce::String (size.y), juce::dontSendNotification);

    if (size.x <= 0 || size.y <= 0 || size == lastSize)
        return;

    lastSize = size;

    const juce::Component::SafePointer<ResolutionDrawer> alive (this);

    for (int i = listeners.size(); --i >= 0;)
    {
        if (i >= listeners.size())
            continue;

        listeners.getUnchecked (i)->resolutionChanged (this, size);

        if (alive == nullptr)
            return;
    }
}

void ResolutionDrawer::editorShown (juce::Label* label, juce::TextEditor& editor)
{
    editor.setJustification (label->getJustificationType());
    editor.setInputRestrictions (0, "0123456789");
}
} // namespace corvadine
