#include "ui/win32/FileNameBox.h"

#include "platform/Files.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>

namespace quillet::ui::win32 {

namespace {
constexpr UINT_PTR BrowseKeys = 0x51D2;
}

LRESULT CALLBACK TFileNameBox::keys(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    // F4 or Alt+Down opens the browse dialog, as in a drop-down box.
    if ((message == WM_KEYDOWN && wParam == VK_F4) || (message == WM_SYSKEYDOWN && wParam == VK_DOWN)) {
        Guarded([&] { reinterpret_cast<TFileNameBox*>(self)->Browse(); });
        return 0;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(edit, keys, BrowseKeys);
    return DefSubclassProc(edit, message, wParam, lParam);
}

void TFileNameBox::create(Layout& layout, int id, int x, int y, int width, int height) {
    edit_ = layout.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, x, y, width - height, height, id,
                       WS_EX_CLIENTEDGE);
    SendMessageW(edit_, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    button_ = layout.add("BUTTON", "...", WS_VISIBLE | BS_PUSHBUTTON, x + width - height, y, height, height, id + 1);
    SetWindowSubclass(edit_, keys, BrowseKeys, reinterpret_cast<DWORD_PTR>(this));
}

std::string TFileNameBox::text() const {
    return WindowText(edit_);
}

void TFileNameBox::setText(const std::string& value) {
    if (value == text())
        return;
    SetText(edit_, value);
    SendMessageW(edit_, EM_SETMODIFY, FALSE, 0);
}

bool TFileNameBox::isModified() const {
    return SendMessageW(edit_, EM_GETMODIFY, 0, 0) != 0;
}

void TFileNameBox::setModified(bool modified) {
    SendMessageW(edit_, EM_SETMODIFY, modified ? TRUE : FALSE, 0);
}

std::string TFileNameBox::BrowseStartPath(const std::string& text) {
    if (!text.empty() && platform::FileExists(text))
        return text;
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    const std::string trimmed = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    if (!trimmed.empty() && trimmed[0] == '"') {
        const auto close = trimmed.find('"', 1);
        return close == std::string::npos ? trimmed.substr(1) : trimmed.substr(1, close - 1);
    }
    return trimmed.substr(0, trimmed.find(' '));
}

std::string TFileNameBox::QuoteBrowsedPath(const std::string& path) {
    if (path.find(' ') != std::string::npos && (path.empty() || path[0] != '"'))
        return '"' + path + '"';
    return path;
}

void TFileNameBox::Browse() {
    FileChoice choice;
    choice.caption = "Browse";
    choice.filters = {{"All files", "*.*"}};
    const std::string start = BrowseStartPath(text());
    const auto sep = start.find_last_of("\\/");
    if (sep != std::string::npos) {
        const std::string folder = start.substr(0, sep == 0 ? 1 : sep);
        if (platform::FolderExists(folder))
            choice.directory = folder;
    }
    choice.fileName = sep == std::string::npos ? start : start.substr(sep + 1);
    if (choice.directory.empty())
        choice.directory = lastFolder_;
    const std::string chosen = CurrentPrompts().openFile(choice);
    if (chosen.empty())
        return;
    const auto chosenSep = chosen.find_last_of("\\/");
    if (chosenSep != std::string::npos)
        lastFolder_ = chosen.substr(0, chosenSep);
    setText(QuoteBrowsedPath(chosen));
}

} // namespace quillet::ui::win32
