#include "ui/win32/Menus.h"

#include "platform/win32/WideText.h"

#include <string>
#include <vector>

namespace quillet::ui::win32 {

using platform::win32::Wide;

ACCEL AcceleratorOf(const KeyChord& chord, WORD id) {
    BYTE flags = FVIRTKEY;
    if (chord.ctrl)
        flags |= FCONTROL;
    if (chord.shift)
        flags |= FSHIFT;
    if (chord.alt)
        flags |= FALT;
    const WORD key = chord.function ? static_cast<WORD>(VK_F1 + chord.function - 1) : static_cast<WORD>(chord.key);
    return {flags, key, id};
}

HMENU CreateMenuBar(std::span<const MenuLine> lines, int firstId, HACCEL* accelerators) {
    HMENU bar = CreateMenu();
    HMENU menu = nullptr;
    std::vector<ACCEL> keys;
    for (const MenuLine& line : lines) {
        if (!line.caption) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else if (!line.command) {
            menu = CreatePopupMenu();
            AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), Wide(line.caption).c_str());
        } else {
            const auto id = static_cast<WORD>(firstId + *line.command);
            const std::optional<KeyChord> chord = ParseKey(line.key);
            const std::string caption = chord ? std::string(line.caption) + "\t" + line.key : line.caption;
            AppendMenuW(menu, MF_STRING, id, Wide(caption).c_str());
            if (chord)
                keys.push_back(AcceleratorOf(*chord, id));
        }
    }
    if (accelerators)
        *accelerators = keys.empty() ? nullptr : CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
    return bar;
}

} // namespace quillet::ui::win32
