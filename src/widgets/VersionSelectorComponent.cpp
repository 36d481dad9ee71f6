#include "widgets/VersionSelectorComponent.h"

#include "platform/Typefaces.h"

#include "CorvadineBinaryData.h"

namespace corvadine
{
namespace
{
// The embedded picture, or, should it ever fail to decode, a plain one with
// the same character: a picture button of no size could never be clicked and
// the dialog could never be left.
juce::Image loadPicture (const char* data, int size, const juce::String& character)
{
    auto picture = juce::ImageFileFormat::loadFrom (data, (size_t) size);

    if (picture.isValid())
        return picture;

    picture = juce::Image (juce::Image::ARGB, 512, 512, true);
    juce::Graphics g (picture);
    g.setColour (juce::Colour (0xff80ffd2));
    g.setFont (makeFont ("Verdana", 440.0f, juce::Font::bold));
    g.drawText (character, picture.getBounds(), juce::Justification::centred, false);
    return picture;
}
} // namespace

VersionSelectorComponent::VersionSelectorComponent()
    : DialogComponent ("Choose your flavor...", {}, {})
{
    struct Picture
    {
        const char* data;
        int size;
        const char* character;
    };

    const Picture pictures[] = {
        { CorvadineBinaryData::version6_png, CorvadineBinaryData::version6_pngSize, "6" },
        { CorvadineBinaryData::versiona_png, CorvadineBinaryData::versiona_pngSize, "A" },
    };

    for (int i = 0; i < (int) std::size (pictures); ++i)
    {
        const auto picture = loadPicture (pictures[i].data, pictures[i].size, pictures[i].character);
        auto* button = new juce::ImageButton (juce::String());
        button->setImages (true, true, true,
                           picture, 1.0f, juce::Colour (0x00000000),
                           picture, 1.0f, juce::Colour (0x1affffff),
                           picture, 1.0f, juce::Colour (0x1a000000),
                           0.0f);
        addAndMakeVisible (button);
        imageButtons.add (button);
        button->onClick = [this, i] { exitModalState (i); };
    }

    resized();
}

void VersionSelectorComponent::resized()
{
    DialogComponent::resized();

    const auto h = getHeight();
    const auto x0 = contentX();
    const auto iw = contentWidth();
    const auto top = juce::jmin (h, 150);
    const auto rowHeight = juce::jmin (h - top, 100);

    juce::FlexBox row;
    row.flexDirection = juce::FlexBox::Direction::row;
    row.flexWrap = juce::FlexBox::Wrap::wrap;
    row.alignContent = juce::FlexBox::AlignContent::center;
    row.alignItems = juce::FlexBox::AlignItems::stretch;
    row.justifyContent = juce::FlexBox::JustifyContent::spaceBetween;

    const auto minWidth = (float) (iw / (imageButtons.size() + 1));

    for (auto* button : imageButtons)
        row.items.add (juce::FlexItem (*button)
                           .withMinWidth (minWidth)
                           .withMinHeight ((float) rowHeight)
                           .withFlex (1.5f, 0.5f)
                           .withAlignSelf (juce::FlexItem::AlignSelf::stretch)
                           .withMargin (3.0f));

    row.performLayout (juce::Rectangle<int> (x0, top, iw, rowHeight).toFloat());
}
} // namespace corvadine
