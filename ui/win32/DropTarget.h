// Lets one control of a window accept files dragged from Explorer. The window binds it
// at its creation and releases it at its destruction; a drop hands the window the
// files' full paths in the order the shell delivers them.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

namespace quillet::ui::win32 {

class DropFileTarget {
public:
    using DropHandler = std::function<void(const std::vector<std::string>& files)>;

    DropFileTarget() = default;
    ~DropFileTarget() { Revoke(); }
    DropFileTarget(const DropFileTarget&) = delete;
    DropFileTarget& operator=(const DropFileTarget&) = delete;

    // Starts accepting drops on the control.
    void Register(HWND control, DropHandler onDrop);
    // Stops accepting drops; harmless when not registered or when the control is gone.
    void Revoke();
    bool IsRegistered() const { return control_ != nullptr; }

    // The paths a drop carries, in delivery order.
    static std::vector<std::string> DroppedFiles(HDROP drop);

private:
    static LRESULT CALLBACK subclass(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);
    HWND control_ = nullptr;
    DropHandler onDrop_;
};

} // namespace quillet::ui::win32
