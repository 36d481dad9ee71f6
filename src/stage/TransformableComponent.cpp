#include "stage/TransformableComponent.h"
#include "host/HostNumbers.h"
#include "model/Finite.h"

#include "model/DocumentFormat.h"
#include "model/Ids.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace corvadine
{
namespace
{
// A component transform must be finite and invertible, and so must its
// inverse: JUCE maps every mouse position through the inverse.
bool isUsablePlacement (const juce::AffineTransform& t)
{
    return isFinite (t) && ! t.isSingularity() && isFinite (t.inverted());
}

// One coefficient of a stored "transform", the characters from start to end.
// Only a number counts: a hand-edited or damaged file must not turn into a
// collapsed or infinite placement.
std::optional<float> readCoefficient (const char* start, const char* end)
{
    // White space around the number is allowed, as juce::String::trim takes
    // it off (by JUCE's judgement of white space, beyond ASCII too).
    juce::CharPointer_UTF8 first (start), last (end);

    while (first.getAddress() < end && first.isWhitespace())
        ++first;

    while (last.getAddress() > first.getAddress() && (last - 1).isWhitespace())
        --last;

    start = first.getAddress();
    end = last.getAddress();

    const auto isNumberChar = [] (char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'; };

    if (! std::all_of (start, end, isNumberChar) || std::none_of (start, end, [] (char c) { return c >= '0' && c <= '9'; }))
        return {};

    // The number's own characters end where the coefficient does (at a comma,
    // white space or the end of the text), so it is read where it stands.
    const auto value = readHostDouble (juce::CharPointer_UTF8 (start));

    // Beyond a float's range the narrowing itself would be undefined.
    if (! std::isfinite (value) || std::abs (value) > (double) std::numeric_limits<float>::max())
        return {};

    return static_cast<float> (value);
}

// "a,b,c,d,e,f": the six coefficients, split at commas; a seventh and more
// are ignored. Read in place: a relink restores thousands of these.
std::optional<juce::AffineTransform> readTransform (const juce::String& text)
{
    const auto* p = text.toRawUTF8();
    float m[6];

    for (int i = 0; i < 6; ++i)
    {
        const auto* end = std::strchr (p, ',');

        // Fewer than six coefficients.
        if (end == nullptr && i < 5)
            return {};

        if (end == nullptr)
            end = p + std::strlen (p);

        const auto value = readCoefficient (p, end);

        if (! value)
            return {};

        m[i] = *value;
        p = *end == ',' ? end + 1 : end;
    }

    const juce::AffineTransform t (m[0], m[1], m[2], m[3], m[4], m[5]);

    if (! isUsablePlacement (t))
        return {};

    return t;
}

// Far beyond any stage area, and small enough that the item's bounds in its
// parent (integers, with right = x + width) stay representable.
constexpr float maxStageCoordinate = (float) (1 << 28);

// A stored placement must leave the outline where the stage can hold it: a
// damaged file could otherwise put the item at 1e30, past every integer the
// component's bounds in its parent are computed in.
bool keepsOnTheStage (const juce::Path& outline, const juce::AffineTransform& t)
{
    const auto placed = outline.getBoundsTransformed (t);

    return std::isfinite (placed.getX()) && std::isfinite (placed.getY())
        && std::isfinite (placed.getRight()) && std::isfinite (placed.getBottom())
        && placed.getX() >= -maxStageCoordinate && placed.getY() >= -maxStageCoordinate
        && placed.getRight() <= maxStageCoordinate && placed.getBottom() <= maxStageCoordinate;
}

juce::String writeTransform (const juce::AffineTransform& t)
{
    // The text of juce::String (float): the stream's general format with six
    // significant digits, which is what the host's plug-ins read: printf's
    // %.6g, written without building a stream for every number, which made
    // saving the placements of a relink's thousands of slices the largest
    // part of it.
    char text[6 * 33];
    auto* end = text;

    for (auto v : { t.mat00, t.mat01, t.mat02, t.mat10, t.mat11, t.mat12 })
    {
        if (end != text)
            *end++ = ',';

        end = writeSixSignificantDigits ((double) v, end);
    }

    return juce::String (text, (size_t) (end - text));
}

bool hasArea (juce::Rectangle<float> r)
{
    return std::isfinite (r.getWidth()) && std::isfinite (r.getHeight())
           && std::isfinite (r.getX()) && std::isfinite (r.getY())
           && r.getWidth() > 0.0f && r.getHeight() > 0.0f;
}
} // namespace

TransformableComponent::TransformableComponent() = default;
TransformableComponent::~TransformableComponent() = default;

bool TransformableComponent::hitTest (int x, int y)
{
    return outline.contains (static_cast<float> (x), static_cast<float> (y));
}

void TransformableComponent::setOutline (const juce::Array<juce::Point<float>>& points, float angle)
{
    // Points or angles that are not finite (from a damaged host file) would
    // spread through the bounds into the transform; they are left out.
    if (! std::isfinite (angle))
        angle = 0.0f;

    static std::atomic<std::uint64_t> stamps { 0 };
    outlineStamp = ++stamps;

    outline.clear();
    bool started = false;

    for (auto p : points)
    {
        if (! std::isfinite (p.x) || ! std::isfinite (p.y))
            continue;

        if (started)
        {
            outline.lineTo (p);
        }
        else
        {
            outline.startNewSubPath (p);
            started = true;
        }
    }

    if (! started)
        outline.startNewSubPath (0.0f, 0.0f);

    outline.closeSubPath();

    const auto centre = outline.getBounds().getCentre();
    outline.applyTransform (juce::AffineTransform::rotation (-angle, centre.x, centre.y));

    const auto turned = outline.getBounds();
    const auto x0 = turned.getX();
    const auto y0 = turned.getY();
    outline.applyTransform (juce::AffineTransform::translation (-x0, -y0));

    setBounds (outline.getBounds().toNearestInt());

    const auto b = getBounds();
    const auto pivotX = static_cast<float> (b.getX() + b.getWidth() / 2);
    const auto pivotY = static_cast<float> (b.getY() + b.getHeight() / 2);
    setTransform (juce::AffineTransform::rotation (angle, pivotX, pivotY).followedBy (committedTransform));
    rotation += angle;
    pendingRotation = 0.0f;
    committedTransform = getTransform();

    setPlacement (committedTransform.followedBy (juce::AffineTransform::translation (x0, y0)));
}

void TransformableComponent::setPlacement (const juce::AffineTransform& t)
{
    if (isUsablePlacement (t))
    {
        setTransform (t);
        rotation += pendingRotation;
    }
    else
    {
        // The step that produced t is dropped, its pending rotation with it.
        setTransform (committedTransform);
    }

    pendingRotation = 0.0f;
    committedTransform = getTransform();
}

juce::ValueTree TransformableComponent::positionToValueTree() const
{
    juce::ValueTree position (ids::position);
    position.setProperty (ids::transform, writeTransform (committedTransform), nullptr);
    position.setProperty (ids::finalRotation, static_cast<double> (rotation + pendingRotation), nullptr);
    return position;
}

bool TransformableComponent::positionFromValueTree (const juce::ValueTree& position)
{
    if (! position.isValid())
        return false;

    const auto t = readTransform (position.getProperty (ids::transform).toString());

    if (! t || ! keepsOnTheStage (outline, *t))
        return false;

    committedTransform = *t;
    setTransform (committedTransform);

    // Not finite, beyond a float or unreadable: 0, like a missing one.
    rotation = floatFromVar (position.getProperty (ids::finalRotation));
    pendingRotation = 0.0f;
    return true;
}

std::optional<juce::AffineTransform> TransformableComponent::placementFromOwnText() const
{
    const auto t = readTransform (writeTransform (committedTransform));

    if (! t || ! keepsOnTheStage (outline, *t))
        return {};

    return t;
}

void TransformableComponent::takePlacementFromOwnText (const juce::AffineTransform& fromText)
{
    committedTransform = fromText;
    setTransform (committedTransform);
    rotation = floatFromVar (static_cast<double> (rotation + pendingRotation));
    pendingRotation = 0.0f;
}

float TransformableComponent::getTransformedOutlineArea() const
{
    // Compared bit for bit: the same bits give the same area.
    const auto sameBits = [] (const auto& a, const auto& b) { return std::memcmp (&a, &b, sizeof (a)) == 0; };
    const auto transform = getTransform();
    const auto turn = rotation + pendingRotation;

    if (areaSeen.valid && sameBits (areaSeen.turn, turn) && sameBits (areaSeen.transform, transform)
        && areaSeen.outlineStamp == outlineStamp)
        return areaSeen.area;

    areaSeen.area = workOutTransformedOutlineArea();
    areaSeen.outlineStamp = outlineStamp;
    areaSeen.transform = transform;
    areaSeen.turn = turn;
    areaSeen.valid = true;
    return areaSeen.area;
}

float TransformableComponent::workOutTransformedOutlineArea() const
{
    // The path's own steps: every point transformed as Path::applyTransform
    // transforms it, the bounds grown from the first point as the path
    // grows them, the centre and the turn back as getTransformedOutline
    // takes them.
    std::vector<juce::Point<float>> points;

    for (juce::Path::Iterator it (outline); it.next();)
    {
        using Type = juce::Path::Iterator::PathElementType;

        switch (it.elementType)
        {
            case Type::startNewSubPath:
            case Type::lineTo:
                points.push_back ({ it.x1, it.y1 });
                break;
            case Type::quadraticTo:
                points.push_back ({ it.x1, it.y1 });
                points.push_back ({ it.x2, it.y2 });
                break;
            case Type::cubicTo:
                points.push_back ({ it.x1, it.y1 });
                points.push_back ({ it.x2, it.y2 });
                points.push_back ({ it.x3, it.y3 });
                break;
            case Type::closePath:
                break;
        }
    }

    const auto boundsAfter = [&points] (const juce::AffineTransform& t)
    {
        float xMin = 0, xMax = 0, yMin = 0, yMax = 0;
        bool first = true;

        for (auto& p : points)
        {
            t.transformPoint (p.x, p.y);

            if (first)
            {
                xMin = xMax = p.x;
                yMin = yMax = p.y;
                first = false;
            }
            else
            {
                if (p.x < xMin)      xMin = p.x;
                else if (p.x > xMax) xMax = p.x;

                if (p.y < yMin)      yMin = p.y;
                else if (p.y > yMax) yMax = p.y;
            }
        }

        return juce::Rectangle<float> (xMin, yMin, xMax - xMin, yMax - yMin);
    };

    const auto centre = boundsAfter (getTransform()).getCentre();
    const auto turnedBack = boundsAfter (juce::AffineTransform::rotation (-(rotation + pendingRotation), centre.x, centre.y));
    return turnedBack.getWidth() * turnedBack.getHeight();
}

juce::Path TransformableComponent::getTransformedOutline() const
{
    auto placed = outline;
    placed.applyTransform (getTransform());

    const auto centre = placed.getBounds().getCentre();
    placed.applyTransform (juce::AffineTransform::rotation (-(rotation + pendingRotation), centre.x, centre.y));
    return placed;
}

void TransformableComponent::fitOutlineInto (juce::Rectangle<float> area)
{
    const auto box = outline.getBounds();

    // Both sizes are divided by below.
    if (! hasArea (area) || ! hasArea (box))
        return;

    const auto r = box.getHeight() / box.getWidth();
    float newW, newH;

    if (r > area.getHeight() / area.getWidth())
    {
        newW = area.getWidth();
        newH = area.getWidth() * r;
    }
    else
    {
        newW = area.getHeight() / r;
        newH = area.getHeight();
    }

    const auto from = box.getCentre();
    const auto to = area.getCentre();
    const auto fit = juce::AffineTransform::translation (-from.x, -from.y)
                         .scaled (newW / box.getWidth(), newH / box.getHeight())
                         .translated (to.x, to.y);

    setPlacement (fit.followedBy (juce::AffineTransform::rotation (rotation + pendingRotation, to.x, to.y)));
}

bool TransformableComponent::containsOutlineOf (const TransformableComponent& other) const
{
    auto a = outline;
    a.applyTransform (getTransform());
    auto b = other.outline;
    b.applyTransform (other.getTransform());

    const auto boxA = a.getBounds();

    if (boxA.toNearestInt() == b.getBounds().toNearestInt())
        return true;

    a.scaleToFit (boxA.getX() - 1.0f, boxA.getY() - 1.0f,
                  juce::jmax (0.0f, boxA.getWidth() + 2.0f), juce::jmax (0.0f, boxA.getHeight() + 2.0f),
                  true);

    for (juce::PathFlatteningIterator it (b, {}, 0.6f); it.next();)
        if (! a.contains (it.x1, it.y1))
            return false;

    return true;
}
} // namespace corvadine
