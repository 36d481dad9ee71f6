#include "model/FocalOptionsMenu.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
struct Row
{
    juce::String submenu;
    int id;
    juce::String text;
    bool ticked;
};

// Walks the menu the way a person reads it: header, then each submenu's items.
juce::Array<Row> readMenu (const juce::PopupMenu& menu, juce::String& header, juce::StringArray& submenus)
{
    juce::Array<Row> rows;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        auto& item = it.getItem();

        if (item.isSectionHeader)
        {
            header = item.text;
            continue;
        }

        submenus.add (item.text);
        EXPECT_TRUE (item.isEnabled);
        EXPECT_NE (item.subMenu, nullptr);

        if (item.subMenu != nullptr)
            for (juce::PopupMenu::MenuItemIterator sub (*item.subMenu); sub.next();)
            {
                auto& s = sub.getItem();
                EXPECT_TRUE (s.isEnabled);
                rows.add ({ item.text, s.itemID, s.text, s.isTicked });
            }
    }

    return rows;
}
} // namespace

TEST (FocalOptionsMenu, ListsEveryOptionAndTicksTheCurrentSettings)
{
    juce::String header;
    juce::StringArray submenus;
    auto rows = readMenu (FocalOptionsMenu::create ({ 1, 3, 0 }), header, submenus);

    EXPECT_EQ (header, "Focal Options");
    EXPECT_EQ (submenus, juce::StringArray ({ "Distribution", "Mirror", "Coverage" }));

    const Row expected[] = {
        { "Distribution", 11, "Perspective", false },
        { "Distribution", 12, "Duplicate", true },
        { "Mirror", 21, "Off", false },
        { "Mirror", 22, "X", false },
        { "Mirror", 23, "Y", false },
        { "Mirror", 24, "X + Y", true },
        { "Coverage", 31, "Complete", true },
        { "Coverage", 32, "Partial", false },
    };

    ASSERT_EQ (rows.size(), (int) std::size (expected));

    for (int i = 0; i < rows.size(); ++i)
    {
        EXPECT_EQ (rows[i].submenu, expected[i].submenu) << i;
        EXPECT_EQ (rows[i].id, expected[i].id) << i;
        EXPECT_EQ (rows[i].text, expected[i].text) << i;
        EXPECT_EQ (rows[i].ticked, expected[i].ticked) << rows[i].text;
    }
}

TEST (FocalOptionsMenu, AValueOutsideTheChoicesTicksNothingInItsSubmenu)
{
    juce::String header;
    juce::StringArray submenus;

    for (auto& row : readMenu (FocalOptionsMenu::create ({ 0, 7, 1 }), header, submenus))
        if (row.submenu == "Mirror")
            EXPECT_FALSE (row.ticked) << row.text;
}

TEST (FocalOptionsMenu, AChosenItemSetsItsValueAndNothingElse)
{
    struct Case
    {
        int id;
        FocalOptionsMenu::Settings after;
        bool changed;
    };

    const FocalOptionsMenu::Settings before { 1, 3, 1 };
    const Case cases[] = {
        { 11, { 0, 3, 1 }, true }, { 12, { 1, 3, 1 }, true },
        { 21, { 1, 0, 1 }, true }, { 23, { 1, 2, 1 }, true }, { 24, { 1, 3, 1 }, true },
        { 31, { 1, 3, 0 }, true }, { 32, { 1, 3, 1 }, true },
        // Dismissed, and ids the menu does not hold.
        { 0, before, false }, { 13, before, false }, { 25, before, false }, { 33, before, false }, { -1, before, false },
    };

    for (auto& c : cases)
    {
        auto settings = before;
        EXPECT_EQ (FocalOptionsMenu::apply (c.id, settings), c.changed) << c.id;
        EXPECT_EQ (settings.distribution, c.after.distribution) << c.id;
        EXPECT_EQ (settings.flip, c.after.flip) << c.id;
        EXPECT_EQ (settings.cover, c.after.cover) << c.id;
    }
}
