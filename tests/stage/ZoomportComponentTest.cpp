#include "stage/ZoomportComponent.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace corvadine;

namespace
{
struct RecordingContent final : ZoomableComponent
{
    explicit RecordingContent (bool* deletedFlag = nullptr) : deleted (deletedFlag) { setSize (1000, 500); }
    ~RecordingContent() override
    {
        if (deleted != nullptr)
            *deleted = true;
    }

    void areaSelected (juce::Rectangle<int> area, juce::ModifierKeys modifiers) override
    {
        areas.push_back (area);
        lastModifiers = modifiers;
    }

    void zoomChanged() override { ++zoomChanges; }

    bool* deleted;
    std::vector<juce::Rectangle<int>> areas;
    juce::ModifierKeys lastModifiers;
    int zoomChanges = 0;
};

class ZoomportTest : public testing::Test
{
protected:
    void SetUp() override
    {
        view.onZoom = [this] (float z) { reportedZooms.push_back (z); };
        view.setContent (content);
        // On the desktop so that the pointer's screen position maps into it.
        view.setBounds (100, 100, 800, 600);
        view.addToDesktop (0);
        view.setVisible (true);
        reportedZooms.clear();
    }

    void TearDown() override { view.removeFromDesktop(); }

    juce::MouseEvent event (juce::Point<float> position, juce::Point<float> press,
                            juce::ModifierKeys mods = {})
    {
        const auto now = juce::Time::getCurrentTime();
        return { juce::Desktop::getInstance().getMainMouseSource(), position, mods,
                 juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f,
                 &view, &view, now, press, now, 1, position != press };
    }

    juce::MouseEvent eventAtPointer() { return event ({ 0, 0 }, { 0, 0 }); }

    static juce::MouseWheelDetails wheel (float deltaY)
    {
        juce::MouseWheelDetails details {};
        details.deltaY = deltaY;
        return details;
    }

    // Moves the real pointer to a point of the view and returns it on screen.
    juce::Point<int> pointAt (juce::Point<int> inView)
    {
        const auto screen = view.localPointToGlobal (inView);
        juce::Desktop::setMousePosition (screen);
        EXPECT_TRUE (test::pumpUntil ([screen]
                                      { return juce::Desktop::getInstance().getMainMouseSource().getScreenPosition().roundToInt() == screen; }));
        return screen;
    }

    juce::Button* band()
    {
        for (auto* child : view.getChildren())
            if (auto* button = dynamic_cast<juce::Button*> (child))
                return button;

        return nullptr;
    }

    ZoomportComponent view;
    RecordingContent* content = new RecordingContent();
    std::vector<float> reportedZooms;
};
} // namespace

TEST_F (ZoomportTest, FitCentresTheContentAtThreeQuartersOfTheViewWidth)
{
    const auto expectShownAt = [this] (juce::Rectangle<float> expected)
    {
        const auto shown = content->getBounds().toFloat().transformedBy (content->getTransform());
        EXPECT_NEAR (shown.getX(), expected.getX(), 1.0e-3f);
        EXPECT_NEAR (shown.getY(), expected.getY(), 1.0e-3f);
        EXPECT_NEAR (shown.getWidth(), expected.getWidth(), 1.0e-3f);
        EXPECT_NEAR (shown.getHeight(), expected.getHeight(), 1.0e-3f);
    };

    // 0.75 x 800 / 1000, centred in the 800 x 600 view.
    EXPECT_FLOAT_EQ (view.getZoom(), 0.6f);
    expectShownAt ({ 100, 150, 600, 300 });

    content->setTransform (juce::AffineTransform::scale (7.0f).translated (33.0f, -12.0f));
    view.setSize (1000, 600);
    EXPECT_FLOAT_EQ (view.getZoom(), 0.75f);
    expectShownAt ({ 125, 112.5f, 750, 375 });
    EXPECT_FLOAT_EQ (reportedZooms.back(), 0.75f);
    EXPECT_EQ (content->zoomChanges, 0);

    view.fitContentToView (2.0f);
    EXPECT_FLOAT_EQ (view.getZoom(), 1.5f);
    expectShownAt ({ -250, -75, 1500, 750 });

    // A factor that gives no real scale leaves the content as it is.
    const auto before = content->getTransform();
    const auto reports = reportedZooms.size();

    for (const auto factor : { 0.0f, -1.0f, 1.0e-9f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity() })
        view.fitContentToView (factor);

    EXPECT_EQ (content->getTransform(), before);
    EXPECT_EQ (reportedZooms.size(), reports);
}

