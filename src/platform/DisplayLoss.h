#pragma once

#include <functional>

namespace corvadine
{
// Runs a function when the connection to the display breaks (its X server
// ended or went away), before the process ends. Without it the X library
// ends the process at once (status 1) from inside the call that found the
// connection gone, and nothing after that call runs.
//
// The function runs on the thread whose X call found the connection broken
// (usually the message thread, but it can be a render thread); other threads
// that call into the display meanwhile wait in the X library. When it
// returns, the process ends with status 1, without running destructors: the
// application's objects are in the middle of their work. One at a time;
// its destruction puts back the handler that was there before.
class DisplayLoss
{
public:
    explicit DisplayLoss (std::function<void()> beforeTheProcessEnds);
    ~DisplayLoss();

    DisplayLoss (const DisplayLoss&) = delete;
    DisplayLoss& operator= (const DisplayLoss&) = delete;
};
} // namespace corvadine
