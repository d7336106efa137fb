// A file-name box: a one-line edit with a browse button at its right end. The button
// opens the "Browse" dialog in the folder of the path in the box; a chosen path with a
// blank goes in enclosed in double quotes. The button is no Tab stop (the box is one
// stop); F4 or Alt+Down in the edit opens the dialog from the keyboard.
#pragma once

#include "ui/win32/Layout.h"

#include <windows.h>

#include <string>

namespace quillet::ui::win32 {

class TFileNameBox {
public:
    // Creates the edit (with `id`) and the button (`id` + 1) at a logical rectangle of the
    // layout's window; the button takes a square at the right end and no Tab stop.
    void create(Layout& layout, int id, int x, int y, int width, int height);

    HWND edit() const { return edit_; }
    HWND button() const { return button_; }
    std::string text() const;
    // A program-side change: a different text clears the modified flag, the same text leaves it.
    void setText(const std::string& text);
    bool isModified() const;
    void setModified(bool modified);
    // The button's command: the dialog, then the chosen path into the box.
    void Browse();

    // The path the dialog starts from: the whole text when a file of that name exists,
    // otherwise its first word (a quoted word may hold blanks).
    static std::string BrowseStartPath(const std::string& text);
    static std::string QuoteBrowsedPath(const std::string& path);

private:
    static LRESULT CALLBACK keys(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    HWND edit_ = nullptr;
    HWND button_ = nullptr;
    std::string lastFolder_;
};

} // namespace quillet::ui::win32
