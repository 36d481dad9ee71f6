#pragma once

#include <juce_events/juce_events.h>

#include <functional>
#include <memory>

namespace corvadine
{
// Catches the signals that ask a program to end (SIGTERM at logout or
// shutdown, SIGHUP when its terminal or session goes away, SIGINT from
// Ctrl+C) and hands each to the message thread. The handler itself only
// writes the signal's number into a pipe, which is all a signal handler may
// safely do; the message loop wakes on that pipe and posts the callback as
// an ordinary message, so whatever it does (a question, a nested loop) runs
// as any message's work does.
//
// One catcher at a time. While it lives, those signals no longer end the
// process by themselves; its destruction gives them back what they did
// before.
class QuitSignals
{
public:
    explicit QuitSignals (std::function<void (int signalNumber)> onSignal);
    ~QuitSignals();

private:
    struct Reader;
    std::unique_ptr<Reader> reader;

    JUCE_DECLARE_NON_COPYABLE (QuitSignals)
};
} // namespace corvadine
