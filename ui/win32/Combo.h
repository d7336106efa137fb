// Drop-down lists in UTF-8: filled with their entries, their list as wide as the longest
// entry whatever the box's width, and a tip that tells the whole of the entry chosen.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace quillet::ui::win32 {

void FillCombo(HWND box, const std::vector<std::string>& texts, std::size_t chosen);

// Each box added shows, as its tip, the tip of the entry chosen.
class ComboTips {
public:
    void add(HWND box);
    void set(HWND box, std::vector<std::string> tips);
    // For WM_NOTIFY: true when it was a tip's question, answered.
    bool notify(NMHDR* header);

private:
    HWND window_ = nullptr; // the tooltip control, destroyed with its owner
    std::map<HWND, std::vector<std::string>> tips_;
    std::wstring shown_;
};

} // namespace quillet::ui::win32
