#pragma once

#include <juce_graphics/juce_graphics.h>

namespace corvadine
{
// Reads a picture file (PNG, JPEG or GIF, told by its content), or gives an
// invalid image. PNG files are decoded here through libpng's own guarded
// reader: JUCE's PNG loader, built against the system's libpng, does not
// recover from a damaged file and takes the whole process down with it. GIF
// files go through giflib: JUCE's GIF loader reads before its own buffer.
juce::Image readImageFile (const juce::File& file);

// The same for a picture held in memory.
juce::Image readImageData (const void* data, size_t size);
} // namespace corvadine
