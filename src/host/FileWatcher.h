#pragma once

#include <juce_events/juce_events.h>

namespace corvadine
{
// A file's modification time in milliseconds since 1970 (the fraction of a
// millisecond dropped), read from the file's status without opening it; 0
// for an empty path or a file whose status cannot be read. Unlike
// juce::File::getLastModificationTime, which has whole seconds on Linux, it
// tells apart two saves within the same second.
juce::int64 fileModificationMilliseconds (const juce::String& path);

// Watches one file by polling its modification time on every tick of its
// timer and reports the file once each time that time has grown. Only a
// later time counts: a file that is gone, or replaced by one with an earlier
// time, is not reported, and the poll goes on until the owner stops it.
//
// The owner sets path and lastModified and starts or stops the timer; the
// watcher never starts or stops it itself.
class FileWatcher : public juce::Timer
{
public:
    FileWatcher();
    ~FileWatcher() override;

    // One poll.
    void timerCallback() override;

    // Called on the message thread with a copy of path when the file's
    // modification time has grown; lastModified already holds the new time.
    virtual void fileChanged (const juce::String& changedPath) = 0;

    // Full path of the watched file.
    juce::String path;
    // The latest modification time seen, in milliseconds.
    juce::int64 lastModified = 0;

private:
    JUCE_DECLARE_NON_COPYABLE (FileWatcher)
};
} // namespace corvadine
