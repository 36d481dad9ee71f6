#include "model/ReferenceTriangulator.h"

#include <cmath>
#include <cstdint>

namespace corvadine::test
{
namespace
{
// Ear clipping over a doubly linked ring of the usable points.
//
// Each point's ear state is cached and recomputed only when one of its
// neighbours is clipped: in a simple polygon clipping an ear never changes
// whether a point further away is an ear, so every point is tested O(1)
// times and each test looks only at the current reflex points. That keeps
// the whole run at O(n^2). Rings that are not simple can run out of cached
// ears; they fall back to clipping a convex point regardless, so every round
// removes a point and the run always ends.
class EarClipper
{
public:
    explicit EarClipper (const std::vector<juce::Point<float>>& ring)
    {
        const auto size = ring.size();
        x.resize (size);
        y.resize (size);
        prev.assign (size, none);
        next.assign (size, none);
        reflexPrev.assign (size, none);
        reflexNext.assign (size, none);
        inReflexList.assign (size, 0);
        earState.assign (size, unknown);

        // Doubles hold the products of float differences exactly enough and
        // neither overflow nor underflow for any finite float input.
        for (size_t i = 0; i < size; ++i)
        {
            const auto px = (double) ring[i].x;
            const auto py = (double) ring[i].y;

            if (! (std::isfinite (px) && std::isfinite (py)))
                continue;

            const auto v = (int) i;
            x[i] = px;
            y[i] = py;

            if (first == none)
            {
                first = v;
                prev[i] = next[i] = v;
            }
            else
            {
                const auto last = prev[(size_t) first];
                next[(size_t) last] = v;
                prev[i] = last;
                next[i] = first;
                prev[(size_t) first] = v;
            }

            ++count;
        }
    }

    std::vector<int> run()
    {
        std::vector<int> indices;

        if (count < 3)
            return indices;

        dropDegeneratePoints();

        if (count < 3)
            return indices;

        const auto area = doubledArea();

        if (! std::isfinite (area) || area == 0.0)
            return indices;

        orientation = area > 0.0 ? 1.0 : -1.0;
        indices.reserve ((size_t) (count - 2) * 3);

        for (auto v = first, i = 0; i < count; ++i, v = next[(size_t) v])
            classify (v);

        auto cursor = first;
        auto testedSinceClip = 0;

        while (count >= 3)
        {
            if (testedSinceClip >= count)
            {
                // Every remaining point is known not to be an ear: the ring
                // is not simple.
                const auto forced = pickForcedEar (cursor);

                if (forced == none)
                    break;

                cursor = clip (forced, indices);
                testedSinceClip = 0;
                continue;
            }

            auto& state = earState[(size_t) cursor];

            if (state == unknown)
                state = isEar (cursor) ? ear : notEar;

            if (state == ear)
            {
                cursor = clip (cursor, indices);
                testedSinceClip = 0;
            }
            else
            {
                cursor = next[(size_t) cursor];
                ++testedSinceClip;
            }
        }

        return indices;
    }

private:
    static constexpr int none = -1;
    enum : uint8_t { unknown, ear, notEar, removed };

    double cross (int a, int b, int c) const
    {
        const auto ua = (size_t) a, ub = (size_t) b, uc = (size_t) c;
        return (x[ub] - x[ua]) * (y[uc] - y[ua]) - (y[ub] - y[ua]) * (x[uc] - x[ua]);
    }

    // Positive where the ring turns the way it winds.
    double turn (int v) const
    {
        return orientation * cross (prev[(size_t) v], v, next[(size_t) v]);
    }

    // A point equal to a neighbour, or the tip of a spike that doubles back
    // on itself: dropping it changes neither the covered area nor which
    // points the triangles may use.
    bool isDegenerate (int v) const
    {
        const auto p = (size_t) prev[(size_t) v], n = (size_t) next[(size_t) v], u = (size_t) v;

        if (cross ((int) p, v, (int) n) != 0.0)
            return false;

        const auto dot = (x[u] - x[p]) * (x[n] - x[u]) + (y[u] - y[p]) * (y[n] - y[u]);
        return dot <= 0.0;
    }

    void unlink (int v)
    {
        const auto u = (size_t) v;
        const auto p = prev[u], n = next[u];
        next[(size_t) p] = n;
        prev[(size_t) n] = p;

        if (first == v)
            first = n;

        setReflex (v, false);
        earState[(size_t) v] = removed;
        --count;
    }

