#include "ui/win32/Combo.h"

#include "platform/win32/WideText.h"
#include "ui/win32/Layout.h"
#include "ui/win32/ListView.h"

#include <commctrl.h>

#include <algorithm>

namespace quillet::ui::win32 {

using platform::win32::Wide;

void FillCombo(HWND box, const std::vector<std::string>& texts, std::size_t chosen) {
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    const TextMeter meter(box);
    int widest = 0;
    for (const std::string& text : texts) {
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
        widest = std::max(widest, meter.width(text));
    }
    SendMessageW(box, CB_SETDROPPEDWIDTH, widest + GetSystemMetrics(SM_CXVSCROLL) + Scaled(8, DpiOf(box)), 0);
    SendMessageW(box, CB_SETCURSEL, chosen, 0);
}

void ComboTips::add(HWND box) {
    HWND owner = GetParent(box);
    if (!window_)
        window_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, owner, nullptr,
                                  Instance(), nullptr);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(box);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(window_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    tips_[box];
}

void ComboTips::set(HWND box, std::vector<std::string> tips) {
    if (const auto kept = tips_.find(box); kept != tips_.end())
        kept->second = std::move(tips);
}

bool ComboTips::notify(NMHDR* header) {
    const auto kept = tips_.find(reinterpret_cast<HWND>(header->idFrom));
    if (header->code != TTN_GETDISPINFOW || kept == tips_.end())
        return false;
    const auto chosen = static_cast<std::size_t>(SendMessageW(kept->first, CB_GETCURSEL, 0, 0));
    shown_ = chosen < kept->second.size() ? Wide(kept->second[chosen]) : std::wstring();
    reinterpret_cast<NMTTDISPINFOW*>(header)->lpszText = shown_.data();
    return true;
}

} // namespace quillet::ui::win32
