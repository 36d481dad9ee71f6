#include "app/SessionEnd.h"

#include "app/MainComponent.h"
#include "model/FileLess.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace corvadine
{
namespace
{
juce::String occasionOf (int signalNumber)
{
    switch (signalNumber)
    {
        case SIGTERM: return "Asked to end (SIGTERM)";
        case SIGHUP:  return "The terminal or the session went away (SIGHUP)";
        case SIGINT:  return "Interrupted (SIGINT)";
        default:      return "Ended by signal " + juce::String (signalNumber);
    }
}

void sayOnStandardError (const juce::String& text)
{
    std::fprintf (stderr, "%s: %s\n", JUCE_APPLICATION_NAME_STRING, text.toRawUTF8());
    std::fflush (stderr);
}
} // namespace

SessionEnd::SessionEnd (Roads r)
    : roads (std::move (r)),
      signals ([this] (int number) { signalArrived (number); })
{
}

SessionEnd::~SessionEnd() = default;

void SessionEnd::watchDisplay()
{
    // The windowing code connects to the display (and installs its own
    // watch, which this one replaces) when the desktop is first asked for.
    juce::Desktop::getInstance().getDisplays();
    displayLoss = std::make_unique<DisplayLoss> ([this] { displayLost(); });
}

void SessionEnd::signalArrived (int signalNumber)
{
    if (ending)
        return;

    // Someone at a terminal: the window can still ask, as for its close
    // button. Pressed again while a dialog is up (the question, or any other
    // one), it ends the application without waiting for an answer.
    if (signalNumber == SIGINT)
    {
        const auto insisting = interruptions++ > 0
                            && juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0;

        if (! insisting)
        {
            if (roads.askToQuit != nullptr)
                roads.askToQuit();

            return;
        }
    }

    ending = true;
    const auto written = writeWithNobodyToAsk (roads.store != nullptr ? roads.store() : nullptr,
                                               occasionOf (signalNumber));

    if (roads.quit != nullptr)
        roads.quit (written ? 0 : 1);
}

FileLess* SessionEnd::findApplicationStore()
{
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* window = dynamic_cast<juce::ResizableWindow*> (desktop.getComponent (i)))
            if (auto* content = dynamic_cast<MainComponent*> (window->getContentComponent()))
                if (content->controller != nullptr)
                    return content->controller.get();

    return nullptr;
}

bool SessionEnd::writeWithNobodyToAsk (FileLess* store, const juce::String& occasion)
{
    if (store == nullptr)
        return true;

    if (! store->flushPendingSave())
    {
        const auto path = store->documentPath;
        sayOnStandardError (occasion + ", and I couldn't save the document: "
                            + writeFailureReason (store->lastWriteError(), path)
                            + ". The file on disk is left as it was; the changes since it was last saved are lost.\n"
                              "File: " + path);

        // Nothing is left to try; an empty file that no write filled goes.
        store->discardPendingSave();
        return false;
    }

    if (const auto note = store->unrecordedDocumentNote(); note.isNotEmpty())
        sayOnStandardError (note);

    return true;
}

void SessionEnd::displayLost()
{
    const auto occasion = juce::String ("The display went away");
    auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();

    if (messageManager == nullptr)
        return;

    if (messageManager->isThisTheMessageThread())
    {
        writeWithNobodyToAsk (roads.store != nullptr ? roads.store() : nullptr, occasion);
        return;
    }

    // Another thread (a render thread) found it: the document belongs to the
    // message thread, which is asked to write it. When it does not answer
    // in time, it is held in the X library (which keeps every other thread
    // out of the broken connection now) and touches nothing: the document
    // is written from here. Whoever claims the write first does it.
    enum { unclaimed, claimedThere, claimedHere };
    auto claim = std::make_shared<std::atomic<int>> (unclaimed);
    auto done = std::make_shared<juce::WaitableEvent>();

    juce::MessageManager::callAsync ([this, claim, done, occasion]
    {
        int expected = unclaimed;

        if (claim->compare_exchange_strong (expected, claimedThere))
        {
            writeWithNobodyToAsk (roads.store != nullptr ? roads.store() : nullptr, occasion);
            done->signal();
        }
    });

    if (done->wait (3000))
        return;

    int expected = unclaimed;

    if (claim->compare_exchange_strong (expected, claimedHere))
        writeWithNobodyToAsk (roads.store != nullptr ? roads.store() : nullptr, occasion);
    else
        done->wait (-1);
}
} // namespace corvadine
