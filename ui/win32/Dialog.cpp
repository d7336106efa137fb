#include "ui/win32/Dialog.h"

#include "platform/win32/WideText.h"
#include "ui/win32/Guarded.h"

#include <vector>

namespace quillet::ui::win32 {

namespace {

// A template without controls: the dialog's controls are created in code.
std::vector<WORD> emptyTemplate(const std::string& caption) {
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    auto* t = reinterpret_cast<DLGTEMPLATE*>(words.data());
    t->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_NOIDLEMSG;
    t->dwExtendedStyle = WS_EX_DLGMODALFRAME;
    t->cx = 100;
    t->cy = 50;
    // menu and class: none; then the caption in UTF-16.
    words.resize(sizeof(DLGTEMPLATE) / sizeof(WORD) + 2);
    for (wchar_t c : platform::win32::Wide(caption))
        words.push_back(static_cast<WORD>(c));
    // The caption's end, then no font.
    words.resize(words.size() + 3, 0);
    return words;
}

} // namespace

INT_PTR ModalDialog::run(HWND owner, const std::string& caption, int width, int height) {
    width_ = width;
    height_ = height;
    const std::vector<WORD> words = emptyTemplate(caption);
    return DialogBoxIndirectParamW(Instance(), reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner, proc,
                                   reinterpret_cast<LPARAM>(this));
}

void ModalDialog::onCommand(int id, int) {
    if (id == IDOK || id == IDCANCEL)
        end(id);
}

void ModalDialog::end(INT_PTR result) {
    EndDialog(hwnd_, result);
}

INT_PTR CALLBACK ModalDialog::proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<ModalDialog*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->hwnd_ = dialog;
        self->layout_.attach(dialog);
        HWND focus = nullptr;
        bool ok = false;
        Guarded([&] {
            focus = self->onInit();
            ok = true;
        });
        if (!ok) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        self->layout_.sizeClient(self->width_, self->height_);
        CentreOnScreen(dialog);
        if (focus) {
            SetFocus(focus);
            return FALSE;
        }
        return TRUE;
    }
    if (!self)
        return FALSE;
    INT_PTR result = FALSE;
    bool handled = false;
    Guarded([&] {
        switch (message) {
        case WM_COMMAND:
            self->onCommand(LOWORD(wParam), HIWORD(wParam));
            result = TRUE;
            handled = true;
            return;
        case WM_DPICHANGED:
            self->layout_.rescale(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            result = TRUE;
            handled = true;
            return;
        default:
            handled = self->onMessage(message, wParam, lParam, result);
        }
    });
    if (message == WM_NCDESTROY)
        self->hwnd_ = nullptr;
    return handled ? result : FALSE;
}

} // namespace quillet::ui::win32
