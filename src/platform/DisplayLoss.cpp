#include "platform/DisplayLoss.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include <unistd.h>

#include <X11/Xlib.h>

namespace corvadine
{
namespace
{
std::function<void()>* beforeEnd = nullptr;
XIOErrorHandler previousHandler = nullptr;

int connectionLost (Display*)
{
    // The first thread to find the connection gone ends the process; any
    // other waits here for that.
    static std::atomic<bool> ending { false };

    if (ending.exchange (true))
        for (;;)
            ::pause();

    if (beforeEnd != nullptr && *beforeEnd != nullptr)
        (*beforeEnd)();

    std::fflush (stderr);
    std::_Exit (1);
}
} // namespace

DisplayLoss::DisplayLoss (std::function<void()> beforeTheProcessEnds)
{
    beforeEnd = new std::function<void()> (std::move (beforeTheProcessEnds));
    previousHandler = ::XSetIOErrorHandler (connectionLost);
}

DisplayLoss::~DisplayLoss()
{
    ::XSetIOErrorHandler (previousHandler);
    previousHandler = nullptr;
    delete std::exchange (beforeEnd, nullptr);
}
} // namespace corvadine
