#include "platform/Command.h"

#include "platform/TextFile.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <thread>

namespace quillet::platform {
namespace {

// One argument as the C runtime splits it back: quotes around it, backslashes doubled
// only before a quote.
std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + '"';
}

} // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input, int timeoutMs) {
    CommandResult result;
    if (argv.empty())
        return result;
    std::string line;
    for (const auto& a : argv)
        line += (line.empty() ? "" : " ") + QuoteArgument(a);

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    if (!::CreatePipe(&inRead, &inWrite, &inherit, 0))
        return result;
    if (!::CreatePipe(&outRead, &outWrite, &inherit, 0)) {
        ::CloseHandle(inRead);
        ::CloseHandle(inWrite);
        return result;
    }
    ::SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = outWrite;
    PROCESS_INFORMATION pi = {};
    std::wstring wide = win32::Wide(line);
    const BOOL started = ::CreateProcessW(nullptr, wide.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                          nullptr, &si, &pi);
    ::CloseHandle(inRead);
    ::CloseHandle(outWrite);
    if (!started) {
        ::CloseHandle(inWrite);
        ::CloseHandle(outRead);
        return result;
    }
    std::thread feeder([inWrite, &input] {
        DWORD put = 0;
        if (!input.empty())
            ::WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &put, nullptr);
        ::CloseHandle(inWrite);
    });
    std::thread reader([outRead, &result] {
        char buf[4096];
        DWORD got = 0;
        while (::ReadFile(outRead, buf, sizeof buf, &got, nullptr) && got > 0)
            result.output.append(buf, got);
    });
    const bool ended = ::WaitForSingleObject(pi.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
    if (!ended) {
        ::TerminateProcess(pi.hProcess, 1);
        ::WaitForSingleObject(pi.hProcess, INFINITE);
    }
    feeder.join();
    reader.join(); // the pipe ends when the program and whatever inherited it are gone
    ::CloseHandle(outRead);
    DWORD code = 0;
    // Tools print in UTF-8 or in the system code page, as files are written.
    result.output = TextOfFileBytes(result.output);
    if (ended && ::GetExitCodeProcess(pi.hProcess, &code))
        result.exitCode = static_cast<int>(code);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    return result;
}

} // namespace quillet::platform
