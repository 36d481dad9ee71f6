#include "model/BackgroundGuide.h"

#include "model/Ids.h"
#include "model/ImageFileReader.h"
#include "widgets/SvgButton.h"
#include "stage/ImageStageItem.h"

namespace corvadine
{
namespace
{
const juce::Point<float> stageCentre (50000.0f, 5000.0f);
} // namespace

BackgroundGuide::BackgroundGuide() = default;
BackgroundGuide::~BackgroundGuide() = default;

StageItem* BackgroundGuide::getStageItem() { return imageItem.get(); }

void BackgroundGuide::createStageItem()
{
    auto item = std::make_unique<ImageStageItem>();

    item->imageComponent = std::make_unique<juce::ImageComponent>();
    item->imageComponent->setInterceptsMouseClicks (false, false);
    item->imageComponent->setAlpha (0.15f);
    item->addAndMakeVisible (*item->imageComponent);

    item->lockButton->setVisible (true);
    item->removeButton->setVisible (true);
    item->hidden = false;
    item->setVisible (true);

    imageItem = std::move (item);
}

// The file is read before anything changes: a file that gives no picture
// must not end up named in the document beside the picture still shown.
bool BackgroundGuide::setImage (const juce::String& path)
{
    auto image = juce::File::isAbsolutePath (path) ? readImageFile (juce::File (path)) : juce::Image();

    if (! image.isValid() || image.getWidth() <= 0 || image.getHeight() <= 0)
        return false;

    file = path;

    if (imageItem == nullptr)
        createStageItem();

    auto& item = *imageItem;
    auto w = (float) image.getWidth();
    auto h = (float) image.getHeight();
    item.setOutline (rectangleOutline (w, h), 0.0f);

    auto bounds = item.getBounds();
    auto centre = juce::Point<float> ((float) (bounds.getX() + bounds.getWidth() / 2),
                                      (float) (bounds.getY() + bounds.getHeight() / 2))
                      .transformedBy (item.committedTransform);
    item.setPlacement (item.committedTransform.translated (stageCentre.x - centre.x, stageCentre.y - centre.y));

    item.imageComponent->setImage (image, juce::RectanglePlacement::centred);
    item.setBounds (item.getBounds().withSize (image.getWidth(), image.getHeight()));
    item.toBack();
    return true;
}

// Without an item there is no placement to write, only the file.
juce::ValueTree BackgroundGuide::toValueTree()
{
    juce::ValueTree tree (ids::bgImage);
    tree.setProperty (ids::file, file, nullptr);

    if (imageItem != nullptr)
    {
        tree.setProperty (ids::bounds, imageItem->getBounds().toString(), nullptr);
        tree.appendChild (imageItem->positionToValueTree(), nullptr);
    }

    return tree;
}
} // namespace corvadine
