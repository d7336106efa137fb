#include "ui/win32/Window.h"

#include "ui/win32/Guarded.h"

namespace quillet::ui::win32 {

Window::~Window() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void Window::create(const char* className, const std::string& caption, DWORD style, DWORD exStyle, HWND owner,
                    HMENU menu) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExA(Instance(), className, &existing)) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc;
        wc.hInstance = Instance();
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = className;
        wc.hIcon = LoadIconA(Instance(), MAKEINTRESOURCEA(1));
        wc.hIconSm = static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(1), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        RegisterClassExA(&wc);
    }
    CreateWindowExA(exStyle, className, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, 400, 300, owner, menu,
                    Instance(), this);
}

LRESULT Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NEXTDLGCTL) {
        // The dialog manager's keyboard handling (Tab, mnemonics) moves the focus with this
        // message, which only dialogs answer by themselves.
        HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                     : GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0);
        if (target) {
            SetFocus(target);
            if (SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                SendMessageA(target, EM_SETSEL, 0, -1);
        }
        return 0;
    }
    if (message == WM_DPICHANGED) {
        layout_.rescale(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = window;
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_CREATE)
        self->layout_.attach(window);
    LRESULT result = 0;
    bool done = false;
    Guarded([&] {
        result = self->handle(message, wParam, lParam);
        done = true;
    });
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    // A handler that failed has been reported; the message counts as handled, except
    // creation, which fails.
    if (!done && message == WM_CREATE)
        return -1;
    return result;
}

} // namespace quillet::ui::win32
