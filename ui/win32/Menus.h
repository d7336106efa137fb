// A window's menu bar built from its table (ui/Menus.h).
#pragma once

#include "ui/Menus.h"

#include <windows.h>

#include <optional>
#include <span>

namespace quillet::ui::win32 {

// The chord as an accelerator of the command identifier.
ACCEL AcceleratorOf(const KeyChord& chord, WORD id);

// The bar: an item's identifier is firstId + its command, its shortcut shown after its
// caption. With `accelerators` the shortcuts also go into a table there (nullptr when
// none), which the caller destroys.
HMENU CreateMenuBar(std::span<const MenuLine> lines, int firstId, HACCEL* accelerators = nullptr);

} // namespace quillet::ui::win32
