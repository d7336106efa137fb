#include "platform/DesktopNotice.h"

#include "platform/win32/WideText.h"

#include <windows.h>
#include <wtsapi32.h>

namespace quillet::platform {

bool ShowDesktopNotice(const std::string& title, const std::string& body) {
    const DWORD session = ::WTSGetActiveConsoleSessionId();
    if (session == 0xFFFFFFFF)
        return false; // nobody at the console
    DWORD response = 0;
    std::wstring wideTitle = win32::Wide(title);
    std::wstring wideBody = win32::Wide(body);
    // The lengths are in bytes; bWait FALSE: the box is shown and nobody waits for it.
    return ::WTSSendMessageW(WTS_CURRENT_SERVER_HANDLE, session, wideTitle.data(),
                             static_cast<DWORD>(wideTitle.size() * sizeof(wchar_t)), wideBody.data(),
                             static_cast<DWORD>(wideBody.size() * sizeof(wchar_t)),
                             MB_OK | MB_ICONWARNING | MB_SETFOREGROUND, 0, &response, FALSE) != FALSE;
}

} // namespace quillet::platform
