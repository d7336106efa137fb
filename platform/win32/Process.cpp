#include "platform/Process.h"

#include "platform/TextFile.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>
#include <mutex>

namespace quillet::platform {
namespace {

// CreateProcess as the compactor has always called it: the program comes from the
// command line's first token, a new console, normal priority, the caller's
// environment and folder. The length limit is the caller's (RunAndWait, LaunchProgram);
// CreateProcessW may write into the line, so it gets a copy.
bool Create(const std::string& commandLine, std::uint16_t showMode, PROCESS_INFORMATION& pi) {
    std::wstring buffer = win32::Wide(commandLine);
    STARTUPINFOW si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = showMode;
    std::memset(&pi, 0, sizeof pi);
    return ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                            CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi) != FALSE;
}

// A handle closed when it goes out of scope.
struct Handle {
    HANDLE h = nullptr;
    Handle() = default;
    explicit Handle(HANDLE handle) : h(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() {
        if (h)
            ::CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    void reset(HANDLE handle = nullptr) {
        if (h)
            ::CloseHandle(h);
        h = handle;
    }
};

// What the pipe holds now, without waiting; only the tail is kept, as only its last line
// is wanted.
void Drain(HANDLE pipe, std::string& text) {
    DWORD available = 0;
    while (pipe && ::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buf[4096];
        DWORD n = 0;
        if (!::ReadFile(pipe, buf, std::min<DWORD>(available, sizeof buf), &n, nullptr) || n == 0)
            return;
        text.append(buf, n);
        if (text.size() > 32768)
            text.erase(0, text.size() - 16384);
    }
}

// Kill-on-close: whatever the engine started dies with the job, even if we do not
// get to end it ourselves. Job limits count CPU time, so the wall clock is ours.
HANDLE KillOnCloseJob() {
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
        info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &info, sizeof info);
    }
    return job;
}

// The program started suspended, with `errorPipe` (when there is one) as its standard
// error and as the one handle it inherits, also when engines are started side by side,
// each with a pipe of its own.
bool CreateSuspended(const std::string& commandLine, std::uint16_t showMode, HANDLE errorPipe,
                     PROCESS_INFORMATION& pi) {
    std::wstring buffer = win32::Wide(commandLine);
    STARTUPINFOEXW six;
    std::memset(&six, 0, sizeof six);
    STARTUPINFOW& si = six.StartupInfo;
    si.cb = sizeof six;
    si.dwFlags = STARTF_USESHOWWINDOW | (errorPipe ? STARTF_USESTDHANDLES : 0);
    si.wShowWindow = showMode;
    // Only the pipe is handed down, so the engine gets no input or output of ours; the
    // compactor has no console to give it anyway.
    si.hStdInput = nullptr;
    si.hStdOutput = nullptr;
    si.hStdError = errorPipe;
    SIZE_T listSize = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> listBytes(listSize);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
    const bool listed = errorPipe && listSize > 0 && ::InitializeProcThreadAttributeList(list, 1, 0, &listSize);
    if (listed && ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &errorPipe,
                                              sizeof errorPipe, nullptr, nullptr))
        six.lpAttributeList = list;
    std::memset(&pi, 0, sizeof pi);
    const DWORD flags = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED |
                        (six.lpAttributeList ? EXTENDED_STARTUPINFO_PRESENT : 0);
    const BOOL created = ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, errorPipe ? TRUE : FALSE, flags,
                                          nullptr, nullptr, &si, &pi);
    if (listed)
        ::DeleteProcThreadAttributeList(list);
    return created != FALSE;
}

// Waits for the process while keeping its pipe drained; true when the time limit (none
// when zero) ran out first.
bool OutlivedLimit(HANDLE process, HANDLE pipe, std::chrono::steady_clock::time_point started,
                   std::chrono::milliseconds limit, std::string& text) {
    for (;;) {
        DWORD wait = 50;
        if (limit.count() > 0) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(started + limit - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                return true;
            wait = static_cast<DWORD>(std::min<long long>(left, wait));
        }
        const DWORD r = ::WaitForSingleObject(process, wait);
        Drain(pipe, text);
        if (r != WAIT_TIMEOUT)
            return false;
    }
}

} // namespace

GuardedRun RunGuarded(const std::string& commandLine, std::uint16_t showMode, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    GuardedRun run;

    // Only the pipe's write end is inheritable; the child gets it as its standard error.
    // A process created meanwhile on another thread would inherit it as well, so pipe
    // and start go one thread at a time.
    static std::mutex starting;
    std::unique_lock startLock(starting);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 65536))
        readEnd = writeEnd = nullptr;
    Handle reader(readEnd), writer(writeEnd);
    if (reader.h)
        ::SetHandleInformation(reader.h, HANDLE_FLAG_INHERIT, 0);
    Handle job(KillOnCloseJob());

    PROCESS_INFORMATION pi;
    const auto started = Clock::now();
    // Suspended until it is in the job, so that nothing it starts escapes.
    if (!CreateSuspended(commandLine, showMode, writer.h, pi))
        return run;
    Handle process(pi.hProcess), thread(pi.hThread);
    writer.reset();
    startLock.unlock();
    // A program already in a job that allows no nesting stays outside ours; then only
    // the program itself can be ended.
    const bool inJob = job.h && ::AssignProcessToJobObject(job.h, process.h);
    ::ResumeThread(thread.h);
    run.started = true;

    std::string text;
    run.timedOut = OutlivedLimit(process.h, reader.h, started, limit, text);
    if (run.timedOut) {
        if (!inJob || !::TerminateJobObject(job.h, 1))
            ::TerminateProcess(process.h, 1);
        ::WaitForSingleObject(process.h, INFINITE);
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    DWORD code = 0;
    run.exitCode = ::GetExitCodeProcess(process.h, &code) ? static_cast<int>(code) : -1;
    // Closing the job ends what the program left running; its output is then complete.
    job.reset();
    Drain(reader.h, text);
    // The engine writes in UTF-8 or in the system code page, as a file would be.
    run.lastErrorLine = LastLineOf(TextOfFileBytes(text));
    return run;
}

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
