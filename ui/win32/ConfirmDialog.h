// A modal dialog with OK, Cancel and Help in its bottom right corner: OK closes it only
// when the window's rules take what it holds; Help and F1 ask for its help.
#pragma once

#include "ui/win32/Dialog.h"

#include <string>

namespace quillet::ui::win32 {

class ConfirmDialog : public ModalDialog {
public:
    // True when the user confirmed it.
    bool confirm(HWND owner, const std::string& caption);

protected:
    // A client area of that logical size; helpId: the Help button's identifier.
    ConfirmDialog(int width, int height, int helpId) : width_(width), height_(height), helpId_(helpId) {}
    // The three buttons, last in Tab order.
    void addButtons();
    // OK: true closes the dialog.
    virtual bool accepted() = 0;
    virtual void help() = 0;
    // The commands of the dialog's other controls.
    virtual void onControl(int id, int code) = 0;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void onCommand(int id, int code) final;

    int width_, height_, helpId_;
};

} // namespace quillet::ui::win32
