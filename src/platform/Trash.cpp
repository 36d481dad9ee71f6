#include "platform/Trash.h"

#if ! JUCE_MAC
 #include <gio/gio.h>
#endif

namespace corvadine
{
namespace
{
bool moveToSystemTrash (const juce::File& item)
{
   #if JUCE_MAC
    // JUCE asks NSFileManager to trashItemAtURL: here.
    return item.moveToTrash();
   #else
    // juce::File::moveToTrash needs an existing Trash folder and writes no
    // .trashinfo, so the item could not be put back: GIO does it properly.
    auto* file = g_file_new_for_path (item.getFullPathName().toRawUTF8());
    GError* error = nullptr;
    const auto moved = g_file_trash (file, nullptr, &error) != FALSE;

    if (error != nullptr)
    {
        DBG ("Moving " << item.getFullPathName() << " to the Trash failed: " << error->message);
        g_error_free (error);
    }

    g_object_unref (file);
    return moved;
   #endif
}
} // namespace

Trash::ScopedMover::Mover& Trash::currentMover()
{
    static ScopedMover::Mover mover;
    return mover;
}

bool Trash::moveToTrash (const juce::File& item)
{
    if (auto& mover = currentMover())
        return mover (item);

    return moveToSystemTrash (item);
}

Trash::ScopedMover::ScopedMover (Mover replacement)
    : previous (std::exchange (currentMover(), std::move (replacement)))
{
}

Trash::ScopedMover::~ScopedMover()
{
    currentMover() = std::move (previous);
}
} // namespace corvadine
