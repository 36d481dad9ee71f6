#include "app/FileChoosers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

TEST (FileChoosers, AnswererAnswersAndRecordsEveryChoiceInsteadOfADialog)
{
    const auto chosen = test::documentsFolder().getChildFile ("chosen.xml");
    ScopedFileChooserAnswerer answerer ([&] (const FileChoice& choice) -> std::optional<juce::File>
                                        {
                                            if (choice.title == "cancel")
                                                return std::nullopt;
                                            return chosen;
                                        });

    const auto first = chooseFile ({ "Load it", test::documentsFolder(), "*.xml", 5 });
    const auto second = chooseFile ({ "cancel", {}, "*.xml", 134 });

    ASSERT_TRUE (first.has_value());
    EXPECT_EQ (*first, chosen);
    EXPECT_FALSE (second.has_value());
    ASSERT_EQ (answerer.requests.size(), 2u);
    EXPECT_EQ (answerer.requests[0].title, "Load it");
    EXPECT_EQ (answerer.requests[0].startFolder, test::documentsFolder());
    EXPECT_EQ (answerer.requests[0].patterns, "*.xml");
    EXPECT_EQ (answerer.requests[0].flags, 5);
    EXPECT_EQ (answerer.requests[1].flags, 134);
}

TEST (FileChoosers, InnerAnswererTakesOverUntilItEnds)
{
    ScopedFileChooserAnswerer outer ([] (const FileChoice&) { return std::optional<juce::File> (juce::File ("/outer.xml")); });

    {
        ScopedFileChooserAnswerer inner ([] (const FileChoice&) { return std::optional<juce::File> (juce::File ("/inner.xml")); });
        EXPECT_EQ (chooseFile ({}), juce::File ("/inner.xml"));
        EXPECT_EQ (inner.requests.size(), 1u);
    }

    EXPECT_EQ (chooseFile ({}), juce::File ("/outer.xml"));
    EXPECT_EQ (outer.requests.size(), 1u);
}
