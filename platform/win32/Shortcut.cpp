// Shell links written through the shell's own link object.
#include "platform/Shortcut.h"

#include "platform/PathText.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <objbase.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <stdexcept>
#include <string_view>

namespace quillet::platform {
namespace {

const wchar_t ExplorerKey[] = L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer";

// Releases a COM interface on every way out.
template <class T> struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p)
            p->Release();
    }
};

// COM for this thread, for the duration of one call; a thread that already runs COM
// in another mode keeps it.
struct ComScope {
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~ComScope() {
        if (SUCCEEDED(hr))
            ::CoUninitialize();
    }
};

struct RegKey {
    HKEY h = nullptr;
    ~RegKey() {
        if (h)
            ::RegCloseKey(h);
    }
};

std::string ReadShellFolder(HKEY explorer, const wchar_t* value) {
    RegKey folders;
    if (!explorer || ::RegOpenKeyExW(explorer, L"Shell Folders", 0, KEY_READ, &folders.h) != ERROR_SUCCESS)
        return {};
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(folders.h, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(folders.h, value, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    text.resize(::wcsnlen(text.c_str(), text.size()));
    if (type == REG_EXPAND_SZ) {
        wchar_t expanded[MAX_PATH * 4];
        const DWORD n = ::ExpandEnvironmentStringsW(text.c_str(), expanded, MAX_PATH * 4);
        if (n > 0 && n <= MAX_PATH * 4)
            text = expanded;
    }
    return win32::Utf8(text);
}

std::string BaseNameOf(const std::string& path) {
    const auto sep = path.find_last_of("\\:/");
    std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}


std::string SystemMessage(HRESULT hr) {
    wchar_t* buf = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::string text = n && buf ? win32::Utf8(std::wstring_view(buf, n)) : std::string();
    if (buf)
        ::LocalFree(buf);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) {
        char code[32];
        std::snprintf(code, sizeof code, "Error 0x%08lX", static_cast<unsigned long>(hr));
        text = code;
    }
    return text + ".";
}

} // namespace

std::string DesktopFolder() {
    RegKey explorer;
    ::RegOpenKeyExW(HKEY_CURRENT_USER, ExplorerKey, 0, KEY_READ, &explorer.h);
    std::string folder = ReadShellFolder(explorer.h, L"Desktop");
    if (folder.empty()) {
        // Profiles without the old "Shell Folders" list still know their desktop.
        wchar_t* path = nullptr;
        if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path)))
            folder = win32::Utf8(path);
        ::CoTaskMemFree(path);
    }
    return WithoutTrailingSeparator(folder);
}

std::string detail::InvalidLinkNameReason(const std::string& name) {
    for (const char c : name) {
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return "The description \"" + name + "\" contains \"" + c +
                   "\", which a file name cannot hold (\\ / : * ? \" < > |).";
        if (static_cast<unsigned char>(c) < 32)
            return "The description contains a control character, which a file name cannot hold.";
    }
    return {};
}

bool detail::IsExistingFolder(const std::string& path) {
    const DWORD attr = ::GetFileAttributesW(win32::Wide(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

ShortcutResult CreateShortcut(const std::string& target, const std::string& linkName,
                              const std::string& arguments, bool onDesktop, bool inStartMenu) {
    ComScope com;
    ComPtr<IShellLinkW> link;
    const HRESULT created = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellLinkW, reinterpret_cast<void**>(&link.p));
    if (FAILED(created))
        throw std::runtime_error("The shell link object is not available. " + SystemMessage(created));
    ComPtr<IPersistFile> file;
    const HRESULT persist = link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p));
    if (FAILED(persist))
        throw std::runtime_error("The shell link object cannot be saved. " + SystemMessage(persist));

    link.p->SetArguments(win32::Wide(arguments).c_str());
    link.p->SetPath(win32::Wide(target).c_str());
    link.p->SetWorkingDirectory(win32::Wide(FolderOf(target)).c_str());

    std::string folder;
    if (onDesktop)
        folder = DesktopFolder();
    if (inStartMenu) {
        RegKey explorer;
        ::RegOpenKeyExW(HKEY_CURRENT_USER, ExplorerKey, 0, KEY_READ, &explorer.h);
        folder =
            WithoutTrailingSeparator(ReadShellFolder(explorer.h, L"Start Menu")) + "\\" + BaseNameOf(target);
        ::CreateDirectoryW(win32::Wide(folder).c_str(), nullptr); // an existing folder is fine
    }

    ShortcutResult result;
    result.linkPath = folder + "\\" + linkName + ".lnk";
    result.failure = detail::PlacementFailure(folder, linkName);
    if (!result.written())
        return result;
    const HRESULT saved = file.p->Save(win32::Wide(result.linkPath).c_str(), FALSE);
    if (FAILED(saved))
        result.failure = SystemMessage(saved);
    return result;
}

} // namespace quillet::platform
