#include "app/FlowController.h"

#include "model/ModelFixtures.h"
#include "preview/PreviewProbe.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
// A controller on a stage and an inspector of its own, in the test's HOME
// (no host installed: a new, empty document).
struct ControllerRig
{
    ControllerRig()
    {
        test::keepOpenGLDriverLoaded();
        controller = std::make_unique<FlowController> (&stage, &inspector);
    }

    ~ControllerRig()
    {
        controller.reset();
    }

    StageComponent stage;
    LookInspector inspector;
    std::unique_ptr<FlowController> controller;
};
} // namespace

TEST (ControllerPreview, OpensClosesAndTheCloseButtonClosesToo)
{
    ControllerRig rig;
    auto& controller = *rig.controller;
    ASSERT_EQ (controller.preview, nullptr);

    controller.setGlPreview (true);
    ASSERT_NE (controller.preview, nullptr);
    EXPECT_TRUE (controller.preview->isOnDesktop());
    EXPECT_EQ (controller.preview->getPeer()->getStyleFlags(), 0x99);
    EXPECT_TRUE (controller.preview->isAlwaysOnTop());
    // No visible slice: the 160 x 160 margin box makes the window square.
    EXPECT_EQ (controller.preview->getWidth(), 640);
    EXPECT_EQ (controller.preview->getHeight(), 640);

    controller.setGlPreview (false);
    EXPECT_EQ (controller.preview, nullptr);

    // Opening again, and once more while open: one window.
    controller.setGlPreview (true);
    controller.setGlPreview (true);
    ASSERT_NE (controller.preview, nullptr);

    controller.preview->userTriedToCloseWindow();
    EXPECT_EQ (controller.preview, nullptr);

    // The controller's destruction closes an open window.
    controller.setGlPreview (true);
}

TEST (ControllerPreview, EveryStoreFitsTheOpenWindowToTheVisibleSlices)
{
    ControllerRig rig;
    auto& controller = *rig.controller;

    controller.model = test::modelWith ({ 1920, 1080 }, { test::screenOf (1, { test::rectangleSlice (1, "a", { 0, 0, 1840, 840 }) }) });
    controller.storeDocument(); // no window: nothing to hand over

    controller.setGlPreview (true);
    ASSERT_NE (controller.preview, nullptr);
    const auto topLeft = controller.preview->getPosition();
    EXPECT_EQ (controller.preview->getBounds(), juce::Rectangle<int> (topLeft.x, topLeft.y, 640, 320));

    test::showSlices (*controller.model, false);
    controller.storeDocument();
    EXPECT_EQ (controller.preview->getBounds(), juce::Rectangle<int> (topLeft.x, topLeft.y, 640, 640));

    test::showSlices (*controller.model, true);
    controller.storeDocument();
    EXPECT_EQ (controller.preview->getBounds(), juce::Rectangle<int> (topLeft.x, topLeft.y, 640, 320));
}
