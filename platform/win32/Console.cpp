#include "platform/Console.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace quillet::platform {

namespace {

UINT parentCodePage = 0;

void RestoreCodePage() {
    std::fflush(stdout);
    std::fflush(stderr);
    ::SetConsoleOutputCP(parentCodePage);
}

} // namespace

void UseParentConsole() {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE)
        return; // redirected to a file or a pipe: the C runtime writes there already
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
    // The programs print UTF-8; the console shows it as such while they run and gets
    // its own code page back when they end.
    parentCodePage = ::GetConsoleOutputCP();
    if (parentCodePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8))
        std::atexit(RestoreCodePage);
}

} // namespace quillet::platform
