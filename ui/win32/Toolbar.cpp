#include "ui/win32/Toolbar.h"

#include "platform/win32/WideText.h"

namespace quillet::ui::win32 {

using platform::win32::Wide;

Toolbar::~Toolbar() {
    if (scaledImages_)
        ImageList_Destroy(scaledImages_);
}

void Toolbar::create(Layout& layout, int id, RECT at, SIZE button, std::span<const Button> buttons) {
    layout_ = &layout;
    button_ = button;
    toolbar_ = layout.add(TOOLBARCLASSNAMEA, "",
                          WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NODIVIDER |
                              CCS_NOPARENTALIGN,
                          at.left, at.top, at.right - at.left, at.bottom - at.top, id);
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar_, TB_LOADIMAGES, IDB_STD_LARGE_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    const auto views = static_cast<int>(
        SendMessageW(toolbar_, TB_LOADIMAGES, IDB_VIEW_LARGE_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL)));
    standardImages_ = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar_, TB_GETIMAGELIST, 0, 0));
    for (const Button& b : buttons) {
        const std::wstring caption = Wide(b.caption);
        TBBUTTON added{};
        added.iBitmap = b.image >= ViewImages ? views + b.image - ViewImages : b.image;
        added.idCommand = b.id;
        added.fsState = TBSTATE_ENABLED;
        added.fsStyle = BTNS_BUTTON;
        added.iString = reinterpret_cast<INT_PTR>(caption.c_str());
        SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&added));
        hints_.emplace_back(b.id, Wide(b.hint));
    }
    rescale();
}

void Toolbar::rescale() {
    const int size = layout_->px(24);
    HIMAGELIST shown = standardImages_;
    if (size != 24 && standardImages_) {
        const int count = ImageList_GetImageCount(standardImages_);
        shown = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, count, 0);
        for (int i = 0; i < count; ++i) {
            HICON icon = ImageList_GetIcon(standardImages_, i, ILD_NORMAL);
            ImageList_AddIcon(shown, icon);
            DestroyIcon(icon);
        }
    }
    SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(shown));
    if (scaledImages_)
        ImageList_Destroy(scaledImages_);
    scaledImages_ = shown == standardImages_ ? nullptr : shown;
    SendMessageW(toolbar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(layout_->px(button_.cx), layout_->px(button_.cy)));
}

bool Toolbar::giveTip(LPARAM lParam) const {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
    if (info->hdr.code != TTN_GETDISPINFOW)
        return false;
    for (const auto& [id, hint] : hints_)
        if (static_cast<int>(info->hdr.idFrom) == id)
            info->lpszText = const_cast<wchar_t*>(hint.c_str());
    return true;
}

} // namespace quillet::ui::win32
