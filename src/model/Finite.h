#pragma once

#include <juce_graphics/juce_graphics.h>
#include <cmath>

// Finiteness tests for the geometry types that reach component transforms,
// the document and the preview mesh, where a NaN or an infinity must never go.
namespace corvadine
{
inline bool isFinite (const juce::AffineTransform& t)
{
    for (auto value : { t.mat00, t.mat01, t.mat02, t.mat10, t.mat11, t.mat12 })
        if (! std::isfinite (value))
            return false;

    return true;
}

inline bool isFinite (juce::Rectangle<float> r)
{
    return std::isfinite (r.getX()) && std::isfinite (r.getY())
        && std::isfinite (r.getWidth()) && std::isfinite (r.getHeight());
}
} // namespace corvadine
