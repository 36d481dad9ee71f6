#include "model/BackgroundGuide.h"
#include "stage/ImageStageItem.h"
#include "support/TestSupport.h"

#include "widgets/SvgButton.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
juce::File writePng (const juce::String& name, int w, int h, juce::Colour colour)
{
    juce::Image image (juce::Image::RGB, w, h, false);
    image.clear (image.getBounds(), colour);

    auto file = test::testHome().getChildFile (name);
    file.deleteFile();
    juce::FileOutputStream out (file);
    EXPECT_TRUE (out.openedOk());
    EXPECT_TRUE (juce::PNGImageFormat().writeImageToStream (image, out));
    return file;
}

juce::Point<float> centreOnStage (StageItem& item)
{
    return item.getLocalBounds().toFloat().getCentre().transformedBy (item.getTransform());
}
} // namespace

TEST (BackgroundGuide, ShowsANewImageCentredOnTheStageBehindEverything)
{
    juce::Component stage;
    juce::Component other;
    stage.addAndMakeVisible (other);

    BackgroundGuide guide;
    guide.createStageItem();
    stage.addAndMakeVisible (guide.getStageItem());

    auto file = writePng ("guide.png", 4000, 2000, juce::Colours::red);
    EXPECT_TRUE (guide.setImage (file.getFullPathName()));

    auto& item = *guide.imageItem;
    EXPECT_EQ (guide.file, file.getFullPathName());
    EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (0, 0, 4000, 2000));
    EXPECT_EQ (item.getTransform(), juce::AffineTransform::translation (48000, 4000));
    EXPECT_EQ (stage.getIndexOfChildComponent (&item), 0);
    EXPECT_NEAR (item.imageComponent->getAlpha(), 0.15f, 0.005f);
    EXPECT_TRUE (item.imageComponent->getImage().isValid());
    EXPECT_EQ (item.imageComponent->getBounds(), item.getLocalBounds());
    EXPECT_FALSE (item.hidden);
    EXPECT_TRUE (item.lockButton->isVisible());
    EXPECT_TRUE (item.removeButton->isVisible());
    EXPECT_FALSE (item.isLayoutItem());

    auto xml = guide.toValueTree().createXml();
    EXPECT_EQ (xml->toString (juce::XmlElement::TextFormat().withoutHeader().singleLine()),
               "<bgImage file=\"" + file.getFullPathName() + "\" bounds=\"0 0 4000 2000\">"
               "<position transform=\"1,0,48000,0,1,4000\" finalRotation=\"0.0\"/></bgImage>");

    stage.removeAllChildren();
}

TEST (BackgroundGuide, ASecondImageKeepsTheScaleTheUserGaveTheFirst)
{
    BackgroundGuide guide;
    ASSERT_TRUE (guide.setImage (writePng ("first.png", 400, 200, juce::Colours::red).getFullPathName()));
    ASSERT_NE (guide.imageItem, nullptr); // made on demand

    auto& item = *guide.imageItem;
    item.setPlacement (item.committedTransform.scaled (0.5f).translated (1234, 567));

    ASSERT_TRUE (guide.setImage (writePng ("second.png", 1000, 600, juce::Colours::blue).getFullPathName()));
    EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (0, 0, 1000, 600));
    EXPECT_NEAR (item.getTransform().mat00, 0.5f, 1.0e-6f);
    EXPECT_NEAR (item.getTransform().mat11, 0.5f, 1.0e-6f);
    auto centre = centreOnStage (item);
    EXPECT_NEAR (centre.x, 50000.0f, 0.01f);
    EXPECT_NEAR (centre.y, 5000.0f, 0.01f);
}

TEST (BackgroundGuide, AFileThatGivesNoImageLeavesTheGuideAsItWas)
{
    BackgroundGuide guide;
    auto good = writePng ("guide.png", 300, 200, juce::Colours::green);
    ASSERT_TRUE (guide.setImage (good.getFullPathName()));
    auto* item = guide.imageItem.get();
    auto placement = item->getTransform();

    auto text = test::testHome().getChildFile ("notes.png");
    test::writeTextFile (text, "not a picture");
    auto truncated = test::testHome().getChildFile ("cut.png");
    juce::MemoryBlock whole;
    ASSERT_TRUE (good.loadFileAsData (whole));
    ASSERT_TRUE (truncated.replaceWithData (whole.getData(), whole.getSize() / 2));

    for (auto path : { text.getFullPathName(), truncated.getFullPathName(),
                       test::testHome().getChildFile ("missing.png").getFullPathName(),
                       juce::String ("relative/name.png"), juce::String() })
    {
        EXPECT_FALSE (guide.setImage (path)) << path;
        EXPECT_EQ (guide.file, good.getFullPathName()) << path;
        EXPECT_EQ (guide.imageItem.get(), item);
        EXPECT_EQ (item->getBounds(), juce::Rectangle<int> (0, 0, 300, 200));
        EXPECT_EQ (item->getTransform(), placement);
        EXPECT_EQ (item->imageComponent->getImage().getWidth(), 300);
    }

    // A guide that never had a picture gets no item from a bad file.
    BackgroundGuide empty;
    EXPECT_FALSE (empty.setImage (text.getFullPathName()));
    EXPECT_EQ (empty.imageItem, nullptr);
    EXPECT_TRUE (empty.file.isEmpty());
}

TEST (BackgroundGuide, ReadsImagesByContentNotByName)
{
    // A JPEG under a PNG's name, and a PNG under a name that says nothing.
    juce::Image picture (juce::Image::RGB, 64, 32, true);
    auto jpeg = test::testHome().getChildFile ("photo.png");
    {
        juce::FileOutputStream out (jpeg);
        ASSERT_TRUE (juce::JPEGImageFormat().writeImageToStream (picture, out));
    }
    auto png = writePng ("picture.dat", 20, 10, juce::Colours::white);

    BackgroundGuide guide;
    EXPECT_TRUE (guide.setImage (jpeg.getFullPathName()));
    ASSERT_NE (guide.imageItem, nullptr);
    EXPECT_EQ (guide.imageItem->getBounds(), juce::Rectangle<int> (0, 0, 64, 32));

    EXPECT_TRUE (guide.setImage (png.getFullPathName()));
    EXPECT_EQ (guide.imageItem->getBounds(), juce::Rectangle<int> (0, 0, 20, 10));
    EXPECT_EQ (guide.imageItem->imageComponent->getImage().getPixelAt (5, 5), juce::Colours::white);
}
