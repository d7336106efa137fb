// Shell links written through the shell's own link object.
#include "platform/Shortcut.h"

#include <windows.h>

#include <cstring>
#include <objbase.h>
#include <shlobj.h>
#include <stdexcept>
#include <string_view>

namespace quillet::platform {
namespace {

const char ExplorerKey[] = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer";

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

std::string ReadShellFolder(HKEY explorer, const char* value) {
    RegKey folders;
    if (!explorer || ::RegOpenKeyExA(explorer, "Shell Folders", 0, KEY_READ, &folders.h) != ERROR_SUCCESS)
        return {};
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(folders.h, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::string text(size + 1, '\0');
    if (::RegQueryValueExA(folders.h, value, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    text.resize(::strnlen(text.c_str(), text.size()));
    if (type == REG_EXPAND_SZ) {
        char expanded[MAX_PATH * 4];
        const DWORD n = ::ExpandEnvironmentStringsA(text.c_str(), expanded, sizeof expanded);
        if (n > 0 && n <= sizeof expanded)
            text = expanded;
    }
    return text;
}

std::string FolderOf(const std::string& path) {
    const auto sep = path.find_last_of("\\:");
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
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
    char* buf = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(hr), 0, reinterpret_cast<char*>(&buf), 0, nullptr);
    std::string text = n && buf ? std::string(buf, n) : std::string();
    if (buf)
        ::LocalFree(buf);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) {
        char code[32];
        wsprintfA(code, "Error 0x%08lX", static_cast<unsigned long>(hr));
        text = code;
    }
    return text + ".";
}

std::wstring Wide(const std::string& text) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(wide.size() - 1);
    return wide;
}

} // namespace

std::string DesktopFolder() {
    RegKey explorer;
    ::RegOpenKeyExA(HKEY_CURRENT_USER, ExplorerKey, 0, KEY_READ, &explorer.h);
    std::string folder = ReadShellFolder(explorer.h, "Desktop");
    if (folder.empty()) {
        // Profiles without the old "Shell Folders" list still know their desktop.
        char path[MAX_PATH] = {};
        if (SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path)))
            folder = path;
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
    const DWORD attr = ::GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

ShortcutResult CreateShortcut(const std::string& target, const std::string& linkName,
                              const std::string& arguments, bool onDesktop, bool inStartMenu) {
    ComScope com;
    ComPtr<IShellLinkA> link;
    const HRESULT created = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellLinkA, reinterpret_cast<void**>(&link.p));
    if (FAILED(created))
        throw std::runtime_error("The shell link object is not available. " + SystemMessage(created));
    ComPtr<IPersistFile> file;
    const HRESULT persist = link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p));
    if (FAILED(persist))
        throw std::runtime_error("The shell link object cannot be saved. " + SystemMessage(persist));

    link.p->SetArguments(arguments.c_str());
    link.p->SetPath(target.c_str());
    link.p->SetWorkingDirectory(FolderOf(target).c_str());

    std::string folder;
    if (onDesktop)
        folder = DesktopFolder();
    if (inStartMenu) {
        RegKey explorer;
        ::RegOpenKeyExA(HKEY_CURRENT_USER, ExplorerKey, 0, KEY_READ, &explorer.h);
        folder =
            WithoutTrailingSeparator(ReadShellFolder(explorer.h, "Start Menu")) + "\\" + BaseNameOf(target);
        ::CreateDirectoryA(folder.c_str(), nullptr); // an existing folder is fine
    }

    ShortcutResult result;
    result.linkPath = folder + "\\" + linkName + ".lnk";
    result.failure = detail::PlacementFailure(folder, linkName);
    if (!result.written())
        return result;
    const HRESULT saved = file.p->Save(Wide(result.linkPath).c_str(), FALSE);
    if (FAILED(saved))
        result.failure = SystemMessage(saved);
    return result;
}

} // namespace quillet::platform