TEST_F (ZoomportTest, WheelZoomsByOnePlusItsDeltaClamped)
{
    struct Case
    {
        float deltaY, factor;
    };

    for (const auto c : { Case { 2.0f, 1.5f }, Case { -3.0f, 0.5f }, Case { 0.0f, 1.0f },
                          Case { 0.1f, 1.1f }, Case { -0.25f, 0.75f }, Case { 0.5f, 1.5f } })
    {
        SCOPED_TRACE (c.deltaY);
        view.fitContentToView (1.0f);
        pointAt ({ 400, 300 });
        const auto before = view.getZoom();
        const auto changes = content->zoomChanges;
        reportedZooms.clear();

        view.mouseWheelMove (eventAtPointer(), wheel (c.deltaY));

        EXPECT_NEAR (view.getZoom(), before * c.factor, 1.0e-5f);
        EXPECT_EQ (content->zoomChanges, changes + 1);
        ASSERT_EQ (reportedZooms.size(), 1u);
        EXPECT_FLOAT_EQ (reportedZooms[0], view.getZoom());
    }

    const auto before = content->getTransform();
    view.mouseWheelMove (eventAtPointer(), wheel (std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ (content->getTransform(), before);
}

TEST_F (ZoomportTest, ThePointUnderThePointerStaysThereThroughEveryZoomSource)
{
    using Zoom = std::function<void()>;
    const std::vector<std::pair<const char*, Zoom>> sources {
        { "wheel in", [this] { view.mouseWheelMove (eventAtPointer(), wheel (0.4f)); } },
        { "wheel out", [this] { view.mouseWheelMove (eventAtPointer(), wheel (-0.3f)); } },
        { "pinch", [this] { view.mouseMagnify (eventAtPointer(), 2.5f); } },
        { "key in", [this] { view.keyPressed (juce::KeyPress ('=', juce::ModifierKeys::commandModifier, 0), &view); } },
        { "key out", [this] { view.keyPressed (juce::KeyPress ('-', juce::ModifierKeys::commandModifier, 0), &view); } },
    };

    // Over the content, near its corner, and over the background beside it.
    for (const auto inView : { juce::Point<int> (400, 300), juce::Point<int> (130, 170), juce::Point<int> (20, 580) })
    {
        for (const auto& [name, zoom] : sources)
        {
            SCOPED_TRACE (name);
            const auto screen = pointAt (inView);
            const auto grabbed = content->getLocalPoint (nullptr, screen.toFloat());
            const auto before = view.getZoom();

            zoom();

            EXPECT_NE (view.getZoom(), before);
            const auto after = content->localPointToGlobal (grabbed);
            EXPECT_NEAR (after.x, (float) screen.x, 0.01f);
            EXPECT_NEAR (after.y, (float) screen.y, 0.01f);
        }
    }
}

TEST_F (ZoomportTest, StepsBeyondEitherBoundAreRefusedAndTheOtherWayStillWorks)
{
    pointAt ({ 400, 300 });

    for (const auto [deltaY, zoomInwards] : { std::pair { 0.5f, true }, std::pair { -0.5f, false } })
    {
        SCOPED_TRACE (deltaY);
        view.fitContentToView (1.0f);

        // Step until the view refuses; each step that is taken stays in range.
        juce::AffineTransform before;
        int steps = 0;

        do
        {
            before = content->getTransform();
            view.mouseWheelMove (eventAtPointer(), wheel (deltaY));
            ASSERT_LT (++steps, 200);
            EXPECT_LE (view.getZoom(), ZoomportComponent::maximumZoom);
            EXPECT_GE (view.getZoom(), ZoomportComponent::minimumZoom);
        } while (content->getTransform() != before);

        auto changes = content->zoomChanges;
        const auto reports = reportedZooms.size();
        view.mouseWheelMove (eventAtPointer(), wheel (deltaY));
        EXPECT_EQ (content->getTransform(), before);
        EXPECT_EQ (content->zoomChanges, changes);
        EXPECT_EQ (reportedZooms.size(), reports);

        // The zoom key counts as handled even when its step is refused.
        for (int i = 0; i < 100; ++i)
            EXPECT_TRUE (view.keyPressed (juce::KeyPress (zoomInwards ? '=' : '-', juce::ModifierKeys::commandModifier, 0), &view));

        EXPECT_LE (view.getZoom(), ZoomportComponent::maximumZoom);
        EXPECT_GE (view.getZoom(), ZoomportComponent::minimumZoom);
        before = content->getTransform();
        changes = content->zoomChanges;

        view.mouseWheelMove (eventAtPointer(), wheel (-deltaY));
        EXPECT_NE (content->getTransform(), before);
        EXPECT_EQ (content->zoomChanges, changes + 1);
    }
}

TEST_F (ZoomportTest, PinchUsesItsOwnFactorAndIgnoresOnesThatAreNotFiniteAndPositive)
{
    pointAt ({ 400, 300 });
    view.mouseMagnify (eventAtPointer(), 3.0f);
    EXPECT_NEAR (view.getZoom(), 1.8f, 1.0e-5f);

    const auto before = content->getTransform();
    const auto changes = content->zoomChanges;

    for (const auto factor : { 0.0f, -2.0f, std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity() })
    {
        view.mouseMagnify (eventAtPointer(), factor);
        EXPECT_FALSE (view.zoomAboutPoint (factor, { 400.0f, 300.0f }));
    }

    EXPECT_FALSE (view.zoomAboutPoint (2.0f, { std::numeric_limits<float>::quiet_NaN(), 0.0f }));
    EXPECT_EQ (content->getTransform(), before);
    EXPECT_EQ (content->zoomChanges, changes);
}

TEST_F (ZoomportTest, OnlyCommandWithEqualsOrMinusAloneZooms)
{
    const auto command = juce::ModifierKeys::commandModifier;
    const auto shift = juce::ModifierKeys::shiftModifier;
    const auto alt = juce::ModifierKeys::altModifier;

    struct Case
    {
        int keyCode, modifiers;
        bool handled;
        float factor;
    };

    const Case cases[] {
        { '=', command, true, 1.1f },
        { '-', command, true, 0.9f },
        { '=', command | shift, false, 1.0f },
        { '-', command | alt, false, 1.0f },
        { '=', 0, false, 1.0f },
        { '-', shift, false, 1.0f },
        { 'a', command, false, 1.0f },
        { '+', command, false, 1.0f },
        { '=', command | juce::ModifierKeys::leftButtonModifier, false, 1.0f },
    };

    pointAt ({ 400, 300 });

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::KeyPress (c.keyCode, c.modifiers, 0).getTextDescription().toStdString());
        const auto before = view.getZoom();
        EXPECT_EQ (view.keyPressed (juce::KeyPress (c.keyCode, c.modifiers, 0), &view), c.handled);
        EXPECT_NEAR (view.getZoom(), before * c.factor, 1.0e-6f);
    }
}

