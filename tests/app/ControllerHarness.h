#pragma once

#include "app/FlowController.h"
#include "inspector/LookInspector.h"
#include "stage/StageComponent.h"
#include "widgets/DialogManager.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>
#include <vector>

// What the controller's tests stand on: host folders written from small
// fixtures into the test's own HOME, and the application's objects (a real
// stage and inspector in a window on the test's display) around a real
// controller, built and torn down in the application's order.
namespace corvadine::test
{
// One slice of a fixture setup: an axis-aligned input rectangle in
// composition pixels.
struct FixtureSlice
{
    juce::int64 uniqueId = 0;
    juce::String name;
    juce::Rectangle<int> input;
};

struct FixtureScreen
{
    juce::int64 uniqueId = 0;
    juce::String name;
    std::vector<FixtureSlice> slices;
    bool hidden = false;
};

// A host setup file's text: the screens inside a "ScreenSetup" root, with
// "CurrentCompositionTextureSize" when the size is given.
juce::String screenSetupText (const std::vector<FixtureScreen>& screens, juce::Point<int> composition = { 1920, 1080 });

// The same for the host's full records: each screen's hidden flag, each
// slice's name, flags, input and output rectangles with their orientations,
// and its mask and output contour when it has them, every number written so
// that it reads back as the same float.
juce::String hostSetupText (const juce::Array<ScreenInfo>& screens, juce::Point<int> composition);

// `count` slices of 100 x 50 side by side on one screen, ids from firstId.
FixtureScreen rowOfSlices (juce::int64 screenId, int count, juce::int64 firstId = 100);

// A host version's folder in the test's documents folder.
struct HostFolder
{
    explicit HostFolder (int version);

    juce::File setupFile() const; // Preferences/AdvancedOutput.xml
    // Writes the setup file and gives it a modification time `ageMs` in the
    // past (0: now), so that a later write counts as newer.
    void writeSetup (const juce::String& text, int ageMs = 0) const;

    int version;
    juce::File folder;
};

// Copies the real host files into the documents folder as version 7's
// folder; false when they are not beside the checkout.
bool installHostSamples();

// Sets a file's modification time to `ageMs` milliseconds before now.
void ageFile (const juce::File& file, int ageMs);

// The application's objects around a controller. Dialogs are answered by
// `answer` (the host version by `hostVersionAnswer`: 0 for 6, 1 for 7) and
// recorded in `dialogs`.
class ControllerHarness
{
public:
    ControllerHarness();
    // Quits as the application does: the stage and the inspector go first,
    // then the controller.
    ~ControllerHarness();

    // Builds the controller (start-up).
    FlowController& start();
    // Tears everything down (quitting) and builds it afresh.
    FlowController& restart();
    void quit();

    FlowController& controller() { return *flow; }

    // The items of every slice and every focal of the model.
    juce::Array<StageItem*> sliceItems() const;
    juce::Array<StageItem*> focalItems() const;

    // Waits until the deferred save has written the document.
    bool waitForSave (int timeoutMs = 8000);

    std::function<int (const DialogManager::Request&)> answer;
    int hostVersionAnswer = 1;
    // Sees every dialog before it is answered.
    std::function<void (const DialogManager::Request&)> onDialog;
    std::unique_ptr<DialogManager::ScopedAnswerer> dialogs;

    std::unique_ptr<juce::Component> window;
    std::unique_ptr<StageComponent> stage;
    std::unique_ptr<LookInspector> inspector;
    std::unique_ptr<FlowController> flow;
};

// The number of document writes seen while the loop runs for `ms`: the
// file's modification time is sampled every few milliseconds.
int countWrites (const juce::File& file, int ms);

// The text of a file, for byte-for-byte comparisons.
juce::MemoryBlock fileBytes (const juce::File& file);

// A PNG picture of the size, written into the test's HOME.
juce::File writePngFile (const juce::String& name, int width, int height);
} // namespace corvadine::test
