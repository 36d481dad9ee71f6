#include "host/FileWatcher.h"

#include <optional>
#include <sys/stat.h>

namespace corvadine
{
namespace
{
// Nothing when there is no file status to read.
std::optional<juce::int64> readModificationMilliseconds (const juce::String& path)
{
    if (path.isEmpty())
        return {};

    struct stat status {};

    if (::stat (path.toRawUTF8(), &status) != 0)
        return {};

   #if JUCE_MAC
    const auto& time = status.st_mtimespec;
   #else
    const auto& time = status.st_mtim;
   #endif

    return (juce::int64) time.tv_sec * 1000 + (juce::int64) time.tv_nsec / 1000000;
}
} // namespace

juce::int64 fileModificationMilliseconds (const juce::String& path)
{
    return readModificationMilliseconds (path).value_or (0);
}

FileWatcher::FileWatcher() = default;

FileWatcher::~FileWatcher() = default;

void FileWatcher::timerCallback()
{
    // A missing file is no news rather than time 0, so that it is never
    // reported, whatever lastModified holds (even a time before 1970).
    const auto modified = readModificationMilliseconds (path);

    if (! modified.has_value() || *modified <= lastModified)
        return;

    // Recorded before the call, so that the handler sees the new time and may
    // set another one (a relink re-arms the watcher with the file's time).
    lastModified = *modified;
    fileChanged (juce::String (path));
}
} // namespace corvadine
