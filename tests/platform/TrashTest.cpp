#include "platform/Trash.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

// GLib reads HOME once per process; CTest gives every test a process (and a
// temporary HOME) of its own, so each test sees its own, fresh Trash.
namespace
{
juce::File trashFolder()
{
    return test::testHome().getChildFile (".local/share/Trash");
}

juce::File makeBundle (const juce::File& folder, const juce::String& name, const juce::String& marker)
{
    auto bundle = folder.getChildFile (name + ".bundle");
    test::writeTextFile (bundle.getChildFile ("Contents/Info.plist"), marker);
    test::writeTextFile (bundle.getChildFile ("Contents/MacOS/" + name), "executable");
    return bundle;
}
} // namespace

TEST (Trash, MovesAWholeBundleFolderIntoANewTrashWithItsTrashInfo)
{
    const auto effects = test::documentsFolder().getChildFile ("Resolume Arena 6/Extra Effects");
    const auto bundle = makeBundle (effects, "FFGLCorvadine", "first");
    ASSERT_FALSE (trashFolder().exists());

    ASSERT_TRUE (Trash::moveToTrash (bundle));

    EXPECT_FALSE (bundle.exists());
    EXPECT_TRUE (effects.isDirectory());
    const auto trashed = trashFolder().getChildFile ("files/FFGLCorvadine.bundle");
    EXPECT_EQ (trashed.getChildFile ("Contents/Info.plist").loadFileAsString(), "first");
    EXPECT_TRUE (trashed.getChildFile ("Contents/MacOS/FFGLCorvadine").existsAsFile());

    const auto info = trashFolder().getChildFile ("info/FFGLCorvadine.bundle.trashinfo").loadFileAsString();
    EXPECT_TRUE (info.startsWith ("[Trash Info]")) << info;
    // The path is written URI-escaped: here only its spaces need it.
    EXPECT_TRUE (info.contains ("Path=" + bundle.getFullPathName().replace (" ", "%20") + "\n")) << info;
    EXPECT_TRUE (info.contains ("DeletionDate=")) << info;
}

TEST (Trash, ANameAlreadyInTheTrashGetsAUniqueOneAndBothCanBePutBack)
{
    const auto effects = test::documentsFolder().getChildFile ("Resolume Arena/Extra Effects");

    ASSERT_TRUE (Trash::moveToTrash (makeBundle (effects, "FFGLCorvadine", "first")));
    ASSERT_TRUE (Trash::moveToTrash (makeBundle (effects, "FFGLCorvadine", "second")));

    auto files = trashFolder().getChildFile ("files").findChildFiles (juce::File::findDirectories, false);
    auto infos = trashFolder().getChildFile ("info").findChildFiles (juce::File::findFiles, false, "*.trashinfo");
    ASSERT_EQ (files.size(), 2);
    ASSERT_EQ (infos.size(), 2);

    juce::StringArray markers;

    for (auto& trashed : files)
    {
        markers.add (trashed.getChildFile ("Contents/Info.plist").loadFileAsString());
        EXPECT_TRUE (trashFolder().getChildFile ("info/" + trashed.getFileName() + ".trashinfo").existsAsFile());
    }

    markers.sort (false);
    EXPECT_EQ (markers, juce::StringArray ({ "first", "second" }));
}

TEST (Trash, AMissingItemIsReportedAsNotMoved)
{
    EXPECT_FALSE (Trash::moveToTrash (test::testHome().getChildFile ("nothing.bundle")));
}

TEST (Trash, AScopedMoverTakesOverUntilItEndsAndTheyNest)
{
    const auto file = test::testHome().getChildFile ("plug.bundle");
    test::writeTextFile (file, "x");
    juce::StringArray calls;

    {
        Trash::ScopedMover refuse ([&] (const juce::File& f) { calls.add ("refuse " + f.getFileName()); return false; });

        {
            Trash::ScopedMover accept ([&] (const juce::File& f) { calls.add ("accept " + f.getFileName()); return true; });
            EXPECT_TRUE (Trash::moveToTrash (file));
        }

        EXPECT_FALSE (Trash::moveToTrash (file));
    }

    EXPECT_EQ (calls, juce::StringArray ({ "accept plug.bundle", "refuse plug.bundle" }));
    EXPECT_TRUE (file.existsAsFile());

    EXPECT_TRUE (Trash::moveToTrash (file));
    EXPECT_FALSE (file.exists());
}
