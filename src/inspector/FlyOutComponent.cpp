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
    pointerWatch.stopTimer();
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

bool FlyOutComponent::takesPointerAt (juce::Point<int> position)
{
    return getLocalBounds().contains (position) && hitTest (position.x, position.y);
}

juce::Point<int> FlyOutComponent::pointerOnScreen()
{
    return juce::Desktop::getMousePosition();
}

void FlyOutComponent::notePointer (const juce::MouseEvent& event)
{
    // Only an event that tells where the pointer really is counts: one
    // passed on after its component moved (a click on "Look 1" folds the
    // drawer above it) maps to where that component is now, and the mouse
    // handling sends events of its own where the pointer was.
    const auto pointer = pointerOnScreen();

    if (event.getScreenPosition() == pointer)
        lastPointerInside = pointer;
}

void FlyOutComponent::mouseMove (const juce::MouseEvent& event) { notePointer (event); }
void FlyOutComponent::mouseDown (const juce::MouseEvent& event) { notePointer (event); }
void FlyOutComponent::mouseDrag (const juce::MouseEvent& event) { notePointer (event); }
void FlyOutComponent::mouseUp (const juce::MouseEvent& event) { notePointer (event); }

void FlyOutComponent::fold()
{
    pointerWatch.stopTimer();
    openedByPointer = false;
    animateTo (foldedBounds(), closeMilliseconds);
}

void FlyOutComponent::mouseEnter (const juce::MouseEvent& event)
{
    // The mouse handling has found the pointer over the panel again.
    pointerWatch.stopTimer();
    notePointer (event);

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
    if (takesPointerAt (event.getEventRelativeTo (this).getPosition()))
        return;

    if (parentWidth() <= 0)
        return;

    // An exit also comes when the content changes under a still pointer (a
    // click on "Look 1" folds the "Stage" drawer above it, and the inspector
    // then ends above the pointer): that is no leaving. Nor is an exit while
    // the pointer is still over the panel. Either way the pointer is watched
    // until it moves elsewhere.
    const auto pointer = pointerOnScreen();

    if (pointer == lastPointerInside || takesPointerAt (getLocalPoint (nullptr, pointer)))
    {
        pointerWatch.stillAt = pointer;
        pointerWatch.startTimer (pointerWatchMilliseconds);
        return;
    }

    fold();
}

void FlyOutComponent::PointerWatch::timerCallback()
{
    if (panel.parentWidth() <= 0)
    {
        stopTimer();
        return;
    }

    const auto pointer = pointerOnScreen();

    if (pointer == stillAt || panel.takesPointerAt (panel.getLocalPoint (nullptr, pointer)))
        return;

    panel.fold();
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
