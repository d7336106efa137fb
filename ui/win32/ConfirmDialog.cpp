#include "ui/win32/ConfirmDialog.h"

namespace quillet::ui::win32 {

bool ConfirmDialog::confirm(HWND owner, const std::string& caption) {
    return run(owner, caption, width_, height_) == IDOK;
}

void ConfirmDialog::addButtons() {
    const int y = height_ - 34;
    layout_.add("BUTTON", "OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, width_ - 252, y, 76, 24, IDOK);
    layout_.add("BUTTON", "Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, width_ - 172, y, 76, 24, IDCANCEL);
    layout_.add("BUTTON", "&Help", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, width_ - 92, y, 80, 24, helpId_);
}

void ConfirmDialog::onCommand(int id, int code) {
    if (id == IDOK) {
        if (accepted())
            end(IDOK);
    } else if (id == IDCANCEL) {
        end(IDCANCEL);
    } else if (id == helpId_) {
        help();
    } else {
        onControl(id, code);
    }
}

bool ConfirmDialog::onMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    if (message != WM_HELP)
        return false;
    help();
    result = TRUE;
    return true;
}

} // namespace quillet::ui::win32
