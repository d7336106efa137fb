#include "ui/win32/MessageLoop.h"

namespace quillet::ui::win32 {

namespace {
HWND acceleratedWindow = nullptr;
HACCEL acceleratorTable = nullptr;
} // namespace

void SetAccelerators(HWND window, HACCEL table) {
    acceleratedWindow = window;
    acceleratorTable = table;
}

UINT KeyPreviewMessage() {
    static const UINT message = RegisterWindowMessageW(L"QuilletKeyPreview");
    return message;
}

bool PreTranslate(MSG& message) {
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST)
        return false;
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (!root)
        return false;
    if (message.message == WM_KEYDOWN && SendMessageW(root, KeyPreviewMessage(), message.wParam, message.lParam))
        return true;
    if (acceleratorTable && root == acceleratedWindow && TranslateAcceleratorW(root, acceleratorTable, &message))
        return true;
    return IsDialogMessageW(root, &message) != FALSE;
}

int RunMessageLoop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (PreTranslate(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace quillet::ui::win32