    // Drops degenerate points around the junction between a and next[a]
    // (left by a removal) until none is left; returns the point before it.
    int settleJunction (int a)
    {
        auto b = next[(size_t) a];

        while (count >= 3)
        {
            if (isDegenerate (a))
            {
                const auto p = prev[(size_t) a];
                unlink (a);
                a = p;
            }
            else if (isDegenerate (b))
            {
                const auto n = next[(size_t) b];
                unlink (b);
                b = n;
            }
            else
            {
                break;
            }
        }

        return a;
    }

    void dropDegeneratePoints()
    {
        // Walk the points once; every removal re-examines its two neighbours.
        for (size_t i = 0; i < x.size() && count >= 3; ++i)
        {
            const auto v = (int) i;

            if (prev[i] == none || ! isAlive (v) || ! isDegenerate (v))
                continue;

            const auto p = prev[i];
            unlink (v);
            settleJunction (p);
        }
    }

    bool isAlive (int v) const { return earState[(size_t) v] != removed; }

    double doubledArea() const
    {
        // Measured from the first point to keep far-off coordinates precise.
        auto sum = 0.0;

        for (auto v = next[(size_t) first]; next[(size_t) v] != first; v = next[(size_t) v])
            sum += cross (first, v, next[(size_t) v]);

        return sum;
    }

    void setReflex (int v, bool reflex)
    {
        const auto u = (size_t) v;

        if (reflex == (inReflexList[u] != 0))
            return;

        if (reflex)
        {
            reflexPrev[u] = none;
            reflexNext[u] = reflexHead;

            if (reflexHead != none)
                reflexPrev[(size_t) reflexHead] = v;

            reflexHead = v;
        }
        else
        {
            const auto p = reflexPrev[u], n = reflexNext[u];

            if (p != none)
                reflexNext[(size_t) p] = n;
            else
                reflexHead = n;

            if (n != none)
                reflexPrev[(size_t) n] = p;
        }

        inReflexList[u] = reflex ? 1 : 0;
    }

    // Straight points count as reflex: they may not be clipped and they
    // block an ear whose triangle they touch.
    void classify (int v)
    {
        setReflex (v, turn (v) <= 0.0);
        earState[(size_t) v] = unknown;
    }

    bool isEar (int v) const
    {
        if (turn (v) <= 0.0)
            return false;

        const auto a = prev[(size_t) v], c = next[(size_t) v];
        const auto ua = (size_t) a, ub = (size_t) v, uc = (size_t) c;
        const auto minX = std::fmin (x[ua], std::fmin (x[ub], x[uc]));
        const auto maxX = std::fmax (x[ua], std::fmax (x[ub], x[uc]));
        const auto minY = std::fmin (y[ua], std::fmin (y[ub], y[uc]));
        const auto maxY = std::fmax (y[ua], std::fmax (y[ub], y[uc]));

        for (auto r = reflexHead; r != none; r = reflexNext[(size_t) r])
        {
            const auto ur = (size_t) r;

            if (r == a || r == c || x[ur] < minX || x[ur] > maxX || y[ur] < minY || y[ur] > maxY)
                continue;

            // Points on the triangle's edges block it too: clipping there
            // would leave a ring that touches itself.
            if (orientation * cross (a, v, r) >= 0.0
                && orientation * cross (v, c, r) >= 0.0
                && orientation * cross (c, a, r) >= 0.0)
                return false;
        }

        return true;
    }

    // For rings that are not simple: the next point from the cursor that
    // turns the ring's way, else any point that turns at all.
    int pickForcedEar (int cursor) const
    {
        auto v = cursor;

        for (auto i = 0; i < count; ++i, v = next[(size_t) v])
            if (turn (v) > 0.0)
                return v;

        for (auto i = 0; i < count; ++i, v = next[(size_t) v])
            if (turn (v) != 0.0)
                return v;

        return none;
    }

    // Emits the triangle at v, removes v and returns where to look next.
    int clip (int v, std::vector<int>& indices)
    {
        const auto a = prev[(size_t) v], c = next[(size_t) v];
        indices.push_back (a);
        indices.push_back (v);
        indices.push_back (c);

        unlink (v);

        if (count < 3)
            return a;

        const auto settled = settleJunction (a);

        if (count < 3)
            return settled;

        const auto after = next[(size_t) settled];
        classify (settled);
        classify (after);

        // Skipping one point spreads the triangles instead of fanning them
        // all out of one corner.
        return next[(size_t) after];
    }

    std::vector<double> x, y;
    std::vector<int> prev, next, reflexPrev, reflexNext;
    std::vector<uint8_t> inReflexList, earState;
    int first = none, count = 0, reflexHead = none;
    double orientation = 1.0;
};
} // namespace

std::vector<int> referenceTriangulateRing (const std::vector<juce::Point<float>>& ring)
{
    return EarClipper (ring).run();
}
} // namespace corvadine::test
