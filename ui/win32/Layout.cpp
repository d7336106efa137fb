#include "ui/win32/Layout.h"

#include "platform/win32/WideText.h"

namespace quillet::ui::win32 {

using platform::win32::Utf8;
using platform::win32::Wide;

namespace {

using DpiForWindow = UINT(WINAPI*)(HWND);

UINT systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

} // namespace

UINT DpiOf(HWND window) {
    // Looked up at run time: systems before Windows 10 have only the system's scale.
    static const auto forWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (forWindow && window) {
        const UINT dpi = forWindow(window);
        if (dpi > 0)
            return dpi;
    }
    return systemDpi();
}

int Scaled(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), 96);
}

HFONT CreateUiFont(UINT dpi, int pixelHeight, bool bold) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        font = metrics.lfMessageFont;
        // The system gives it at the system's scale; the window's monitor may differ.
        font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi()));
    } else {
        font.lfHeight = -Scaled(12, dpi);
        font.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(font.lfFaceName, L"MS Shell Dlg 2", LF_FACESIZE);
    }
    if (pixelHeight > 0)
        font.lfHeight = -Scaled(pixelHeight, dpi);
    if (bold)
        font.lfWeight = FW_BOLD;
    font.lfQuality = CLEARTYPE_QUALITY;
    return CreateFontIndirectW(&font);
}

Layout::~Layout() {
    if (font_)
        DeleteObject(font_);
}

void Layout::attach(HWND parent) {
    parent_ = parent;
    dpi_ = DpiOf(parent);
    if (font_)
        DeleteObject(font_);
    font_ = CreateUiFont(dpi_);
    SendMessageW(parent_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

HWND Layout::add(const char* className, const std::string& text, DWORD style, int x, int y, int width, int height,
                 int id, DWORD exStyle, HWND within) {
    HWND control = CreateWindowExW(exStyle, Wide(className).c_str(), Wide(text).c_str(), style | WS_CHILD, px(x),
                                   px(y), px(width), px(height), within ? within : parent_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    if (control) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        placed_.push_back({control, {x, y, x + width, y + height}});
    }
    return control;
}

void Layout::place(HWND control, int x, int y, int width, int height) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    placed_.push_back({control, {x, y, x + width, y + height}});
    apply(placed_.back());
}

void Layout::move(HWND control, int x, int y, int width, int height) {
    for (auto& p : placed_)
        if (p.control == control) {
            p.logical = {x, y, x + width, y + height};
            apply(p);
            return;
        }
    place(control, x, y, width, height);
}

void Layout::apply(const Placed& p) const {
    SetWindowPos(p.control, nullptr, px(p.logical.left), px(p.logical.top), px(p.logical.right - p.logical.left),
                 px(p.logical.bottom - p.logical.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Layout::sizeClient(int width, int height) {
    clientWidth_ = width;
    clientHeight_ = height;
    RECT r{0, 0, px(width), px(height)};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(parent_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(parent_, GWL_EXSTYLE));
    AdjustWindowRectEx(&r, style, GetMenu(parent_) != nullptr, exStyle);
    SetWindowPos(parent_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Layout::rescale(UINT dpi, const RECT* suggested) {
    dpi_ = dpi;
    HFONT old = font_;
    font_ = CreateUiFont(dpi_);
    SendMessageW(parent_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (const auto& p : placed_) {
        SendMessageW(p.control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        apply(p);
    }
    if (old)
        DeleteObject(old);
    if (suggested)
        SetWindowPos(parent_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    else if (clientWidth_ > 0)
        sizeClient(clientWidth_, clientHeight_);
    InvalidateRect(parent_, nullptr, TRUE);
}

void CentreOnScreen(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
    const RECT& area = info.rcWork;
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return Utf8(text);
}

void SetText(HWND window, const std::string& text) {
    SetWindowTextW(window, Wide(text).c_str());
}

std::string ListBoxLine(HWND list, int row) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length < 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return Utf8(text);
}

std::vector<std::string> ListBoxLines(HWND list) {
    std::vector<std::string> lines;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row)
        lines.push_back(ListBoxLine(list, static_cast<int>(row)));
    return lines;
}

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

} // namespace quillet::ui::win32
