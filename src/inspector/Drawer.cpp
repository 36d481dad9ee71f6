#include "inspector/Drawer.h"

#include "platform/Typefaces.h"

#include <CorvadineBinaryData.h>

namespace corvadine
{
namespace
{
// Clicks closer together than this count as one: a mouse-up on the drawer
// itself arrives twice (directly and through its own mouse listener).
constexpr juce::int64 minimumClickInterval = 100;

// Only the outermost drawer limits its viewport; nested ones grow with
// their content so that a long list scrolls in one place.
constexpr int outermostViewportLimit = 500;
} // namespace

juce::int64 Drawer::clickClockMilliseconds()
{
    if (clockOverride != nullptr)
        return clockOverride();

    return (juce::int64) juce::Time::getMillisecondCounterHiRes();
}

Drawer::Drawer()
{
    closeButton = std::make_unique<juce::TextButton> ("x");
    closeButton->setColour (juce::TextButton::buttonColourId, juce::Colour (0x1a000000));
    closeButton->setColour (juce::TextButton::textColourOffId, juce::Colour (0xff000000));
    addChildComponent (closeButton.get());
    closeButton->addListener (this);

    cogButton = std::make_unique<SvgButton> (CorvadineBinaryData::cog_svg, CorvadineBinaryData::cog_svgSize);
    cogButton->normalColour = juce::Colour (cogNormal);
    cogButton->overColour = juce::Colour (yellow);
    cogButton->downColour = juce::Colour (brightYellow);
    cogButton->disabledColour = juce::Colour (yellow);
    cogButton->setClickingTogglesState (true);
    addChildComponent (cogButton.get());
    cogButton->addListener (this);

    headerHeight = 50;
    setSize (0, headerHeight);

    viewport = std::make_unique<juce::Viewport> (juce::String());
    viewport->setVisible (true);
    addChildComponent (viewport.get());

    // Hover and clicks anywhere inside the drawer reach its own handlers.
    addMouseListener (this, true);

    lastClickTime = clickClockMilliseconds();
}

Drawer::~Drawer()
{
    // The content goes first, so the viewport never refers to a deleted component.
    viewport->setViewedComponent (nullptr, false);
    content.reset();
    viewport.reset();
    cogButton.reset();
    closeButton.reset();
}

void Drawer::addListener (Listener* listener)
{
    if (listener != nullptr)
        listeners.addIfNotAlreadyThere (listener);
}

void Drawer::setActive (bool value)
{
    active = value;

    if (expandable)
        cogButton->setVisible (value);

    if (! value && expandable)
    {
        expanded = false;
        updateLayout();
        cogButton->setToggleState (false, juce::dontSendNotification);
    }

    repaint();
}

void Drawer::setContent (juce::Component* newContent)
{
    // The viewport lets go of the old content before the drawer deletes it.
    viewport->setViewedComponent (newContent, false);
    content.reset (newContent);
}

int Drawer::stackContent()
{
    int y = 0;

    for (auto* child : content->getChildren())
    {
        child->setBounds (0, y, content->getWidth(), child->getHeight());
        y += child->getHeight();
    }

    return y;
}

void Drawer::updateLayout()
{
    auto* enclosing = findParentComponentOfClass<Drawer>();

    if (content != nullptr)
    {
        const int total = stackContent();
        content->setBounds (0, 0, content->getWidth(), total);

        const int viewportHeight = enclosing != nullptr ? total : juce::jmin (total, outermostViewportLimit);
        viewport->setBounds (0, headerHeight, getWidth(), viewportHeight);

        // The content follows the viewport's inner width (without a scroll bar).
        content->setBounds (0, 0, viewport->getMaximumVisibleWidth(), total);

        const int height = expanded ? headerHeight + viewport->getHeight() : headerHeight;
        setSize (getWidth(), juce::jmax (0, height));
    }

    if (enclosing != nullptr)
    {
        // Laying out the enclosing drawer may delete nothing, but its
        // listeners are not called here; the pointer stays valid.
        enclosing->updateLayout();

        if (enclosing->viewport->getViewedComponent() != nullptr)
            enclosing->viewport->setViewPosition (0, getY());
    }
}

void Drawer::mouseEnter (const juce::MouseEvent&)
{
    if (closable)
        closeButton->setVisible (true);

    if (expandable)
        cogButton->setVisible (true);

    placeButtons();
}

void Drawer::mouseExit (const juce::MouseEvent& event)
{
    // Moving between the drawer and something inside it is not leaving it:
    // hiding the buttons then would make them flicker under the pointer.
    if (getLocalBounds().contains (event.getEventRelativeTo (this).getPosition()))
        return;

    if (closable)
        closeButton->setVisible (false);

    if (expandable && ! expanded && ! active)
        cogButton->setVisible (false);

    placeButtons();
}

void Drawer::mouseUp (const juce::MouseEvent& event)
{
    if (event.originalComponent != this)
        return;

    if (! getLocalBounds().toFloat().contains (event.getEventRelativeTo (this).position))
        return;

    const auto now = clickClockMilliseconds();

    if (now - lastClickTime <= minimumClickInterval)
        return;

    lastClickTime = now;
    sendClicked();
}

bool Drawer::sendClicked()
{
    const juce::Component::SafePointer<Drawer> alive (this);

    for (int i = listeners.size(); --i >= 0;)
    {
        if (i >= listeners.size())
            continue;

        listeners.getUnchecked (i)->drawerClicked (this);

        if (alive == nullptr)
            return false;
    }

    return true;
}

bool Drawer::sendCloseClicked()
{
    const juce::Component::SafePointer<Drawer> alive (this);

    for (int i = listeners.size(); --i >= 0;)
    {
        if (i >= listeners.size())
            continue;

        listeners.getUnchecked (i)->drawerCloseClicked (this);

        if (alive == nullptr)
            return false;
    }

    return true;
}

void Drawer::paint (juce::Graphics& g)
{
    const int w = getWidth();
    const int h = getHeight();
    const int hh = juce::jmin (h, headerHeight);

    g.fillAll (juce::Colour (purple));

    auto header = juce::Colour (highlighted ? purple : darkPurple);

    if (! expanded)
        header = header.withSaturation (0.75f);

    g.setColour (header);
    g.fillRect (0, 0, w, hh);

    g.setColour (juce::Colour (brightYellow));
    g.drawRect (0, 0, w, h, 1);

    const auto nameColour = active ? brightYellow : (highlighted ? nearBlackPurple : olive);
    g.setColour (juce::Colour (nameColour));
    g.setFont (makeFont ("Arial", 16.0f));
    g.drawText (getName(), 0, 0, w, hh, juce::Justification::centred, true);

    g.setColour (juce::Colour (active && highlighted ? brightYellow : nearBlackPurple));
    g.drawRect (0, 0, w, hh, 1);
}

void Drawer::placeButtons()
{
    const int w = getWidth();
    closeButton->setBounds (w - 40, 10, 30, 30);

    if (closeButton->isVisible())
        cogButton->setBounds (w - 80, 12, 25, 25);
    else
        cogButton->setBounds (w - 35, 12, 25, 25);
}

void Drawer::resized()
{
    const int w = getWidth();
    placeButtons();

    // Sized during construction, before the viewport exists.
    if (viewport == nullptr)
        return;

    // The viewport keeps its height (set by the layout step) and follows the
    // drawer's width, so that a drawer made wider shows its content wider.
    viewport->setBounds (0, headerHeight, w, viewport->getHeight());

    if (content != nullptr)
    {
        const int total = stackContent();
        content->setBounds (0, 0, content->getWidth(), total);
        content->setBounds (0, 0, viewport->getMaximumVisibleWidth(), total);
    }
}

void Drawer::childBoundsChanged (juce::Component*)
{
}

void Drawer::buttonClicked (juce::Button* button)
{
    if (button == closeButton.get())
    {
        sendCloseClicked();
        return;
    }

    if (button == cogButton.get())
    {
        // The listeners see the state from before the toggle. The toggle is
        // of the state the user saw: a listener that marks the clicked
        // drawer (made inactive, which collapses it, then active again, as
        // the controller marks focal drawers) must not turn a click meant to
        // collapse it into one that keeps it open.
        const bool wasExpanded = expanded;

        if (! sendClicked())
            return;

        expanded = ! wasExpanded;
        updateLayout();
        cogButton->setToggleState (expanded, juce::dontSendNotification);
    }
}

void DrawerComponent::paint (juce::Graphics& g)
{
    g.fillAll (getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId));
    g.setColour (juce::Colour (0xff808080));
    g.drawRect (getLocalBounds(), 1);
    g.setColour (juce::Colours::white);
    g.setFont (14.0f);
    g.drawText ("DrawerComponent", getLocalBounds(), juce::Justification::centred, true);
}

void DrawerComponent::resized()
{
    int y = 0;

    for (auto* child : getChildren())
    {
        child->setBounds (0, y, getWidth(), child->getHeight());
        y += child->getHeight();
    }
}

void DrawerComponent::childBoundsChanged (juce::Component*)
{
}
} // namespace corvadine
