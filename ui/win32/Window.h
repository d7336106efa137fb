// A top-level window of our own class: its messages reach handle(), always inside the
// handler boundary, so no exception unwinds through the window procedure. A Unicode
// window, so that its controls notify it in UTF-16 (LVN_GETDISPINFOW and the like).
#pragma once

#include "ui/win32/Layout.h"

#include <windows.h>

#include <string>

namespace quillet::ui::win32 {

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }

protected:
    // Registers the class once (with the program's icon, resource 1, when there is one)
    // and creates the window hidden; WM_CREATE reaches handle() with layout_ attached.
    void create(const char* className, const std::string& caption, DWORD style, DWORD exStyle, HWND owner,
                HMENU menu = nullptr);
    // The default passes the message to DefWindowProc; WM_DPICHANGED rescales layout_.
    virtual LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    Layout layout_;

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

} // namespace quillet::ui::win32
