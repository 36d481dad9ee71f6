#include "model/ArenaSlice.h"
#include "model/SliceTestHelpers.h"
#include "stage/SliceStageItem.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
struct Recorder : ArenaSlice::Listener
{
    Recorder (juce::StringArray& log, juce::String name, ArenaSlice* removeOnCall = nullptr, Listener* other = nullptr)
        : log (log), name (name), slice (removeOnCall), other (other) {}

    void arenaSliceDeleted (ArenaSlice* deleted) override
    {
        log.add (name);
        EXPECT_EQ (deleted, slice != nullptr ? slice : deleted);

        if (slice != nullptr && other != nullptr)
            slice->removeListener (other);
    }

    juce::StringArray& log;
    juce::String name;
    ArenaSlice* slice;
    Listener* other;
};
} // namespace

TEST (ArenaSlice, BuildsItsItemFromTheInputOutline)
{
    ArenaSlice slice;
    slice.name = "Left wall";
    slice.uniqueId = 1234567890123LL;
    slice.inputPoints = test::pointList ({ { 0, 0 }, { 1920, 0 }, { 1920, 1080 }, { 0, 1080 } });
    slice.outputPoints = test::pointList ({ { 0, 0 }, { 10, 0 }, { 10, 20 } });
    slice.createStageItem();

    auto* item = dynamic_cast<SliceStageItem*> (slice.getStageItem());
    ASSERT_NE (item, nullptr);
    EXPECT_EQ (item->getName(), "Left wall");
    EXPECT_EQ (item->getBounds(), juce::Rectangle<int> (0, 0, 1920, 1080));
    EXPECT_TRUE (item->getTransform().isIdentity());
    EXPECT_TRUE (item->hidden);
    EXPECT_TRUE (item->isSelectable());
    EXPECT_TRUE (item->canTransform());
    EXPECT_TRUE (item->isLayoutItem());

    auto xml = slice.toValueTree().createXml();
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->toString (juce::XmlElement::TextFormat().withoutHeader().singleLine()),
               "<slice name=\"Left wall\" uniqueId=\"1234567890123\">"
               "<points name=\"path\" rotation=\"0.0\">"
               "<point x=\"0.0\" y=\"0.0\"/><point x=\"1920.0\" y=\"0.0\"/>"
               "<point x=\"1920.0\" y=\"1080.0\"/><point x=\"0.0\" y=\"1080.0\"/></points>"
               "<points name=\"outputPoints\">"
               "<point x=\"0.0\" y=\"0.0\"/><point x=\"10.0\" y=\"0.0\"/><point x=\"10.0\" y=\"20.0\"/></points>"
               "<position transform=\"1,0,0,0,1,0\" finalRotation=\"0.0\"/>"
               "</slice>");

    // A new item replaces the old one.
    auto* old = slice.getStageItem();
    juce::Component::SafePointer<juce::Component> watch (old);
    slice.createStageItem();
    EXPECT_NE (slice.getStageItem(), nullptr);
    EXPECT_EQ (watch.getComponent(), nullptr);
}

TEST (ArenaSlice, TellsItsListenersLastAddedFirstWhileItIsDeleted)
{
    juce::StringArray log;
    auto slice = std::make_unique<ArenaSlice>();
    Recorder first (log, "first", slice.get());
    Recorder second (log, "second", slice.get());
    slice->addListener (&first);
    slice->addListener (&second);
    slice.reset();
    EXPECT_EQ (log, juce::StringArray ({ "second", "first" }));
}

TEST (ArenaSlice, AListenerRemovedDuringTheCallIsNotCalled)
{
    juce::StringArray log;
    auto slice = std::make_unique<ArenaSlice>();
    Recorder first (log, "first");
    Recorder second (log, "second");
    Recorder third (log, "third", slice.get(), &second);
    slice->addListener (&first);
    slice->addListener (&second);
    slice->addListener (&third);
    slice.reset();
    EXPECT_EQ (log, juce::StringArray ({ "third", "first" }));
}
