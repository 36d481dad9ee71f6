#include "app/MainComponent.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
struct MenuItemRow
{
    int id;
    juce::String text;
    bool enabled;
};

std::vector<MenuItemRow> itemsOf (const juce::PopupMenu& menu)
{
    std::vector<MenuItemRow> rows;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();

        if (! item.isSeparator)
            rows.push_back ({ item.itemID, item.text, item.isEnabled });
    }

    return rows;
}

int separatorsIn (const juce::PopupMenu& menu)
{
    int count = 0;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        count += it.getItem().isSeparator ? 1 : 0;

    return count;
}
} // namespace

TEST (MainComponent, FitFactorForCompositionWidths)
{
    struct Row
    {
        int width;
        float factor;
    };

    // (100000 / width) / 2 in whole numbers; widths that would divide by
    // zero or give a factor of 0 are fitted as 1920.
    const Row rows[] = { { 1920, 26.0f }, { 1280, 39.0f }, { 3840, 13.0f }, { 1, 50000.0f },
                         { 50000, 1.0f }, { 33334, 1.0f }, { 50001, 26.0f }, { 100000, 26.0f },
                         { 0, 26.0f }, { -1, 26.0f }, { -1920, 26.0f },
                         { std::numeric_limits<int>::min(), 26.0f }, { std::numeric_limits<int>::max(), 26.0f } };

    for (const auto& row : rows)
        EXPECT_EQ (MainComponent::fitFactorForCompositionWidth (row.width), row.factor) << "width " << row.width;
}

TEST (MainComponent, MenuNamesIdsAndTexts)
{
    MainComponent main;
    EXPECT_EQ (main.getMenuBarNames(), juce::StringArray ({ "File", "Window" }));

    const auto file = main.getMenuForIndex (0, "File");
    const auto fileItems = itemsOf (file);
    ASSERT_EQ (fileItems.size(), 5u);
    const MenuItemRow expected[] = { { 1, "New", true }, { 2, "Load", true }, { 3, "Save as...", true },
                                     { 4, "Relink", true }, { 5, "v0.9.9", false } };

    for (size_t i = 0; i < fileItems.size(); ++i)
    {
        EXPECT_EQ (fileItems[i].id, expected[i].id);
        EXPECT_EQ (fileItems[i].text, expected[i].text);
        EXPECT_EQ (fileItems[i].enabled, expected[i].enabled) << expected[i].text;
    }

    EXPECT_EQ (separatorsIn (file), 3);

    const auto windowItems = itemsOf (main.getMenuForIndex (1, "Window"));
    ASSERT_EQ (windowItems.size(), 1u);
    EXPECT_EQ (windowItems[0].id, 1);
    EXPECT_EQ (windowItems[0].text, "Preview");
    EXPECT_TRUE (windowItems[0].enabled);

    EXPECT_TRUE (main.getMenuForIndex (2, "Other").getNumItems() == 0);
    EXPECT_TRUE (main.getMenuForIndex (-1, {}).getNumItems() == 0);
}

TEST (MainComponent, SizesItselfToTheMainDisplaysUserAreaWithTheMenuBarOnTop)
{
    MainComponent main;
    const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
    ASSERT_NE (display, nullptr);
    EXPECT_EQ (main.getWidth(), display->userArea.getWidth());
    EXPECT_EQ (main.getHeight(), display->userArea.getHeight());

    const auto menuHeight = main.getLookAndFeel().getDefaultMenuBarHeight();
    ASSERT_NE (main.menuBar, nullptr);
    EXPECT_TRUE (main.menuBar->isVisible());
    EXPECT_EQ (main.menuBar->getParentComponent(), &main);
    EXPECT_EQ (main.menuBar->getBounds(), juce::Rectangle<int> (0, 0, main.getWidth(), menuHeight));
    EXPECT_EQ (main.zoomport.getBounds(), juce::Rectangle<int> (0, menuHeight, main.getWidth(), main.getHeight() - menuHeight));

    // A window lower than the menu bar gives the menu bar all of it.
    main.setSize (300, 10);
    EXPECT_EQ (main.menuBar->getBounds(), juce::Rectangle<int> (0, 0, 300, 10));
    EXPECT_EQ (main.zoomport.getBounds(), juce::Rectangle<int> (0, 10, 300, 0));
}

TEST (MainComponent, FileMenuOpensFromTheMenuBarWithTheVersionGreyed)
{
    MainComponent main;
    main.addToDesktop (0);
    main.setVisible (true);
    main.menuBar->showMenu (0);

    // The popup is a window of its own; it may close by itself when it loses
    // the focus, so it is looked at as soon as it is there.
    juce::File snapshot;
    int popupHeight = 0;
    ASSERT_TRUE (test::pumpUntil ([&]
    {
        for (int i = 0; i < juce::Desktop::getInstance().getNumComponents(); ++i)
            if (auto* c = juce::Desktop::getInstance().getComponent (i);
                c != &main && c->isVisible() && c->getHeight() > 0)
            {
                popupHeight = c->getHeight();
                snapshot = test::writeSnapshot (*c, "main-file-menu");
                return true;
            }
        return false;
    }));

    EXPECT_TRUE (snapshot.existsAsFile());
    // A menu of five items and three separators is taller than four items.
    EXPECT_GT (popupHeight, 4 * main.getLookAndFeel().getPopupMenuFont().getHeight());

    juce::PopupMenu::dismissAllActiveMenus();
    test::pumpMessageLoop (100);
}
