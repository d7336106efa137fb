#include "tests/support/Win32Doubles.h"

#include "platform/win32/WideText.h"
#include "ui/win32/Layout.h"
#include "ui/win32/Win32Prompts.h"

#include <shlobj.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillet::test {

using platform::win32::Utf8;
using platform::win32::Wide;

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

Watchdog::Watchdog(int seconds) : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = CreateThread(nullptr, 0, watch, new WatchdogArgs{stop_, static_cast<DWORD>(seconds) * 1000}, 0, nullptr);
}

Watchdog::~Watchdog() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
}

HGLOBAL MakeDrop(const std::vector<std::string>& paths) {
    std::wstring list;
    for (const auto& p : paths) {
        list += Wide(p);
        list += L'\0';
    }
    list += L'\0';
    const std::size_t bytes = list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), bytes);
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
    wchar_t cls[256] = {};
    GetClassNameW(window, cls, static_cast<int>(std::size(cls)));
    if (search->want->className == Utf8(cls) && search->want->caption == ui::win32::WindowText(window)) {
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
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    static int serial = 0;
    for (;;) {
        path_ = Utf8(base) + "quillet-w32-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
        if (CreateDirectoryW(Wide(path_).c_str(), nullptr))
            break;
    }
}

std::string TempFolder::folder(const std::string& name) const {
    const std::string path = file(name);
    CreateDirectoryW(Wide(path).c_str(), nullptr);
    return path;
}

TempFolder::~TempFolder() {
    std::wstring from = Wide(path_);
    from += L'\0';
    from += L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
}

std::string ReadText(const std::string& path) {
    std::ifstream in(std::filesystem::path(Wide(path)), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string text;
    for (char c : bytes.str())
        if (c != '\r')
            text += c;
    return text;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(std::filesystem::path(Wide(path)), std::ios::binary) << text;
}

} // namespace quillet::test
