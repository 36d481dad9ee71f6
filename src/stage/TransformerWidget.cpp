#include "stage/TransformerWidget.h"

#include "stage/StageItem.h"

#include <cmath>

namespace corvadine
{
namespace
{
const juce::Colour olive { 0xffa2a235 };
const juce::Colour purple { 0xff8207c6 };

// One step above the nearest single-precision value to 6.6, so that zoom 1
// gives handles of 6 and a stage scale of 0.3 gives 22.
constexpr float handleScreenSize = 6.6000004f;
constexpr int largestHandleSize = 1000000;

juce::Point<float> gridPoint (juce::Rectangle<float> r, int index)
{
    const auto col = static_cast<float> (index % 3) * 0.5f;
    const auto row = static_cast<float> (index / 3) * 0.5f;
    return { r.getX() + r.getWidth() * col, r.getY() + r.getHeight() * row };
}

bool isUsableTransform (const juce::AffineTransform& t)
{
    for (auto v : { t.mat00, t.mat01, t.mat02, t.mat10, t.mat11, t.mat12 })
        if (! std::isfinite (v))
            return false;

    return ! t.isSingularity();
}

juce::Point<int> truncated (juce::Point<float> p)
{
    const auto clamp = [] (float v) { return std::isfinite (v) ? static_cast<int> (juce::jlimit (-1.0e9f, 1.0e9f, v)) : 0; };
    return { clamp (p.x), clamp (p.y) };
}
// The frame's body. While Shift is held it gives way where a selectable item
// itself lies under the pointer, so that the item takes the press as any
// item does and joins or leaves the selection, also inside a group's frame.
// Every other press stays the body's, and so do the frame's empty area and
// the items' buttons: with Ctrl, which turns snapping off, a press on the
// item would be a popup click.
class BodyDragger final : public Dragger
{
public:
    bool hitTest (int x, int y) override
    {
        const auto& mods = juce::ModifierKeys::currentModifiers;
        auto* widget = getParentComponent();
        auto* stage = widget != nullptr ? widget->getParentComponent() : nullptr;

        if (stage == nullptr || ! mods.isShiftDown() || StageItem::isPopupMenuClick (mods))
            return true;

        const auto onStage = stage->getLocalPoint (this, juce::Point<float> ((float) x, (float) y));

        for (auto* child : stage->getChildren())
        {
            auto* item = dynamic_cast<StageItem*> (child);

            if (item != nullptr && item->isVisible() && item->isSelectable()
                && item->getComponentAt (item->getLocalPoint (stage, onStage)) == item)
                return false;
        }

        return true;
    }
};
} // namespace

TransformerWidget::TransformerWidget()
    : moveDragger (std::make_unique<BodyDragger>()),
      rotateDragger (std::make_unique<Dragger>())
{
    for (auto* d : { moveDragger.get(), rotateDragger.get() })
    {
        d->addListener (this);
        d->setVisible (true);
        addAndMakeVisible (*d);
    }

    for (auto& d : handleDraggers)
    {
        d = std::make_unique<Dragger>();
        d->addListener (this);
        addChildComponent (*d);
    }

    setInterceptsMouseClicks (false, true);
    setWantsKeyboardFocus (true);
}

TransformerWidget::~TransformerWidget()
{
    for (auto i = handleDraggers.size(); i-- > 0;)
        handleDraggers[i].reset();

    rotateDragger.reset();
    moveDragger.reset();
}

juce::Array<juce::Point<float>> TransformerWidget::getHandlePoints() const
{
    juce::Array<juce::Point<float>> points;

    for (int i = 0; i < 9; ++i)
        points.add (gridPoint (frameBounds, i).transformedBy (frameTransform));

    // The frame's scale along its diagonal turns the handle's distance in
    // stage units into the frame's units. A frame without size has no
    // diagonal; its transform's area scale stands in.
    const auto c = frameBounds.getCentre();
    const auto t = frameBounds.getTopLeft();
    const auto localLength = c.getDistanceFrom (t);
    auto scale = localLength > 0.0f ? c.transformedBy (frameTransform).getDistanceFrom (t.transformedBy (frameTransform)) / localLength
                                    : std::sqrt (std::abs (frameTransform.getDeterminant()));

    if (! std::isfinite (scale) || scale <= 0.0f)
        scale = 1.0f;

    const auto h = 2.5f * static_cast<float> (handleSize) / scale;
    const auto grown = frameBounds.expanded (h);
    points.add (juce::Point<float> (grown.getCentreX(), grown.getY()).transformedBy (frameTransform));
    return points;
}

void TransformerWidget::layoutHandles()
{
    const auto usable = isUsableTransform (frameTransform);

    moveDragger->setBounds (frameBounds.toNearestInt());
    moveDragger->setTransform (usable ? frameTransform : juce::AffineTransform());
    moveDragger->setVisible (showHandles && usable);

    const auto points = getHandlePoints();
    const auto side = 2 * handleSize;

    rotateDragger->setSize (side, side);
    rotateDragger->setCentrePosition (truncated (points[9]));
    rotateDragger->setVisible (showHandles);

    for (int i = 0; i < 9; ++i)
    {
        if (i == 4)
            continue;

        auto& d = *handleDraggers[(size_t) i];
        d.setSize (side, side);
        d.setCentrePosition (truncated (points[i]));
        d.setVisible (showHandles);
    }
}

void TransformerWidget::setGuides (bool show, juce::Array<float> yPositions, juce::Array<float> xPositions)
{
    yGuides = std::move (yPositions);
    xGuides = std::move (xPositions);
    showGuides = show;
}

int TransformerWidget::handleSizeForZoom() const
{
    auto m = 1.0f;

    if (auto* parent = getParentComponent(); parent != nullptr && parent->isTransformed())
    {
        const auto t = parent->getTransform();
        m = (std::abs (t.mat00) + std::abs (t.mat11)) * 0.5f;
    }

    const auto size = handleScreenSize / m;

    // Zoomed far in the handles would vanish, zoomed far out they would
    // overflow: at least one stage unit, and a bound far beyond the stage.
    if (! std::isfinite (size) || size >= static_cast<float> (largestHandleSize))
        return largestHandleSize;

    return juce::jmax (1, static_cast<int> (size));
}

void TransformerWidget::updateHandleSize()
{
    const auto size = handleSizeForZoom();

    if (size != handleSize)
    {
        handleSize = size;
        layoutHandles();
        repaint();
    }
}

void TransformerWidget::paint (juce::Graphics& g)
{
    handleSize = handleSizeForZoom();
    const auto points = getHandlePoints();
    const auto s = static_cast<float> (handleSize);

    if (showHandles)
    {
        for (const auto& p : points)
        {
            g.setColour (olive);
            g.drawEllipse (p.x - s, p.y - s, 2.0f * s, 2.0f * s, 2.0f);

            if (showGuides)
            {
                for (auto y : yGuides)
                    if (getWidth() > 0)
                        g.fillRect (0, truncated ({ 0.0f, y }).y, getWidth(), 1);

                for (auto x : xGuides)
                    if (getHeight() > 0)
                        g.fillRect (truncated ({ x, 0.0f }).x, 0, 1, getHeight());

                g.setColour (purple);

                if (points.indexOf (p) == activeHandle)
                    g.fillEllipse (p.x - s, p.y - s, 2.0f * s, 2.0f * s);
            }
        }
    }

    g.setColour (olive);

    if (isUsableTransform (frameTransform))
    {
        g.addTransform (frameTransform);
        g.drawRect (frameBounds, 2.0f);
    }
}

bool TransformerWidget::keyPressed (const juce::KeyPress& key)
{
    juce::Point<int> step;
    const auto code = key.getKeyCode();

    if (code == juce::KeyPress::leftKey)
        step = { -1, 0 };
    else if (code == juce::KeyPress::rightKey)
        step = { 1, 0 };
    else if (code == juce::KeyPress::upKey)
        step = { 0, -1 };
    else if (code == juce::KeyPress::downKey)
        step = { 0, 1 };
    else
        return false;

    if (key.getModifiers().getRawFlags() == juce::ModifierKeys::shiftModifier)
        step *= 10;

    if (onNudge)
        onNudge (step);

    return true;
}

void TransformerWidget::draggerMouseDown (Dragger* dragger, const juce::MouseEvent& e)
{
    dragStartCentre = dragger->getBounds().getCentre();

    const auto m = e.getEventRelativeTo (this).getPosition().toFloat();
    const auto points = getHandlePoints();
    auto limit = points[0].getDistanceFrom (points[8]);

    // The rotate handle is never the active one: only the grid points snap.
    for (const auto& p : points)
    {
        if (p == points.getLast())
            break;

        if (const auto distance = p.getDistanceFrom (m); distance < limit)
        {
            activeHandle = points.indexOf (p);
            limit = distance;
        }
    }
}

void TransformerWidget::draggerMouseDrag (Dragger* dragger, const juce::MouseEvent& e)
{
    if (! e.mouseWasDraggedSinceMouseDown())
        return;

    const auto offset = (e.position - e.mouseDownPosition).roundToInt();

    if (dragger == moveDragger.get())
    {
        if (onMove)
            onMove (offset);

        return;
    }

    for (int i = 0; i < (int) handleDraggers.size(); ++i)
    {
        if (dragger != handleDraggers[(size_t) i].get())
            continue;

        auto* stage = getParentComponent() != nullptr ? getParentComponent() : this;
        const auto p = e.getEventRelativeTo (stage).getPosition();
        const auto angle = std::atan2 (static_cast<float> (dragStartCentre.x - p.x), static_cast<float> (p.y - dragStartCentre.y));
        const auto distance = juce::roundToInt (e.mouseDownPosition.getDistanceFrom (e.position));

        if (onScale)
            onScale (i, angle, distance);

        return;
    }

    if (dragger == rotateDragger.get())
    {
        const auto points = getHandlePoints();
        const auto c = points.size() >= 5 ? points[4] : juce::Point<float>();
        const auto angle = std::atan2 (static_cast<float> (offset.x + dragStartCentre.x) - c.x,
                                       c.y - static_cast<float> (offset.y + dragStartCentre.y));

        if (onRotate)
            onRotate (angle);
    }
}

void TransformerWidget::draggerMouseUp (const juce::MouseEvent& e)
{
    // The commit that ends a drag reaches the controller, which may change
    // the stage a great deal; the guides are cleared only if this survives.
    const juce::Component::SafePointer<TransformerWidget> self (this);

    if (e.mouseWasDraggedSinceMouseDown())
    {
        if (onTransformEnd)
            onTransformEnd();
    }
    else if (onClick)
    {
        onClick (e);
    }

    if (self == nullptr)
        return;

    setGuides (false, {}, {});
    repaint();
}
} // namespace corvadine
