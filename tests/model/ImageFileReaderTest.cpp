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

TEST (ImageFileReader, ReadsJpegsAndGifsAndRefusesOtherData)
{
    juce::Image image (juce::Image::RGB, 40, 30, true);
    image.clear (image.getBounds(), juce::Colours::orange);

    juce::MemoryOutputStream jpeg;
    ASSERT_TRUE (juce::JPEGImageFormat().writeImageToStream (image, jpeg));
    const auto read = readImageData (jpeg.getData(), jpeg.getDataSize());
    ASSERT_TRUE (read.isValid());
    EXPECT_EQ (read.getBounds(), image.getBounds());

    // A 2 x 1 GIF: one red pixel and one transparent one.
    const unsigned char gif[] = {
        'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0,
        0xff, 0, 0, 0, 0, 0,                                 // colours: red, black
        0x21, 0xf9, 4, 1, 0, 0, 1, 0,                        // colour 1 is transparent
        0x2c, 0, 0, 0, 0, 2, 0, 1, 0, 0,                     // the frame
        2, 2, 0x44, 0x0a, 0,                                 // pixels 0, 1
        0x3b };
    const auto decoded = readImageData (gif, sizeof (gif));
    ASSERT_TRUE (decoded.isValid());
    EXPECT_EQ (decoded.getWidth(), 2);
    EXPECT_EQ (decoded.getHeight(), 1);
    EXPECT_EQ (decoded.getPixelAt (0, 0).getARGB(), 0xffff0000u);
    EXPECT_EQ (decoded.getPixelAt (1, 0).getAlpha(), 0);

    // Cut short anywhere, or claiming a gigantic canvas, it gives no image.
    for (size_t cut = 6; cut < sizeof (gif) - 1; ++cut)
        EXPECT_FALSE (readImageData (gif, cut).isValid()) << cut;

    auto huge = juce::MemoryBlock (gif, sizeof (gif));
    static_cast<unsigned char*> (huge.getData())[6] = 0xff;
    static_cast<unsigned char*> (huge.getData())[7] = 0xff;
    static_cast<unsigned char*> (huge.getData())[8] = 0xff;
    static_cast<unsigned char*> (huge.getData())[9] = 0xff;
    EXPECT_FALSE (readImageData (huge.getData(), huge.getSize()).isValid());

    const char text[] = "not a picture at all";
    EXPECT_FALSE (readImageData (text, sizeof (text) - 1).isValid());
}
