// Where the programs keep the files they write: "Quillet.ini", "schedfile.dat",
// "error.log", "compact-history.csv", the compactor's state and the schedule's locks.
// A copy that lies in a folder of its own (a build tree, an unpacked folder, the
// per-user Windows setup) keeps them next to its programs. A copy installed for all
// users cannot: its programs' folder belongs to the system. This is the one place
// that tells the two apart.
#pragma once

#include <optional>
#include <string>

namespace quillet::platform {

// The per-user data folder for the program at `programPath` when that program is an
// installed copy, ending in the path separator and created if missing; nullopt when the
// program keeps its files next to itself.
// Linux: installed means the program, symbolic links resolved, lies in a folder
// ".../lib/quillet/" (where the Debian package puts the programs, /usr/lib/quillet,
// with links in /usr/bin); its data folder is $XDG_DATA_HOME/quillet/, by default
// ~/.local/share/quillet/. Windows: never (the setup installs per user, into a folder
// the user may write).
std::optional<std::string> InstalledDataFolder(const std::string& programPath);

// The folder in which programs lying in `programFolder` (ending in the separator) keep
// their files: the per-user data folder for an installed copy, else programFolder
// itself. A data folder maps to itself.
std::string DataFolderOf(const std::string& programFolder);

// This user's own data folder for Quillet, ending in the separator and created if
// missing, whichever copy runs: Linux $XDG_DATA_HOME/quillet/ (by default
// ~/.local/share/quillet/), Windows %LOCALAPPDATA%\Quillet\. Where a copy's own
// folder cannot be written, the user still finds its log here.
std::string UserDataFolder();

// The folder in which the running program keeps its files, ending in the separator:
// InstalledDataFolder(ExecutablePath()), else ExecutableFolder().
std::string DataFolder();

} // namespace quillet::platform
