#include "framework/Menu.h"

bool CMenu::AppendMenu(unsigned flags, unsigned id, std::string_view text) {
    if ((flags & MF_SEPARATOR) != 0) {
        m_items.push_back({MF_SEPARATOR, 0, {}});
        return true;
    }
    if (text.empty()) {
        return false;
    }
    m_items.push_back({flags, id, std::string(text)});
    return true;
}
