#include "platform/DesktopNotice.h"

#include <windows.h>
#include <wtsapi32.h>

namespace quillet::platform {

bool ShowDesktopNotice(const std::string& title, const std::string& body) {
    const DWORD session = ::WTSGetActiveConsoleSessionId();
    if (session == 0xFFFFFFFF)
        return false; // nobody at the console
    DWORD response = 0;
    return ::WTSSendMessageA(WTS_CURRENT_SERVER_HANDLE, session, const_cast<char*>(title.c_str()),
                             static_cast<DWORD>(title.size()), const_cast<char*>(body.c_str()),
                             static_cast<DWORD>(body.size()), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND, 0, &response,
                             FALSE) != FALSE;
}

} // namespace quillet::platform
