#include "stage/FocalStageItem.h"

#include "widgets/SvgButton.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
std::unique_ptr<FocalStageItem> makeItem (int w, int h, juce::Point<int> composition)
{
    auto item = std::make_unique<FocalStageItem>();
    item->overlay = std::make_unique<FocalOverlay>();
    item->addChildComponent (*item->overlay);
    juce::Array<juce::Point<float>> corners;
    corners.add ({ 0, 0 });
    corners.add ({ (float) w, 0 });
    corners.add ({ (float) w, (float) h });
    corners.add ({ 0, (float) h });
    item->setOutline (corners, 0.0f);
    item->resolution = { w, h };
    item->compositionSize = composition;
    return item;
}
} // namespace

TEST (FocalStageItem, ChecksAreWholeColumnsAndRowsOfAboutTwoHundred)
{
    struct Case
    {
        int w, h;
        juce::Point<int> counts;
    };

    const Case cases[] = {
        { 1920, 1080, { 10, 5 } },
        { 100, 50, { 1, 1 } },
        { 300, 500, { 2, 3 } }, // halves away from zero
        { 0, 0, { 1, 1 } },
    };

    for (auto& c : cases)
        EXPECT_EQ (FocalStageItem::checkCounts (c.w, c.h), c.counts) << c.w << " x " << c.h;
}

TEST (FocalStageItem, CheckerboardOnlyCoversTheCompositionArea)
{
    auto item = makeItem (1920, 1080, { 1280, 720 });
    auto image = item->createComponentSnapshot (item->getLocalBounds());

    EXPECT_EQ (image.getPixelAt (100, 100).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (1700, 1000).getAlpha(), 0);
    EXPECT_GT (image.getPixelAt (330, 190).getAlpha(), 0);
    EXPECT_GT (image.getPixelAt (1590, 890).getAlpha(), 0);
}

TEST (FocalStageItem, SelectionShowsOverlayRemoveButtonAndTurnsTheButtons)
{
    auto item = makeItem (1920, 1080, { 1920, 1080 });
    CoveredButton button;
    item->addAndMakeVisible (button);
    item->coveredButtons.add (&button);

    item->setSelected (true);
    EXPECT_TRUE (item->selected);
    EXPECT_TRUE (item->overlay->isVisible());
    EXPECT_TRUE (item->removeButton->isVisible());
    EXPECT_FALSE (item->lockButton->isVisible());
    EXPECT_EQ (item->removeButton->getBounds(), juce::Rectangle<int> (1860, 10, 50, 50));
    EXPECT_EQ (item->overlay->getBounds(), item->getLocalBounds());
    EXPECT_TRUE (button.focalSelected);

    item->setSelected (false);
    EXPECT_FALSE (item->overlay->isVisible());
    EXPECT_FALSE (item->removeButton->isVisible());
    EXPECT_FALSE (button.focalSelected);

    item->coveredButtons.clear();
    item->removeChildComponent (&button);
}

TEST (FocalStageItem, PaintGivesTheOverlayTheScaleOnTheStage)
{
    struct Case
    {
        juce::AffineTransform placement;
        juce::Point<int> resolution;
        const char* text;
    };

    const Case cases[] = {
        { juce::AffineTransform::scale (0.5f), { 1920, 1080 }, "50%" },
        { juce::AffineTransform::scale (1.5f, 1.25f), { 1920, 1080 }, "150%, 125%" },
        { {}, { 0, 1080 }, "0%" }, // no resolution yet: nothing divided by 0
    };

    for (auto& c : cases)
    {
        auto item = makeItem (1920, 1080, { 1920, 1080 });
        item->resolution = c.resolution;
        item->setPlacement (c.placement);
        item->createComponentSnapshot ({ 0, 0, 10, 10 });
        EXPECT_EQ (FocalOverlay::scaleText (item->overlay->scale), c.text);
    }
}
