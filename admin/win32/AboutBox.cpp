#include "admin/win32/AboutBox.h"

#include "admin/win32/Picture.h"
#include "core/ProgramVersion.h"
#include "platform/win32/WideText.h"
#include "ui/win32/Help.h"
#include "ui/win32/WebLinks.h"

#include <commctrl.h>


namespace quillet::admin {

using namespace quillet::ui;
using namespace quillet::ui::win32;

namespace {
constexpr int Width = 330;
constexpr int Height = 196;

} // namespace

std::string UserDecimalSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, static_cast<int>(std::size(separator))) <= 0)
        return ".";
    return platform::win32::Utf8(separator);
}

TAboutBox::~TAboutBox() {
    if (bold_)
        DeleteObject(bold_);
    if (large_)
        DeleteObject(large_);
}

void TAboutBox::ShowModal(HWND owner) {
    run(owner, AboutCaption, Width, Height);
}

HWND TAboutBox::onInit() {
    layout_.add("STATIC", "", WS_VISIBLE | SS_OWNERDRAW, 16, 16, 96, 96, idPicture);
    if (!bold_)
        bold_ = CreateUiFont(layout_.dpi(), 0, true);
    if (!large_)
        large_ = CreateUiFont(layout_.dpi(), 32, true);
    HWND maker = layout_.add("STATIC", "Orvane\u00AE", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 128, 16, 190, 18, idMaker);
    SendMessageW(maker, WM_SETFONT, reinterpret_cast<WPARAM>(bold_), FALSE);
    HWND product = layout_.add("STATIC", "Quillet\u2122", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 128, 36, 190, 40, idProduct);
    SendMessageW(product, WM_SETFONT, reinterpret_cast<WPARAM>(large_), FALSE);
    layout_.add("STATIC", "Version " + VersionText(ProgramVersion, UserDecimalSeparator()), WS_VISIBLE | SS_LEFT, 128,
                80, 190, 16, idVersion);
    layout_.add("STATIC", std::string("Build ") + ProgramBuild, WS_VISIBLE | SS_LEFT, 128, 98, 190, 16, idBuild);
    layout_.add("SysLink", "<a>" + MakerHomeAddressText + "</a>", WS_VISIBLE | WS_TABSTOP, 16, 128, 298, 18, idLink);
    HWND ok = layout_.add("BUTTON", "OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, (Width - 80) / 2, Height - 36,
                          80, 24, IDOK);
    return ok;
}

bool TAboutBox::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_HELP:
        ShowHelpTopic(hwnd(), HelpTopicAbout);
        result = TRUE;
        return true;
    case WM_DRAWITEM: {
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (draw->CtlID != idPicture)
            return false;
        FillRect(draw->hDC, &draw->rcItem, GetSysColorBrush(COLOR_BTNFACE));
        DrawProgramPicture(draw->hDC, draw->rcItem);
        result = TRUE;
        return true;
    }
    case WM_CTLCOLORSTATIC: {
        const HWND control = reinterpret_cast<HWND>(lParam);
        if (GetDlgCtrlID(control) != idProduct)
            return false;
        auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 128, 0));
        SetBkMode(dc, TRANSPARENT);
        result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom == static_cast<UINT_PTR>(idLink) && (header->code == NM_CLICK || header->code == NM_RETURN)) {
            Label2Click();
            result = TRUE;
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

void TAboutBox::Label2Click() {
    OpenWebLink(MakerHomeAddressFromAbout, true);
}

} // namespace quillet::admin
