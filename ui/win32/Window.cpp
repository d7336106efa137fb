#include "ui/win32/Window.h"

#include "platform/win32/WideText.h"
#include "ui/win32/Guarded.h"

namespace quillet::ui::win32 {

using platform::win32::Wide;

Window::~Window() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void Window::create(const char* className, const std::string& caption, DWORD style, DWORD exStyle, HWND owner,
                    HMENU menu) {
    const std::wstring name = Wide(className);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(Instance(), name.c_str(), &existing)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc;
        wc.hInstance = Instance();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = name.c_str();
        wc.hIcon = LoadIconW(Instance(), MAKEINTRESOURCEW(1));
        wc.hIconSm = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        RegisterClassExW(&wc);
    }
    CreateWindowExW(exStyle, name.c_str(), Wide(caption).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, 400, 300,
                    owner, menu, Instance(), this);
}

LRESULT Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NEXTDLGCTL) {
        // The dialog manager's keyboard handling (Tab, mnemonics) moves the focus with this
        // message, which only dialogs answer by themselves.
        HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                     : GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0);
        if (target) {
            SetFocus(target);
            if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                SendMessageW(target, EM_SETSEL, 0, -1);
        }
        return 0;
    }
    if (message == WM_DPICHANGED) {
        layout_.rescale(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = window;
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_CREATE)
        self->layout_.attach(window);
    LRESULT result = 0;
    bool done = false;
    Guarded([&] {
        result = self->handle(message, wParam, lParam);
        done = true;
    });
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    // A handler that failed has been reported; the message counts as handled, except
    // creation, which fails.
    if (!done && message == WM_CREATE)
        return -1;
    return result;
}

} // namespace quillet::ui::win32
