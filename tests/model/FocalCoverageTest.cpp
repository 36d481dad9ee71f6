#include "model/FocalSlice.h"
#include "model/ModelFixtures.h"
#include "model/SliceTestHelpers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvadine;
using test::makeFocal;
using test::makeSlice;

namespace
{
const float pi = juce::MathConstants<float>::pi;

// The focal spans (10000, 4000)-(11000, 4500) on the stage.
const juce::Rectangle<float> focalArea (10000, 4000, 1000, 500);

void expectListenerInvariant (FocalSlice& focal, const std::vector<ArenaSlice*>& all)
{
    for (auto* slice : all)
        EXPECT_EQ (slice->hasListener (&focal), focal.coveredSlices.contains (slice)) << slice->name;
}

bool isFinite (const juce::AffineTransform& t)
{
    for (auto v : { t.mat00, t.mat01, t.mat02, t.mat10, t.mat11, t.mat12 })
        if (! std::isfinite (v))
            return false;
    return true;
}
} // namespace

TEST (FocalCoverage, FollowsTheRulesOfBothModes)
{
    struct Case
    {
        const char* what;
        juce::Array<juce::Point<float>> points;
        bool hidden;
        bool complete, partial;
    };

    auto rect = [] (float x, float y, float w, float h)
    {
        return test::pointList ({ { x, y }, { x + w, y }, { x + w, y + h }, { x, y + h } });
    };

    const Case cases[] = {
        { "wholly inside", rect (10100, 4100, 200, 100), false, true, true },
        { "enclosing the focal", rect (9000, 3000, 5000, 3000), false, true, true },
        { "the same rectangle", rect (10000, 4000, 1000, 500), false, true, true },
        { "edge lying on the focal's edge", rect (10000, 4000, 1000, 100), false, true, true },
        { "half inside", rect (10900, 4100, 200, 100), false, false, true },
        { "a band across the focal", rect (9900, 4200, 1200, 50), false, false, true },
        { "hidden, wholly inside", rect (10100, 4100, 200, 100), true, false, false },
        { "hidden, enclosing", rect (9000, 3000, 5000, 3000), true, false, false },
        { "beside the focal", rect (11100, 4100, 200, 100), false, false, false },
        { "far away", rect (60000, 8000, 200, 100), false, false, false },
        { "collinear points inside", test::pointList ({ { 10100, 4100 }, { 10200, 4200 }, { 10300, 4300 } }), false, false, false },
        { "a single point inside", test::pointList ({ { 10100, 4100 } }), false, false, false },
    };

    for (auto& c : cases)
        for (int cover : { 0, 1 })
        {
            auto focal = makeFocal ({ 1920, 1080 }, focalArea);
            focal->cover = cover;

            ArenaSlice slice;
            slice.uniqueId = 1;
            slice.name = c.what;
            slice.inputPoints = c.points;
            slice.createStageItem();
            slice.getStageItem()->hidden = c.hidden;

            focal->updateCoverage (&slice);
            EXPECT_EQ (focal->coveredSlices.contains (&slice), cover == 0 ? c.complete : c.partial)
                << c.what << (cover == 0 ? " (Complete)" : " (Partial)");

            // Nothing covered means no registration either.
            EXPECT_EQ (slice.hasListener (focal.get()), focal->coveredSlices.contains (&slice)) << c.what;
        }
}

