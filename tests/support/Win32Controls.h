// What Win32 controls show, as the user reads it, for the window tests (UTF-8).
#pragma once

#include "platform/win32/WideText.h"

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace quillet::test {

// A window's or control's text.
inline std::string ShownText(HWND control) {
    wchar_t text[1024] = {};
    SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return platform::win32::Utf8(text);
}

// The text a list view draws in a cell (its item `row`, counted from 0).
inline std::string ListViewCell(HWND list, int row, int column) {
    wchar_t text[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return platform::win32::Utf8(text);
}

// A list view's column title.
inline std::string ListViewTitle(HWND list, int column) {
    wchar_t text[256] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 256;
    auto* header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return platform::win32::Utf8(text);
}

} // namespace quillet::test
