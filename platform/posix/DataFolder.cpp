#include "platform/DataFolder.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::platform {

namespace fs = std::filesystem;

namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

// $XDG_DATA_HOME, which must be an absolute path to count, else ~/.local/share.
std::string DataHome() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return data;
    return HomeFolder() + "/.local/share";
}

// Missing parents are made with the freedesktop rule's mode 0700: they hold this user's
// settings and logs.
void MakeFolders(const fs::path& folder) {
    fs::path partial;
    for (const auto& part : folder) {
        partial /= part;
        ::mkdir(partial.c_str(), 0700);
    }
}

// Symbolic links resolved where the path exists.
fs::path Resolved(const std::string& path) {
    std::error_code ec;
    fs::path resolved = fs::canonical(path, ec);
    return ec ? fs::path(path) : resolved;
}

std::optional<std::string> DataFolderOfInstalled(const fs::path& folder) {
    // <prefix>/lib/quillet: where the package puts the programs.
    if (folder.filename() != "quillet" || folder.parent_path().filename() != "lib")
        return std::nullopt;
    return UserDataFolder();
}

} // namespace

std::string UserDataFolder() {
    const fs::path data = fs::path(DataHome()) / "quillet";
    MakeFolders(data);
    return data.string() + "/";
}

std::optional<std::string> InstalledDataFolder(const std::string& programPath) {
    if (programPath.empty())
        return std::nullopt;
    return DataFolderOfInstalled(Resolved(programPath).parent_path());
}

std::string DataFolderOf(const std::string& programFolder) {
    if (programFolder.empty())
        return programFolder;
    return DataFolderOfInstalled(Resolved(programFolder)).value_or(programFolder);
}

} // namespace quillet::platform
