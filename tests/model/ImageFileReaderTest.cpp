#include "model/ImageFileReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

using namespace corvadine;

namespace
{
juce::MemoryBlock pngOf (const juce::Image& image)
{
    juce::MemoryOutputStream out;
    EXPECT_TRUE (juce::PNGImageFormat().writeImageToStream (image, out));
    return out.getMemoryBlock();
}

// Rewrites the size in the PNG's header chunk, with a matching checksum.
void setPngSize (juce::MemoryBlock& png, juce::uint32 width, juce::uint32 height)
{
    auto* bytes = static_cast<unsigned char*> (png.getData());
    auto put = [] (unsigned char* at, juce::uint32 v)
    {
        at[0] = (unsigned char) (v >> 24); at[1] = (unsigned char) (v >> 16);
        at[2] = (unsigned char) (v >> 8);  at[3] = (unsigned char) v;
    };
    // Signature (8), length (4), "IHDR" (4), then width and height.
    put (bytes + 16, width);
    put (bytes + 20, height);
    put (bytes + 29, (juce::uint32) crc32 (0, bytes + 12, 17));
}
} // namespace

TEST (ImageFileReader, ReadsAPngWithItsTransparency)
{
    juce::Image image (juce::Image::ARGB, 8, 4, true);
    image.setPixelAt (1, 1, juce::Colour (0x80ff0000));
    image.setPixelAt (2, 1, juce::Colours::blue);
    auto png = pngOf (image);

    auto read = readImageData (png.getData(), png.getSize());
    ASSERT_TRUE (read.isValid());
    EXPECT_EQ (read.getWidth(), 8);
    EXPECT_EQ (read.getHeight(), 4);
    EXPECT_EQ (read.getPixelAt (0, 0).getAlpha(), 0);
    EXPECT_NEAR (read.getPixelAt (1, 1).getAlpha(), 0x80, 1);
    EXPECT_NEAR (read.getPixelAt (1, 1).getRed(), 0xff, 5);
    EXPECT_EQ (read.getPixelAt (2, 1), juce::Colours::blue);
}

TEST (ImageFileReader, DamagedOrHostilePngsGiveNoImageAndNoCrash)
{
    juce::Image image (juce::Image::RGB, 64, 64, true);
    image.clear ({ 0, 0, 32, 32 }, juce::Colours::orange);
    const auto png = pngOf (image);

    for (size_t cut : { (size_t) 8, (size_t) 20, (size_t) 40, png.getSize() / 2 })
        EXPECT_FALSE (readImageData (png.getData(), cut).isValid()) << cut;

    auto huge = png;
    setPngSize (huge, 100000, 100000);
    EXPECT_FALSE (readImageData (huge.getData(), huge.getSize()).isValid());

    auto garbled = png;
    auto* bytes = static_cast<unsigned char*> (garbled.getData());
    for (size_t i = 40; i < garbled.getSize(); i += 5)
        bytes[i] ^= 0xa5;
    EXPECT_FALSE (readImageData (garbled.getData(), garbled.getSize()).isValid());

    EXPECT_FALSE (readImageData (nullptr, 0).isValid());
    EXPECT_FALSE (readImageFile (test::testHome().getChildFile ("missing.png")).isValid());
    EXPECT_FALSE (readImageFile (test::testHome()).isValid()); // a folder
}

TEST (ImageFileReader, ReadsJpegsAndRefusesOtherFormats)
{
    juce::Image image (juce::Image::RGB, 40, 30, true);
    image.clear (image.getBounds(), juce::Colours::orange);

    juce::MemoryOutputStream jpeg;
    ASSERT_TRUE (juce::JPEGImageFormat().writeImageToStream (image, jpeg));
    const auto read = readImageData (jpeg.getData(), jpeg.getDataSize());
    ASSERT_TRUE (read.isValid());
    EXPECT_EQ (read.getBounds(), image.getBounds());

    // A GIF header (never handed to JUCE's GIF loader) and plain text.
    const char gif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,"
                       "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;";
    EXPECT_FALSE (readImageData (gif, sizeof (gif) - 1).isValid());
    const char text[] = "not a picture at all";
    EXPECT_FALSE (readImageData (text, sizeof (text) - 1).isValid());
}