TEST (FocalCoverage, KeepsTheOrderOfFirstAttachmentAndTheListenerInvariant)
{
    auto focal = makeFocal ({ 1920, 1080 }, focalArea);
    auto a = makeSlice (1, { 10100, 4100, 100, 100 });
    auto b = makeSlice (2, { 10300, 4100, 100, 100 });
    auto c = makeSlice (3, { 10500, 4100, 100, 100 });
    const std::vector<ArenaSlice*> all { a.get(), b.get(), c.get() };

    for (auto* s : all)
        focal->updateCoverage (s);

    EXPECT_EQ (focal->coveredSlices, juce::Array<ArenaSlice*> ({ a.get(), b.get(), c.get() }));
    expectListenerInvariant (*focal, all);

    // Testing again changes nothing; a slice that leaves and comes back goes last.
    focal->updateCoverage (a.get());
    const auto home = b->getStageItem()->committedTransform;
    b->getStageItem()->setPlacement (home.translated (20000, 0));
    focal->updateCoverage (b.get());
    EXPECT_EQ (focal->coveredSlices, juce::Array<ArenaSlice*> ({ a.get(), c.get() }));
    expectListenerInvariant (*focal, all);

    b->getStageItem()->setPlacement (home);
    focal->updateCoverage (b.get());
    EXPECT_EQ (focal->coveredSlices, juce::Array<ArenaSlice*> ({ a.get(), c.get(), b.get() }));
    expectListenerInvariant (*focal, all);

    // Hiding drops it whatever the geometry.
    c->getStageItem()->hidden = true;
    focal->updateCoverage (c.get());
    EXPECT_EQ (focal->coveredSlices, juce::Array<ArenaSlice*> ({ a.get(), b.get() }));
    expectListenerInvariant (*focal, all);
}

TEST (FocalCoverage, DeletedSlicesAndFocalsLeaveNoDanglingListener)
{
    auto first = makeFocal ({ 1920, 1080 }, focalArea);
    auto second = makeFocal ({ 1920, 1080 }, focalArea);
    auto kept = makeSlice (1, { 10100, 4100, 100, 100 });
    auto doomed = makeSlice (2, { 10300, 4100, 100, 100 });

    for (auto* f : { first.get(), second.get() })
    {
        f->updateCoverage (kept.get());
        f->updateCoverage (doomed.get());
        f->rebuildCoveredButtons();
    }

    doomed.reset();
    EXPECT_EQ (first->coveredSlices, juce::Array<ArenaSlice*> ({ kept.get() }));
    EXPECT_EQ (second->coveredSlices, juce::Array<ArenaSlice*> ({ kept.get() }));
    EXPECT_EQ (first->sliceOfButton (first->coveredButtons[1]), nullptr);

    // The button of the deleted slice goes at the next rebuild; deleting the
    // focals then unregisters them from the slice that is left, so deleting
    // that slice calls no one (ASan reports any use of a deleted focal).
    first->rebuildCoveredButtons();
    EXPECT_EQ (first->coveredButtons.size(), 1);
    first.reset();
    second.reset();
    EXPECT_TRUE (kept->listeners.isEmpty());
    kept.reset();
}

TEST (FocalCoverage, RebuildReusesButtonsAndSortsSmallInFront)
{
    auto focal = makeFocal ({ 1000, 500 }, focalArea);
    auto large = makeSlice (1, { 10100, 4100, 100, 100 });
    auto small = makeSlice (-42, { 10120, 4120, 10, 10 });

    focal->updateCoverage (large.get());
    focal->updateCoverage (small.get());
    focal->rebuildCoveredButtons();

    ASSERT_EQ (focal->coveredButtons.size(), 2);
    auto& item = test::itemOf (*focal);
    juce::Array<CoveredButton*> before;
    for (auto* b : focal->coveredButtons)
        before.add (b);

    focal->rebuildCoveredButtons();
    ASSERT_EQ (focal->coveredButtons.size(), 2);
    EXPECT_TRUE (before.contains (focal->coveredButtons[0]));
    EXPECT_TRUE (before.contains (focal->coveredButtons[1]));
    EXPECT_EQ (item.coveredButtons.size(), 2);

    auto* smallButton = item.findChildWithID ("-42");
    auto* largeButton = item.findChildWithID ("1");
    ASSERT_NE (smallButton, nullptr);
    ASSERT_NE (largeButton, nullptr);
    EXPECT_GT (item.getIndexOfChildComponent (smallButton), item.getIndexOfChildComponent (largeButton));
    // Both behind the overlay and the remove button.
    EXPECT_LT (item.getIndexOfChildComponent (smallButton), item.getIndexOfChildComponent (item.overlay.get()));

    // The button fills the slice as seen in the focal's pixels (the focal is
    // placed at its own size here).
    EXPECT_EQ (largeButton->getBounds(), juce::Rectangle<int> (100, 100, 100, 100));
    EXPECT_EQ (largeButton->getName(), "Slice 1");

    // A focal that covers nothing has no buttons left.
    large->getStageItem()->hidden = true;
    small->getStageItem()->hidden = true;
    focal->updateCoverage (large.get());
    focal->updateCoverage (small.get());
    focal->rebuildCoveredButtons();
    EXPECT_EQ (focal->coveredButtons.size(), 0);
    EXPECT_EQ (item.coveredButtons.size(), 0);
}

