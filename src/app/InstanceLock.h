#pragma once

#include <juce_core/juce_core.h>

namespace corvadine
{
// One running copy of the application per user session. The lock is a file
// held with flock() for as long as this object lives; the system lets go of
// it when the process ends, however it ends.
//
// The file lives in the session's own runtime folder ($XDG_RUNTIME_DIR) when
// there is one, else in the user's own cache folder, so that two users of
// one machine (or two test runs with HOMEs of their own) never meet each
// other's copy.
class InstanceLock
{
public:
    // Where this user session's lock lives.
    static juce::File defaultLockFile();

    // Tries once, without waiting.
    explicit InstanceLock (const juce::File& lockFile);
    ~InstanceLock();

    // True when another running copy holds the lock. A lock file that cannot
    // be made or opened at all (an unwritable folder) is no sign of another
    // copy: the application then runs without the lock rather than not at
    // all.
    bool heldByAnotherCopy() const noexcept { return otherCopyRuns; }

    // True while this object holds the lock.
    bool isHeld() const noexcept { return handle >= 0; }

private:
    int handle = -1;
    bool otherCopyRuns = false;

    JUCE_DECLARE_NON_COPYABLE (InstanceLock)
};
} // namespace corvadine
