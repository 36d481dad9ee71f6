#include "widgets/DialogComponent.h"

#include "platform/Typefaces.h"

namespace corvadine
{
DialogComponent::DialogComponent (const juce::String& title, const juce::String& message,
                                  const juce::StringArray& buttonTexts)
{
    // Installed on the dialog, the look reaches every child.
    setLookAndFeel (&flatLook);

    titleLabel.setText (title, juce::dontSendNotification);
    titleLabel.setFont (makeFont ("Verdana", 36.0f, juce::Font::bold));
    addAndMakeVisible (titleLabel);

    messageLabel.setText (message, juce::dontSendNotification);
    messageLabel.setFont (makeFont ("Verdana", 24.0f));
    messageLabel.setMinimumHorizontalScale (1.0f);
    messageLabel.setJustificationType (juce::Justification::topLeft);
    viewport.setViewedComponent (&messageLabel, false);
    viewport.setScrollBarsShown (true, false);
    addAndMakeVisible (viewport);

    for (const auto& text : buttonTexts)
    {
        auto* button = buttons.add (std::make_unique<juce::TextButton> (text));
        button->setButtonText (text);

        // The first button stands rightmost; the flat look draws a
        // separator on the right of each one to its left, except one that
        // repeats the first one's text.
        if (text != buttonTexts[0])
            button->setConnectedEdges (juce::Button::ConnectedOnRight);

        button->addListener (this);
        addAndMakeVisible (button);
    }

    setSize (800, 450);
    addToDesktop (juce::ComponentPeer::windowAppearsOnTaskbar | juce::ComponentPeer::windowIsTemporary
                  | juce::ComponentPeer::windowHasDropShadow);

    if (auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        setCentrePosition (display->userArea.getCentre());
}

DialogComponent::~DialogComponent()
{
    // No child may refer to flatLook once it is gone.
    setLookAndFeel (nullptr);
    buttons.clear();
}

int DialogComponent::contentX() const
{
    return juce::jmin (getWidth(), 25);
}

int DialogComponent::contentWidth() const
{
    return juce::jmax (0, getWidth() - contentX() - 25);
}

int DialogComponent::messageHeightFor (int width) const
{
    // Laid out at the width the label really draws its text in (inside its
    // border), so the last line is never cut off.
    const auto border = messageLabel.getBorderSize();
    const auto textWidth = (float) juce::jmax (1, width - border.getLeftAndRight());

    juce::AttributedString text;
    text.append (messageLabel.getText(), messageLabel.getFont());
    text.setJustification (messageLabel.getJustificationType());
    text.setWordWrap (juce::AttributedString::byWord);

    juce::TextLayout layout;
    layout.createLayout (text, textWidth, 10000000.0f);
    return (int) layout.getHeight() + border.getTopAndBottom() + 10;
}

void DialogComponent::resized()
{
    const auto h = getHeight();
    const auto x0 = contentX();
    const auto iw = contentWidth();

    const auto th = juce::jmin (h, 100);
    titleLabel.setBounds (x0, 0, iw, th);

    const auto vh = juce::jmin (h - th, 192);
    viewport.setBounds (x0, th, iw, vh);

    // A message taller than the viewport scrolls; it then leaves room for
    // the vertical scroll bar instead of growing a horizontal one.
    auto mw = viewport.getWidth();
    auto lh = messageHeightFor (mw);

    if (lh > vh)
    {
        mw = juce::jmax (0, mw - viewport.getScrollBarThickness());
        lh = messageHeightFor (mw);
    }

    messageLabel.setBounds (0, 0, mw, lh);

    const auto bh = juce::jmin (h - th - vh, 100);
    const auto buttonHeight = juce::jmax (bh - 40, 0);
    auto remaining = iw;

    for (auto* button : buttons)
    {
        const auto width = juce::jmin (remaining, flatLook.getTextButtonWidthToFitText (*button, buttonHeight));
        button->setBounds (x0 + remaining - width, h - bh + 20, width, buttonHeight);
        remaining -= width;
    }
}

void DialogComponent::paint (juce::Graphics& g)
{
    g.fillAll (backgroundColour.withBrightness (0.5f).withSaturation (0.95f));

    g.setColour (textColour.withSaturation (0.05f));
    g.drawHorizontalLine (getHeight() - 100, 0.0f, (float) getWidth());
}

void DialogComponent::buttonClicked (juce::Button* button)
{
    for (int i = 0; i < buttons.size(); ++i)
        if (buttons[i] == button)
            return exitModalState (i);

    exitModalState (-1);
}
} // namespace corvadine
