#include "platform/Process.h"

#include <windows.h>

#include <cstring>

namespace quillet::platform {
namespace {

// CreateProcessA as the compactor has always called it: the program comes from the
// command line's first token, a new console, normal priority, the caller's
// environment and folder. The length limit is the caller's (RunAndWait, LaunchProgram);
// CreateProcessA may write into the line, so it gets a copy.
bool Create(const std::string& commandLine, std::uint16_t showMode, PROCESS_INFORMATION& pi) {
    std::string buffer = commandLine;
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = showMode;
    std::memset(&pi, 0, sizeof pi);
    return ::CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                            CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi) != FALSE;
}

} // namespace

std::optional<int> RunProcessAndWait(const std::string& commandLine, std::uint16_t showMode) {
    PROCESS_INFORMATION pi;
    if (!Create(commandLine, showMode, pi))
        return std::nullopt;
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    const BOOL ok = ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    if (!ok)
        return std::nullopt;
    return static_cast<int>(code);
}

bool StartProcess(const std::string& commandLine, std::uint16_t showMode) {
    PROCESS_INFORMATION pi;
    if (!Create(commandLine, showMode, pi))
        return false;
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    return true;
}

std::optional<ParsedCommandLine> ParseCommandLine(const std::string&) {
    return std::nullopt; // Windows parses command lines itself
}

} // namespace quillet::platform
