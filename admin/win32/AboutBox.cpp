#include "admin/win32/AboutBox.h"

#include "admin/win32/Picture.h"
#include "platform/win32/WideText.h"
#include "ui/win32/Help.h"
#include "ui/win32/WebLinks.h"

#include <commctrl.h>


namespace quillet::admin {

using namespace quillet::ui;
using namespace quillet::ui::win32;

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
    run(owner, AboutCaption, AboutWidth, AboutHeight);
}

HWND TAboutBox::onInit() {
    const AboutPlaces& at = AboutSpots;
    auto add = [this](const char* kind, const std::string& text, DWORD style, const Spot& spot, int id) {
        return layout_.add(kind, text, WS_VISIBLE | style, spot.x, spot.y, spot.width, spot.height, id);
    };
    add("STATIC", "", SS_OWNERDRAW, at.picture, idPicture);
    if (!bold_)
        bold_ = CreateUiFont(layout_.dpi(), 0, true);
    if (!large_)
        large_ = CreateUiFont(layout_.dpi(), AboutProductHeight, true);
    HWND maker = add("STATIC", MakerText, SS_LEFT | SS_NOPREFIX, at.maker, idMaker);
    SendMessageW(maker, WM_SETFONT, reinterpret_cast<WPARAM>(bold_), FALSE);
    HWND product = add("STATIC", ProductText, SS_LEFT | SS_NOPREFIX, at.product, idProduct);
    SendMessageW(product, WM_SETFONT, reinterpret_cast<WPARAM>(large_), FALSE);
    add("STATIC", AboutVersionText(UserDecimalSeparator()), SS_LEFT, at.version, idVersion);
    add("STATIC", AboutBuildText(), SS_LEFT, at.build, idBuild);
    add("SysLink", "<a>" + MakerHomeAddressText + "</a>", WS_TABSTOP, at.link, idLink);
    return add("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, at.ok, IDOK);
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
        SetTextColor(dc, ColourOf(ProductGreen));
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
