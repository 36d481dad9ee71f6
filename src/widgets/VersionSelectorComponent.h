#pragma once

#include "widgets/DialogComponent.h"

namespace corvadine
{
// The question which host version to read, as a dialog with two picture
// buttons below the title "Choose your flavor...": the 6 picture (host
// version 6) ends the modal loop with 0, the A picture (host version 7)
// with 1. Only the pictures close it.
class VersionSelectorComponent : public DialogComponent
{
public:
    VersionSelectorComponent();

    void resized() override;

    // The 6 picture first, the A picture second.
    juce::OwnedArray<juce::ImageButton> imageButtons;
};
} // namespace corvadine