TEST_F (ZoomportTest, PanModeDragsTheGrabbedPointAlongAndRestoresTheContentsClickFlags)
{
    auto* other = new RecordingContent();
    other->setInterceptsMouseClicks (false, true);
    view.setContent (other);
    content = other;
    view.fitContentToView (1.0f);

    std::vector<bool> modes;
    view.onPanModeChanged = [&modes] (bool on) { modes.push_back (on); };

    view.setPanMode (true);
    EXPECT_TRUE (view.getMouseCursor() != juce::MouseCursor());
    bool clicks = true, childClicks = true;
    content->getInterceptsMouseClicks (clicks, childClicks);
    EXPECT_FALSE (clicks);
    EXPECT_FALSE (childClicks);

    const juce::Point<float> press (300, 250);
    const auto grabbed = content->getLocalPoint (&view, press);
    view.mouseDown (event (press, press));

    for (const auto to : { juce::Point<float> (350, 280), juce::Point<float> (200, 100), juce::Point<float> (420, 330) })
    {
        view.mouseDrag (event (to, press));
        const auto now = view.getLocalPoint (content, grabbed);
        EXPECT_NEAR (now.x, to.x, 1.0f);
        EXPECT_NEAR (now.y, to.y, 1.0f);
    }

    view.mouseUp (event ({ 430, 340 }, press));
    const auto released = view.getLocalPoint (content, grabbed);
    EXPECT_NEAR (released.x, 430.0f, 1.0f);
    EXPECT_NEAR (released.y, 340.0f, 1.0f);
    EXPECT_FALSE (band()->isVisible());
    EXPECT_TRUE (content->areas.empty());

    view.setPanMode (false);
    EXPECT_TRUE (view.getMouseCursor() == juce::MouseCursor::NormalCursor);
    content->getInterceptsMouseClicks (clicks, childClicks);
    EXPECT_FALSE (clicks);
    EXPECT_TRUE (childClicks);
    EXPECT_EQ (modes, (std::vector<bool> { true, false }));

    // Nothing holds Space here: the key state turns pan mode off, never on.
    view.setPanMode (true);
    EXPECT_FALSE (view.keyStateChanged (true, &view));
    EXPECT_FALSE (view.isPanMode());
}

