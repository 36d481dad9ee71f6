#include "inspector/FlyOutComponent.h"
#include "inspector/InspectorTestSupport.h"
#include "model/Ids.h"
#include "model/Look.h"
#include "model/SliceTestHelpers.h"

#include <gtest/gtest.h>

using namespace corvadine;
using namespace corvadine::test;

namespace
{
// Stands in for the stage behind the panel.
struct Backdrop : juce::Component
{
    void paint (juce::Graphics& g) override
    {
        g.fillAll (juce::Colour (0xff1b1b1b));
        g.setColour (juce::Colour (0xff3a3a3a));
        for (int x = 0; x < getWidth(); x += 40)
            g.drawVerticalLine (x, 0.0f, (float) getHeight());
    }
};

juce::ValueTree screens()
{
    juce::ValueTree tree (ids::arenaScreens);
    const std::pair<const char*, bool> list[] = { { "Front Projector", true }, { "LED Wall", true }, { "Side Screen", false } };

    for (const auto& [name, enabled] : list)
        tree.appendChild (juce::ValueTree (ids::screen, { { ids::name, name }, { ids::enabled, enabled } }), nullptr);

    return tree;
}

// Three slices, three focals: the first covers all three slices (the
// second excluded), the other two cover one each.
struct LookFixture
{
    LookFixture()
    {
        slices.push_back (makeSlice (11, { 10100, 4100, 400, 300 }));
        slices.push_back (makeSlice (12, { 10600, 4100, 400, 300 }));
        slices.push_back (makeSlice (13, { 11100, 4100, 400, 300 }));
        slices[0]->name = "Screen 1 Slice 1";
        slices[1]->name = "Screen 1 Slice 2";
        slices[2]->name = "LED Wall Slice";
        look.resolution = { 1920, 1080 };
        look.compositionSize = { 1920, 1080 };

        const juce::Rectangle<float> areas[] = { { 10000, 4000, 1920, 1080 }, { 10050, 4050, 500, 400 }, { 11050, 4050, 500, 400 } };

        for (auto area : areas)
        {
            auto* focal = makeFocal ({ 1920, 1080 }, area).release();
            look.addFocal (focal);

            for (auto& s : slices)
                focal->updateCoverage (s.get());
        }

        look.focals[0]->setExcluded (12, true);
    }

    std::vector<std::unique_ptr<ArenaSlice>> slices;
    Look look;
};

bool writesPicture (juce::Component& component, const char* name)
{
    const auto file = writeSnapshot (component, name);
    const auto image = juce::ImageFileFormat::loadFrom (file);
    return image.isValid() && image.getWidth() == component.getWidth() && image.getHeight() == component.getHeight();
}
} // namespace

TEST (InspectorSnapshot, StageModeWithTheScreens)
{
    Backdrop backdrop;
    LookInspector inspector;
    backdrop.addAndMakeVisible (inspector);
    inspector.setScreens (screens());
    inspector.stageDrawer->buttonClicked (inspector.stageDrawer->cogButton.get());
    backdrop.setSize (inspector.getWidth(), inspector.getHeight() + 10);

    EXPECT_EQ (inspector.getHeight(), 10 + 200 + 10 + 50 + 10 + 30);
    EXPECT_TRUE (writesPicture (backdrop, "inspector-stage-mode"));
}

TEST (InspectorSnapshot, LookModeWithThreeFocals)
{
    LookFixture fixture;
    Backdrop backdrop;
    LookInspector inspector;
    backdrop.addAndMakeVisible (inspector);
    inspector.setScreens (screens());
    inspector.lookIndex = 2;
    inspector.buttonClicked (inspector.nextButton.get());
    inspector.lookDrawer->buttonClicked (inspector.lookDrawer->cogButton.get());
    inspector.setLook (&fixture.look, false);

    auto* first = inspector.focalDrawers[0];
    first->setActive (true);
    first->buttonClicked (first->cogButton.get());
    first->slicesDrawer->buttonClicked (first->slicesDrawer->cogButton.get());
    backdrop.setSize (inspector.getWidth(), inspector.getHeight() + 10);

    ASSERT_EQ (first->sliceDrawers.size(), 3);
    EXPECT_FALSE (first->sliceDrawers[1]->active);
    EXPECT_EQ (inspector.lookDrawer->getName(), "Look 4");
    EXPECT_TRUE (inspector.plusButton->isVisible());
    EXPECT_TRUE (writesPicture (backdrop, "inspector-look-mode-three-focals"));
}

TEST (InspectorSnapshot, FlyOutOpenAndFoldedToItsTab)
{
    Backdrop backdrop;
    backdrop.setSize (700, 400);
    FlyOutComponent flyOut;
    backdrop.addAndMakeVisible (flyOut);
    LookInspector inspector;
    inspector.setScreens (screens());
    flyOut.setContent (&inspector);

    flyOut.setBounds (flyOut.openBounds().withX (410).withWidth (290));
    flyOut.setBounds (flyOut.openBounds());
    EXPECT_EQ (flyOut.getBounds(), juce::Rectangle<int> (410, 0, 290, 160));
    EXPECT_TRUE (writesPicture (backdrop, "inspector-fly-out-open"));

    flyOut.setBounds (flyOut.foldedBounds());
    EXPECT_EQ (flyOut.getBounds(), juce::Rectangle<int> (600, 0, 100, 60));
    EXPECT_TRUE (writesPicture (backdrop, "inspector-fly-out-folded"));
}
