// A flat toolbar of captioned buttons with the system's standard pictures and tips. The
// pictures come in 24 pixels only: at another scale they are stretched to the window's
// own size, and made again when the window moves to a monitor of another scale.
#pragma once

#include "ui/win32/Layout.h"

#include <windows.h>
#include <commctrl.h>

#include <span>
#include <string>
#include <vector>

namespace quillet::ui::win32 {

class Toolbar {
public:
    struct Button {
        const char* caption;
        const char* hint; // its tip
        int image;        // a STD_ index, or ViewImages + a VIEW_ index
        int id;           // its WM_COMMAND identifier
    };
    static constexpr int ViewImages = 100;

    Toolbar() = default;
    ~Toolbar();
    Toolbar(const Toolbar&) = delete;
    Toolbar& operator=(const Toolbar&) = delete;

    // At a logical rectangle of the layout's window, buttons of a logical size.
    void create(Layout& layout, int id, RECT at, SIZE button, std::span<const Button> buttons);
    // For WM_DPICHANGED, after the layout has rescaled.
    void rescale();
    // For WM_NOTIFY: true when it was a button's tip asked for, now given.
    bool giveTip(LPARAM lParam) const;
    HWND handle() const { return toolbar_; }

private:
    Layout* layout_ = nullptr;
    HWND toolbar_ = nullptr;
    SIZE button_{};
    std::vector<std::pair<int, std::wstring>> hints_; // by identifier
    HIMAGELIST standardImages_ = nullptr; // the toolbar's own
    HIMAGELIST scaledImages_ = nullptr;   // ours, at the window's scale
};

} // namespace quillet::ui::win32
