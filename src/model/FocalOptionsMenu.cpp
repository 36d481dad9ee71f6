#include "model/FocalOptionsMenu.h"

namespace corvadine
{
namespace
{
struct Group
{
    const char* title;
    int firstId;
    std::initializer_list<const char*> texts;
    int FocalOptionsMenu::Settings::*setting;
};

const Group groups[] = {
    { "Distribution", FocalOptionsMenu::firstDistributionId, { "Perspective", "Duplicate" }, &FocalOptionsMenu::Settings::distribution },
    { "Mirror", FocalOptionsMenu::firstMirrorId, { "Off", "X", "Y", "X + Y" }, &FocalOptionsMenu::Settings::flip },
    { "Coverage", FocalOptionsMenu::firstCoverageId, { "Complete", "Partial" }, &FocalOptionsMenu::Settings::cover },
};
} // namespace

juce::PopupMenu FocalOptionsMenu::create (const Settings& settings)
{
    juce::PopupMenu menu;
    menu.addSectionHeader ("Focal Options");

    for (auto& group : groups)
    {
        juce::PopupMenu sub;
        int value = 0;

        for (auto* text : group.texts)
        {
            sub.addItem (group.firstId + value, text, true, settings.*group.setting == value);
            ++value;
        }

        menu.addSubMenu (group.title, sub, true);
    }

    return menu;
}

bool FocalOptionsMenu::apply (int chosenId, Settings& settings)
{
    for (auto& group : groups)
    {
        auto value = chosenId - group.firstId;

        if (value >= 0 && value < (int) group.texts.size())
        {
            settings.*group.setting = value;
            return true;
        }
    }

    return false;
}
} // namespace corvadine
