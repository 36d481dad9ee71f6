#pragma once

#include "host/FileWatcher.h"
#include "host/ScreenSetupFile.h"
#include "inspector/LookInspector.h"
#include "model/BackgroundGuide.h"
#include "model/FileLess.h"
#include "model/StageModel.h"
#include "stage/StageComponent.h"
#include "stage/StageItem.h"
#include "preview/StagePreview.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace corvadine
{
// The application's controller. It holds the document (as its document
// store part) and watches the host's screen-setup file (as its file poller
// part); it owns the model and the guide image, loads documents into the
// model, onto the stage and into the inspector, writes every change back
// into the document, relinks the stage when the host's setup changes, and
// answers everything the stage, its items and the inspector report.
//
// Nothing the user did is lost on a switch: a pending save is written
// before the document is replaced, and when it cannot be written the user
// decides (writePendingSaveOrAsk). The poll timer is held while a load or a
// relink runs and while a question is on screen, so no relink runs inside
// another and no poll acts on a model that is being replaced.
//
// A relink the poller starts reads and parses the host's file on a thread of
// its own, so the window stays responsive while a large setup is read; the
// result comes back to the message thread, which merges it into the model,
// the stage and the document in one go. The poll stays held from the read's
// start to the end of the merge. A result is dropped when a newer read, a
// relink or a load came in between, or the watched file is another one.
class FlowController : public StageItem::Listener,
                       public LookInspector::Listener,
                       public FileLess,
                       public FileWatcher
{
public:
    // Opens the last used document (or starts a new one), stamps it, writes
    // the preferences, loads it onto the stage and installs the host's
    // plug-ins. The stage and the inspector must outlive the controller's
    // use of them.
    FlowController (StageComponent* stage, LookInspector* inspector);
    ~FlowController() override;

    // Items report a changed focal, a toggled lock, a removal request.
    void stageItemChanged (StageItem* item) override;
    void stageItemLockChanged (StageItem* item) override;
    void stageItemDeleteRequested (StageItem* item) override;

    // What the inspector reports.
    void addFocalClicked (int lookIndex) override;
    void focalDrawerClicked (int lookIndex, int focalIndex) override;
    void lookSelected (int lookIndex) override;
    void stageSelected() override;
    void screenEnabledChanged (int screenIndex, bool enabled) override;
    void screensChanged() override;
    void lookResolutionChanged (int lookIndex, juce::Point<int> resolution) override;
    void looksChanged (FocalDrawer* drawer) override;

    // The watched host setup file has a newer modification time: it is read
    // on a thread of its own and merged here once read (see above).
    void fileChanged (const juce::String& changedPath) override;

    // True from the start of a poller's read of the host setup file until its
    // result has been merged or dropped.
    bool isRelinkReadPending() const noexcept;

    // Turns the document into a new model on the stage and in the inspector,
    // importing the host's setup when the document is not linked to one yet.
    // A setup file that the host is still writing is given a moment to be
    // finished; when it is not, nothing of it is imported and the next poll
    // reads it.
    void loadDocument();

    // Writes the screens, the host link and the looks into the document and
    // starts the deferred save.
    void storeDocument();
    // Stores the guide image's "bgImage", or removes it when the guide has no item.
    void storeBackgroundGuide();

    // Re-reads a host setup file and merges its screens into the model,
    // keeping each matching slice's placement; returns how many slices got
    // their placement back. A file that cannot be read (the host may be
    // writing it) changes nothing; one that holds no screens starts a new
    // document. Reads on the calling (message) thread; a poller's read still
    // running is overtaken and its result dropped.
    int relinkScreenSetup (const juce::String& path);

    // "Relink": finds the host's setup file afresh, relinks to it and says
    // how it went in "Stage relinked...".
    void relinkStage();

    // Opens the preview window (closing one that is open first: one OpenGL
    // window at a time) and hands it the current mesh, or closes it.
    void setGlPreview (bool open);

    // Writes a pending save. When it cannot be written, asks whether to try
    // again, save the document elsewhere or discard the changes. True when
    // the caller may replace the document or quit (nothing pending any
    // more), false when the user wants to stay with it.
    bool writePendingSaveOrAsk();

    // The same before quitting; then, when the document is on disk but the
    // preferences could not be written to name it, tells the user once where
    // it is (the next start will not open it by itself).
    bool readyToQuit();

    std::unique_ptr<StageModel> model;
    std::unique_ptr<BackgroundGuide> backgroundGuide;
    LookInspector* inspector = nullptr;
    StageComponent* stage = nullptr;
    // The preview window; null while none is open.
    std::unique_ptr<StagePreview> preview;
    // The host setup file that "assFile" records.
    juce::String assFilePath;

    // The poll interval of the host setup file and the plug-in names.
    static constexpr int pollIntervalMs = 1000;
    static const juce::StringArray pluginNames;

private:
    // The stage's four callbacks.
    void itemsTransformed (juce::Array<StageItem*> movedItems);
    void stageChanged();
    void fileDropped (juce::File file);
    void itemClicked (StageItem* item);

    void openStartupDocument();
    void installPlugins();

    // Fits an open preview to the visible slices' aspect at its width and
    // hands it the mesh of the visible slices.
    void handPreviewMesh();

    // Stores the "looks" subtree alone, starts the deferred save and
    // refreshes the focal drawers' slice lists.
    void storeLooks();
    void rebuildFocalDrawerSlices();
    // Marks the focal drawer n active and all others inactive.
    void markFocalDrawer (int n);

    // Sets `locked` at once; the lock button follows through the message
    // loop (see syncLockButtons).
    void setItemLocked (StageItem* item, bool shouldBeLocked);
    void setItemHidden (StageItem* item, bool shouldBeHidden);
    // Takes every hidden item out of the selection.
    void deselectHiddenItems();
    // Makes the item the only selected one, unless it is hidden.
    void selectShownItem (StageItem* item);
    // Brings every lock button whose item was locked or unlocked in line
    // with the item's `locked`, running the button's own handling as a
    // click would. Runs from the message loop.
    void syncLockButtons();

    // Puts every item of the model, and the guide, on the stage.
    void refillStage();
    void applyStageMode();

    // Watches the file from its modification time now, or from the given
    // time (a change after it is reported by the next poll).
    void armPoller (const juce::String& watchedPath);
    void armPoller (const juce::String& watchedPath, juce::int64 modifiedMs);
    void stopPoller();

    // The host setup file as a relink reads it: whether it is there, its
    // modification time before it was read, and what it holds. Made on any
    // thread.
    struct SetupFileRead
    {
        bool exists = false;
        juce::int64 modifiedMs = 0;
        ScreenSetupFileRead contents;
    };

    static SetupFileRead readSetupFileForRelink (const juce::String& setupPath, ScreenSetupReadBuffers& buffers);

    // The relink after its read: merges the screens into the model and
    // rebuilds stage and document, or takes the unreadable or the empty
    // setup's road.
    int mergeScreenSetupRead (const juce::String& setupPath, const SetupFileRead& read);

    // The poller's relink: the read on its thread, its result on the message
    // thread, merged when nothing else holds the poll.
    void startRelinkRead (const juce::String& setupPath);
    void relinkReadArrived (std::uint64_t generation, const juce::String& setupPath, SetupFileRead read);
    void mergeArrivedRead();
    void joinRelinkReader();

    // The pending save written; true when nothing is pending any more.
    bool writePendingSave();
    juce::File askForSaveAsFile();

    // Holds the poll timer while it exists.
    struct PollHold
    {
        explicit PollHold (FlowController& owner);
        ~PollHold();
        FlowController& controller;
    };

    struct LockSync final : public juce::AsyncUpdater
    {
        std::function<void()> callback;
        void handleAsyncUpdate() override { callback(); }
    };

    // A poller's read that came back to the message thread, waiting for its merge.
    struct ArrivedRead
    {
        std::uint64_t generation = 0;
        juce::String path;
        SetupFileRead read;
    };

    int pollHolds = 0;
    bool pollWanted = false;
    // A load or relink is running.
    int busy = 0;
    // The look shown in look mode; -1 in stage mode.
    int lookModeIndex = -1;
    // Counts the stores of the whole document.
    int storeCount = 0;
    // What the last relink did with the host's setup: merged its screens,
    // left the stage as it was (the file could not be read), started a new
    // document (the setup holds no screens), or kept the document (the same,
    // but its pending changes could not be written first).
    enum class RelinkRoad
    {
        merged,
        unreadable,
        newDocument,
        keptDocument
    };

    RelinkRoad lastRelinkRoad = RelinkRoad::merged;

    juce::Array<juce::Component::SafePointer<StageItem>> lockButtonsToSync;
    // The file readyToQuit last said the preferences do not name.
    juce::String toldUnrecordedPath;
    LockSync lockSync;

    // The poller's read: its thread (owning copies of all it uses but the
    // buffers it reads into), the flag
    // that tells it the controller is going, the number of the latest read
    // (a result of another number is dropped), the poll hold from its start
    // to its merge, and the result while it waits for a question or a load
    // to end.
    std::thread relinkReader;
    std::shared_ptr<std::atomic<bool>> relinkReaderCancel;
    // The memory the poller's reads work in, lent to one read at a time
    // (the next read starts once the thread of the last one has ended).
    std::shared_ptr<ScreenSetupReadBuffers> relinkReadBuffers;
    std::uint64_t relinkReadGeneration = 0;
    std::unique_ptr<PollHold> relinkReadHold;
    std::unique_ptr<ArrivedRead> arrivedRead;
    LockSync relinkMerge;

    // Work done a few milliseconds at a time from a timer, until its step
    // says nothing is left.
    struct IdleTask final : public juce::Timer
    {
        std::function<bool()> step;
        void timerCallback() override
        {
            if (! step())
                stopTimer();
        }
    };

    // In idle time after a store: works out what the slices' placements
    // come back as from their text, so that the next relink (the first one
    // too) need not.
    IdleTask placementLearner;

    // Told apart from the raw pointers: the stage and the inspector may be
    // gone when the controller is destroyed.
    juce::Component::SafePointer<StageComponent> stageWatch;
    juce::Component::SafePointer<LookInspector> inspectorWatch;

    JUCE_DECLARE_WEAK_REFERENCEABLE (FlowController)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FlowController)
};
} // namespace corvadine
