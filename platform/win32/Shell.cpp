#include "platform/Shell.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <shellapi.h>
#include <vector>

namespace quillet::platform {

bool HasSystemShell() {
    return true;
}

bool ShellOpenAddress(const std::string& address) {
    const HINSTANCE result =
        ::ShellExecuteW(nullptr, nullptr, win32::Wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool SystemHelp(std::uintptr_t ownerWindow, const std::string& helpFile, HelpRequest request,
                const std::string& key, int topic) {
    const HWND owner = reinterpret_cast<HWND>(ownerWindow);
    const std::wstring file = win32::Wide(helpFile);
    switch (request) {
    case HelpRequest::Contents:
        return ::WinHelpW(owner, file.c_str(), HELP_CONTENTS, 0) != FALSE;
    case HelpRequest::PartialKey: {
        // The engine wants a key text it may keep until the call returns.
        std::wstring text = win32::Wide(key);
        return ::WinHelpW(owner, file.c_str(), HELP_PARTIALKEY,
                          reinterpret_cast<ULONG_PTR>(text.c_str())) != FALSE;
    }
    case HelpRequest::Topic:
        return ::WinHelpW(owner, file.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(topic)) != FALSE;
    }
    return false;
}

} // namespace quillet::platform
