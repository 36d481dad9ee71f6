#include "widgets/DialogComponent.h"

#include "platform/Typefaces.h"

#include <utility>

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

namespace
{
// The longest start of the word that fits the width and ends with a "/" or
// "\\"; 0 when there is none.
int startUpToASeparator (const juce::String& word, const juce::Font& font, float width)
{
    for (int i = word.length() - 1; i > 0; --i)
        if ((word[i - 1] == '/' || word[i - 1] == '\\') && font.getStringWidthFloat (word.substring (0, i)) <= width)
            return i;

    return 0;
}

// The longest start of the word that fits the width: up to and with a "/"
// or "\\" when that leaves a useful start, else up to the last character that
// fits (at least one).
int fittingStart (const juce::String& word, const juce::Font& font, float width)
{
    int fits = 1;

    while (fits < word.length() && font.getStringWidthFloat (word.substring (0, fits + 1)) <= width)
        ++fits;

    if (const auto separated = startUpToASeparator (word.substring (0, fits), font, width); separated >= fits / 3)
        return separated;

    return fits;
}
} // namespace

juce::StringArray DialogComponent::wrapMessage (const juce::String& message, const juce::Font& font, float width)
{
    juce::StringArray lines;
    width = juce::jmax (1.0f, width);

    for (const auto& paragraph : juce::StringArray::fromLines (message))
    {
        juce::String line;

        for (auto word : juce::StringArray::fromTokens (paragraph, " ", ""))
        {
            if (word.isEmpty())
                continue;

            const auto joined = line.isEmpty() ? word : line + " " + word;

            if (font.getStringWidthFloat (joined) <= width)
            {
                line = joined;
                continue;
            }

            if (line.isNotEmpty())
            {
                // A word too long for any line (a path) starts beside the
                // words before it when a part of it up to a "/" fits there.
                if (font.getStringWidthFloat (word) > width)
                {
                    const auto start = startUpToASeparator (word, font, width - font.getStringWidthFloat (line + " "));

                    if (start > 0)
                    {
                        line << " " << word.substring (0, start);
                        word = word.substring (start);
                    }
                }

                lines.add (std::exchange (line, {}));
            }

            // A word wider than a line is broken where it reads best.
            while (font.getStringWidthFloat (word) > width)
            {
                const auto start = fittingStart (word, font, width);
                lines.add (word.substring (0, start));
                word = word.substring (start);
            }

            line = word;
        }

        lines.add (line);
    }

    return lines;
}

juce::StringArray DialogComponent::messageLines() const
{
    const auto border = messageLabel.getBorderSize();
    return wrapMessage (messageLabel.getText(), messageLabel.getFont(),
                        (float) (messageLabel.getWidth() - border.getLeftAndRight()));
}

void DialogComponent::MessageLabel::paint (juce::Graphics& g)
{
    // Drawn line by line as wrapMessage breaks it: the lines its height was
    // measured with.
    const auto font = getFont();
    const auto border = getBorderSize();
    const auto lineHeight = font.getHeight();
    g.setColour (findColour (juce::Label::textColourId));
    g.setFont (font);

    auto y = (float) border.getTop();

    for (const auto& line : wrapMessage (getText(), font, (float) (getWidth() - border.getLeftAndRight())))
    {
        g.drawText (line, juce::Rectangle<float> ((float) border.getLeft(), y, (float) getWidth(), lineHeight),
                    juce::Justification::topLeft, false);
        y += lineHeight;
    }
}

int DialogComponent::messageHeightFor (int width) const
{
    // Laid out at the width the label really draws its text in (inside its
    // border), with the lines it draws, so the last line is never cut off.
    const auto border = messageLabel.getBorderSize();
    const auto lines = wrapMessage (messageLabel.getText(), messageLabel.getFont(), (float) (width - border.getLeftAndRight()));
    return (int) ((float) lines.size() * messageLabel.getFont().getHeight()) + border.getTopAndBottom() + 10;
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
