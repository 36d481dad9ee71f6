#include "platform/QuitSignals.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace corvadine
{
namespace
{
constexpr std::array<int, 3> caughtSignals { SIGTERM, SIGHUP, SIGINT };

// The pipe is made once and never closed: a handler still running on
// another thread while a catcher goes must never write into a descriptor
// that has been closed and perhaps given to another file.
int signalPipe[2] = { -1, -1 };

bool openSignalPipe()
{
    if (signalPipe[0] >= 0)
        return true;

    int fds[2];

    if (::pipe2 (fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;

    signalPipe[0] = fds[0];
    signalPipe[1] = fds[1];
    return true;
}

extern "C" void writeSignalToPipe (int signalNumber)
{
    // Only what is safe in a handler: one write, errno kept for the code
    // the signal interrupted. A full pipe loses only a repeat.
    const auto savedErrno = errno;
    const auto byte = static_cast<unsigned char> (signalNumber);
    [[maybe_unused]] const auto written = ::write (signalPipe[1], &byte, 1);
    errno = savedErrno;
}
} // namespace

struct QuitSignals::Reader
{
    std::function<void (int)> onSignal;
    std::array<struct sigaction, caughtSignals.size()> previous {};
    bool installed = false;
    JUCE_DECLARE_WEAK_REFERENCEABLE (Reader)
};

QuitSignals::QuitSignals (std::function<void (int)> onSignal)
    : reader (std::make_unique<Reader>())
{
    reader->onSignal = std::move (onSignal);

    if (! openSignalPipe())
        return;

    // Signals that came while no catcher was there are not this one's.
    unsigned char stale[64];

    while (::read (signalPipe[0], stale, sizeof (stale)) > 0)
    {
    }

    juce::LinuxEventLoop::registerFdCallback (signalPipe[0], [weak = juce::WeakReference<Reader> (reader.get())] (int fd)
    {
        unsigned char numbers[64];
        ssize_t count = 0;

        while ((count = ::read (fd, numbers, sizeof (numbers))) > 0)
            for (ssize_t i = 0; i < count; ++i)
                juce::MessageManager::callAsync ([weak, number = (int) numbers[i]]
                {
                    if (auto* r = weak.get(); r != nullptr && r->onSignal != nullptr)
                        r->onSignal (number);
                });
    });

    struct sigaction action {};
    action.sa_handler = writeSignalToPipe;
    sigemptyset (&action.sa_mask);
    // Interrupted system calls go on by themselves.
    action.sa_flags = SA_RESTART;

    for (size_t i = 0; i < caughtSignals.size(); ++i)
        ::sigaction (caughtSignals[i], &action, &reader->previous[i]);

    reader->installed = true;
}

QuitSignals::~QuitSignals()
{
    if (! reader->installed)
        return;

    for (size_t i = 0; i < caughtSignals.size(); ++i)
        ::sigaction (caughtSignals[i], &reader->previous[i], nullptr);

    juce::LinuxEventLoop::unregisterFdCallback (signalPipe[0]);
}
} // namespace corvadine
