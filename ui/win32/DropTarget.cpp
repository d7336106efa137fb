#include "ui/win32/DropTarget.h"

#include "platform/win32/WideText.h"
#include "ui/win32/Guarded.h"

#include <commctrl.h>
#include <shellapi.h>

namespace quillet::ui::win32 {

namespace {
constexpr UINT_PTR SubclassId = 0x51D0;
}

void DropFileTarget::Register(HWND control, DropHandler onDrop) {
    Revoke();
    control_ = control;
    onDrop_ = std::move(onDrop);
    SetWindowSubclass(control_, subclass, SubclassId, reinterpret_cast<DWORD_PTR>(this));
    DragAcceptFiles(control_, TRUE);
}

void DropFileTarget::Revoke() {
    if (!control_)
        return;
    if (IsWindow(control_)) {
        DragAcceptFiles(control_, FALSE);
        RemoveWindowSubclass(control_, subclass, SubclassId);
    }
    control_ = nullptr;
}

std::vector<std::string> DropFileTarget::DroppedFiles(HDROP drop) {
    std::vector<std::string> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        files.push_back(platform::win32::Utf8(path));
    }
    return files;
}

LRESULT CALLBACK DropFileTarget::subclass(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR self) {
    auto* target = reinterpret_cast<DropFileTarget*>(self);
    if (message == WM_DROPFILES) {
        auto drop = reinterpret_cast<HDROP>(wParam);
        Guarded([&] {
            const auto files = DroppedFiles(drop);
            if (target->onDrop_)
                target->onDrop_(files);
        });
        DragFinish(drop);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(control, subclass, SubclassId);
        target->control_ = nullptr;
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

} // namespace quillet::ui::win32
