#include "stage/ZoomportComponent.h"
#include "model/Finite.h"

#include <cmath>

namespace corvadine
{
namespace
{
float zoomOf (const juce::AffineTransform& t)
{
    return std::sqrt (std::abs (t.mat00 * t.mat11 - t.mat01 * t.mat10));
}

// A closed hand drawn here rather than JUCE's DraggingHandCursor: on Linux
// JUCE decodes that one from a GIF with a loader that reads before its
// buffer, which the sanitized builds stop on.
juce::MouseCursor grabbingHandCursor()
{
    constexpr int size = 20;
    juce::Image image (juce::Image::ARGB, size, size, true);
    juce::Graphics g (image);

    juce::Path hand;
    hand.addRoundedRectangle (4.5f, 8.0f, 11.5f, 9.5f, 3.0f);

    for (int finger = 0; finger < 4; ++finger)
        hand.addRoundedRectangle (4.5f + 2.9f * (float) finger, 5.0f, 2.8f, 6.0f, 1.4f);

    hand.addRoundedRectangle (2.5f, 10.0f, 3.5f, 5.0f, 1.6f);

    g.setColour (juce::Colours::white);
    g.fillPath (hand);
    g.setColour (juce::Colours::black);
    g.strokePath (hand, juce::PathStrokeType (1.2f));

    return { juce::ScaledImage (image), { size / 2, size / 2 } };
}
} // namespace

ZoomportComponent::ZoomportComponent()
{
    addChildComponent (band);
    // The band is drawn as a bare translucent button face.
    bandLookAndFeel.setColour (juce::ComboBox::outlineColourId, juce::Colours::transparentBlack);
    band.setLookAndFeel (&bandLookAndFeel);
    band.setAlpha (0.5f);
    // The band only shows the drag: the view keeps the mouse.
    band.setInterceptsMouseClicks (false, false);
}

ZoomportComponent::~ZoomportComponent()
{
    band.setLookAndFeel (nullptr);

    if (content != nullptr)
        removeChildComponent (content.get());

    content.reset();
}

void ZoomportComponent::setContent (ZoomableComponent* newContent)
{
    if (newContent == content.get())
        return;

    if (content != nullptr)
        removeChildComponent (content.get());

    content.reset (newContent);

    if (content == nullptr)
        return;

    addAndMakeVisible (content.get());
    content->getInterceptsMouseClicks (contentAllowsClicks, contentAllowsChildClicks);

    // Content that arrives while Space is held pans like the old one did.
    if (panMode)
        content->setInterceptsMouseClicks (false, false);

    band.toFront (false);
}

float ZoomportComponent::getZoom() const
{
    return content != nullptr ? zoomOf (content->getTransform()) : 1.0f;
}

void ZoomportComponent::fitContentToView (float factor)
{
    if (content == nullptr || content->getWidth() < 1 || content->getHeight() < 1)
        return;

    const auto scale = (float) getWidth() / (float) content->getWidth() * factor * 0.75f;

    // A view with no width yet, or a factor that is zero, negative or not a
    // number, leaves the content as it is.
    if (! std::isfinite (scale) || scale < minimumZoom)
        return;

    content->setTransform ({});
    content->centreWithSize (content->getWidth(), content->getHeight());

    const auto cx = content->getX() + content->getWidth() / 2;
    const auto cy = content->getY() + content->getHeight() / 2;
    content->setTransform (juce::AffineTransform::scale (scale, scale, (float) cx, (float) cy));

    if (onZoom)
        onZoom (getZoom());
}

bool ZoomportComponent::zoomAboutPoint (float factor, juce::Point<float> pivot)
{
    if (content == nullptr || ! std::isfinite (factor) || factor <= 0.0f || ! pivot.isFinite())
        return false;

    const auto zoomed = juce::AffineTransform::scale (factor, factor, pivot.x, pivot.y)
                            .followedBy (content->getTransform());
    const auto zoom = zoomOf (zoomed);

    // Written so that a NaN zoom is refused as well.
    if (! (zoom >= minimumZoom && zoom <= maximumZoom) || ! isFinite (zoomed))
        return false;

    content->setTransform (zoomed);
    content->zoomChanged();

    if (onZoom)
        onZoom (getZoom());

    repaint();
    return true;
}

void ZoomportComponent::setPanMode (bool shouldPan)
{
    panMode = shouldPan;
    setMouseCursor (shouldPan ? grabbingHandCursor() : juce::MouseCursor());

    if (content != nullptr)
    {
        if (shouldPan)
            content->setInterceptsMouseClicks (false, false);
        else
            content->setInterceptsMouseClicks (contentAllowsClicks, contentAllowsChildClicks);
    }

    if (onPanModeChanged)
        onPanModeChanged (shouldPan);

    repaint();
}

// The pointer's live position rather than the event's, which may belong to
// a child under a transform. The content point is kept in fractions: rounded
// to whole content units it would drift from under the pointer by up to half
// a unit times the zoom.
juce::Point<float> ZoomportComponent::pointerPivot() const
{
    const auto screen = juce::Desktop::getInstance().getMainMouseSource().getScreenPosition().roundToInt();
    return content->getLocalPoint (nullptr, screen.toFloat()) + content->getPosition().toFloat();
}

juce::Point<int> ZoomportComponent::dragOffsetInContent (const juce::MouseEvent& e) const
{
    const auto inContent = e.getEventRelativeTo (content.get());
    return (inContent.position - inContent.mouseDownPosition).roundToInt();
}

// Measured in content units so that the grabbed point follows the pointer.
void ZoomportComponent::panBy (const juce::MouseEvent& e)
{
    const auto offset = dragOffsetInContent (e);
    const auto delta = offset - lastDragOffset;
    const auto panned = juce::AffineTransform::translation ((float) delta.x, (float) delta.y)
                            .followedBy (content->getTransform());

    if (isFinite (panned))
        content->setTransform (panned);

    repaint();
    lastDragOffset = offset;
}

void ZoomportComponent::mouseDown (const juce::MouseEvent& e)
{
    if (content != nullptr)
        lastDragOffset = dragOffsetInContent (e);
}

void ZoomportComponent::mouseDrag (const juce::MouseEvent& e)
{
    if (panMode)
    {
        if (band.isVisible())
            band.setVisible (false);

        if (content != nullptr)
            panBy (e);

        return;
    }

    if (! band.isVisible())
        band.setVisible (true);

    const auto press = e.mouseDownPosition.roundToInt();
    const auto now = e.getPosition();
    band.setBounds (juce::jmin (press.x, now.x), juce::jmin (press.y, now.y),
                    std::abs (press.x - now.x), std::abs (press.y - now.y));
}

void ZoomportComponent::mouseUp (const juce::MouseEvent& e)
{
    if (panMode)
    {
        if (content != nullptr)
            panBy (e);

        return;
    }

    if (! band.isVisible())
        return;

    if (content != nullptr)
    {
        const auto area = content->getLocalArea (this, band.getBounds());
        juce::Component::SafePointer<ZoomportComponent> self (this);
        content->areaSelected (area, e.mods);

        if (self == nullptr)
            return;
    }

    band.setVisible (false);
}

void ZoomportComponent::mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails& wheel)
{
    if (content == nullptr || ! std::isfinite (wheel.deltaY))
        return;

    const auto factor = juce::jmax (0.5f, juce::jmin (1.5f, 1.0f + wheel.deltaY));
    zoomAboutPoint (factor, pointerPivot());
}

