#include "platform/DataFolder.h"

#include "platform/win32/WideText.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace quillet::platform {

// The setup installs into the user's own programs folder, which the user may write, so
// every copy keeps its files next to its programs.
std::optional<std::string> InstalledDataFolder(const std::string&) { return std::nullopt; }

std::string DataFolderOf(const std::string& programFolder) { return programFolder; }

std::string UserDataFolder() {
    wchar_t* local = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local)))
        folder = local;
    ::CoTaskMemFree(local);
    if (folder.empty())
        return {};
    folder += L"\\Quillet";
    ::CreateDirectoryW(folder.c_str(), nullptr); // an existing folder is fine
    return win32::Utf8(folder) + "\\";
}

} // namespace quillet::platform
