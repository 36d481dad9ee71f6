#include "model/Triangulator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
 #include <emmintrin.h>
#endif

namespace corvadine
{
namespace
{
constexpr int none = -1;

// Doubles hold the products of float differences exactly enough and neither
// overflow nor underflow for any finite float input.
inline double crossOf (double ax, double ay, double bx, double by, double cx, double cy)
{
    return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

// The arrays one run works on: coordinates as doubles, each point's turn
// (the cross product at it), the ring's links, each point's ear state and
// two sets of point numbers as bit flags (reflex points, and points that may
// be ears). Small rings keep them on the stack; larger ones in arrays kept
// per thread, so that a run allocates nothing but its result once they have
// grown to the ring's size.
struct Arrays
{
    double* x;
    double* y;
    double* turns;
    int* prev;
    int* next;
    uint8_t* earState;
    uint64_t* reflexBits;
    uint64_t* candidates;
};

constexpr size_t smallRing = 64;

struct SmallArrays
{
    double x[smallRing], y[smallRing], turns[smallRing];
    int prev[smallRing], next[smallRing];
    uint8_t earState[smallRing];
    uint64_t reflexBits[1], candidates[1];

    Arrays arrays() { return { x, y, turns, prev, next, earState, reflexBits, candidates }; }
};

struct Workspace
{
    std::vector<double> x, y, turns;
    std::vector<int> prev, next, zPrev, zNext;
    std::vector<uint8_t> earState;
    std::vector<uint32_t> zKey;
    std::vector<uint64_t> reflexBits, candidates, sortKeys, sortScratch;

    Arrays arrays (size_t size)
    {
        for (auto* v : { &x, &y, &turns })
            v->resize (size);

        prev.resize (size);
        next.resize (size);
        earState.resize (size);
        reflexBits.resize ((size + 63) / 64);
        candidates.resize ((size + 63) / 64);
        return { x.data(), y.data(), turns.data(), prev.data(), next.data(), earState.data(), reflexBits.data(), candidates.data() };
    }

    // A ring far larger than slices have gives its memory back afterwards.
    void releaseIfHuge()
    {
        if (prev.capacity() > 65536)
            *this = {};
    }
};

Workspace& workspace()
{
    thread_local Workspace space;
    return space;
}

// A set of point numbers below 64 * Words, as bit flags.
template <int Words>
struct PointSet
{
    uint64_t words[Words] = {};

    static PointSet below (int size)
    {
        PointSet set;

        for (int w = 0; w < Words; ++w)
        {
            const auto from = 64 * w;
            set.words[w] = size >= from + 64 ? ~uint64_t { 0 } : (size <= from ? 0 : (uint64_t { 1 } << (size - from)) - 1);
        }

        return set;
    }

    // One word needs no index, so the set can live in a register.
    static int wordOf (int v) { return Words == 1 ? 0 : v >> 6; }

    void add (int v) { words[wordOf (v)] |= uint64_t { 1 } << (v & 63); }
    void remove (int v) { words[wordOf (v)] &= ~(uint64_t { 1 } << (v & 63)); }
    void set (int v, bool in) { in ? add (v) : remove (v); }
    bool has (int v) const { return ((words[wordOf (v)] >> (v & 63)) & 1u) != 0; }

    bool empty() const
    {
        uint64_t any = 0;

        for (const auto w : words)
            any |= w;

        return any == 0;
    }

    int count() const
    {
        auto sum = 0;

        for (const auto w : words)
            sum += __builtin_popcountll (w);

        return sum;
    }

    PointSet operator& (const PointSet& other) const
    {
        PointSet set;

        for (int w = 0; w < Words; ++w)
            set.words[w] = words[w] & other.words[w];

        return set;
    }

    // The first point from `from` on, wrapping round; none when empty.
    int firstFrom (int from) const
    {
        auto word = wordOf (from);
        auto bits = words[word] & (~uint64_t { 0 } << (from & 63));

        for (int step = 0; step <= Words; ++step)
        {
            if (bits != 0)
                return 64 * word + __builtin_ctzll (bits);

            word = word + 1 == Words ? 0 : word + 1;
            bits = words[word];
        }

        return none;
    }

    // Calls visit with each point in increasing order while it returns true;
    // returns whether every call did.
    template <typename Visit>
    bool visitAll (Visit&& visit) const
    {
        for (int w = 0; w < Words; ++w)
            for (auto bits = words[w]; bits != 0; bits &= bits - 1)
                if (! visit (64 * w + __builtin_ctzll (bits)))
                    return false;

        return true;
    }
};

// Which way the corners of a small ring turn, as bit flags: a straight
// corner is in both sets.
template <int Words>
struct TurnSigns
{
    PointSet<Words> leftOrStraight, rightOrStraight;
};

// Loads the ring's points as doubles and, when all are finite, the cross
// product at each corner (with its ring neighbours) into turns, and for a
// small ring their signs. Returns whether all points are finite.
template <int Words = 1>
bool loadRing (const std::vector<juce::Point<float>>& ring, const Arrays& arrays, TurnSigns<Words>* signs = nullptr)
{
    const auto size = ring.size();
    auto* const x = arrays.x;
    auto* const y = arrays.y;
    // A float is not finite when its exponent bits are all ones: adding one
    // to the exponent then carries into the sign bit.
    uint32_t carries = 0;

    for (size_t i = 0; i < size; ++i)
    {
        uint32_t bits[2];
        std::memcpy (&bits[0], &ring[i].x, sizeof (float));
        std::memcpy (&bits[1], &ring[i].y, sizeof (float));
        carries |= ((bits[0] & 0x7F800000u) + 0x00800000u) | ((bits[1] & 0x7F800000u) + 0x00800000u);
        x[i] = (double) ring[i].x;
        y[i] = (double) ring[i].y;
    }

    if ((carries & 0x80000000u) != 0)
        return false;

    auto* const turns = arrays.turns;
    const auto last = size - 1;
    turns[0] = crossOf (x[last], y[last], x[0], y[0], x[1], y[1]);

    for (size_t v = 1; v < last; ++v)
        turns[v] = crossOf (x[v - 1], y[v - 1], x[v], y[v], x[v + 1], y[v + 1]);

    turns[last] = crossOf (x[last - 1], y[last - 1], x[last], y[last], x[0], y[0]);

    if (signs != nullptr)
    {
        size_t v = 0;
#if defined(__SSE2__)
        // Two corners at a time.
        const auto zero = _mm_setzero_pd();

        for (; v + 1 < size; v += 2)
        {
            const auto pair = _mm_loadu_pd (turns + v);
            const auto word = PointSet<Words>::wordOf ((int) v);
            signs->leftOrStraight.words[word] |= (uint64_t) _mm_movemask_pd (_mm_cmpge_pd (pair, zero)) << (v & 63);
            signs->rightOrStraight.words[word] |= (uint64_t) _mm_movemask_pd (_mm_cmple_pd (pair, zero)) << (v & 63);
        }
#endif
        for (; v < size; ++v)
        {
            const auto word = PointSet<Words>::wordOf ((int) v);
            signs->leftOrStraight.words[word] |= (uint64_t) (turns[v] >= 0.0) << (v & 63);
            signs->rightOrStraight.words[word] |= (uint64_t) (turns[v] <= 0.0) << (v & 63);
        }
    }

    return true;
}

// Rings whose every corner turns the same way, and keeps doing so while ears
// are clipped, are clipped here without the general clipper's bookkeeping:
// every point is an ear, so the clipper would take the point after the next
// one each time. This follows the same steps with the same arithmetic and
// gives up (returning false, having written nothing) at the first corner the
// general clipper would see differently: a straight or reflex corner, or an
// orientation that disagrees with the ring's area. With signsChecked the
// caller has made sure that every corner turns the same way strictly.
bool clipConvexRing (size_t ringSize, const Arrays& arrays, std::vector<int>& indices, bool signsChecked = false)
{
    const auto size = (int) ringSize;
    const auto* x = arrays.x;
    const auto* y = arrays.y;
    auto* prev = arrays.prev;
    auto* next = arrays.next;

    const auto cross = [x, y] (int a, int b, int c)
    {
        return crossOf (x[a], y[a], x[b], y[b], x[c], y[c]);
    };

    // Every corner must turn the same way, strictly...
    const auto sign = arrays.turns[0] > 0.0 ? 1.0 : -1.0;

    for (int v = 0; v < size && ! signsChecked; ++v)
        if (! (sign * arrays.turns[v] > 0.0))
            return false;

    // ... and that way must be the ring's orientation: the sign of its
    // doubled area, fanned from the first point as the general clipper
    // measures it.
    auto area = 0.0;

    for (int v = 1; v + 1 < size; ++v)
        area += cross (0, v, v + 1);

    if (! (sign * area > 0.0))
        return false;

    for (int v = 0; v < size; ++v)
    {
        prev[v] = v == 0 ? size - 1 : v - 1;
        next[v] = v + 1 == size ? 0 : v + 1;
    }

    indices.reserve ((size_t) (size - 2) * 3);
    auto cursor = 0;

    for (auto count = size; count >= 3;)
    {
        const auto a = prev[cursor], c = next[cursor];
        indices.push_back (a);
        indices.push_back (cursor);
        indices.push_back (c);

        next[a] = c;
        prev[c] = a;

        if (--count < 3)
            break;

        // The two corners the clip changed must still turn the ring's way.
        if (! (sign * cross (prev[a], a, c) > 0.0 && sign * cross (a, c, next[c]) > 0.0))
        {
            indices.clear();
            return false;
        }

        cursor = next[c];
    }

    return true;
}

// Ear clipping of a ring of at most 64 * Words finite points (slice outlines
// have far fewer): the same steps as EarClipper below, in the same order
// with the same arithmetic, so it gives the same triangles in the same
// order. Each set of points (alive, reflex, may be an ear) is a few words of
// bit flags and the state lives in locals (everything inlined here, so that
// a single word stays in a register), which is where small rings spend their
// time. The ear test looks at every reflex point, which beats the z-order
// index up to about 128 points. The ear state needs no array of its own: a
// point is tested as soon as the walk reaches it and clipped at once when it
// is an ear, so "may be an ear" is exactly the set of points not tested
// since their corner last changed.
template <int Words>
__attribute__ ((flatten)) void clipSmallRing (int size, const Arrays& arrays, const TurnSigns<Words>& signs, std::vector<int>& indices)
{
    const auto* const x = arrays.x;
    const auto* const y = arrays.y;
    const auto* const turns = arrays.turns;
    auto* const prev = arrays.prev;
    auto* const next = arrays.next;

    const auto cross = [x, y] (int a, int b, int c) { return crossOf (x[a], y[a], x[b], y[b], x[c], y[c]); };

    prev[0] = size - 1;
    next[size - 1] = 0;

    for (int v = 1; v < size; ++v)
    {
        prev[v] = v - 1;
        next[v - 1] = v;
    }

    auto alive = PointSet<Words>::below (size);
    PointSet<Words> reflex, candidates;
    auto first = 0, count = size;
    auto orientation = 1.0;

    // The cross product at v with its current neighbours: the one loadRing
    // worked out while they are still the ring's own.
    const auto crossAt = [&] (int v)
    {
        const auto p = prev[v], n = next[v];
        const auto neighboursKept = p == (v == 0 ? size - 1 : v - 1) && n == (v + 1 == size ? 0 : v + 1);
        return neighboursKept ? turns[v] : cross (p, v, n);
    };

    const auto isDegenerate = [&] (int v, double crossAtV)
    {
        if (crossAtV != 0.0)
            return false;

        const auto p = prev[v], n = next[v];
        const auto dot = (x[v] - x[p]) * (x[n] - x[v]) + (y[v] - y[p]) * (y[n] - y[v]);
        return dot <= 0.0;
    };

    const auto unlink = [&] (int v)
    {
        const auto p = prev[v], n = next[v];
        next[p] = n;
        prev[n] = p;

        if (first == v)
            first = n;

        alive.remove (v);
        reflex.remove (v);
        candidates.remove (v);
        --count;
    };

    const auto settleJunction = [&] (int a, double& crossAtA, double& crossAfter)
    {
        auto b = next[a];

        while (count >= 3)
        {
            crossAtA = cross (prev[a], a, b);

            if (isDegenerate (a, crossAtA))
            {
                const auto p = prev[a];
                unlink (a);
                a = p;
                continue;
            }

            crossAfter = cross (a, b, next[b]);

            if (isDegenerate (b, crossAfter))
            {
                const auto n = next[b];
                unlink (b);
                b = n;
                continue;
            }

            break;
        }

        return a;
    };

    // Straight corners count as reflex: they may not be clipped and they
    // block an ear whose triangle they touch.
    const auto classify = [&] (int v, double crossAtV)
    {
        reflex.set (v, orientation * crossAtV <= 0.0);
        candidates.add (v);
    };

    const auto isEar = [&] (int v)
    {
        if (reflex.has (v))
            return false;

        const auto a = prev[v], c = next[v];
        auto blockers = reflex;
        blockers.remove (a);
        blockers.remove (c);

        if (blockers.empty())
            return true;

        const auto minX = std::min (x[a], std::min (x[v], x[c]));
        const auto maxX = std::max (x[a], std::max (x[v], x[c]));
        const auto minY = std::min (y[a], std::min (y[v], y[c]));
        const auto maxY = std::max (y[a], std::max (y[v], y[c]));

        return blockers.visitAll ([&] (int r)
        {
            // Most points lie outside the ear's box.
            if (x[r] < minX || x[r] > maxX || y[r] < minY || y[r] > maxY)
                return true;

            // The side facing the rest of the ring first: most points
            // that are near the ear but outside it lie beyond it.
            return ! (orientation * cross (c, a, r) >= 0.0
                      && orientation * cross (a, v, r) >= 0.0
                      && orientation * cross (v, c, r) >= 0.0);
        });
    };

    const auto pickForcedEar = [&] (int cursor)
    {
        auto v = cursor;

        for (auto i = 0; i < count; ++i, v = next[v])
            if (orientation * cross (prev[v], v, next[v]) > 0.0)
                return v;

        for (auto i = 0; i < count; ++i, v = next[v])
            if (orientation * cross (prev[v], v, next[v]) != 0.0)
                return v;

        return none;
    };

    // Only a straight corner can be degenerate: a point whose neighbours a
    // removal changed was settled right then, and stays settled until its
    // neighbours change again. A straight corner with the ring's own
    // neighbours is degenerate when it doubles back. So walking those in
    // order drops the same points as the general clipper's walk over all.
    (signs.leftOrStraight & signs.rightOrStraight).visitAll ([&] (int v)
    {
        if (! alive.has (v) || ! isDegenerate (v, count == size ? turns[v] : crossAt (v)))
            return true;

        const auto p = prev[v];
        unlink (v);
        double unused[2];
        settleJunction (p, unused[0], unused[1]);
        return count >= 3;
    });

    if (count < 3)
        return;

    // The doubled area fanned from the first point, as the general clipper
    // measures it.
    auto area = 0.0;

    if (count == size)
    {
        for (int v = 1; v + 1 < size; ++v)
            area += cross (0, v, v + 1);
    }
    else
    {
        for (auto v = next[first]; next[v] != first; v = next[v])
            area += cross (first, v, next[v]);
    }

    if (! std::isfinite (area) || area == 0.0)
        return;

    orientation = area > 0.0 ? 1.0 : -1.0;

    if (count == size)
    {
        // Every corner is still the ring's own.
        reflex = orientation > 0.0 ? signs.rightOrStraight : signs.leftOrStraight;
        candidates = alive;
    }
    else
    {
        alive.visitAll ([&] (int v)
        {
            classify (v, crossAt (v));
            return true;
        });
    }

    int triangles[3 * 64 * Words];
    auto emitted = 0;
    auto cursor = first, walkStart = first;

    while (count >= 3)
    {
        auto v = none;

        if (candidates.empty())
        {
            // Out of ears: the ring is not simple.
            v = pickForcedEar (walkStart);

            if (v == none)
                break;
        }
        else
        {
            cursor = candidates.firstFrom (cursor);

            if (! isEar (cursor))
            {
                candidates.remove (cursor);
                continue;
            }

            v = cursor;
        }

        // Clip v.
        const auto a = prev[v], c = next[v];
        triangles[emitted] = a;
        triangles[emitted + 1] = v;
        triangles[emitted + 2] = c;
        emitted += 3;
        unlink (v);
        cursor = walkStart = a;

        if (count < 3)
            break;

        auto crossAtSettled = 0.0, crossAfter = 0.0;
        const auto settled = settleJunction (a, crossAtSettled, crossAfter);
        cursor = walkStart = settled;

        if (count < 3)
            break;

        const auto after = next[settled];
        classify (settled, crossAtSettled);
        classify (after, crossAfter);
        cursor = walkStart = next[after];
    }

    indices.assign (triangles, triangles + emitted);
}

// Ear clipping over a doubly linked ring of the usable points.
//
// Each point's ear state is cached and recomputed only when one of its
// neighbours is clipped: in a simple polygon clipping an ear never changes
// whether a point further away is an ear, so every point is tested O(1)
// times. The ear test looks only at the current reflex points: all of them
// while they are few, and once they are many only those near the ear,
// found through the points sorted along a z-order curve. The search for the
// next point to test skips the points known not to be ears a word of flags
// at a time. Rings that are not simple can run out of cached ears; they fall
// back to clipping a convex point regardless, so every round removes a point
// and the run always ends.
class EarClipper
{
public:
    // With turnsLoaded, every point is finite and turns holds the cross
    // product at each corner of the whole ring (loadRing).
    EarClipper (size_t ringSize, const Arrays& arrays, bool turnsLoaded, Workspace* largeSpace)
        : size (ringSize),
          words ((ringSize + 63) / 64),
          x (arrays.x),
          y (arrays.y),
          turns (arrays.turns),
          prev (arrays.prev),
          next (arrays.next),
          earState (arrays.earState),
          reflexBits (arrays.reflexBits),
          candidates (arrays.candidates),
          space (largeSpace),
          cornersKnown (turnsLoaded)
    {
        std::fill (reflexBits, reflexBits + words, uint64_t { 0 });
        std::fill (candidates, candidates + words, uint64_t { 0 });

        if (turnsLoaded)
        {
            // Every point is usable: the ring is the points in their order.
            for (size_t i = 0; i < size; ++i)
            {
                prev[i] = i == 0 ? (int) size - 1 : (int) i - 1;
                next[i] = i + 1 == size ? 0 : (int) i + 1;
                earState[i] = unknown;
            }

            first = 0;
            count = (int) size;
            return;
        }

        for (size_t i = 0; i < size; ++i)
        {
            const auto v = (int) i;

            if (! (std::isfinite (x[i]) && std::isfinite (y[i])))
            {
                prev[i] = next[i] = none;
                earState[i] = removed;
                continue;
            }

            earState[i] = unknown;

            if (first == none)
            {
                first = v;
                prev[i] = next[i] = v;
            }
            else
            {
                const auto last = prev[first];
                next[last] = v;
                prev[i] = last;
                next[i] = first;
                prev[first] = v;
            }

            ++count;
        }
    }

    void run (std::vector<int>& indices)
    {
        if (count < 3)
            return;

        // No corner of the whole ring is straight: no point is degenerate.
        const auto straightCorner = ! cornersKnown
                                 || std::any_of (turns, turns + size, [] (double turn) { return turn == 0.0; });

        if (straightCorner)
            dropDegeneratePoints();

        if (count < 3)
            return;

        const auto area = doubledArea();

        if (! std::isfinite (area) || area == 0.0)
            return;

        orientation = area > 0.0 ? 1.0 : -1.0;
        indices.reserve ((size_t) (count - 2) * 3);

        for (auto v = first, i = 0; i < count; ++i, v = next[v])
            classify (v, straightCorner ? cross (prev[v], v, next[v]) : turns[v]);

        // The walk goes round the ring from where the last clip left it.
        auto cursor = first, walkStart = first;

        while (count >= 3)
        {
            // The first point from the cursor on that may be an ear; the
            // points passed over are known not to be. When there is none,
            // the walk has gone once round the ring back to its start: the
            // ring is not simple.
            const auto candidate = nextCandidate (cursor);

            if (candidate == none)
            {
                const auto forced = pickForcedEar (walkStart);

                if (forced == none)
                    break;

                cursor = walkStart = clip (forced, indices);
                continue;
            }

            cursor = candidate;
            auto& state = earState[cursor];

            if (state == unknown)
            {
                state = isEar (cursor) ? ear : notEar;

                if (state == notEar)
                    clearBit (candidates, cursor);
            }

            if (state == ear)
                cursor = walkStart = clip (cursor, indices);
        }
    }

private:
    enum : uint8_t { unknown, ear, notEar, removed };

    // The ear test goes through the z-order index once this many reflex
    // points are left; below it, looking at each of them is cheaper.
    static constexpr int manyReflexPoints = 48;

    static void setBit (uint64_t* bits, int v) { bits[(unsigned) v >> 6] |= uint64_t { 1 } << ((unsigned) v & 63u); }
    static void clearBit (uint64_t* bits, int v) { bits[(unsigned) v >> 6] &= ~(uint64_t { 1 } << ((unsigned) v & 63u)); }
    static bool hasBit (const uint64_t* bits, int v) { return ((bits[(unsigned) v >> 6] >> ((unsigned) v & 63u)) & 1u) != 0; }

    double cross (int a, int b, int c) const
    {
        return crossOf (x[a], y[a], x[b], y[b], x[c], y[c]);
    }

    // Positive where the ring turns the way it winds.
    double turn (int v) const
    {
        return orientation * cross (prev[v], v, next[v]);
    }

    // Whether v, with the cross product at it, is a point equal to a
    // neighbour or the tip of a spike that doubles back on itself: dropping
    // it changes neither the covered area nor which points the triangles may
    // use.
    bool isDegenerate (int v, double crossAtV) const
    {
        if (crossAtV != 0.0)
            return false;

        const auto p = prev[v], n = next[v];
        const auto dot = (x[v] - x[p]) * (x[n] - x[v]) + (y[v] - y[p]) * (y[n] - y[v]);
        return dot <= 0.0;
    }

    bool isDegenerate (int v) const
    {
        return isDegenerate (v, cross (prev[v], v, next[v]));
    }

    // The ring keeps the order of the input, so the next point in ring order
    // that may be an ear is the next flagged point number, wrapping round.
    int nextCandidate (int from) const
    {
        auto word = (size_t) from >> 6;
        auto bits = candidates[word] & (~uint64_t { 0 } << (from & 63));

        for (size_t step = 0; step <= words; ++step)
        {
            if (bits != 0)
                return (int) (word << 6) + __builtin_ctzll (bits);

            word = word + 1 == words ? 0 : word + 1;
            bits = candidates[word];
        }

        return none;
    }

    void unlink (int v)
    {
        const auto p = prev[v], n = next[v];
        next[p] = n;
        prev[n] = p;

        if (first == v)
            first = n;

        setReflex (v, false);
        clearBit (candidates, v);
        earState[v] = removed;

        if (zIndexed)
        {
            if (zPrev[v] != none)
                zNext[zPrev[v]] = zNext[v];

            if (zNext[v] != none)
                zPrev[zNext[v]] = zPrev[v];
        }

        --count;
    }

    // Drops degenerate points around the junction between a and next[a]
    // (left by a removal) until none is left; returns the point before it,
    // with the cross products at it and at the point after it.
    int settleJunction (int a, double& crossAtA, double& crossAfter)
    {
        auto b = next[a];

        while (count >= 3)
        {
            crossAtA = cross (prev[a], a, b);

            if (isDegenerate (a, crossAtA))
            {
                const auto p = prev[a];
                unlink (a);
                a = p;
                continue;
            }

            crossAfter = cross (a, b, next[b]);

            if (isDegenerate (b, crossAfter))
            {
                const auto n = next[b];
                unlink (b);
                b = n;
                continue;
            }

            break;
        }

        return a;
    }

    void dropDegeneratePoints()
    {
        // Walk the points once; every removal re-examines its two neighbours.
        for (size_t i = 0; i < size && count >= 3; ++i)
        {
            const auto v = (int) i;

            if (! isAlive (v) || ! isDegenerate (v))
                continue;

            const auto p = prev[i];
            unlink (v);
            double unused[2];
            settleJunction (p, unused[0], unused[1]);
        }
    }

    bool isAlive (int v) const { return earState[v] != removed; }

    double doubledArea() const
    {
        // Measured from the first point to keep far-off coordinates precise.
        auto sum = 0.0;

        for (auto v = next[first]; next[v] != first; v = next[v])
            sum += cross (first, v, next[v]);

        return sum;
    }

    void setReflex (int v, bool reflex)
    {
        if (reflex == hasBit (reflexBits, v))
            return;

        if (reflex)
        {
            setBit (reflexBits, v);
            ++reflexCount;
        }
        else
        {
            clearBit (reflexBits, v);
            --reflexCount;
        }
    }

    // Takes v's cross product with its current neighbours. Straight points
    // count as reflex: they may not be clipped and they block an ear whose
    // triangle they touch.
    void classify (int v, double crossAtV)
    {
        turns[v] = orientation * crossAtV;
        setReflex (v, turns[v] <= 0.0);
        earState[v] = unknown;
        setBit (candidates, v);
    }

    // Whether reflex point r (not a or c) blocks the ear a, v, c with the
    // given box: points on the triangle's edges block it too, since clipping
    // there would leave a ring that touches itself.
    bool inside (int r, int a, int v, int c, double minX, double maxX, double minY, double maxY) const
    {
        if (x[r] < minX || x[r] > maxX || y[r] < minY || y[r] > maxY)
            return false;

        // The side facing the rest of the ring first: most points that are
        // near the ear but outside it lie beyond it.
        return orientation * cross (c, a, r) >= 0.0
            && orientation * cross (a, v, r) >= 0.0
            && orientation * cross (v, c, r) >= 0.0;
    }

    bool blocks (int r, int a, int v, int c, double minX, double maxX, double minY, double maxY) const
    {
        return r != a && r != c && inside (r, a, v, c, minX, maxX, minY, maxY);
    }

    bool isEar (int v)
    {
        // The turn classify stored: v's neighbours have not changed since.
        if (turns[v] <= 0.0)
            return false;

        const auto a = prev[v], c = next[v];
        const auto minX = std::min (x[a], std::min (x[v], x[c]));
        const auto maxX = std::max (x[a], std::max (x[v], x[c]));
        const auto minY = std::min (y[a], std::min (y[v], y[c]));
        const auto maxY = std::max (y[a], std::max (y[v], y[c]));

        if (! zIndexed && reflexCount >= manyReflexPoints && space != nullptr && ! zIndexUnusable)
            buildZIndex();

        if (! zIndexed)
        {
            for (size_t word = 0; word < words; ++word)
            {
                for (auto bits = reflexBits[word]; bits != 0; bits &= bits - 1)
                {
                    const auto r = (int) (word << 6) + __builtin_ctzll (bits);

                    if (blocks (r, a, v, c, minX, maxX, minY, maxY))
                        return false;
                }
            }

            return true;
        }

        // Every point inside the box has a key between those of the box's
        // corners, and the points are sorted by key: look from v both ways
        // until the keys leave that range. Only reflex points can block.
        const auto minKey = zKeyOf (minX, minY), maxKey = zKeyOf (maxX, maxY);

        for (auto r = zPrev[v]; r != none && zKey[r] >= minKey; r = zPrev[r])
            if (hasBit (reflexBits, r) && blocks (r, a, v, c, minX, maxX, minY, maxY))
                return false;

        for (auto r = zNext[v]; r != none && zKey[r] <= maxKey; r = zNext[r])
            if (hasBit (reflexBits, r) && blocks (r, a, v, c, minX, maxX, minY, maxY))
                return false;

        return true;
    }

    // Interleaves the bits of the two coordinates, each scaled to 15 bits
    // over the ring's box. The scaling only rounds down and never reverses
    // an order, so a point inside a box keys between the box's corners.
    uint32_t zKeyOf (double px, double py) const
    {
        const auto spread = [] (double scaled)
        {
            auto bits = (uint32_t) std::min (32767.0, std::max (0.0, scaled));
            bits = (bits | (bits << 8)) & 0x00FF00FFu;
            bits = (bits | (bits << 4)) & 0x0F0F0F0Fu;
            bits = (bits | (bits << 2)) & 0x33333333u;
            bits = (bits | (bits << 1)) & 0x55555555u;
            return bits;
        };

        return spread ((px - boxX) * keyScale) | (spread ((py - boxY) * keyScale) << 1);
    }

    void buildZIndex()
    {
        auto minX = x[first], maxX = minX, minY = y[first], maxY = minY;
        auto v = first;

        do
        {
            minX = std::min (minX, x[v]);
            maxX = std::max (maxX, x[v]);
            minY = std::min (minY, y[v]);
            maxY = std::max (maxY, y[v]);
            v = next[v];
        } while (v != first);

        const auto extent = std::max (maxX - minX, maxY - minY);
        keyScale = 32767.0 / extent;

        if (! (std::isfinite (keyScale) && keyScale > 0.0))
        {
            zIndexUnusable = true;
            return;
        }

        boxX = minX;
        boxY = minY;

        space->zKey.resize (size);
        space->zPrev.resize (size);
        space->zNext.resize (size);
        zKey = space->zKey.data();
        zPrev = space->zPrev.data();
        zNext = space->zNext.data();

        auto& keys = space->sortKeys;
        keys.clear();

        do
        {
            zKey[v] = zKeyOf (x[v], y[v]);
            keys.push_back ((uint64_t) zKey[v] << 32 | (uint32_t) v);
            v = next[v];
        } while (v != first);

        radixSortByKey (keys, space->sortScratch);

        for (size_t i = 0; i < keys.size(); ++i)
        {
            const auto point = (int) (uint32_t) keys[i];
            zPrev[point] = i == 0 ? none : (int) (uint32_t) keys[i - 1];
            zNext[point] = i + 1 == keys.size() ? none : (int) (uint32_t) keys[i + 1];
        }

        zIndexed = true;
    }

    // Sorts by the upper 32 bits (the 30-bit key), a byte at a time.
    static void radixSortByKey (std::vector<uint64_t>& keys, std::vector<uint64_t>& scratch)
    {
        scratch.resize (keys.size());

        for (int shift = 32; shift < 62; shift += 8)
        {
            std::array<uint32_t, 257> counts {};

            for (const auto key : keys)
                ++counts[((key >> shift) & 0xFF) + 1];

            for (size_t i = 1; i < counts.size(); ++i)
                counts[i] += counts[i - 1];

            for (const auto key : keys)
                scratch[counts[(key >> shift) & 0xFF]++] = key;

            keys.swap (scratch);
        }
    }

    // For rings that are not simple: the next point from the cursor that
    // turns the ring's way, else any point that turns at all.
    int pickForcedEar (int cursor) const
    {
        auto v = cursor;

        for (auto i = 0; i < count; ++i, v = next[v])
            if (turn (v) > 0.0)
                return v;

        for (auto i = 0; i < count; ++i, v = next[v])
            if (turn (v) != 0.0)
                return v;

        return none;
    }

    // Emits the triangle at v, removes v and returns where to look next.
    int clip (int v, std::vector<int>& indices)
    {
        const auto a = prev[v], c = next[v];
        indices.push_back (a);
        indices.push_back (v);
        indices.push_back (c);

        unlink (v);

        if (count < 3)
            return a;

        auto crossAtSettled = 0.0, crossAfter = 0.0;
        const auto settled = settleJunction (a, crossAtSettled, crossAfter);

        if (count < 3)
            return settled;

        const auto after = next[settled];
        classify (settled, crossAtSettled);
        classify (after, crossAfter);

        // Skipping one point spreads the triangles instead of fanning them
        // all out of one corner.
        return next[after];
    }

    const size_t size, words;
    double* const x;
    double* const y;
    double* const turns;
    int* const prev;
    int* const next;
    uint8_t* const earState;
    uint64_t* const reflexBits;
    uint64_t* const candidates;
    Workspace* const space;
    const bool cornersKnown;
    uint32_t* zKey = nullptr;
    int* zPrev = nullptr;
    int* zNext = nullptr;
    int first = none, count = 0, reflexCount = 0;
    double orientation = 1.0;
    bool zIndexed = false, zIndexUnusable = false;
    double boxX = 0.0, boxY = 0.0, keyScale = 0.0;
};

// Rings of up to 64 * Words points: loaded with their corners' signs, then
// clipped as a convex ring or by the small-ring clipper.
template <int Words>
void triangulateSmallRing (const std::vector<juce::Point<float>>& ring, const Arrays& arrays, Workspace* space, std::vector<int>& indices)
{
    const auto size = ring.size();
    TurnSigns<Words> signs;
    const auto finite = loadRing (ring, arrays, &signs);

    // Every corner turning the same way strictly: the convex clipper's
    // first condition, known here at once.
    const auto convex = signs.leftOrStraight.empty() || signs.rightOrStraight.empty();

    // Looking at every reflex or straight point in each ear test costs more
    // than the z-order index once there are very many of them (a rectangle
    // with its points spread along the edges is all straight points).
    const auto manyNotConvex = Words > 1 && std::min (signs.leftOrStraight.count(), signs.rightOrStraight.count()) >= 96;

    if (! finite)
        EarClipper (size, arrays, false, space).run (indices);
    else if (convex && clipConvexRing (size, arrays, indices, true))
        return;
    else if (manyNotConvex)
        EarClipper (size, arrays, true, space).run (indices);
    else
        clipSmallRing ((int) size, arrays, signs, indices);
}
} // namespace

std::vector<int> triangulateRing (const std::vector<juce::Point<float>>& ring)
{
    std::vector<int> indices;
    const auto size = ring.size();

    if (size < 3)
        return indices;

    if (size <= smallRing)
    {
        SmallArrays small;
        triangulateSmallRing<1> (ring, small.arrays(), nullptr, indices);
    }
    else if (size <= 2 * smallRing)
    {
        // Up to two words of flags, with the arrays kept per thread.
        auto& space = workspace();
        triangulateSmallRing<2> (ring, space.arrays (size), &space, indices);
    }
    else
    {
        auto& space = workspace();
        const auto arrays = space.arrays (size);
        const auto finite = loadRing (ring, arrays);

        if (! (finite && clipConvexRing (size, arrays, indices)))
            EarClipper (size, arrays, finite, &space).run (indices);

        space.releaseIfHuge();
    }

    return indices;
}
} // namespace corvadine
