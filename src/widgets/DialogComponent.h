#pragma once

#include "widgets/FlatButtonLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace corvadine
{
// A borderless 800 x 450 desktop window with a large title, a scrollable
// message and a right-aligned row of flat text buttons. Run modally, it ends
// with the index of the pressed button in `buttons` (-1 for any other
// button it listens to). A message taller than the viewport scrolls
// vertically. DialogManager runs it and gives it its colours.
class DialogComponent : public juce::Component,
                        public juce::Button::Listener
{
public:
    DialogComponent (const juce::String& title, const juce::String& message, const juce::StringArray& buttonTexts);
    ~DialogComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void buttonClicked (juce::Button* button) override;

    // Left edge and width of the title, message and button area for the
    // current size.
    int contentX() const;
    int contentWidth() const;

    // The message label draws the lines messageLines() gives, so that the
    // height it is laid out with is the height its text takes.
    class MessageLabel : public juce::Label
    {
    public:
        void paint (juce::Graphics& g) override;
    };

    // The message broken into the lines it is drawn in, at a text width:
    // at the spaces, and a word longer than a line (a file's path) after
    // its last "/" that fits, or else after the last character that fits.
    static juce::StringArray wrapMessage (const juce::String& message, const juce::Font& font, float width);
    // The lines of the message as the label draws them now.
    juce::StringArray messageLines() const;

    MessageLabel messageLabel;
    juce::Viewport viewport; // shows messageLabel without owning it
    juce::Label titleLabel;
    // One per button text, in the order of the texts; the first stands
    // rightmost.
    juce::OwnedArray<juce::TextButton> buttons;
    FlatButtonLookAndFeel flatLook;

    juce::Colour backgroundColour { 0xff19abff };
    juce::Colour accentColour { 0xffff9200 };
    juce::Colour textColour { 0xfff5f5f5 };

private:
    int messageHeightFor (int width) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DialogComponent)
};
} // namespace corvadine