TEST_F (ZoomportTest, BandDragSelectsAnAreaInContentCoordinates)
{
    const juce::Point<float> press (100, 100);
    view.mouseDown (event (press, press));
    view.mouseDrag (event ({ 50, 180 }, press));

    ASSERT_NE (band(), nullptr);
    EXPECT_TRUE (band()->isVisible());
    EXPECT_EQ (band()->getBounds(), juce::Rectangle<int> (50, 100, 50, 80));
    EXPECT_EQ (view.getChildren().getLast(), band());

    const auto shift = juce::ModifierKeys (juce::ModifierKeys::shiftModifier);
    view.mouseUp (event ({ 50, 180 }, press, shift));

    ASSERT_EQ (content->areas.size(), 1u);
    EXPECT_EQ (content->areas[0], content->getLocalArea (&view, juce::Rectangle<int> (50, 100, 50, 80)));
    EXPECT_TRUE (content->lastModifiers.isShiftDown());
    EXPECT_FALSE (band()->isVisible());

    // Space pressed in the middle of a band drag: the band goes and the
    // content pans by the whole offset since the press.
    const auto grabbed = content->getLocalPoint (&view, press);
    view.mouseDown (event (press, press));
    view.mouseDrag (event ({ 150, 140 }, press));
    view.setPanMode (true);
    view.mouseDrag (event ({ 160, 150 }, press));
    EXPECT_FALSE (band()->isVisible());
    EXPECT_NEAR (view.getLocalPoint (content, grabbed).x, 160.0f, 1.0f);
    EXPECT_NEAR (view.getLocalPoint (content, grabbed).y, 150.0f, 1.0f);

    // Space released in the middle: the rest of the drag is a band from the press.
    view.setPanMode (false);
    view.mouseDrag (event ({ 170, 190 }, press));
    EXPECT_TRUE (band()->isVisible());
    EXPECT_EQ (band()->getBounds(), juce::Rectangle<int> (100, 100, 70, 90));
    view.mouseUp (event ({ 170, 190 }, press));
    EXPECT_EQ (content->areas.size(), 2u);

    // A click without a drag selects nothing.
    view.mouseDown (event (press, press));
    view.mouseUp (event (press, press));
    EXPECT_EQ (content->areas.size(), 2u);
}

TEST (Zoomport, ReplacedContentIsDeletedAndAViewWithoutContentIgnoresInput)
{
    bool firstDeleted = false, secondDeleted = false;

    {
        ZoomportComponent view;
        view.setSize (400, 300);

        EXPECT_FALSE (view.zoomAboutPoint (2.0f, { 0, 0 }));
        view.fitContentToView (1.0f);
        view.setPanMode (true);
        view.setPanMode (false);
        const juce::MouseEvent e (juce::Desktop::getInstance().getMainMouseSource(), { 10, 10 }, {}, 1.0f, 0, 0, 0, 0,
                                  &view, &view, juce::Time(), { 0, 0 }, juce::Time(), 1, true);
        view.mouseDown (e);
        view.mouseDrag (e);
        view.mouseUp (e);
        view.mouseWheelMove (e, {});
        view.mouseMagnify (e, 2.0f);
        EXPECT_TRUE (view.keyPressed (juce::KeyPress ('=', juce::ModifierKeys::commandModifier, 0), &view));

        auto* first = new RecordingContent (&firstDeleted);
        view.setContent (first);
        EXPECT_EQ (view.getContent(), first);
        EXPECT_EQ (first->getParentComponent(), &view);
        EXPECT_TRUE (first->isVisible());

        view.setContent (new RecordingContent (&secondDeleted));
        EXPECT_TRUE (firstDeleted);
        EXPECT_FALSE (secondDeleted);

        // A view with no width yet fits nothing.
        const auto before = view.getContent()->getTransform();
        view.setSize (0, 300);
        view.fitContentToView (1.0f);
        EXPECT_EQ (view.getContent()->getTransform(), before);
        view.setSize (400, 300);
        EXPECT_FLOAT_EQ (view.getZoom(), 0.3f);
    }

    EXPECT_TRUE (secondDeleted);
}