TEST (FocalCoverage, SlicesSharingAnIdKeepTheirOwnButtons)
{
    auto focal = makeFocal ({ 1000, 500 }, focalArea);
    auto left = makeSlice (7, { 10100, 4100, 100, 100 });
    auto right = makeSlice (7, { 10500, 4100, 300, 200 });

    focal->updateCoverage (left.get());
    focal->updateCoverage (right.get());
    focal->rebuildCoveredButtons();
    focal->rebuildCoveredButtons();

    ASSERT_EQ (focal->coveredButtons.size(), 2);
    auto* leftButton = focal->coveredButtons[0]->getWidth() == 100 ? focal->coveredButtons[0] : focal->coveredButtons[1];
    auto* rightButton = leftButton == focal->coveredButtons[0] ? focal->coveredButtons[1] : focal->coveredButtons[0];
    EXPECT_EQ (focal->sliceOfButton (leftButton), left.get());
    EXPECT_EQ (leftButton->getBounds(), juce::Rectangle<int> (100, 100, 100, 100));
    EXPECT_EQ (focal->sliceOfButton (rightButton), right.get());
    EXPECT_EQ (rightButton->getBounds(), juce::Rectangle<int> (500, 100, 300, 200));
    EXPECT_EQ (leftButton->getComponentID(), "7");
    EXPECT_EQ (rightButton->getComponentID(), "7");
}

TEST (FocalCoverage, RotatedFocalShowsTheSliceTurnedIntoItsFrame)
{
    // A focal of 1000 x 500 pixels shown 200 x 100 on the stage and turned
    // by a quarter turn, over an unrotated 200 x 100 slice on its centre.
    auto focal = makeFocal ({ 1000, 500 }, { 400, 450, 200, 100 });
    auto& item = test::itemOf (*focal);
    // As the gizmo turns it: the turn is pending until the commit folds it in.
    item.pendingRotation = pi / 2;
    item.setPlacement (item.committedTransform.rotated (pi / 2, 500, 500));
    focal->cover = 1;

    auto slice = makeSlice (1, { 400, 450, 200, 100 });
    focal->updateCoverage (slice.get());
    ASSERT_EQ (focal->coveredSlices.size(), 1);
    focal->rebuildCoveredButtons();
    ASSERT_EQ (focal->coveredButtons.size(), 1);

    // Turned back it is 100 x 200 on the stage; times 5 into the pixels.
    EXPECT_EQ (focal->coveredButtons[0]->getBounds(), juce::Rectangle<int> (250, -250, 500, 1000));
    EXPECT_EQ (focal->coveredButtons[0]->shape.getBounds(), juce::Rectangle<float> (0, 0, 500, 1000));
}

