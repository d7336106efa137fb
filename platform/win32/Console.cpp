#include "platform/Console.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace quillet::platform {

namespace {

UINT parentCodePage = 0;

void RestoreCodePage() {
    std::fflush(stdout);
    std::fflush(stderr);
    ::SetConsoleOutputCP(parentCodePage);
}

// The console's input when standard input is one: the inherited handle, or the console
// this program was attached to when it inherited none.
HANDLE ConsoleInput(DWORD& mode) {
    HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    if (in != nullptr && in != INVALID_HANDLE_VALUE)
        return ::GetConsoleMode(in, &mode) ? in : nullptr;
    in = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return nullptr;
    if (::GetConsoleMode(in, &mode))
        return in;
    ::CloseHandle(in);
    return nullptr;
}

std::wstring ReadConsoleLine(HANDLE in) {
    std::wstring line;
    wchar_t c = 0;
    DWORD read = 0;
    while (::ReadConsoleW(in, &c, 1, &read, nullptr) && read == 1 && c != L'\n')
        line += c;
    return line;
}

} // namespace

std::string ReadHiddenLine(const std::string& prompt) {
    DWORD mode = 0;
    const HANDLE in = ConsoleInput(mode);
    std::string line;
    if (in == nullptr) {
        std::getline(std::cin, line);
    } else {
        ::SetConsoleMode(in, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
        std::fputs(prompt.c_str(), stderr);
        std::fflush(stderr);
        line = win32::Utf8(ReadConsoleLine(in));
        ::SetConsoleMode(in, mode);
        std::fputs("\n", stderr); // the Enter that was not shown
        if (in != ::GetStdHandle(STD_INPUT_HANDLE))
            ::CloseHandle(in);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

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
