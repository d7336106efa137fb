#include "tests/support/Win32Doubles.h"

#include "ui/win32/Win32Prompts.h"

#include <shlobj.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace quillet::test {

ScriptedPrompts& InstallScriptedPrompts() {
    auto prompts = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts& ref = *prompts;
    ui::win32::SetPrompts(std::move(prompts));
    return ref;
}

std::size_t Count(const ScriptedPrompts& prompts, const std::string& kind) {
    std::size_t n = 0;
    for (const auto& s : prompts.shown)
        n += s.kind == kind;
    return n;
}

RecordingHelp& RecordingHelp::install() {
    auto help = std::make_unique<RecordingHelp>();
    RecordingHelp& ref = *help;
    ui::win32::HelpEngine::setInstance(std::move(help));
    return ref;
}

RecordingLinks& RecordingLinks::install() {
    auto links = std::make_unique<RecordingLinks>();
    RecordingLinks& ref = *links;
    ui::win32::UrlOpener::setInstance(std::move(links));
    return ref;
}

namespace {
struct WatchdogArgs {
    HANDLE stop;
    DWORD milliseconds;
};
DWORD WINAPI watch(void* raw) {
    auto* args = static_cast<WatchdogArgs*>(raw);
    if (WaitForSingleObject(args->stop, args->milliseconds) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "watchdog: the test hung; ended\n");
        std::fflush(nullptr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    delete args;
    return 0;
}
} // namespace

Watchdog::Watchdog(int seconds) : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = CreateThread(nullptr, 0, watch, new WatchdogArgs{stop_, static_cast<DWORD>(seconds) * 1000}, 0, nullptr);
}

Watchdog::~Watchdog() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
}

HGLOBAL MakeDrop(const std::vector<std::string>& paths) {
    std::string list;
    for (const auto& p : paths) {
        list += p;
        list += '\0';
    }
    list += '\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
    GlobalUnlock(memory);
    return memory;
}

namespace {
struct Pending {
    std::string className;
    std::string caption;
    std::function<void(HWND)> action;
};
std::vector<Pending>& pending() {
    static std::vector<Pending> list;
    return list;
}
UINT_PTR timerId = 0;

struct Search {
    const Pending* want;
    HWND found;
};
BOOL CALLBACK match(HWND window, LPARAM raw) {
    auto* search = reinterpret_cast<Search*>(raw);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId())
        return TRUE;
    char cls[256] = {}, text[512] = {};
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, text, sizeof text);
    if (search->want->className == cls && search->want->caption == text) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    auto& list = pending();
    if (list.empty())
        return;
    Search search{&list.front(), nullptr};
    EnumWindows(match, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return;
    Pending done = list.front();
    list.erase(list.begin());
    if (list.empty()) {
        KillTimer(nullptr, timerId);
        timerId = 0;
    }
    done.action(search.found);
}
} // namespace

void WhenWindowAppears(const char* className, const std::string& caption, std::function<void(HWND)> action) {
    pending().push_back({className, caption, std::move(action)});
    if (!timerId)
        timerId = SetTimer(nullptr, 0, 20, tick);
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

TempFolder::TempFolder() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    static int serial = 0;
    for (;;) {
        path_ = std::string(base) + "quillet-w32-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++serial);
        if (CreateDirectoryA(path_.c_str(), nullptr))
            break;
    }
}

TempFolder::~TempFolder() {
    std::string from = path_;
    from += '\0';
    from += '\0';
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string text;
    for (char c : bytes.str())
        if (c != '\r')
            text += c;
    return text;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace quillet::test
