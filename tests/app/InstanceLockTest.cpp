#include "app/InstanceLock.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace corvadine;

namespace
{
// Sets an environment variable for the test's length.
struct ScopedEnvironment
{
    ScopedEnvironment (const char* nameToSet, const juce::String& value) : name (nameToSet)
    {
        if (const auto* old = std::getenv (name))
            previous = juce::String (juce::CharPointer_UTF8 (old));

        hadValue = std::getenv (name) != nullptr;

        if (value.isEmpty())
            ::unsetenv (name);
        else
            ::setenv (name, value.toRawUTF8(), 1);
    }

    ~ScopedEnvironment()
    {
        if (hadValue)
            ::setenv (name, previous.toRawUTF8(), 1);
        else
            ::unsetenv (name);
    }

    const char* name;
    juce::String previous;
    bool hadValue = false;
};
} // namespace

TEST (InstanceLock, TheLockLivesInTheSessionsRuntimeFolderElseUnderTheUsersHome)
{
    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    const auto runtime = home.getChildFile ("run");
    ASSERT_TRUE (runtime.createDirectory());

    {
        const ScopedEnvironment set ("XDG_RUNTIME_DIR", runtime.getFullPathName());
        EXPECT_EQ (InstanceLock::defaultLockFile(), runtime.getChildFile ("Corvadine.lock"));
    }

    // No runtime folder, a relative one, or one that does not exist: the
    // user's own cache folder.
    for (const auto* value : { "", "relative/run", "/no/such/runtime/folder" })
    {
        const ScopedEnvironment set ("XDG_RUNTIME_DIR", value);
        EXPECT_EQ (InstanceLock::defaultLockFile(),
                   home.getChildFile (".cache").getChildFile ("Corvadine").getChildFile ("instance.lock"))
            << value;
    }
}

TEST (InstanceLock, OneHolderPerLockFileAndTheLockIsFreeAgainWhenItsHolderEnds)
{
    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    const auto first = home.getChildFile ("a/run/Corvadine.lock");
    const auto second = home.getChildFile ("b/run/Corvadine.lock");

    auto holder = std::make_unique<InstanceLock> (first);
    ASSERT_TRUE (holder->isHeld());
    EXPECT_FALSE (holder->heldByAnotherCopy());
    EXPECT_TRUE (first.existsAsFile());

    {
        const InstanceLock again (first);
        EXPECT_FALSE (again.isHeld());
        EXPECT_TRUE (again.heldByAnotherCopy());
    }

    // Another session's lock is its own.
    const InstanceLock elsewhere (second);
    EXPECT_TRUE (elsewhere.isHeld());

    holder.reset();
    const InstanceLock afterwards (first);
    EXPECT_TRUE (afterwards.isHeld());
}

TEST (InstanceLock, AFolderWhereNoLockCanBeMadeIsNoSignOfAnotherCopy)
{
    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    // A file stands where the lock's folder should be.
    const auto blocker = home.getChildFile ("blocked");
    ASSERT_TRUE (blocker.replaceWithText ("not a folder"));

    const InstanceLock lock (blocker.getChildFile ("Corvadine.lock"));
    EXPECT_FALSE (lock.isHeld());
    EXPECT_FALSE (lock.heldByAnotherCopy());
}
