#include "app/FileChoosers.h"

namespace corvadine
{
namespace
{
ScopedFileChooserAnswerer* currentAnswerer = nullptr;
} // namespace

ScopedFileChooserAnswerer::ScopedFileChooserAnswerer (Answer answerToUse)
    : answer (std::move (answerToUse)), previous (currentAnswerer)
{
    currentAnswerer = this;
}

ScopedFileChooserAnswerer::~ScopedFileChooserAnswerer()
{
    currentAnswerer = previous;
}

std::optional<juce::File> chooseFile (const FileChoice& choice)
{
    if (auto* answerer = currentAnswerer)
    {
        answerer->requests.push_back (choice);
        return answerer->answer ? answerer->answer (choice) : std::nullopt;
    }

    juce::FileChooser chooser (choice.title, choice.startFolder, choice.patterns, true);

    if (! chooser.showDialog (choice.flags, nullptr))
        return std::nullopt;

    return chooser.getResult();
}
} // namespace corvadine
