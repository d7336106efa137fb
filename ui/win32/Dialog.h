// A modal dialog built in code: the system's dialog manager gives it Tab order (the
// order of creation), mnemonics, Enter for the default button and Escape for Cancel;
// the controls are laid out in 96-dpi pixels and scaled.
#pragma once

#include "ui/win32/Layout.h"

#include <windows.h>

#include <string>

namespace quillet::ui::win32 {

class ModalDialog {
public:
    ModalDialog() = default;
    virtual ~ModalDialog() = default;
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    // Shows the dialog with a client area of the logical size, centred on the screen, and
    // returns the result given to end() (IDCANCEL when the dialog was closed otherwise).
    INT_PTR run(HWND owner, const std::string& caption, int width, int height);
    HWND hwnd() const { return hwnd_; }

protected:
    // Creates the controls (in Tab order); returns the control that gets the focus.
    virtual HWND onInit() = 0;
    // A command of a control or of Enter (IDOK) and Escape (IDCANCEL); the default ends the
    // dialog on IDOK and IDCANCEL.
    virtual void onCommand(int id, int code);
    // Any other message; true when handled (the result in `result`).
    virtual bool onMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }
    void end(INT_PTR result);
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }

    Layout layout_;

private:
    static INT_PTR CALLBACK proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

} // namespace quillet::ui::win32
