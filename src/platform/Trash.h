#pragma once

#include <juce_core/juce_core.h>

#include <functional>

namespace corvadine
{
// Moves files and folders to the user's Trash, where they can be put back.
// On Linux this is the freedesktop.org Trash as GIO implements it
// ($XDG_DATA_HOME/Trash, by default ~/.local/share/Trash, with files/ and
// info/NAME.trashinfo, created when missing, names made unique, a Trash of
// its own on other volumes); on macOS it is the file manager's Trash. This is
// the one place that knows which.
class Trash
{
public:
    // Moves the file, or the whole folder with everything in it, in one step.
    // False when it was not moved (it is missing, or the move was refused).
    static bool moveToTrash (const juce::File& item);

    // While one of these lives, every move goes through its function instead
    // of the Trash (tests use it to make moves fail where permissions cannot,
    // for instance when they run as root). They nest; the last one made wins.
    class ScopedMover
    {
    public:
        using Mover = std::function<bool (const juce::File&)>;

        explicit ScopedMover (Mover replacement);
        ~ScopedMover();

    private:
        Mover previous;

        JUCE_DECLARE_NON_COPYABLE (ScopedMover)
    };

private:
    static ScopedMover::Mover& currentMover();
};
} // namespace corvadine
