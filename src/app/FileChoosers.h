#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <optional>
#include <vector>

namespace corvadine
{
// What the menus ask a file chooser for: its title, the folder it opens in,
// the file pattern and JUCE's FileBrowserComponent flags.
struct FileChoice
{
    juce::String title;
    juce::File startFolder;
    juce::String patterns;
    int flags = 0;
};

// Shows the native file chooser modally. Returns the chosen file, or nothing
// when the user cancelled. While a ScopedFileChooserAnswerer exists, its
// function answers instead and no chooser is shown.
std::optional<juce::File> chooseFile (const FileChoice& choice);

// Answers every file chooser with a function for as long as it exists, and
// records what was asked: the way tests drive "Load" and "Save as..."
// without a native dialog. One at a time.
class ScopedFileChooserAnswerer
{
public:
    using Answer = std::function<std::optional<juce::File> (const FileChoice&)>;

    explicit ScopedFileChooserAnswerer (Answer answer);
    ~ScopedFileChooserAnswerer();

    // Every choice asked for while this answerer existed, oldest first.
    std::vector<FileChoice> requests;

private:
    friend std::optional<juce::File> chooseFile (const FileChoice&);

    Answer answer;
    ScopedFileChooserAnswerer* previous = nullptr;

    JUCE_DECLARE_NON_COPYABLE (ScopedFileChooserAnswerer)
};
} // namespace corvadine
