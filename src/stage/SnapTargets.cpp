#include "stage/SnapTargets.h"

#include "stage/StageItem.h"

#include <cmath>

namespace corvadine
{
namespace
{
juce::Point<int> centreOfBoundsInParent (const juce::Component& c)
{
    const auto b = c.getBoundsInParent();
    return { b.getX() + b.getWidth() / 2, b.getY() + b.getHeight() / 2 };
}

// The point nearest to the value on one axis within the snap distance; of
// equally near points the later one wins. Null when none lies that near.
const juce::Point<float>* nearestOnAxis (const juce::Array<juce::Point<float>>& points, float value, bool xAxis)
{
    const juce::Point<float>* choice = nullptr;
    auto limit = SnapTargets::snapDistance;

    for (const auto& q : points)
    {
        const auto distance = std::abs (value - (xAxis ? q.x : q.y));

        if (distance <= limit)
        {
            choice = &q;
            limit = distance;
        }
    }

    return choice;
}
} // namespace

void SnapTargets::rebuild (const juce::Array<StageItem*>& stageItems, const juce::Array<StageItem*>& selection)
{
    items.clearQuick();

    for (auto* item : stageItems)
        if (item != nullptr && ! item->hidden && ! selection.contains (item))
            items.add (item);

    points.clearQuick();
    itemCentres.clearQuick();

    // Without targets nothing is left to snap to; stale points of items
    // that have left the stage must not linger.
    if (items.isEmpty())
    {
        centre = {};
        return;
    }

    centre = centreOfBoundsInParent (*items.getFirst());
    points.add (centre.toFloat());

    for (auto* item : items)
        itemCentres.add (centreOfBoundsInParent (*item).toFloat());

    for (int i = 1; i < items.size(); ++i)
    {
        auto placed = items[i]->outline;
        placed.applyTransform (items[i]->getTransform());

        for (juce::PathFlatteningIterator it (placed); it.next();)
            points.add ({ it.x1, it.y1 });

        const auto box = placed.getBounds();
        points.add ({ box.getX() + box.getWidth() * 0.5f, box.getY() + box.getHeight() * 0.5f });
    }
}

void SnapTargets::forget (const TransformableComponent* item)
{
    items.removeAllInstancesOf (const_cast<TransformableComponent*> (item));
}

juce::Point<float> SnapTargets::snap (juce::Point<float> p, juce::Array<float>& xGuides, juce::Array<float>& yGuides) const
{
    xGuides.clearQuick();
    yGuides.clearQuick();
    juce::Point<float> o;

    // Alignment. An offset of exactly 0 counts as no snap, so the later
    // rules may still act on that axis.
    if (const auto* q = nearestOnAxis (points, p.x, true); q != nullptr && p.x - q->x != 0.0f)
    {
        o.x = p.x - q->x;
        xGuides.add (q->x);
    }

    if (const auto* q = nearestOnAxis (points, p.y, false); q != nullptr && p.y - q->y != 0.0f)
    {
        o.y = p.y - q->y;
        yGuides.add (q->y);
    }

    // Even spacing: the nearest item centre midway between the point and a
    // snap point.
    if (xGuides.isEmpty() || yGuides.isEmpty())
    {
        // The limit is kept as a whole number, so a later centre takes over
        // only when it is nearer than the integer part of the distance.
        auto limit = juce::jmax (2 * centre.x, 2 * centre.y);
        juce::Point<float> e;

        for (const auto& c : itemCentres)
        {
            const auto r = p.getDistanceFrom (c);

            if (static_cast<float> (limit) > r)
            {
                e = c;
                limit = static_cast<int> (r);
            }
        }

        const auto g = e * 2.0f - p;

        if (! points.isEmpty())
        {
            if (const auto* q = nearestOnAxis (points, g.x, true); q != nullptr && xGuides.isEmpty() && g.x - q->x != 0.0f)
            {
                xGuides.add (q->x);
                xGuides.add (e.x);
                o.x = q->x - g.x;
            }

            if (const auto* q = nearestOnAxis (points, g.y, false); q != nullptr && yGuides.isEmpty() && g.y - q->y != 0.0f)
            {
                yGuides.add (q->y);
                yGuides.add (e.y);
                o.y = q->y - g.y;
            }
        }
    }

    // Symmetry about the stage's vertical centre line, x only.
    if (centre != juce::Point<int>() && xGuides.isEmpty() && ! points.isEmpty())
    {
        const auto d = static_cast<float> (2 * centre.x) - p.x;

        if (const auto* q = nearestOnAxis (points, d, true); q != nullptr && d - q->x != 0.0f)
        {
            xGuides.add (q->x);
            o.x = q->x - d;
        }
    }

    return o;
}
} // namespace corvadine
