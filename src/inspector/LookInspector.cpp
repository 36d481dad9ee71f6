#include "inspector/LookInspector.h"

#include "host/ScreenSetupFormat.h"
#include "model/Look.h"

#include <CorvadineBinaryData.h>

namespace corvadine
{
namespace
{
constexpr int inspectorWidth = 290;

std::unique_ptr<juce::Component> newStackOfHeaderHeight()
{
    auto stack = std::make_unique<DrawerComponent>();
    stack->setSize (0, 50);
    return stack;
}

std::unique_ptr<SvgButton> newLookButton (const char* svgText, int numBytes)
{
    const juce::Colour violet (0xff9d03f2);
    auto button = std::make_unique<SvgButton> (svgText, numBytes);
    button->normalColour = violet.withSaturation (0.75f);
    button->overColour = juce::Colour (0xffdfdf17);
    button->downColour = juce::Colour (0xffa2a235);
    button->disabledColour = violet.withBrightness (0.5f).withSaturation (0.6f);
    return button;
}
} // namespace

LookInspector::LookInspector()
{
    reset();
}

LookInspector::~LookInspector() = default;

void LookInspector::addListener (Listener* listener)
{
    if (listener != nullptr)
        listeners.addIfNotAlreadyThere (listener);
}

bool LookInspector::send (const std::function<void (Listener&)>& callback)
{
    const juce::Component::SafePointer<LookInspector> alive (this);

    for (int i = listeners.size(); --i >= 0;)
    {
        if (i >= listeners.size())
            continue;

        callback (*listeners.getUnchecked (i));

        if (alive == nullptr)
            return false;
    }

    return true;
}

void LookInspector::reset()
{
    // The screen drawers and the resolution drawer are only detached from
    // the deleted contents; the next setScreens or setLook replaces them.
    topDrawers.clear (true);
    stageDrawer = nullptr;
    lookDrawer = nullptr;
    focalDrawers.clear (true);

    stageDrawer = topDrawers.add (new Drawer());
    stageDrawer->highlighted = true;
    stageDrawer->expandable = true;
    stageDrawer->addListener (this);
    stageDrawer->setName ("Stage");
    addAndMakeVisible (stageDrawer);
    stageDrawer->setActive (true);
    stageDrawer->setContent (newStackOfHeaderHeight().release());

    lookDrawer = topDrawers.add (new Drawer());
    lookDrawer->highlighted = true;
    lookDrawer->expandable = true;
    lookDrawer->addListener (this);
    lookDrawer->setName ("Look 1");
    addAndMakeVisible (lookDrawer);
    lookIndex = 0;
    lookDrawer->setContent (newStackOfHeaderHeight().release());

    plusButton = newLookButton (CorvadineBinaryData::pluscircle_svg, CorvadineBinaryData::pluscircle_svgSize);
    nextButton = newLookButton (CorvadineBinaryData::chevroncircleright_svg, CorvadineBinaryData::chevroncircleright_svgSize);
    prevButton = newLookButton (CorvadineBinaryData::chevroncircleleft_svg, CorvadineBinaryData::chevroncircleleft_svgSize);

    for (auto* button : { plusButton.get(), nextButton.get(), prevButton.get() })
    {
        button->addListener (this);
        addChildComponent (button);
    }

    setSize (inspectorWidth, 50);
    resized();

    stageDrawer->setActive (true);
}

void LookInspector::setScreens (const juce::ValueTree& arenaScreens)
{
    // The drawers of the screens there were are kept for the screens at
    // their places, named and switched anew as new ones would be: a relink
    // sets the screens at every host save, and making the drawers was most
    // of the work here. Only drawers beyond the new count go.
    const auto count = arenaScreens.getNumChildren();

    while (screenDrawers.size() > count)
        screenDrawers.removeLast (1, true);

    for (int i = stageDrawer->content->getNumChildComponents(); --i >= 0;)
        if (auto* child = stageDrawer->content->getChildComponent (i); ! screenDrawers.contains (dynamic_cast<Drawer*> (child)))
            delete child;

    for (int index = 0; index < count; ++index)
    {
        const auto info = screenInfoFromTree (arenaScreens.getChild (index));
        auto* drawer = screenDrawers[index];

        if (drawer == nullptr)
        {
            drawer = screenDrawers.add (new Drawer());
            drawer->highlighted = true;
            drawer->addListener (this);
        }
        else
        {
            // As if made now: the click rule counts from here.
            drawer->lastClickTime = Drawer::clickClockMilliseconds();
        }

        drawer->setName (info.name);
        drawer->setActive (info.enabled);

        const bool enabled = drawer->active;

        if (! send ([&] (Listener& l) { l.screenEnabledChanged (index, enabled); }))
            return;

        stageDrawer->content->addAndMakeVisible (drawer);
    }

    if (! send ([] (Listener& l) { l.screensChanged(); }))
        return;

    stageDrawer->updateLayout();
}

void LookInspector::setLook (Look* look, bool selectLast)
{
    resolutionDrawer = std::make_unique<ResolutionDrawer>();
    resolutionDrawer->highlighted = false;
    lookDrawer->content->addAndMakeVisible (resolutionDrawer.get());
    resolutionDrawer->addListener (static_cast<ResolutionDrawer::Listener*> (this));

    if (look != nullptr)
        resolutionDrawer->setResolution (look->resolution);

    focalDrawers.clear (true);

    if (look != nullptr)
    {
        int n = 1;

        for (auto* focal : look->focals)
        {
            auto* drawer = focalDrawers.add (new FocalDrawer (focal));
            drawer->addListener (static_cast<Drawer::Listener*> (this));
            drawer->addListener (static_cast<FocalDrawer::Listener*> (this));
            drawer->setName ("Focal " + juce::String (n++));
            lookDrawer->content->addAndMakeVisible (drawer);
        }
    }

    for (auto* drawer : focalDrawers)
        drawer->rebuildSliceDrawers();

    lookDrawer->updateLayout();

    if (selectLast)
    {
        lookDrawer->viewport->setViewPositionProportionately (0.5, 1.0);

        if (! focalDrawers.isEmpty())
            focalDrawers.getLast()->setActive (true);
    }
}

void LookInspector::showStageMode()
{
    lookDrawer->setActive (false);
    stageDrawer->setActive (true);

    for (auto* button : { plusButton.get(), nextButton.get(), prevButton.get() })
        button->setVisible (false);
}

void LookInspector::mouseEnter (const juce::MouseEvent&)
{
}

void LookInspector::mouseExit (const juce::MouseEvent&)
{
}

void LookInspector::paint (juce::Graphics&)
{
}

void LookInspector::resized()
{
    const int w = getWidth();
    int y = 10;

    for (auto* drawer : topDrawers)
    {
        if (! drawer->isVisible())
            continue;

        drawer->setBounds (40, y, w - 90, drawer->getHeight());

        if (drawer == lookDrawer)
        {
            prevButton->setBounds (0, y + 10, 30, 30);
            nextButton->setBounds (drawer->getRight() + 10, y + 10, 30, 30);
            plusButton->setBounds (drawer->getX() + drawer->getWidth() / 2 - 15, drawer->getBottom() + 10, 30, 30);
        }

        y += drawer->getHeight() + 10;
    }

    if (plusButton != nullptr)
        setSize (getWidth(), juce::jmax (0, plusButton->getBottom()));
}

void LookInspector::childBoundsChanged (juce::Component*)
{
    resized();
}

void LookInspector::buttonClicked (juce::Button* button)
{
    if (button == plusButton.get())
    {
        send ([this] (Listener& l) { l.addFocalClicked (lookIndex); });
        return;
    }

    if (button == prevButton.get() || button == nextButton.get())
    {
        if (button == prevButton.get())
            lookIndex = lookIndex <= 0 ? lastLookIndex : lookIndex - 1;
        else
            lookIndex = lookIndex >= lastLookIndex ? 0 : lookIndex + 1;

        lookDrawer->setName ("Look " + juce::String (lookIndex + 1));
        lookDrawer->repaint();
        send ([this] (Listener& l) { l.lookSelected (lookIndex); });
    }
}

void LookInspector::drawerCloseClicked (Drawer*)
{
}

void LookInspector::drawerClicked (Drawer* drawer)
{
    if (drawer == lookDrawer)
    {
        stageDrawer->setActive (false);
        lookDrawer->setActive (true);

        for (auto* button : { plusButton.get(), nextButton.get(), prevButton.get() })
            button->setVisible (true);

        send ([this] (Listener& l) { l.lookSelected (lookIndex); });
        return;
    }

    if (drawer == stageDrawer)
    {
        showStageMode();
        send ([] (Listener& l) { l.stageSelected(); });
        return;
    }

    for (int i = 0; i < focalDrawers.size(); ++i)
    {
        if (focalDrawers.getUnchecked (i) == drawer)
        {
            send ([this, i] (Listener& l) { l.focalDrawerClicked (lookIndex, i); });
            return;
        }
    }

    if (const int index = screenDrawers.indexOf (drawer); index >= 0)
    {
        drawer->setActive (! drawer->active);
        const bool enabled = drawer->active;

        if (send ([index, enabled] (Listener& l) { l.screenEnabledChanged (index, enabled); }))
            send ([] (Listener& l) { l.screensChanged(); });
    }
}

void LookInspector::resolutionChanged (ResolutionDrawer*, juce::Point<int> size)
{
    send ([this, size] (Listener& l) { l.lookResolutionChanged (lookIndex, size); });
}

void LookInspector::focalDrawerChanged (FocalDrawer* drawer)
{
    send ([drawer] (Listener& l) { l.looksChanged (drawer); });
}
} // namespace corvadine
