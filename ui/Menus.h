// A window's menu bar as a table that both faces build from (ui/qt/Menus, ui/win32/Menus),
// and the shortcut texts it names. No toolkit.
#pragma once

#include <optional>
#include <string_view>

namespace quillet::ui {

// One line of the bar, in order: a line without a command opens the next menu, one
// without a caption is a separator. A command is the window's own enumerator, as int.
struct MenuLine {
    const char* name;           // the menu's or item's object name
    const char* caption;        // with its mnemonic
    std::optional<int> command;
    const char* key = "";       // the item's shortcut: "Ctrl+N", "Shift+F3", "F1"
};

template <class Command>
constexpr MenuLine MenuItem(const char* name, const char* caption, Command command, const char* key = "") {
    return {name, caption, static_cast<int>(command), key};
}
inline constexpr MenuLine MenuSeparator{"", nullptr, std::nullopt};

// A shortcut text taken apart: modifiers, then a letter or digit or a function key.
struct KeyChord {
    bool ctrl = false, shift = false, alt = false;
    char key = 0;     // 'A'..'Z', '0'..'9'; 0 for a function key
    int function = 0; // 1..24 for F1..F24
};

// Nothing for a text that names no such key (a table's typo stays out of the bar).
constexpr std::optional<KeyChord> ParseKey(std::string_view text) {
    KeyChord chord;
    for (;;) {
        if (text.starts_with("Ctrl+"))
            chord.ctrl = true;
        else if (text.starts_with("Shift+"))
            chord.shift = true;
        else if (text.starts_with("Alt+"))
            chord.alt = true;
        else
            break;
        text.remove_prefix(text.find('+') + 1);
    }
    if (text.size() == 1) {
        const char c = text[0] >= 'a' && text[0] <= 'z' ? static_cast<char>(text[0] - 'a' + 'A') : text[0];
        if ((c < 'A' || c > 'Z') && (c < '0' || c > '9'))
            return std::nullopt;
        chord.key = c;
        return chord;
    }
    if (text.size() < 2 || text.size() > 3 || text[0] != 'F')
        return std::nullopt;
    for (char digit : text.substr(1)) {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        chord.function = chord.function * 10 + (digit - '0');
    }
    if (chord.function < 1 || chord.function > 24)
        return std::nullopt;
    return chord;
}

} // namespace quillet::ui