void ZoomportComponent::mouseMagnify (const juce::MouseEvent&, float scaleFactor)
{
    // Only a real enlargement or reduction: a zero, negative or non-finite
    // factor would flip or collapse the content.
    if (content == nullptr || ! std::isfinite (scaleFactor) || scaleFactor <= 0.0f)
        return;

    zoomAboutPoint (scaleFactor, pointerPivot());
}

void ZoomportComponent::paint (juce::Graphics&) {}

void ZoomportComponent::resized()
{
    fitContentToView (1.0f);
}

bool ZoomportComponent::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    // Cmd is Ctrl on Linux and Windows; Shift, Alt or a mouse button spoil it.
    const auto zoomKey = [&key] (int keyCode)
    { return key == juce::KeyPress (keyCode, juce::ModifierKeys::commandModifier, 0); };

    for (const auto& [keyCode, factor] : { std::pair { '=', 1.1f }, std::pair { '-', 0.9f } })
    {
        if (zoomKey (keyCode))
        {
            if (content != nullptr)
                zoomAboutPoint (factor, pointerPivot());

            return true;
        }
    }

    return false;
}

bool ZoomportComponent::keyStateChanged (bool, juce::Component*)
{
    const auto spaceDown = juce::KeyPress::isKeyCurrentlyDown (juce::KeyPress::spaceKey);

    if (spaceDown != panMode)
        setPanMode (spaceDown);

    return spaceDown;
}
} // namespace corvadine
