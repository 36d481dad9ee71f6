#include "model/ImageFileReader.h"

#include <png.h>

namespace corvadine
{
namespace
{
// Far beyond any guide picture; keeps a hostile header from asking for
// gigabytes.
constexpr juce::int64 maxPixels = 1 << 27;
constexpr juce::int64 maxFileBytes = (juce::int64) 1 << 30;

bool isPng (const void* data, size_t size)
{
    return size >= 8 && png_sig_cmp (static_cast<png_const_bytep> (data), 0, 8) == 0;
}

juce::Image readPng (const void* data, size_t size)
{
    png_image png {};
    png.version = PNG_IMAGE_VERSION;

    if (! png_image_begin_read_from_memory (&png, data, size))
        return {};

    if (png.width == 0 || png.height == 0 || (juce::int64) png.width * png.height > maxPixels)
    {
        png_image_free (&png);
        return {};
    }

    png.format = PNG_FORMAT_RGBA;
    juce::HeapBlock<png_byte> pixels ((size_t) PNG_IMAGE_SIZE (png));

    if (! png_image_finish_read (&png, nullptr, pixels.get(), 0, nullptr))
    {
        png_image_free (&png);
        return {};
    }

    auto width = (int) png.width;
    auto height = (int) png.height;
    juce::Image image (juce::Image::ARGB, width, height, false);
    juce::Image::BitmapData bitmap (image, juce::Image::BitmapData::writeOnly);

    for (int y = 0; y < height; ++y)
    {
        auto* src = pixels.get() + (size_t) y * (size_t) width * 4;

        for (int x = 0; x < width; ++x, src += 4)
        {
            auto* dest = reinterpret_cast<juce::PixelARGB*> (bitmap.getPixelPointer (x, y));
            dest->setARGB (src[3], src[0], src[1], src[2]);
            dest->premultiply();
        }
    }

    return image;
}
} // namespace

juce::Image readImageData (const void* data, size_t size)
{
    if (data == nullptr || size == 0)
        return {};

    if (isPng (data, size))
        return readPng (data, size);

    // Only JPEG besides: guide pictures are PNG or JPEG files, and JUCE's GIF
    // loader reads before its own buffer on every file.
    juce::JPEGImageFormat jpeg;
    juce::MemoryInputStream probe (data, size, false);

    if (! jpeg.canUnderstand (probe))
        return {};

    juce::MemoryInputStream stream (data, size, false);
    return jpeg.decodeImage (stream);
}

juce::Image readImageFile (const juce::File& file)
{
    if (! file.existsAsFile() || file.getSize() > maxFileBytes)
        return {};

    juce::MemoryBlock contents;

    if (! file.loadFileAsData (contents))
        return {};

    return readImageData (contents.getData(), contents.getSize());
}
} // namespace corvadine
