#include "model/FocalSlice.h"
#include "model/SliceTestHelpers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;
using test::makeFocal;
using test::makeSlice;

TEST (FocalSlice, WritesItsSubtreeInTheDocumentsOrder)
{
    FocalSlice focal;
    focal.createStageItem();
    focal.setResolution ({ 1920, 1080 });
    focal.uId = juce::Uuid ("00ff0000000000000000000000000000");
    focal.distribution = 1;
    focal.flip = 7; // not one of the menu's values: written back as it is
    focal.extend = 2;
    focal.cover = 1;
    focal.excludedIds = { 5, -42 };

    auto xml = focal.toValueTree().createXml();
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->toString (juce::XmlElement::TextFormat().withoutHeader().singleLine()),
               "<focal uId=\"00ff0000000000000000000000000000\" distribution=\"1\" flip=\"7\" extend=\"2\" cover=\"1\">"
               "<position transform=\"1,0,0,0,1,0\" finalRotation=\"0.0\"/>"
               "<excluded><slice uniqueId=\"5\"/><slice uniqueId=\"-42\"/></excluded>"
               "</focal>");
}

TEST (FocalSlice, NewFocalHasAFreshIdAndTheDefaultSettings)
{
    FocalSlice a, b;
    EXPECT_NE (a.uId, b.uId);
    EXPECT_FALSE (a.uId.isNull());
    EXPECT_EQ (a.resolution, juce::Point<int> (1920, 1080));
    EXPECT_EQ (a.getStageItem(), nullptr);

    a.createStageItem();
    auto& item = test::itemOf (a);
    EXPECT_FALSE (item.hidden);
    EXPECT_TRUE (item.isVisible());
    ASSERT_NE (item.overlay, nullptr);
    EXPECT_EQ (item.overlay->getParentComponent(), &item);
    EXPECT_FALSE (item.overlay->isVisible());
    EXPECT_TRUE (static_cast<bool> (item.onPopupMenu));
}

TEST (FocalSlice, ExclusionsHoldEachIdOnce)
{
    FocalSlice focal;
    focal.setExcluded (5, true);
    focal.setExcluded (5, true);
    EXPECT_EQ (focal.excludedIds, juce::Array<juce::int64> ({ 5 }));
    focal.setExcluded (6, false);
    EXPECT_EQ (focal.excludedIds, juce::Array<juce::int64> ({ 5 }));
    focal.setExcluded (5, false);
    EXPECT_TRUE (focal.excludedIds.isEmpty());
}

TEST (FocalSlice, ResolutionRefitsOverTheIncludedCoveredSlices)
{
    auto focal = makeFocal ({ 1920, 1080 }, { 10000, 4000, 1920, 1080 });
    auto& item = test::itemOf (*focal);
    const auto placement = item.getTransform();

    // Covering nothing: the new outline keeps the placement.
    focal->setResolution ({ 1000, 500 });
    EXPECT_EQ (item.outline.getBounds(), juce::Rectangle<float> (0, 0, 1000, 500));
    EXPECT_EQ (item.getBounds(), juce::Rectangle<int> (0, 0, 1000, 500));
    EXPECT_EQ (item.getTransform(), placement);
    EXPECT_EQ (item.resolution, juce::Point<int> (1000, 500));

    // Covering two slices, one excluded: fitted over the other one only,
    // scaled to cover it with the aspect ratio kept.
    auto a = makeSlice (1, { 10100, 4100, 400, 100 });
    auto b = makeSlice (2, { 10600, 4100, 200, 200 });
    focal->updateCoverage (a.get());
    focal->updateCoverage (b.get());
    ASSERT_EQ (focal->coveredSlices.size(), 2);
    focal->setExcluded (2, true);

    focal->setResolution ({ 200, 100 });
    auto placed = item.getTransformedOutline().getBounds();
    EXPECT_NEAR (placed.getX(), 10100, 0.01);
    EXPECT_NEAR (placed.getY(), 4050, 0.01);
    EXPECT_NEAR (placed.getWidth(), 400, 0.01);
    EXPECT_NEAR (placed.getHeight(), 200, 0.01);
}

TEST (FocalSlice, MenuResultIsAppliedAndReportedEvenWhenDismissed)
{
    auto focal = makeFocal ({ 1920, 1080 }, { 0, 0, 1920, 1080 });
    test::ChangeCounter counter;
    focal->getStageItem()->addListener (&counter);
    focal->flip = 3;

    focal->applyOptionsResult (23);
    EXPECT_EQ (focal->flip, 2);
    EXPECT_EQ (counter.changes, 1);

    focal->applyOptionsResult (0);
    EXPECT_EQ (focal->flip, 2);
    EXPECT_EQ (focal->distribution, 0);
    EXPECT_EQ (focal->cover, 0);
    EXPECT_EQ (counter.changes, 2);

    // Shown for real: the menu does not block, and dismissing it reports.
    focal->showOptionsMenu();
    EXPECT_EQ (counter.changes, 2);
    test::pumpMessageLoop (50);
    juce::PopupMenu::dismissAllActiveMenus();
    EXPECT_TRUE (test::pumpUntil ([&] { return counter.changes == 3; }, 2000));
    EXPECT_EQ (focal->flip, 2);

    focal->getStageItem()->removeListener (&counter);
}

TEST (FocalSlice, MenuClosingAfterTheFocalIsGoneTouchesNothing)
{
    auto focal = makeFocal ({ 1920, 1080 }, { 0, 0, 1920, 1080 });
    test::ChangeCounter counter;
    focal->getStageItem()->addListener (&counter);

    focal->showOptionsMenu();
    test::pumpMessageLoop (50);

    // On a heavily loaded machine the menu may already have closed by
    // itself, reporting to the focal while it still existed: what counts is
    // that nothing arrives once the focal is gone.
    const auto changesWhileAlive = counter.changes;
    EXPECT_LE (changesWhileAlive, 1);
    focal.reset();
    juce::PopupMenu::dismissAllActiveMenus();
    test::pumpMessageLoop (100);
    EXPECT_EQ (counter.changes, changesWhileAlive);
}

TEST (FocalSlice, ReplacingTheItemDropsTheButtonsOfTheOldOne)
{
    auto focal = makeFocal ({ 1000, 500 }, { 0, 0, 1000, 500 });
    auto slice = makeSlice (1, { 100, 100, 100, 100 });
    focal->updateCoverage (slice.get());
    focal->rebuildCoveredButtons();
    ASSERT_EQ (focal->coveredButtons.size(), 1);

    focal->createStageItem();
    EXPECT_EQ (focal->coveredButtons.size(), 0);
    EXPECT_TRUE (test::itemOf (*focal).coveredButtons.isEmpty());
}
