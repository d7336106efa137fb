// A window's menu bar built from its table (ui/Menus.h).
#pragma once

#include "ui/Menus.h"

#include <functional>
#include <map>
#include <span>

class QAction;
class QMenuBar;

namespace quillet::ui {

// Fills the bar: menus and items named as the table names them, items with their
// shortcuts; choosing one calls `run` with its command. The items' actions come back by
// command, for the window to enable them.
std::map<int, QAction*> AddMenus(QMenuBar* bar, std::span<const MenuLine> lines, std::function<void(int)> run);

} // namespace quillet::ui