TEST (FocalCoverage, TogglesFollowExclusions)
{
    auto focal = makeFocal ({ 1000, 500 }, focalArea);
    auto a = makeSlice (1, { 10100, 4100, 100, 100 });
    auto b = makeSlice (2, { 10300, 4100, 100, 100 });
    focal->updateCoverage (a.get());
    focal->updateCoverage (b.get());
    focal->setExcluded (2, true);
    focal->rebuildCoveredButtons();

    auto& item = test::itemOf (*focal);
    auto* on = dynamic_cast<CoveredButton*> (item.findChildWithID ("1"));
    auto* off = dynamic_cast<CoveredButton*> (item.findChildWithID ("2"));
    ASSERT_NE (on, nullptr);
    ASSERT_NE (off, nullptr);
    EXPECT_TRUE (on->getToggleState());
    EXPECT_FALSE (off->getToggleState());
    EXPECT_EQ (focal->getActiveSlices(), juce::Array<ArenaSlice*> ({ a.get() }));

    test::ChangeCounter counter;
    item.addListener (&counter);

    // Not selected: a click toggles the button but changes no exclusion.
    off->triggerClick();
    test::pumpMessageLoop (50);
    EXPECT_EQ (focal->excludedIds, juce::Array<juce::int64> ({ 2 }));
    EXPECT_EQ (counter.changes, 1);

    // The rebuild that follows a report puts the toggle back.
    focal->rebuildCoveredButtons();
    EXPECT_FALSE (off->getToggleState());

    // Selected: switching it on includes the slice again, off excludes.
    item.setSelected (true);
    EXPECT_TRUE (off->focalSelected);
    off->triggerClick();
    test::pumpMessageLoop (50);
    EXPECT_TRUE (focal->excludedIds.isEmpty());
    on->triggerClick();
    test::pumpMessageLoop (50);
    EXPECT_EQ (focal->excludedIds, juce::Array<juce::int64> ({ 1 }));
    EXPECT_EQ (counter.changes, 3);

    // All excluded: none active, both still visible.
    focal->setExcluded (2, true);
    EXPECT_TRUE (focal->getActiveSlices().isEmpty());
    EXPECT_EQ (focal->getVisibleSlices(), juce::Array<ArenaSlice*> ({ a.get(), b.get() }));
    item.removeListener (&counter);
}

TEST (FocalCoverage, AClickWhereTwoButtonsOverlapTogglesBoth)
{
    auto focal = makeFocal ({ 1000, 500 }, { 0, 0, 1000, 500 });
    auto large = makeSlice (1, { 100, 100, 300, 300 });
    auto small = makeSlice (2, { 150, 150, 100, 100 });
    auto elsewhere = makeSlice (3, { 600, 100, 100, 100 });

    for (auto* s : { large.get(), small.get(), elsewhere.get() })
        focal->updateCoverage (s);
    focal->rebuildCoveredButtons();

    // Hit-testing through Component::contains needs a window.
    juce::Component window;
    window.setBounds (0, 0, 1000, 500);
    auto& item = test::itemOf (*focal);
    window.addAndMakeVisible (item);
    window.addToDesktop (0);
    window.setVisible (true);
    item.setSelected (true);

    auto source = juce::Desktop::getInstance().getMainMouseSource();
    const juce::Point<float> where (200, 200);
    const auto now = juce::Time::getCurrentTime();
    juce::MouseEvent click (source, where, {}, juce::MouseInputSource::defaultPressure, 0, 0, 0, 0,
                            &item, &item, now, where, now, 1, false);
    item.handleTransformerClick (click);
    test::pumpMessageLoop (50);

    EXPECT_TRUE (focal->excludedIds.contains (1));
    EXPECT_TRUE (focal->excludedIds.contains (2));
    EXPECT_FALSE (focal->excludedIds.contains (3));

    window.removeChildComponent (&item);
    window.removeFromDesktop();
}

TEST (FocalCoverage, FocalsWithoutAnAreaCoverNothingAndStoreNothingUnusable)
{
    auto slice = makeSlice (1, { 10100, 4100, 100, 100 });

    for (auto resolution : { juce::Point<int> (0, 1080), juce::Point<int> (1920, 0), juce::Point<int> (0, 0) })
    {
        auto focal = makeFocal ({ 1920, 1080 }, focalArea);
        focal->updateCoverage (slice.get());
        focal->rebuildCoveredButtons();
        ASSERT_EQ (focal->coveredButtons.size(), 1);

        focal->setResolution (resolution);
        auto& item = test::itemOf (*focal);
        EXPECT_TRUE (isFinite (item.getTransform())) << resolution.toString();
        EXPECT_EQ (item.resolution, resolution);

        focal->updateCoverage (slice.get());
        EXPECT_TRUE (focal->coveredSlices.isEmpty()) << resolution.toString();
        focal->rebuildCoveredButtons();
        EXPECT_EQ (focal->coveredButtons.size(), 0);

        auto position = focal->toValueTree().getChildWithName ("position");
        EXPECT_FALSE (position["transform"].toString().containsIgnoreCase ("nan")) << resolution.toString();
        EXPECT_FALSE (position["transform"].toString().containsIgnoreCase ("inf")) << resolution.toString();
    }
}

