#include "menubar.h"

#include "wintext.h"

namespace quietwatch::win32 {

HMENU createMenuBar(const design::Window &design)
{
    HMENU bar = CreateMenu();
    for (std::size_t m = 0; m < design.menus.size(); ++m) {
        const design::Menu &menu = design.menus[m];
        HMENU popup = CreatePopupMenu();
        for (std::size_t i = 0; i < menu.items.size(); ++i) {
            const design::MenuItem &item = menu.items[i];
            if (item.caption == "-") {
                AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
            } else {
                AppendMenuW(popup, MF_STRING, 1000 + 100 * m + i, wide(item.caption).c_str());
            }
        }
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), wide(menu.caption).c_str());
    }
    return bar;
}

const design::MenuItem *menuItem(const design::Window &design, int id)
{
    const int m = (id - 1000) / 100;
    const int i = (id - 1000) % 100;
    if (id < 1000 || m >= static_cast<int>(design.menus.size()) ||
        i >= static_cast<int>(design.menus[static_cast<std::size_t>(m)].items.size())) {
        return nullptr;
    }
    return &design.menus[static_cast<std::size_t>(m)].items[static_cast<std::size_t>(i)];
}

} // namespace quietwatch::win32
