#include "support/TestSupport.h"

#include <sys/mount.h>

namespace corvadine::test
{
juce::File testHome()
{
    return juce::File::getSpecialLocation (juce::File::userHomeDirectory);
}

juce::File documentsFolder()
{
    auto folder = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);
    folder.createDirectory();
    return folder;
}

juce::MouseEvent mouseEventAt (juce::Component& component, juce::Point<float> position, juce::ModifierKeys mods)
{
    const auto now = juce::Time::getCurrentTime();
    return { juce::Desktop::getInstance().getMainMouseSource(), position, mods,
             juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f,
             &component, &component, now, position, now, 1, false };
}

juce::MouseEvent mouseDragEventAt (juce::Component& component, juce::Point<float> pressPosition,
                                   juce::Point<float> position, juce::ModifierKeys mods)
{
    const auto now = juce::Time::getCurrentTime();
    return { juce::Desktop::getInstance().getMainMouseSource(), position, mods,
             juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f,
             &component, &component, now, pressPosition, now, 1, true };
}

void pumpMessageLoop (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

bool pumpUntil (const std::function<bool()>& condition, int timeoutMilliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMilliseconds;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() >= end)
            return condition();

        pumpMessageLoop (10);
    }

    return true;
}

namespace
{
struct DelayedCall final : private juce::Timer
{
    explicit DelayedCall (std::function<void()> f) : function (std::move (f)) {}

    void start (int ms) { startTimer (juce::jmax (1, ms)); }

    void timerCallback() override
    {
        stopTimer();
        auto f = std::move (function);
        delete this;
        f();
    }

    std::function<void()> function;
};
} // namespace

void callAfter (int milliseconds, std::function<void()> function)
{
    (new DelayedCall (std::move (function)))->start (milliseconds);
}

void clickThroughWindow (juce::Component& component)
{
    auto* peer = component.getPeer();

    if (peer == nullptr)
        return;

    const auto position = peer->getComponent()
                              .getLocalPoint (&component, component.getLocalBounds().getCentre())
                              .toFloat();
    const auto send = [&] (juce::ModifierKeys buttons)
    {
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, position, buttons,
                                juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, juce::Time::currentTimeMillis());
    };

    send ({});                                     // move over it
    send (juce::ModifierKeys::leftButtonModifier); // press
    send ({});                                     // release
}

juce::File writeSnapshot (const juce::Image& image, const juce::String& name)
{
    juce::File folder (CORVADINE_SNAPSHOT_DIR);
    folder.createDirectory();
    auto file = folder.getChildFile (juce::File::createLegalFileName (name) + ".png");
    file.deleteFile();

    if (auto stream = file.createOutputStream())
        juce::PNGImageFormat().writeImageToStream (image, *stream);

    return file;
}

juce::File writeSnapshot (juce::Component& component, const juce::String& name)
{
    return writeSnapshot (component.createComponentSnapshot (component.getLocalBounds()), name);
}

juce::File hostSamplesFolder()
{
    const juce::File besideCheckout (CORVADINE_HOST_SAMPLES_DIR);

    if (besideCheckout.isDirectory())
        return besideCheckout;

    // A checkout nested deeper (a git worktree) finds the shared folder
    // further up.
    for (auto folder = juce::File (CORVADINE_SOURCE_DIR); ! folder.isRoot(); folder = folder.getParentDirectory())
        if (auto samples = folder.getChildFile ("shared/host-samples"); samples.isDirectory())
            return samples;

    return besideCheckout;
}

void writeTextFile (const juce::File& file, const juce::String& text)
{
    file.getParentDirectory().createDirectory();
    file.replaceWithText (text, false, false, "\n");
}

std::string utf16WithByteOrderMark (const std::string& utf8, bool bigEndian)
{
    const auto text = juce::String::fromUTF8 (utf8.data(), (int) utf8.size());
    std::string bytes = bigEndian ? "\xfe\xff" : "\xff\xfe";
    const auto put = [&] (juce::juce_wchar unit)
    {
        const auto high = (char) ((unit >> 8) & 0xff), low = (char) (unit & 0xff);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    };

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();

        if (c < 0x10000)
        {
            put (c);
            continue;
        }

        put (0xd800 + ((c - 0x10000) >> 10));
        put (0xdc00 + ((c - 0x10000) & 0x3ff));
    }

    return bytes;
}

juce::Array<juce::Point<float>> pointList (std::initializer_list<juce::Point<float>> points)
{
    juce::Array<juce::Point<float>> list;
    for (auto p : points)
        list.add (p);
    return list;
}
SmallDisk::SmallDisk (const juce::File& folder, int kilobytes) : mountPoint (folder)
{
    folder.createDirectory();
    const auto options = "size=" + std::to_string (kilobytes) + "k";
    mounted = ::mount ("tmpfs", folder.getFullPathName().toRawUTF8(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk()
{
    if (mounted)
        ::umount2 (mountPoint.getFullPathName().toRawUTF8(), MNT_DETACH);
}

void SmallDisk::fill() const
{
    juce::FileOutputStream stream (filler());
    const std::vector<char> block (4096, 'x');

    while (stream.openedOk() && stream.write (block.data(), block.size()) && stream.getStatus().wasOk())
        stream.flush();
}
} // namespace corvadine::test
