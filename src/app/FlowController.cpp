#include "app/FlowController.h"

#include "app/FileChoosers.h"
#include "host/ArenaSetupReader.h"
#include "host/CompositionSize.h"
#include "host/HostXmlFile.h"
#include "host/PluginInstaller.h"
#include "host/ScreenSetupFile.h"
#include "host/ScreenSetupFormat.h"
#include "host/XmlTags.h"
#include "inspector/FocalDrawer.h"
#include "model/DocumentFormat.h"
#include "model/Ids.h"
#include "stage/FocalStageItem.h"
#include "stage/ImageStageItem.h"
#include "widgets/DialogManager.h"

#include <cctype>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>

namespace corvadine
{
namespace
{
const juce::String applicationVersion { JUCE_APPLICATION_VERSION_STRING };

// A path that juce::File can hold: empty for relative text.
juce::File fileAt (const juce::String& path)
{
    return juce::File::isAbsolutePath (path) ? juce::File (path) : juce::File();
}

int countSlices (const StageModel& model)
{
    int count = 0;

    for (auto* screen : model.screens)
        count += screen->slices.size();

    return count;
}

// The store's flush, as a success or a failure. A store that cannot yet
// report the outcome of its flush is taken at its word.
template <typename Store>
bool flushReporting (Store& store)
{
    if constexpr (std::is_same_v<decltype (store.flushPendingSave()), bool>)
    {
        return store.flushPendingSave();
    }
    else
    {
        store.flushPendingSave();
        return true;
    }
}

template <typename Store>
juce::String lastWriteErrorOf (Store& store)
{
    if constexpr (std::is_same_v<decltype (store.flushPendingSave()), bool>)
        return store.lastWriteError();
    else
        return {};
}
} // namespace

const juce::StringArray FlowController::pluginNames { "FFGLCorvadine", "FFGLCorvadineTestCard" };

//==============================================================================
FlowController::PollHold::PollHold (FlowController& owner) : controller (owner)
{
    if (controller.pollHolds++ == 0)
        controller.FileWatcher::stopTimer();
}

FlowController::PollHold::~PollHold()
{
    --controller.pollHolds;

    if (controller.pollHolds == 0 && controller.pollWanted)
        controller.FileWatcher::startTimer (pollIntervalMs);

    // A read that waited for a question, a load or a relink to end: only its
    // own hold is left now, so it is merged from the message loop.
    if (controller.pollHolds == 1 && controller.arrivedRead != nullptr)
        controller.relinkMerge.triggerAsyncUpdate();
}

void FlowController::armPoller (const juce::String& watchedPath)
{
    armPoller (watchedPath, fileModificationMilliseconds (watchedPath));
}

void FlowController::armPoller (const juce::String& watchedPath, juce::int64 modifiedMs)
{
    FileWatcher::path = watchedPath;
    lastModified = modifiedMs;
    pollWanted = true;

    if (pollHolds == 0)
        FileWatcher::startTimer (pollIntervalMs);
}

void FlowController::stopPoller()
{
    pollWanted = false;
    FileWatcher::stopTimer();
}

//==============================================================================
FlowController::FlowController (StageComponent* stageToUse, LookInspector* inspectorToUse)
    : inspector (inspectorToUse),
      stage (stageToUse),
      stageWatch (stageToUse),
      inspectorWatch (inspectorToUse)
{
    jassert (stage != nullptr && inspector != nullptr);
    lockSync.callback = [this] { syncLockButtons(); };
    relinkMerge.callback = [this] { mergeArrivedRead(); };
    placementLearner.step = [this]
    {
        if (model == nullptr)
            return false;

        // Some 4 ms at a time, well within a frame: a show's thousands of
        // slices are known within a tenth of a second or so of the store.
        const auto until = juce::Time::getMillisecondCounterHiRes() + 4.0;
        bool more = true;

        while (more && juce::Time::getMillisecondCounterHiRes() < until)
            more = model->learnPlacements (64);

        return more;
    };

    // A question asked during start-up must not let a poll run meanwhile.
    const PollHold hold (*this);

    openStartupDocument();

    document.setProperty (ids::version, applicationVersion, nullptr);
    savePreferences();

    backgroundGuide = std::make_unique<BackgroundGuide>();
    backgroundGuide->createStageItem();

    if (! inspector->listeners.contains (this))
        inspector->addListener (this);

    loadDocument();

    // Assigned after the load, so nothing the load does reaches them.
    stage->onItemsTransformed = [this] (juce::Array<StageItem*> moved) { itemsTransformed (std::move (moved)); };
    stage->onStageChanged = [this] { stageChanged(); };
    stage->onFileDropped = [this] (juce::File file) { fileDropped (std::move (file)); };
    stage->onItemClicked = [this] (StageItem* item) { itemClicked (item); };

    installPlugins();
}

FlowController::~FlowController()
{
    // A read still running finds nobody to deliver to: its result is
    // dropped, and the thread is waited for (it touches nothing of the
    // controller's, so only the read itself is waited for).
    masterReference.clear();

    if (relinkReaderCancel != nullptr)
        relinkReaderCancel->store (true);

    joinRelinkReader();

    stopPoller();
    arrivedRead.reset();
    relinkReadHold.reset();
    relinkMerge.cancelPendingUpdate();
    lockSync.cancelPendingUpdate();
    placementLearner.stopTimer();

    // The application deletes the stage and the inspector first; should
    // either still exist, nothing of it may call into a deleted controller.
    if (auto* liveStage = stageWatch.getComponent())
    {
        liveStage->onItemsTransformed = nullptr;
        liveStage->onStageChanged = nullptr;
        liveStage->onFileDropped = nullptr;
        liveStage->onItemClicked = nullptr;
    }

    if (auto* liveInspector = inspectorWatch.getComponent())
        liveInspector->listeners.removeAllInstancesOf (this);

    // An open preview window closes first.
    preview.reset();

    // Slices and the guide take their items with them; the controller
    // listens to none of them any more.
    backgroundGuide.reset();
    model.reset();
}

void FlowController::openStartupDocument()
{
    // The last used document named by the preferences, when it is a file.
    const auto lastUsed = lastUsedDocument();

    if (lastUsed.existsAsFile())
    {
        const auto root = parseHostXmlFile (lastUsed);

        if (checkDocument (root.get()) == LoadCheck::accepted)
        {
            replaceDocument (juce::ValueTree::fromXml (*root), lastUsed.getFullPathName());
            return;
        }
    }

    // Nothing usable: the refused file stays as it is on disk (the store
    // never gives a new document a file that holds something).
    newDocument();
    startDeferredSave();
}

void FlowController::installPlugins()
{
    const PollHold hold (*this);

    if (appVersionChanged)
    {
        juce::StringArray bundles;

        for (const auto& name : pluginNames)
            bundles.add (name + ".bundle");

        for (const int version : { 7, 6 })
        {
            const auto base = arenaBaseFolderForVersion (version);

            if (base.getFullPathName().isEmpty() || ! base.isDirectory())
                continue;

            // "Skip update" leaves the old plug-ins where they are.
            if (trashPlugins (pluginBundleFolderForVersion (version), bundles))
                unzipPlugins (version, effectsFolderForVersion (version), true);
        }
    }
    else
    {
        installPluginsIfMissing (7, pluginNames);
        installPluginsIfMissing (6, pluginNames);
    }
}

//==============================================================================
void FlowController::loadDocument()
{
    const PollHold hold (*this);
    ++busy;

    // A poller's read still running belongs to the document being replaced.
    ++relinkReadGeneration;

    // The link to the host's setup and the composition size.
    const auto assFile = getOrCreateChild (ids::assFile);
    assFilePath = readFile (assFile, ids::name).getFullPathName();
    juce::Point<int> composition { readInt (assFile, ids::x), readInt (assFile, ids::y) };
    juce::Array<ScreenInfo> imported;
    // The host was still writing its setup file, also after a moment's wait.
    bool setupBeingWritten = false;

    if (composition.x == 0 && composition.y == 0)
    {
        ArenaSetupReader reader;

        if (bothArenaVersionsInstalled())
            reader.setArenaVersion (DialogManager::getInstance().chooseArenaVersion() + 6);

        reader.reloadWaitingForWrites();
        composition = importCompositionSize (reader.screenSetup.get(), reader.composition.get());
        assFilePath = reader.screenSetupFile;
        imported = reader.screens;
        setupBeingWritten = assFilePath.isNotEmpty() && reader.fileBeingWritten == assFilePath;
    }

    // Read before any store can replace them below.
    const auto guideTree = getOrCreateChild (ids::bgImage);
    const auto screensTree = getOrCreateChild (ids::arenaScreens);
    const auto looksTree = getOrCreateChild (ids::looks);

    stage->clearStage();
    lookModeIndex = -1;

    // The inspector lets go of the old focals before they are deleted.
    inspector->reset();

    auto newModel = std::make_unique<StageModel>();
    newModel->compositionSize = composition;
    model = std::move (newModel);

    // The guide image.
    backgroundGuide.reset();
    auto guide = std::make_unique<BackgroundGuide>();
    guide->createStageItem();

    if (const auto image = readFile (guideTree, ids::file); image.existsAsFile())
    {
        guide->setImage (image.getFullPathName());

        if (auto* item = guide->getStageItem())
        {
            item->setBounds (readBounds (guideTree, ids::bounds));
            item->positionFromValueTree (guideTree.getChildWithName (ids::position));
            setItemLocked (item, true);
        }
    }

    backgroundGuide = std::move (guide);

    if (auto* item = backgroundGuide->getStageItem())
    {
        item->addListener (this);
        stage->backgroundItem = item;
        stage->addSlice (item);
    }

    // Screens and slices.
    for (const auto& screenTree : screensTree)
    {
        auto screen = std::make_unique<ArenaScreen>();
        screen->uniqueId = readInt64 (screenTree, ids::uniqueId);
        screen->name = readString (screenTree, ids::name);
        screen->enabled = readBool (screenTree, ids::enabled);

        for (const auto& sliceTree : screenTree)
        {
            auto slice = std::make_unique<ArenaSlice>();
            slice->name = readString (sliceTree, ids::name);
            slice->uniqueId = readInt64 (sliceTree, ids::uniqueId);

            for (const auto& points : sliceTree)
            {
                if (! points.hasType (ids::points))
                    continue;

                const auto listName = points[ids::name].toString();
                juce::Array<juce::Point<float>>* target = nullptr;

                if (listName == ids::path.toString())
                {
                    slice->rotation = (float) readDouble (points, ids::rotation);
                    target = &slice->inputPoints;
                }
                else if (listName == ids::outputPoints.toString())
                {
                    target = &slice->outputPoints;
                }

                if (target != nullptr)
                    for (const auto& point : points)
                        target->add ({ (float) readDouble (point, ids::x), (float) readDouble (point, ids::y) });
            }

            slice->createStageItem();
            auto* item = slice->getStageItem();
            item->positionFromValueTree (sliceTree.getChildWithName (ids::position));
            setItemHidden (item, ! screen->enabled);
            screen->slices.add (slice.release());
        }

        model->screens.add (screen.release());
    }

    // A document without slices takes the host's (none when no import ran).
    if (model->collectStageItems().isEmpty())
    {
        model->rebuildScreens (imported);
        storeDocument();
    }

    // Looks and their focals.
    for (const auto& lookTree : looksTree)
    {
        if (! lookTree.hasType (ids::look))
            continue;

        const auto focalsTree = lookTree.getChildWithName (ids::focals);
        auto resolution = Look::boundedResolution ({ readInt (lookTree, ids::x), readInt (lookTree, ids::y) });

        // The look's focals take its resolution as their size: with a side
        // of 0 (only an edited file holds one) they would have none, and the
        // next store would leave them out. That side is the default one.
        if (focalsTree.getNumChildren() > 0 && ! Look::isUsableResolution (resolution))
            resolution = { resolution.x > 0 ? resolution.x : 1920, resolution.y > 0 ? resolution.y : 1080 };

        auto* look = model->addLook (resolution);

        for (const auto& focalTree : focalsTree)
        {
            auto* focal = new FocalSlice();
            focal->distribution = readInt (focalTree, ids::distribution);
            focal->flip = readInt (focalTree, ids::flip);
            focal->extend = readInt (focalTree, ids::extend);
            focal->cover = readInt (focalTree, ids::cover);
            focal->uId = readUuid (focalTree, ids::uId);

            for (auto id : readExcludedIds (focalTree))
                focal->excludedIds.addIfNotAlreadyThere (id);

            focal->createStageItem();
            focal->getStageItem()->positionFromValueTree (focalTree.getChildWithName (ids::position));
            look->addFocal (focal);
            focal->updateCoverage (model->screens);
            focal->rebuildCoveredButtons();
        }
    }

    while (model->looks.size() < model->numLooks)
        model->addLook ({ 1920, 1080 });

    refillStage();

    // A setup file still being written is read by the next poll whatever
    // its time: the write may have ended since it was read.
    if (assFilePath.isNotEmpty())
        armPoller (assFilePath, setupBeingWritten ? 0 : fileModificationMilliseconds (assFilePath));
    else
        stopPoller();

    // The inspector answers with every screen's flag and a store.
    inspector->setScreens (model->writeScreenFlagsTree());
    inspector->setLook (model->looks.getFirst(), false);
    stageSelected();

    --busy;
}

void FlowController::refillStage()
{
    const auto items = model->collectStageItems();
    stage->addSlices (items);

    for (auto* item : items)
        if (item != nullptr)
            item->addListener (this);

    // The guide stays the stage's background through a relink.
    if (backgroundGuide != nullptr)
        if (auto* guideItem = backgroundGuide->getStageItem(); guideItem != nullptr && stage->backgroundItem == nullptr)
        {
            stage->backgroundItem = guideItem;
            stage->addSlice (guideItem);
        }

    stage->restack();
}

//==============================================================================
void FlowController::storeDocument()
{
    ++storeCount;
    // Only what changed since the last store is touched in the document:
    // the looks subtree holds tens of thousands of nodes, a gesture changes
    // a few of them.
    model->storeArenaScreensTree (document);

    // The link is kept as it was while the host's file is missing.
    if (fileAt (assFilePath).existsAsFile())
    {
        juce::ValueTree link (ids::assFile);
        link.setProperty (ids::name, assFilePath, nullptr);
        link.setProperty (ids::x, model->compositionSize.x, nullptr);
        link.setProperty (ids::y, model->compositionSize.y, nullptr);
        replaceChild (link);
    }

    model->storeLooksTree (document);
    startDeferredSave();
    rebuildFocalDrawerSlices();
    handPreviewMesh();

    if (! placementLearner.isTimerRunning())
        placementLearner.startTimer (5);
}

void FlowController::setGlPreview (bool open)
{
    preview.reset();

    if (! open)
        return;

    preview = std::make_unique<StagePreview>();
    preview->showAsWindow();
    // The close button closes the window as the menu does; nothing of the
    // window is used after the handler returns.
    preview->onCloseRequested = [this] { setGlPreview (false); };
    handPreviewMesh();
}

void FlowController::handPreviewMesh()
{
    if (preview == nullptr || model == nullptr)
        return;

    // The render thread takes the latest mesh at its next frame: a store
    // made during a frame is drawn by the frame after it.
    preview->fitToVisibleSliceBounds (getVisibleSliceBounds (model->screens));
    preview->setMesh (model->buildPreviewMesh());
}

void FlowController::storeBackgroundGuide()
{
    if (backgroundGuide != nullptr && backgroundGuide->getStageItem() != nullptr)
    {
        replaceChild (backgroundGuide->toValueTree());
        return;
    }

    if (auto old = document.getChildWithName (ids::bgImage); old.isValid())
        document.removeChild (old, nullptr);
}

void FlowController::storeLooks()
{
    model->storeLooksTree (document);
    startDeferredSave();
    rebuildFocalDrawerSlices();
}

void FlowController::rebuildFocalDrawerSlices()
{
    for (auto* drawer : inspector->focalDrawers)
        drawer->rebuildSliceDrawers();
}

//==============================================================================
FlowController::SetupFileRead FlowController::readSetupFileForRelink (const juce::String& setupPath,
                                                                      ScreenSetupReadBuffers& buffers)
{
    SetupFileRead read;
    const auto file = fileAt (setupPath);

    // The time first: a write that lands while the file is read is newer and
    // is read again after the merge.
    read.modifiedMs = fileModificationMilliseconds (setupPath);
    read.exists = file.existsAsFile();

    // Read and parsed once, straight into the setup's records (a missing
    // file gives no screens and 1920 x 1080).
    if (read.exists)
        read.contents = readWholeScreenSetupFile (file, buffers);

    return read;
}

int FlowController::relinkScreenSetup (const juce::String& setupPath)
{
    const PollHold hold (*this);

    // A poller's read still running is overtaken: its result is dropped.
    ++relinkReadGeneration;

    // Buffers of its own: a poller's read may still be using the kept ones.
    ScreenSetupReadBuffers buffers;
    return mergeScreenSetupRead (setupPath, readSetupFileForRelink (setupPath, buffers));
}

int FlowController::mergeScreenSetupRead (const juce::String& setupPath, const SetupFileRead& setupRead)
{
    const PollHold hold (*this);
    ++busy;

    const auto& read = setupRead.contents;

    // Not XML, or not all of it yet: the host may be in the middle of
    // writing it. The document stays as it is and the next change of the
    // file is read.
    if (setupRead.exists && ! read.parsed)
    {
        lastRelinkRoad = RelinkRoad::unreadable;
        armPoller (setupPath, setupRead.modifiedMs);
        --busy;
        return 0;
    }

    const auto size = read.compositionSize;

    model->compositionSize = size;

    for (auto* look : model->looks)
    {
        look->compositionSize = size;

        for (auto* focal : look->focals)
        {
            focal->compositionSize = size;

            if (auto* item = focal->getFocalItem())
                item->compositionSize = size;
        }
    }

    const auto& screens = read.screens;

    if (screens.isEmpty())
    {
        // The setup holds no screens: a new document imports the host's
        // setup afresh. The old document is written first, or kept when the
        // user would rather stay with it.
        lastRelinkRoad = RelinkRoad::keptDocument;

        if (writePendingSaveOrAsk())
        {
            lastRelinkRoad = RelinkRoad::newDocument;
            newDocument();
            loadDocument();
        }

        --busy;
        return 0;
    }

    lastRelinkRoad = RelinkRoad::merged;
    stage->clearStage();
    const auto relinked = model->mergeScreens (screens);

    // The slices come in locked as the mode has them, their buttons in line,
    // before they are stacked, so that the stack puts them where it puts
    // locked items: what applying the mode would leave, without a button
    // toggled, and the item moved in the order, for each slice afterwards.
    for (auto* screen : model->screens)
        for (auto* slice : screen->slices)
            if (auto* item = slice->getStageItem())
                item->setLockedQuietly (lookModeIndex >= 0);

    refillStage();

    // The inspector answers with every screen's flag and a store of the
    // document; the store is made here only when it did not.
    const auto storesBefore = storeCount;
    inspector->setScreens (model->writeScreenFlagsTree());

    if (setupPath.isNotEmpty())
        armPoller (setupPath, setupRead.modifiedMs);
    else
        stopPoller();

    if (storeCount == storesBefore)
        storeDocument();

    --busy;
    return relinked;
}

void FlowController::relinkStage()
{
    const PollHold hold (*this);
    const auto before = countSlices (*model);

    {
        ArenaSetupReader reader;

        if (bothArenaVersionsInstalled())
            reader.setArenaVersion (DialogManager::getInstance().chooseArenaVersion() + 6);

        reader.reload();
        assFilePath = reader.screenSetupFile;
    }

    const auto relinked = relinkScreenSetup (assFilePath);
    const auto after = countSlices (*model);

    auto message = "Relinked " + juce::String (relinked) + " out of " + juce::String (before) + " slices.";

    // Slices are created only by a merge or a new document: on the other
    // roads the slices there now are the ones there before.
    switch (lastRelinkRoad)
    {
        case RelinkRoad::merged:
        case RelinkRoad::newDocument:
            if (after > relinked)
                message << " " << juce::String (after - relinked) << " new slices created.";
            break;

        case RelinkRoad::unreadable:
            message << " The host's screen setup could not be read; the stage follows it once the host has written it again.";
            break;

        case RelinkRoad::keptDocument:
            message << " The host's screen setup holds no screens; the document stays as it is, since its changes could not be saved.";
            break;
    }

    DialogManager::getInstance().showMessageDialog ("Stage relinked...", message, { "OK" });
}

void FlowController::fileChanged (const juce::String& changedPath)
{
    // A change seen while a load or relink runs is read by the poll after it.
    if (busy > 0 || isRelinkReadPending())
        return;

    startRelinkRead (changedPath);
}

bool FlowController::isRelinkReadPending() const noexcept
{
    return relinkReadHold != nullptr;
}

void FlowController::startRelinkRead (const juce::String& setupPath)
{
    // The previous read has delivered its result; its thread is ending.
    joinRelinkReader();

    // Held until the result is merged or dropped: no poll reports the same
    // change twice, and one that comes meanwhile is seen after the merge.
    relinkReadHold = std::make_unique<PollHold> (*this);
    const auto generation = ++relinkReadGeneration;
    relinkReaderCancel = std::make_shared<std::atomic<bool>> (false);

    if (relinkReadBuffers == nullptr)
        relinkReadBuffers = std::make_shared<ScreenSetupReadBuffers>();

    // The thread owns copies of everything it uses and hands its result to
    // the message loop; a controller deleted meanwhile gets nothing.
    relinkReader = std::thread ([path = juce::String (setupPath).toStdString(),
                                 cancel = relinkReaderCancel,
                                 buffers = relinkReadBuffers,
                                 owner = juce::WeakReference<FlowController> (this),
                                 generation]
    {
        auto read = std::make_shared<SetupFileRead> (readSetupFileForRelink (juce::String::fromUTF8 (path.c_str()), *buffers));

        if (cancel->load())
            return;

        juce::MessageManager::callAsync ([owner, generation, path, read]
        {
            if (auto* controller = owner.get())
                controller->relinkReadArrived (generation, juce::String::fromUTF8 (path.c_str()), std::move (*read));
        });
    });
}

void FlowController::joinRelinkReader()
{
    if (relinkReader.joinable())
        relinkReader.join();
}

void FlowController::relinkReadArrived (std::uint64_t generation, const juce::String& setupPath, SetupFileRead read)
{
    // The thread has handed over its result and is ending.
    joinRelinkReader();

    if (relinkReadHold == nullptr)
        return;

    arrivedRead = std::make_unique<ArrivedRead> (ArrivedRead { generation, setupPath, std::move (read) });
    mergeArrivedRead();
}

void FlowController::mergeArrivedRead()
{
    if (arrivedRead == nullptr)
        return;

    // A load, a relink or a question holds the poll as well (this may run
    // from the message loop of its dialog): merged once it has ended.
    if (busy > 0 || pollHolds > (relinkReadHold != nullptr ? 1 : 0))
        return;

    const auto arrived = std::move (arrivedRead);
    // Released after the merge: the poll starts again from the time the
    // file had before it was read.
    const auto hold = std::move (relinkReadHold);

    // Overtaken by a newer read, a relink or a load, or read from a file
    // that is no longer the watched one.
    if (arrived->generation != relinkReadGeneration || arrived->path != FileWatcher::path)
        return;

    mergeScreenSetupRead (arrived->path, arrived->read);
}

//==============================================================================
bool FlowController::writePendingSave()
{
    return flushReporting (static_cast<FileLess&> (*this));
}

juce::File FlowController::askForSaveAsFile()
{
    const auto chosen = chooseFile ({ "Save as...", documentsFolder(), "*.xml",
                                      juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles
                                          | juce::FileBrowserComponent::warnAboutOverwriting });
    return chosen.value_or (juce::File());
}

bool FlowController::writePendingSaveOrAsk()
{
    const PollHold hold (*this);

    for (;;)
    {
        if (writePendingSave())
            return true;

        // The question where the dialog always shows it, whatever the path's
        // length: why first, then the question, the file once at the end.
        juce::String message ("I couldn't save the document");

        if (const auto reason = writeFailureReason (lastWriteErrorOf (static_cast<FileLess&> (*this)), documentPath);
            reason.isNotEmpty())
            message << ": " << reason;

        message << ". Try again, save it somewhere else, or discard the changes?\n\nFile: " << documentPath;

        const auto choice = DialogManager::getInstance().showChoiceDialog (
            "Can't save document", message, { "Retry", "Save as...", "Discard changes" });

        if (choice == 0)
            continue;

        if (choice == 1)
        {
            const auto target = askForSaveAsFile();

            if (target == juce::File())
                continue;

            // The document in memory holds every change: the save that
            // could not be written is dropped, and the whole document goes
            // to the new file on the next try. Nothing is made there before:
            // a write that fails there too leaves nothing behind.
            discardPendingSave();
            setDocumentPath (target.getFullPathName());
            startDeferredSave();
            continue;
        }

        if (choice == 2)
        {
            // Only on the user's word: the changes are dropped.
            discardPendingSave();
            return true;
        }

        return false;
    }
}

bool FlowController::readyToQuit()
{
    if (! writePendingSaveOrAsk())
        return false;

    // A copy saved where the preferences could not follow (their folder
    // cannot be written) would be forgotten by the next start: said once
    // for each such file.
    if (const auto note = unrecordedDocumentNote();
        note.isNotEmpty() && std::exchange (toldUnrecordedPath, documentPath) != documentPath)
        DialogManager::getInstance().showMessageDialog ("Saved, but not noted", note, { "Ok" });

    return true;
}

//==============================================================================
void FlowController::setItemLocked (StageItem* item, bool shouldBeLocked)
{
    if (item == nullptr)
        return;

    item->locked = shouldBeLocked;
    // Repeats are dropped when the buttons are brought in line: looking for
    // one here would take a walk over the list for every slice of a relink.
    lockButtonsToSync.add (item);
    lockSync.triggerAsyncUpdate();
}

void FlowController::syncLockButtons()
{
    // Every item once, with the `locked` it has now: a lock and an unlock
    // in quick succession end as the last of them, and an item whose button
    // disagreed before is brought in line too.
    auto pending = std::move (lockButtonsToSync);
    lockButtonsToSync.clear();
    std::unordered_set<StageItem*> done;

    for (auto& item : pending)
    {
        if (item == nullptr || item->lockButton == nullptr || ! done.insert (item.getComponent()).second)
            continue;

        // The button's own handling runs as a click's would: toggle state,
        // remove button, order, and the lock report to the item's listeners.
        if (item->lockButton->getToggleState() != item->locked)
            item->lockButton->setToggleState (item->locked, juce::sendNotificationSync);
    }
}

void FlowController::setItemHidden (StageItem* item, bool shouldBeHidden)
{
    if (item == nullptr)
        return;

    item->hidden = shouldBeHidden;
    item->setVisible (! shouldBeHidden);
}

void FlowController::deselectHiddenItems()
{
    auto& manager = *stage->transformerManager;
    juce::Array<StageItem*> hiddenOnes;

    for (auto* item : manager.selection)
        if (item->hidden)
            hiddenOnes.add (item);

    for (auto* item : hiddenOnes)
        manager.selectItem (item, true);
}

void FlowController::selectShownItem (StageItem* item)
{
    // What is hidden on the stage cannot be picked there either: a drawer
    // or a changed setting never selects it behind the user's back.
    if (item != nullptr && ! item->hidden && item->isVisible())
        stage->transformerManager->selectItem (item, false);
}

void FlowController::applyStageMode()
{
    for (auto* screen : model->screens)
        for (auto* slice : screen->slices)
            setItemLocked (slice->getStageItem(), lookModeIndex >= 0);
}

void FlowController::markFocalDrawer (int n)
{
    for (auto* drawer : inspector->focalDrawers)
        drawer->setActive (false);

    if (juce::isPositiveAndBelow (n, inspector->focalDrawers.size()))
        inspector->focalDrawers[n]->setActive (true);
}

//==============================================================================
void FlowController::stageItemChanged (StageItem* item)
{
    selectShownItem (item);
    storeLooks();
}

void FlowController::stageItemLockChanged (StageItem* item)
{
    if (backgroundGuide == nullptr || item == nullptr || item != backgroundGuide->getStageItem())
        return;

    auto& manager = *stage->transformerManager;

    if (! item->locked)
    {
        manager.selectItem (item, false);
        return;
    }

    for (auto* selected : manager.selection)
        selected->setSelected (false);

    manager.selection.clear();
    manager.updateWidget();
    stage->grabKeyboardFocus();
}

void FlowController::stageItemDeleteRequested (StageItem* item)
{
    if (item == nullptr)
        return;

    if (backgroundGuide != nullptr && item == backgroundGuide->getStageItem())
    {
        if (stage->backgroundItem != nullptr)
        {
            stage->removeSlice (stage->backgroundItem);
            stage->backgroundItem = nullptr;
        }

        // The guide keeps its file but no item until a file is dropped again;
        // the document forgets it too, so the next load does not bring it back.
        backgroundGuide->imageItem.reset();
        storeBackgroundGuide();
    }
    else
    {
        stage->removeSlice (item);
        bool removed = false;

        for (auto* look : model->looks)
        {
            juce::Array<FocalSlice*> going;

            for (auto* focal : look->focals)
                if (focal->getStageItem() == item)
                    going.add (focal);

            for (auto* focal : going)
            {
                look->focals.removeObject (focal);
                removed = true;
            }
        }

        if (removed)
        {
            const auto index = inspector->lookIndex;
            inspector->setLook (juce::isPositiveAndBelow (index, model->looks.size()) ? model->looks[index] : nullptr, true);

            for (auto* drawer : inspector->focalDrawers)
                drawer->setActive (false);
        }
    }

    storeDocument();
}

//==============================================================================
void FlowController::addFocalClicked (int lookIndex)
{
    if (! juce::isPositiveAndBelow (lookIndex, model->looks.size()))
        return;

    auto* focal = new FocalSlice();
    focal->createStageItem();
    auto* item = focal->getStageItem();

    // The item takes its size from the look; centred once it has one, so
    // that its centre, not its corner, lands on the stage's centre.
    auto* look = model->looks[lookIndex];
    look->addFocal (focal);

    const auto bounds = item->getBounds();
    const auto dx = StageComponent::stageWidth / 2 - bounds.getRight() / 2;
    const auto dy = StageComponent::stageHeight / 2 - bounds.getBottom() / 2;
    item->setPlacement (item->committedTransform.translated ((float) dx, (float) dy));

    item->addListener (this);

    // The stage shows it: shown and hidden must agree.
    item->hidden = false;
    stage->addSliceOverSelection (item);

    focal->updateCoverage (model->screens);
    focal->rebuildCoveredButtons();

    inspector->setLook (look, true);
    storeLooks();
}

void FlowController::focalDrawerClicked (int lookIndex, int focalIndex)
{
    if (! juce::isPositiveAndBelow (lookIndex, model->looks.size()))
        return;

    const auto& focals = model->looks[lookIndex]->focals;

    if (juce::isPositiveAndBelow (focalIndex, focals.size()))
        selectShownItem (focals[focalIndex]->getStageItem());

    markFocalDrawer (focalIndex);
}

void FlowController::lookSelected (int lookIndex)
{
    lookModeIndex = juce::jmax (0, lookIndex);
    applyStageMode();

    for (auto* look : model->looks)
        for (auto* focal : look->focals)
            setItemHidden (focal->getStageItem(), true);

    const auto shown = juce::isPositiveAndBelow (lookIndex, model->looks.size()) ? model->looks[lookIndex] : nullptr;

    if (shown != nullptr)
        for (auto* focal : shown->focals)
            setItemHidden (focal->getStageItem(), false);

    inspector->setLook (shown, false);
    stage->transformerManager->commitTransform();
}

void FlowController::stageSelected()
{
    for (auto* look : model->looks)
        for (auto* focal : look->focals)
            setItemHidden (focal->getStageItem(), true);

    lookModeIndex = -1;
    applyStageMode();
    stage->transformerManager->commitTransform();
}

void FlowController::screenEnabledChanged (int screenIndex, bool enabled)
{
    if (! juce::isPositiveAndBelow (screenIndex, model->screens.size()))
        return;

    auto* screen = model->screens[screenIndex];
    screen->enabled = enabled;

    for (auto* slice : screen->slices)
        setItemHidden (slice->getStageItem(), ! enabled);

    // A slice hidden while selected leaves the selection, so that no key
    // moves it unseen.
    deselectHiddenItems();
}

void FlowController::screensChanged()
{
    storeDocument();
}

void FlowController::lookResolutionChanged (int lookIndex, juce::Point<int> requested)
{
    // Every focal of the look takes the resolution as its outline: a side of
    // 0 would leave it without a size (and out of the document), one beyond
    // the largest a look takes out of the range its bounds are kept in.
    const auto resolution = Look::boundedResolution (requested);

    if (! juce::isPositiveAndBelow (lookIndex, model->looks.size()) || ! Look::isUsableResolution (resolution))
        return;

    auto& manager = *stage->transformerManager;

    for (auto* selected : manager.selection)
        selected->setSelected (false);

    manager.selection.clear();
    manager.updateWidget();
    stage->grabKeyboardFocus();

    auto* look = model->looks[lookIndex];
    look->resolution = resolution;

    for (auto* focal : look->focals)
        focal->setResolution (resolution);

    for (auto* other : model->looks)
        if (other->focals.isEmpty())
            other->resolution = resolution;

    storeLooks();
}

void FlowController::looksChanged (FocalDrawer*)
{
    storeLooks();
}

//==============================================================================
void FlowController::itemsTransformed (juce::Array<StageItem*> movedItems)
{
    for (auto* item : movedItems)
        for (auto* look : model->looks)
            for (auto* focal : look->focals)
                if (focal->getStageItem() == item)
                {
                    focal->updateCoverage (model->screens);
                    focal->rebuildCoveredButtons();
                }
}

void FlowController::stageChanged()
{
    if (backgroundGuide != nullptr && backgroundGuide->getStageItem() != nullptr)
        storeBackgroundGuide();

    storeDocument();
}

void FlowController::fileDropped (juce::File file)
{
    // Back to stage mode, the inspector with it: a look left shown there
    // would offer its hidden focals to its drawers and its plus button.
    inspector->showStageMode();
    stageSelected();

    if (backgroundGuide->getStageItem() != nullptr && stage->backgroundItem != nullptr)
    {
        // Reused below: taken off the stage, not deleted.
        stage->removeSlice (stage->backgroundItem);
        stage->backgroundItem = nullptr;
    }

    backgroundGuide->setImage (file.getFullPathName());

    auto* item = backgroundGuide->getStageItem();

    if (item == nullptr)
        return;

    item->addListener (this);
    setItemLocked (item, false);
    stage->backgroundItem = item;
    stage->addSlice (item);

    storeBackgroundGuide();
    startDeferredSave();
}

void FlowController::itemClicked (StageItem* item)
{
    int n = -1;

    if (item != nullptr)
        for (auto* look : model->looks)
        {
            for (int i = 0; i < look->focals.size() && n < 0; ++i)
                if (look->focals[i]->getStageItem() == item)
                    n = i;

            if (n >= 0)
                break;
        }

    markFocalDrawer (n);
}
} // namespace corvadine
