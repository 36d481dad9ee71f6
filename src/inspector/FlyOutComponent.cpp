#include "inspector/FlyOutComponent.h"

namespace corvadine
{
FlyOutComponent::FlyOutComponent()
{
    // Entering or leaving anything inside the panel reaches its own handlers.
    addMouseListener (this, true);
}

FlyOutComponent::~FlyOutComponent()
{
    juce::Desktop::getInstance().getAnimator().cancelAnimation (this, false);
}

// The parent's width; 0 without a parent (juce::Component::getParentWidth
// would give the display's width then, and the panel would fly off).
int FlyOutComponent::parentWidth() const
{
    auto* parent = getParentComponent();
    return parent != nullptr ? parent->getWidth() : 0;
}

void FlyOutComponent::setContent (juce::Component* newContent)
{
    content = newContent;

    if (newContent != nullptr)
        addAndMakeVisible (newContent);
}

juce::Rectangle<int> FlyOutComponent::openBounds() const
{
    // A content smaller than the tab still opens to the tab's size, so the
    // panel always has an area the pointer can enter.
    const int contentWidth = content != nullptr ? content->getWidth() : 0;
    const int contentHeight = content != nullptr ? content->getHeight() : 0;
    const int x = parentWidth() - juce::jmax (contentWidth, tabWidth);
    const int right = getX() + getWidth();
    return { x, getY(), juce::jmax (0, right - x), juce::jmax (tabHeight, contentHeight) };
}

juce::Rectangle<int> FlyOutComponent::foldedBounds() const
{
    const int x = parentWidth() - tabWidth;
    const int right = getX() + getWidth();
    return { x, getY(), juce::jmax (0, right - x), tabHeight };
}

bool FlyOutComponent::isOpen() const
{
    auto& animator = juce::Desktop::getInstance().getAnimator();
    // The animator only looks the panel up in its list here.
    auto* self = const_cast<FlyOutComponent*> (this);

    // While folding, a change of the content must not open the panel again.
    if (animator.isAnimating (self) && animator.getComponentDestination (self).getHeight() <= tabHeight)
        return false;

    return getHeight() > tabHeight || openedByPointer;
}

void FlyOutComponent::animateTo (juce::Rectangle<int> target, int milliseconds)
{
    juce::Desktop::getInstance().getAnimator().animateComponent (this, target, 1.0f, milliseconds, false, 0.0, 0.0);
}

void FlyOutComponent::mouseEnter (const juce::MouseEvent&)
{
    if (parentWidth() <= 0)
        return;

    openedByPointer = true;
    animateTo (openBounds(), openMilliseconds);
}

void FlyOutComponent::mouseExit (const juce::MouseEvent& event)
{
    // Exit events of everything nested in the panel arrive here, each in the
    // coordinates of the component left; in the panel's own coordinates the
    // test says whether the pointer is still over the content or the tab.
    const auto position = event.getEventRelativeTo (this).getPosition();

    if (getLocalBounds().contains (position) && hitTest (position.x, position.y))
        return;

    if (parentWidth() <= 0)
        return;

    openedByPointer = false;
    animateTo (foldedBounds(), closeMilliseconds);
}

void FlyOutComponent::paint (juce::Graphics&)
{
}

void FlyOutComponent::resized()
{
}

void FlyOutComponent::childBoundsChanged (juce::Component* child)
{
    if (child != content.getComponent() || content == nullptr)
        return;

    if (isOpen() && parentWidth() > 0)
        animateTo (openBounds(), openMilliseconds);
}

bool FlyOutComponent::hitTest (int x, int y)
{
    if (content != nullptr && content->isVisible() && content->getBounds().contains (x, y))
        return true;

    return juce::Rectangle<int> (getWidth() - tabWidth, 0, tabWidth, tabHeight).contains (x, y);
}
} // namespace corvadine
