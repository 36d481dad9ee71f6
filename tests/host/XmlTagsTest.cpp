#include "host/XmlTags.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

TEST (XmlTags, MatchesTagsIgnoringCaseWithoutAsserting)
{
    auto xml = juce::parseXML ("<Root><screensetup a=\"1\"/><ScreenSetup a=\"2\"/><Other/></Root>");
    ASSERT_NE (xml, nullptr);

    auto* first = findChildIgnoringCase (*xml, "ScreenSetup");
    ASSERT_NE (first, nullptr);
    EXPECT_EQ (first->getStringAttribute ("a"), "1");
    EXPECT_EQ (childrenIgnoringCase (*xml, "SCREENSETUP").size(), 2);
    EXPECT_EQ (findChildIgnoringCase (*xml, "Missing"), nullptr);
}

TEST (TestEnvironment, EveryTestHasItsOwnTemporaryHome)
{
    const auto home = test::testHome();
    EXPECT_TRUE (home.getFullPathName().startsWith ("/tmp/corvadine-home-"));
    EXPECT_TRUE (home.isDirectory());
    EXPECT_EQ (home.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}
