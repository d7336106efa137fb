#include "platform/Shell.h"

#include <windows.h>

#include <shellapi.h>
#include <vector>

namespace quillet::platform {

bool HasSystemShell() {
    return true;
}

bool ShellOpenAddress(const std::string& address) {
    const HINSTANCE result =
        ::ShellExecuteA(nullptr, nullptr, address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool SystemHelp(std::uintptr_t ownerWindow, const std::string& helpFile, HelpRequest request,
                const std::string& key, int topic) {
    const HWND owner = reinterpret_cast<HWND>(ownerWindow);
    switch (request) {
    case HelpRequest::Contents:
        return ::WinHelpA(owner, helpFile.c_str(), HELP_CONTENTS, 0) != FALSE;
    case HelpRequest::PartialKey: {
        // The engine wants a key text it may keep until the call returns.
        std::vector<char> text(key.begin(), key.end());
        text.push_back('\0');
        return ::WinHelpA(owner, helpFile.c_str(), HELP_PARTIALKEY,
                          reinterpret_cast<ULONG_PTR>(text.data())) != FALSE;
    }
    case HelpRequest::Topic:
        return ::WinHelpA(owner, helpFile.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(topic)) != FALSE;
    }
    return false;
}

} // namespace quillet::platform
