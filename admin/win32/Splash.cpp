#include "admin/win32/Splash.h"

#include "admin/win32/Picture.h"
#include "platform/win32/WideText.h"

namespace quillet::admin {

using namespace quillet::ui::win32;

TfrmSplash::TfrmSplash() {
    create("QuilletAdminSplash", SplashCaption, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, nullptr);
    layout_.sizeClient(SplashWidth, SplashHeight);
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
        for (int i = 0; i < layout_.px(SplashBevel); i += 2) {
            DrawEdge(dc, &bevel, BDR_RAISEDINNER | BDR_RAISEDOUTER, BF_RECT);
            InflateRect(&bevel, -2, -2);
        }
        const Spot& at = SplashPicture;
        const RECT picture{layout_.px(at.x), layout_.px(at.y), layout_.px(at.x + at.width), layout_.px(at.y + at.height)};
        DrawProgramPicture(dc, picture);
        if (!nameFont_)
            nameFont_ = CreateUiFont(layout_.dpi(), SplashNameHeight, true);
        HGDIOBJ old = SelectObject(dc, nameFont_);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColourOf(ProductGreen));
        const std::wstring name = platform::win32::Wide(ProductText);
        TextOutW(dc, layout_.px(SplashName.x), layout_.px(SplashName.y), name.c_str(), static_cast<int>(name.size()));
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
