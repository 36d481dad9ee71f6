#include "stage/TransformerManager.h"

#include "stage/StageItem.h"

#include <cmath>
#include <utility>
#include <vector>

namespace corvadine
{
namespace
{
using juce::AffineTransform;
using Placements = std::vector<std::pair<TransformableComponent*, AffineTransform>>;

// π/12 and π/2 in single precision.
constexpr float fifteenDegrees = 0.2617994f;
constexpr float quarterTurn = 1.5707964f;

bool isFinite (float v)
{
    return std::isfinite (v);
}

// Nothing that is not finite or cannot be inverted may become a component
// transform: JUCE maps every mouse position through the inverse.
bool isUsable (const AffineTransform& t)
{
    for (auto v : { t.mat00, t.mat01, t.mat02, t.mat10, t.mat11, t.mat12 })
        if (! isFinite (v))
            return false;

    return ! t.isSingularity() && ! t.inverted().isSingularity();
}

// Applies all of the placements, or none when one of them is unusable.
bool applyAll (const Placements& placements)
{
    for (const auto& [component, t] : placements)
        if (! isUsable (t))
            return false;

    for (const auto& [component, t] : placements)
        component->setTransform (t);

    return true;
}

const juce::ModifierKeys& modifiers()
{
    return juce::ModifierKeys::currentModifiers;
}

// A stage-space vector in the axes of a frame turned by theta.
juce::Point<float> unrotated (juce::Point<float> o, float theta)
{
    const auto c = std::cos (theta), s = std::sin (theta);
    return { o.x * c + o.y * s, o.y * c - o.x * s };
}

juce::Point<float> rotatedBackAbout (juce::Point<float> p, juce::Point<float> c, float theta)
{
    return c + unrotated (p - c, theta);
}

bool arePositive (juce::Point<float> f)
{
    return isFinite (f.x) && isFinite (f.y) && f.x > 0.0f && f.y > 0.0f;
}
} // namespace

TransformerManager::TransformerManager (juce::Array<StageItem*>& items)
    : stageItems (items)
{
    setInterceptsMouseClicks (false, false);

    widget.onMove = [this] (juce::Point<int> offset)
    {
        snapping = ! modifiers().isCtrlDown();
        moveSelection (offset, false);
    };
    widget.onNudge = [this] (juce::Point<int> step)
    {
        snapping = false;
        moveSelection (step, true);
        commitTransform();
    };
    widget.onScale = [this] (int handle, float angle, int distance) { scaleSelection (handle, angle, distance); };
    widget.onRotate = [this] (float angle) { rotateSelection (angle); };
    widget.onTransformEnd = [this] { commitTransform(); };
    widget.onClick = [this] (const juce::MouseEvent& e) { clickSelection (e); };
}

TransformerManager::~TransformerManager() = default;

void TransformerManager::selectItem (StageItem* item, bool toggle)
{
    if (item == nullptr)
        return;

    if (toggle)
    {
        if (selection.contains (item))
        {
            item->setSelected (false);
            selection.removeAllInstancesOf (item);
        }
        else
        {
            item->setSelected (true);
            selection.add (item);
        }
    }
    else
    {
        if (selection.contains (item))
            return;

        for (auto* s : selection)
            s->setSelected (false);

        selection.clearQuick();
        selection.add (item);
        item->setSelected (true);
    }

    fitToSelection();
    commitOwnPlacement();
    updateWidget();
}

void TransformerManager::setSelection (const juce::Array<StageItem*>& items)
{
    for (auto* s : selection)
        s->setSelected (false);

    selection.clearQuick();

    for (auto* item : items)
        if (item != nullptr)
            selection.addIfNotAlreadyThere (item);

    for (auto* s : selection)
        s->setSelected (true);

    fitToSelection();
    commitOwnPlacement();
    updateWidget();
}

void TransformerManager::clearSelection()
{
    for (auto* s : selection)
        s->setSelected (false);

    selection.clearQuick();
    updateWidget();
}

void TransformerManager::commitOwnPlacement()
{
    rotation += pendingRotation;
    pendingRotation = 0.0f;
    committedTransform = getTransform();
}

void TransformerManager::commitTransform()
{
    bool removed = false;

    for (int i = selection.size(); --i >= 0;)
    {
        auto* item = selection.getUnchecked (i);

        if (! item->isVisible() || ! item->isSelectable())
        {
            item->setSelected (false);
            selection.remove (i);
            removed = true;
        }
    }

    for (auto* item : selection)
        item->setPlacement (item->getTransform());

    if (removed || selection.size() > 1)
        fitToSelection();

    commitOwnPlacement();
    snapping = false;
    xGuides.clearQuick();
    yGuides.clearQuick();
    updateWidget();

    if (onTransformCommitted)
        onTransformCommitted();
}

void TransformerManager::updateWidget()
{
    bool handles = false;

    for (auto* item : selection)
        if (item->canTransform() && ! item->locked)
            handles = true;

    widget.showHandles = handles;
    widget.frameBounds = getBounds().toFloat();
    widget.frameTransform = getTransform();
    widget.layoutHandles();
    widget.setVisible (! selection.isEmpty());

    if (selection.isEmpty())
    {
        focusedSelection.clearQuick();
    }
    else if (selection != focusedSelection && widget.isShowing())
    {
        // The arrow keys go to the gizmo once something new is selected.
        focusedSelection = selection;
        widget.grabKeyboardFocus();
    }

    snapTargets.rebuild (stageItems, selection);
    widget.setGuides (snapping, yGuides, xGuides);
    widget.repaint();
}

void TransformerManager::fitToSelection()
{
    if (selection.isEmpty())
    {
        setVisible (false);
        return;
    }

    setVisible (true);

    if (selection.size() == 1)
    {
        const auto* item = selection.getFirst();
        outline = item->outline;
        setBounds (outline.getBounds().toNearestInt());

        if (const auto t = item->getTransform(); isUsable (t))
            setTransform (t);

        rotation = item->rotation + item->pendingRotation;
        pendingRotation = 0.0f;
    }
    else
    {
        juce::Rectangle<int> frame;

        for (int i = 0; i < selection.size(); ++i)
        {
            const auto* item = selection.getUnchecked (i);
            auto placed = item->outline;
            placed.applyTransform (item->getTransform());
            const auto box = placed.getBounds().toNearestInt();
            frame = i == 0 ? box : frame.getUnion (box);
        }

        setBounds (frame);
        setTransform ({});
        rotation = 0.0f;
        pendingRotation = 0.0f;
    }

    for (auto* item : selection)
        item->toFront (false);

    widget.toFront (false);
}

juce::Point<float> TransformerManager::getGridPoint (int index, juce::Rectangle<int> r)
{
    if (index < 0 || index > 8)
        return {};

    const auto f = r.toFloat();
    return { f.getX() + f.getWidth() * 0.5f * static_cast<float> (index % 3),
             f.getY() + f.getHeight() * 0.5f * static_cast<float> (index / 3) };
}

juce::Point<float> TransformerManager::activeHandlePoint() const
{
    const auto points = widget.getHandlePoints();
    return juce::isPositiveAndBelow (widget.activeHandle, points.size()) ? points[widget.activeHandle]
                                                                         : juce::Point<float>();
}

juce::Point<float> TransformerManager::snapOffset()
{
    return snapTargets.snap (activeHandlePoint(), xGuides, yGuides);
}

void TransformerManager::moveSelection (juce::Point<int> delta, bool nudge)
{
    if (selection.isEmpty())
        return;

    const auto m = committedTransform;
    const auto previousFrame = getTransform();
    const auto frameFor = [&] (juce::Point<float> d)
    {
        return nudge ? m.followedBy (AffineTransform::translation (d.x, d.y))
                     : AffineTransform::translation (d.x, d.y).followedBy (m);
    };

    auto d = delta.toFloat();

    if (! applyAll ({ { this, frameFor (d) } }))
        return;

    updateWidget();

    if (snapping)
    {
        auto o = snapOffset();

        if (selection.size() == 1)
        {
            // One item moves in its own axes and at its own scale.
            o = unrotated (o, rotation + pendingRotation);
            const auto placed = getTransformedOutline().getBounds();
            const auto own = outline.getBounds();
            const auto sx = placed.getWidth() / own.getWidth();
            const auto sy = placed.getHeight() / own.getHeight();
            o = { isFinite (o.x / sx) ? o.x / sx : 0.0f, isFinite (o.y / sy) ? o.y / sy : 0.0f };
        }

        if (applyAll ({ { this, frameFor (d - o) } }))
            d -= o;

        updateWidget();
    }

    const auto shift = AffineTransform::translation (d.x, d.y);
    const auto inStageAxes = selection.size() > 1 || nudge;
    placeSelection ([&] (const AffineTransform& mi) { return inStageAxes ? mi.followedBy (shift) : shift.followedBy (mi); },
                    previousFrame);
}

juce::Point<float> TransformerManager::getScaleFactors (int handle, juce::Point<float> v) const
{
    const auto m = committedTransform;
    const auto theta = rotation + pendingRotation;
    const auto bounds = getBounds();
    const auto c = getGridPoint (4, bounds).transformedBy (m);
    const auto h = rotatedBackAbout (getGridPoint (handle, bounds).transformedBy (m), c, theta);
    const auto p = modifiers().isAltDown() ? c : rotatedBackAbout (getGridPoint (8 - handle, bounds).transformedBy (m), c, theta);

    if (modifiers().isShiftDown())
    {
        const auto f = p.getDistanceFrom (h + v) / p.getDistanceFrom (h);
        return { f, f };
    }

    if (handle < 0 || handle > 8 || handle == 4)
        return { 1.0f, 1.0f };

    const auto sx = 1.0f - v.x / (p.x - h.x);
    const auto sy = 1.0f - v.y / (p.y - h.y);

    switch (handle)
    {
        case 3:
        case 5:
            return { sx, 1.0f };
        case 1:
        case 7:
            return { 1.0f, sy };
        default:
            return { sx, sy };
    }
}

void TransformerManager::scaleSelection (int handle, float angle, int distance)
{
    if (selection.isEmpty())
        return;

    snapping = ! modifiers().isCtrlDown();

    const auto m = committedTransform;
    const auto theta = rotation + pendingRotation;
    const auto a = angle - theta + quarterTurn;
    auto v = juce::Point<float> (static_cast<float> (distance) * std::cos (a), static_cast<float> (distance) * std::sin (a));

    // A handle dragged onto or across the pivot is refused, and so are
    // factors that are not numbers: the frame never flips or collapses.
    auto f = getScaleFactors (handle, v);

    if (! arePositive (f))
        return;

    const auto q = getGridPoint (modifiers().isAltDown() ? 4 : 8 - handle, getBounds());
    const auto frameFor = [&] (juce::Point<float> factors)
    {
        return AffineTransform::scale (factors.x, factors.y, q.x, q.y).followedBy (m);
    };

    const auto previousFrame = getTransform();

    if (! applyAll ({ { this, frameFor (f) } }))
        return;

    updateWidget();

    if (snapping)
    {
        auto o = snapOffset();

        if (modifiers().isShiftDown())
            o = std::abs (o.y) > std::abs (o.x) ? juce::Point<float> (o.y, o.y) : juce::Point<float> (o.x, o.x);

        const auto snapped = getScaleFactors (handle, v - unrotated (o, theta));

        // When the snapped size would flip, the step keeps its unsnapped
        // factors, so that frame and items agree; it shows no guides then.
        if (arePositive (snapped) && applyAll ({ { this, frameFor (snapped) } }))
        {
            f = snapped;
        }
        else
        {
            xGuides.clearQuick();
            yGuides.clearQuick();
        }

        updateWidget();
    }

    // Several items are scaled in stage coordinates, one in its own.
    const auto s = AffineTransform::scale (f.x, f.y, q.x, q.y);
    const auto inStageAxes = selection.size() > 1;
    placeSelection ([&] (const AffineTransform& mi) { return inStageAxes ? mi.followedBy (s) : s.followedBy (mi); },
                    previousFrame);
}

void TransformerManager::placeSelection (const std::function<AffineTransform (const AffineTransform&)>& placementOf,
                                         const AffineTransform& previousFrame)
{
    Placements placements;

    for (auto* item : selection)
        placements.push_back ({ item, placementOf (item->committedTransform) });

    // One unusable placement drops the whole step, and the frame goes back.
    if (! applyAll (placements))
    {
        setTransform (previousFrame);
        updateWidget();
        return;
    }

    if (onSelectionTransformed)
        onSelectionTransformed();
}

void TransformerManager::rotateSelection (float angle)
{
    if (selection.isEmpty() || ! isFinite (angle))
        return;

    // The rotation never snaps; the flag only decides whether guides show.
    snapping = ! modifiers().isCtrlDown();

    if (modifiers().isShiftDown())
        angle = std::round (angle / fifteenDegrees) * fifteenDegrees;

    const auto m = committedTransform;
    const auto centre = getBounds().getCentre();
    Placements placements;
    std::vector<float> pending;

    if (selection.size() > 1)
    {
        // The group frame starts at rotation 0: the angle is the group's
        // turn since the press.
        const auto pivot = centre.toFloat();
        const auto turn = AffineTransform::rotation (angle, pivot.x, pivot.y);

        for (auto* item : selection)
        {
            placements.push_back ({ item, item->committedTransform.followedBy (turn) });
            pending.push_back (angle);
        }

        placements.push_back ({ this, m.followedBy (turn) });
        pending.push_back (angle);
    }
    else
    {
        // A single item's angle is its absolute rotation.
        const auto placedCentre = centre.toFloat().transformedBy (m);
        const auto pivot = juce::Point<float> (std::trunc (placedCentre.x), std::trunc (placedCentre.y));

        for (auto* item : selection)
        {
            const auto d = angle - item->rotation;
            placements.push_back ({ item, item->committedTransform.followedBy (AffineTransform::rotation (d, pivot.x, pivot.y)) });
            pending.push_back (d);
        }

        const auto d = angle - rotation;
        placements.push_back ({ this, m.followedBy (AffineTransform::rotation (d, pivot.x, pivot.y)) });
        pending.push_back (d);
    }

    if (! applyAll (placements))
        return;

    for (size_t i = 0; i < placements.size(); ++i)
        placements[i].first->pendingRotation = pending[i];

    updateWidget();

    if (onSelectionTransformed)
        onSelectionTransformed();
}

void TransformerManager::clickSelection (const juce::MouseEvent& e)
{
    // A popup-menu click opens one menu: that of the front-most selected
    // item under the pointer, not one for every selected item.
    if (StageItem::isPopupMenuClick (e.mods))
    {
        StageItem* target = nullptr;
        const auto depth = [] (StageItem* item)
        { return item->getParentComponent() != nullptr ? item->getParentComponent()->getIndexOfChildComponent (item) : -1; };

        for (auto* item : selection)
        {
            const auto p = e.getEventRelativeTo (item).position.roundToInt();

            if (item->getLocalBounds().contains (p) && item->hitTest (p.x, p.y)
                && (target == nullptr || depth (item) > depth (target)))
                target = item;
        }

        if (target != nullptr)
            target->handleTransformerClick (e);

        return;
    }

    // An item's click may open its menu, whose loop lets items be deleted
    // or deselected meanwhile.
    juce::Array<juce::Component::SafePointer<StageItem>> items;

    for (auto* item : selection)
        items.add (item);

    for (auto& item : items)
        if (item != nullptr && selection.contains (item.getComponent()))
            item->handleTransformerClick (e);
}

void TransformerManager::forgetItem (StageItem* item)
{
    focusedSelection.removeAllInstancesOf (item);
    snapTargets.forget (item);

    if (! selection.contains (item))
        return;

    selection.removeAllInstancesOf (item);
    fitToSelection();
    commitOwnPlacement();
    updateWidget();
}
} // namespace corvadine
