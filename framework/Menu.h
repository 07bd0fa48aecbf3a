#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/FrameworkTypes.h"

// A menu as data: the framework shows it as a popup and reports the chosen command.
class CMenu {
public:
    struct Item {
        unsigned flags = MF_STRING;
        unsigned id = 0;
        std::string text;  // '&' marks the mnemonic; a tab separates the shortcut's name
    };

    // MF_STRING with a command and its text, or MF_SEPARATOR; MF_GRAYED shows it disabled.
    bool AppendMenu(unsigned flags, unsigned id = 0, std::string_view text = {});
    void RemoveAll() { m_items.clear(); }
    int GetMenuItemCount() const { return static_cast<int>(m_items.size()); }
    const std::vector<Item>& Items() const { return m_items; }

private:
    std::vector<Item> m_items;
};
