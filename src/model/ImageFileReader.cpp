#include "model/ImageFileReader.h"

#include <gif_lib.h>
#include <png.h>

#include <cstring>
#include <vector>

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
bool isGif (const void* data, size_t size)
{
    return size >= 6 && (std::memcmp (data, "GIF87a", 6) == 0 || std::memcmp (data, "GIF89a", 6) == 0);
}

struct GifSource
{
    const unsigned char* data;
    size_t size;
    size_t position = 0;
};

int readGifBytes (GifFileType* gif, GifByteType* destination, int wanted)
{
    auto& source = *static_cast<GifSource*> (gif->UserData);
    const auto count = juce::jmin ((size_t) juce::jmax (0, wanted), source.size - source.position);
    std::memcpy (destination, source.data + source.position, count);
    source.position += count;
    return (int) count;
}

// The first frame of a GIF, on the canvas size the file gives, through
// giflib: JUCE's own GIF loader reads before its own buffer on every file.
// Records are read one by one so that a frame's size is checked before any
// memory is taken for it.
juce::Image readGif (const void* data, size_t size)
{
    GifSource source { static_cast<const unsigned char*> (data), size };
    int error = 0;
    auto* gif = DGifOpen (&source, readGifBytes, &error);

    if (gif == nullptr)
        return {};

    struct Closer { GifFileType* g; ~Closer() { int e = 0; DGifCloseFile (g, &e); } } closer { gif };

    if (gif->SWidth <= 0 || gif->SHeight <= 0 || (juce::int64) gif->SWidth * gif->SHeight > maxPixels)
        return {};

    int transparent = NO_TRANSPARENT_COLOR;

    for (;;)
    {
        GifRecordType type;

        if (DGifGetRecordType (gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE)
            return {};

        if (type == EXTENSION_RECORD_TYPE)
        {
            int code = 0;
            GifByteType* extension = nullptr;

            if (DGifGetExtension (gif, &code, &extension) == GIF_ERROR)
                return {};

            GraphicsControlBlock control;

            if (code == GRAPHICS_EXT_FUNC_CODE && extension != nullptr && extension[0] >= 4
                && DGifExtensionToGCB (extension[0], extension + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;

            while (extension != nullptr)
                if (DGifGetExtensionNext (gif, &extension) == GIF_ERROR)
                    return {};

            continue;
        }

        if (type != IMAGE_DESC_RECORD_TYPE)
            continue;

        if (DGifGetImageDesc (gif) == GIF_ERROR)
            return {};

        const auto desc = gif->Image;
        const auto* colours = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;

        if (colours == nullptr || desc.Width <= 0 || desc.Height <= 0
            || (juce::int64) desc.Width * desc.Height > maxPixels)
            return {};

        // Interlaced rows arrive in four passes.
        std::vector<int> rows;
        rows.reserve ((size_t) desc.Height);

        if (desc.Interlace)
        {
            for (auto [start, step] : { std::pair { 0, 8 }, { 4, 8 }, { 2, 4 }, { 1, 2 } })
                for (int y = start; y < desc.Height; y += step)
                    rows.push_back (y);
        }
        else
        {
            for (int y = 0; y < desc.Height; ++y)
                rows.push_back (y);
        }

        juce::Image image (juce::Image::ARGB, gif->SWidth, gif->SHeight, true);
        juce::Image::BitmapData bitmap (image, juce::Image::BitmapData::writeOnly);
        std::vector<GifPixelType> line ((size_t) desc.Width);

        for (auto y : rows)
        {
            if (DGifGetLine (gif, line.data(), desc.Width) == GIF_ERROR)
                return {};

            const auto canvasY = desc.Top + y;

            if (canvasY < 0 || canvasY >= gif->SHeight)
                continue;

            for (int x = 0; x < desc.Width; ++x)
            {
                const auto canvasX = desc.Left + x;
                const int index = line[(size_t) x];

                if (canvasX < 0 || canvasX >= gif->SWidth || index == transparent || index >= colours->ColorCount)
                    continue;

                const auto& c = colours->Colors[index];
                reinterpret_cast<juce::PixelARGB*> (bitmap.getPixelPointer (canvasX, canvasY))
                    ->setARGB (255, c.Red, c.Green, c.Blue);
            }
        }

        return image;
    }
}
} // namespace

juce::Image readImageData (const void* data, size_t size)
{
    if (data == nullptr || size == 0)
        return {};

    if (isPng (data, size))
        return readPng (data, size);

    if (isGif (data, size))
        return readGif (data, size);

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