TEST (FocalCoverage, DrawsAFocalOverTwoSlices)
{
    // A small stage: two slices side by side, a focal laid partly over both.
    juce::Component stage;
    stage.setBounds (0, 0, 1200, 600);

    auto left = makeSlice (1, { 100, 100, 500, 300 });
    auto right = makeSlice (2, { 640, 150, 420, 360 });
    auto focal = makeFocal ({ 1920, 1080 }, { 300, 120, 640, 360 });
    focal->cover = 1;
    test::itemOf (*focal).compositionSize = { 1920, 1080 };
    focal->setExcluded (2, true);

    for (auto* s : { left.get(), right.get() })
    {
        s->getStageItem()->hidden = false;
        stage.addAndMakeVisible (s->getStageItem());
        focal->updateCoverage (s);
    }

    stage.addAndMakeVisible (focal->getStageItem());
    focal->rebuildCoveredButtons();
    focal->getStageItem()->setSelected (true);
    ASSERT_EQ (focal->coveredButtons.size(), 2);

    juce::Image image (juce::Image::ARGB, 1200, 600, true);
    {
        juce::Graphics g (image);
        g.fillAll (juce::Colours::black);
        stage.paintEntireComponent (g, true);
    }

    auto file = test::writeSnapshot (image, "focal-over-two-slices");
    EXPECT_TRUE (file.existsAsFile());

    // Inside the focal over the included left slice: its yellow fill.
    auto included = image.getPixelAt (400, 250);
    EXPECT_GT (included.getRed(), 150);
    EXPECT_GT (included.getGreen(), 150);

    stage.removeAllChildren();
}

TEST (FocalCoverage, OnePassOverAllSlicesAgreesWithSliceBySlice)
{
    // A grid of slices; the focals and some slices move and hide between rounds.
    std::vector<SliceInfo> infos;

    for (int i = 0; i < 24; ++i)
        infos.push_back (test::rectangleSlice (i + 1, "Slice " + juce::String (i + 1),
                                               { (float) (i % 6) * 300.0f, (float) (i / 6) * 250.0f, 280.0f, 230.0f }));

    auto model = test::modelWith ({ 1920, 1080 }, { test::screenOf (100, infos) });
    auto* look = model->addLook ({ 1920, 1080 });
    const auto stageArea = test::onStage (*model, { 0, 0, 1920, 1080 });
    auto& onePass = test::addFocal (*look, stageArea, 0, 0, 1);
    auto& bySlice = test::addFocal (*look, stageArea, 0, 0, 1);

    std::vector<ArenaSlice*> all;
    for (auto* slice : model->screens.getFirst()->slices)
        all.push_back (slice);

    juce::Random random (99);

    for (int round = 0; round < 30; ++round)
    {
        SCOPED_TRACE (round);
        const juce::Rectangle<float> area (stageArea.getX() + random.nextFloat() * 1500.0f,
                                           stageArea.getY() + random.nextFloat() * 800.0f,
                                           100.0f + random.nextFloat() * 900.0f, 100.0f + random.nextFloat() * 500.0f);
        const auto turn = round % 3 == 0 ? random.nextFloat() : 0.0f;

        for (auto* focal : { &onePass, &bySlice })
        {
            auto* item = focal->getStageItem();
            item->fitOutlineInto (area);
            item->setPlacement (item->committedTransform.rotated (turn, area.getCentreX(), area.getCentreY()));
        }

        auto* moved = all[(size_t) random.nextInt ((int) all.size())]->getStageItem();
        moved->setPlacement (moved->committedTransform.translated (random.nextFloat() * 200.0f - 100.0f, 0.0f));
        all[(size_t) random.nextInt ((int) all.size())]->getStageItem()->hidden = random.nextBool();

        onePass.updateCoverage (model->screens);

        for (auto* slice : all)
            bySlice.updateCoverage (slice);

        EXPECT_EQ (onePass.coveredSlices, bySlice.coveredSlices);
        expectListenerInvariant (onePass, all);
    }
}
