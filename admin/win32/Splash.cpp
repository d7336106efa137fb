#include "admin/win32/Splash.h"

#include "admin/win32/Picture.h"

namespace quillet::admin {

using namespace quillet::ui::win32;

TfrmSplash::TfrmSplash() {
    create("QuilletAdminSplash", "Loading Quillet", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, nullptr);
    layout_.sizeClient(360, 212);
    CentreOnScreen(hwnd());
}

TfrmSplash::~TfrmSplash() {
    if (nameFont_)
        DeleteObject(nameFont_);
}

void TfrmSplash::ShowNow() {
    ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd());
}

LRESULT TfrmSplash::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd(), &paint);
        RECT client;
        GetClientRect(hwnd(), &client);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        // A bevel 5 pixels wide around the white panel.
        RECT bevel = client;
        for (int i = 0; i < layout_.px(5); i += 2) {
            DrawEdge(dc, &bevel, BDR_RAISEDINNER | BDR_RAISEDOUTER, BF_RECT);
            InflateRect(&bevel, -2, -2);
        }
        const RECT picture{layout_.px(216), layout_.px(40), layout_.px(216 + 137), layout_.px(40 + 137)};
        DrawProgramPicture(dc, picture);
        if (!nameFont_)
            nameFont_ = CreateUiFont(layout_.dpi(), 37, true);
        HGDIOBJ old = SelectObject(dc, nameFont_);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 128, 0));
        const wchar_t name[] = L"Quillet\u2122";
        TextOutW(dc, layout_.px(48), layout_.px(8), name, static_cast<int>(std::size(name) - 1));
        SelectObject(dc, old);
        EndPaint(hwnd(), &paint);
        return 0;
    }
    case WM_NCHITTEST:
        return HTNOWHERE; // takes no input
    default:
        return Window::handle(message, wParam, lParam);
    }
}

} // namespace quillet::admin
