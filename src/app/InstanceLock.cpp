#include "app/InstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace corvadine
{
juce::File InstanceLock::defaultLockFile()
{
    if (const auto* runtime = std::getenv ("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/')
    {
        const juce::File folder { juce::String (juce::CharPointer_UTF8 (runtime)) };

        if (folder.isDirectory() && folder.hasWriteAccess())
            return folder.getChildFile ("Corvadine.lock");
    }

    juce::File cache;

    if (const auto* cacheHome = std::getenv ("XDG_CACHE_HOME"); cacheHome != nullptr && *cacheHome == '/')
        cache = juce::File { juce::String (juce::CharPointer_UTF8 (cacheHome)) };
    else
        cache = juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".cache");

    return cache.getChildFile ("Corvadine").getChildFile ("instance.lock");
}

InstanceLock::InstanceLock (const juce::File& lockFile)
{
    if (lockFile == juce::File())
        return;

    lockFile.getParentDirectory().createDirectory();

    const auto fd = ::open (lockFile.getFullPathName().toRawUTF8(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);

    if (fd < 0)
        return;

    // flock() locks belong to the open file, so a second open in this very
    // process is refused too, as a second process is.
    int result = 0;

    do
        result = ::flock (fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);

    if (result == 0)
    {
        handle = fd;
        return;
    }

    otherCopyRuns = (errno == EWOULDBLOCK);
    ::close (fd);
}

InstanceLock::~InstanceLock()
{
    if (handle >= 0)
        ::close (handle);
}
} // namespace corvadine
