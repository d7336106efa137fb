// Desktop entries as the freedesktop Desktop Entry rules define them.
#include "platform/Shortcut.h"

#include "platform/Files.h"
#include "platform/PathText.h"
#include "platform/Process.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillet::platform {
namespace {

std::string EnvText(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string BaseNameOf(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Runs argv with a time limit, its standard output in `out`; false when it could not
// be started, failed, or took too long (it is killed then).
bool Capture(const std::vector<std::string>& argv, std::string& out, int limitMs) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }
    out.clear();
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    bool timedOut = false;
    for (;;) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long elapsed = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (elapsed >= limitMs) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(limitMs - elapsed));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Reserved characters of the Desktop Entry Exec key: an argument holding one of them
// must be quoted. "=" is added because the program token may not carry it unquoted.
bool NeedsExecQuotes(const std::string& arg) {
    if (arg.empty())
        return true;
    for (const char c : arg)
        if (std::strchr(" \t\n\"'\\><~|&;$*?#()`=", c) != nullptr)
            return true;
    return false;
}

std::string ExecArgument(const std::string& arg) {
    std::string out;
    const bool quoted = NeedsExecQuotes(arg);
    if (quoted)
        out += '"';
    for (const char c : arg) {
        if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        if (c == '%')
            out += '%'; // a literal percent sign, not a field code
        out += c;
    }
    if (quoted)
        out += '"';
    return out;
}

// The escapes of a string value, applied after the quoting of the Exec rules.
std::string EscapeValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    if (!out.empty() && out.front() == ' ')
        out.replace(0, 1, "\\s");
    return out;
}

// The icon file beside a program that is not installed (a build tree, an unpacked
// folder); an installed one has its icon in the icon theme, under the package's name.
std::string IconOf(const std::string& target) {
    const std::string beside = FolderOf(target) + "quillet.svg";
    struct stat st {};
    if (!FolderOf(target).empty() && ::stat(beside.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return beside;
    return "quillet";
}

std::string EntryText(const std::string& target, const std::string& name, const std::string& arguments) {
    std::string exec = ExecArgument(target);
    for (const auto& arg : SplitArguments(arguments))
        exec += ' ' + ExecArgument(arg);
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Version=1.0\n";
    // The entry needs a name even when the description is empty.
    text += "Name=" + EscapeValue(name.empty() ? BaseNameOf(target) : name) + "\n";
    text += "Exec=" + EscapeValue(exec) + "\n";
    text += "Icon=" + EscapeValue(IconOf(target)) + "\n";
    const std::string folder = FolderOf(target);
    if (!folder.empty())
        text += "Path=" + EscapeValue(folder) + "\n";
    text += "Terminal=false\n";
    return text;
}

std::string ApplicationsFolder() {
    std::string data = EnvText("XDG_DATA_HOME");
    if (data.empty() || data.front() != '/')
        data = EnvText("HOME") + "/.local/share";
    return WithoutTrailingSlash(data) + "/applications";
}


// Written to a temporary name and renamed over the link: a reader sees the old entry
// or the new one, never half of one, and there is always only one file. Desktops only
// launch entries that carry the execute permission.
std::string WriteExecutable(const std::string& path, const std::string& bytes) {
    errno = 0;
    return ReplaceFileContent(path, bytes, 0755) ? std::string() : std::strerror(errno ? errno : EIO);
}

// GNOME's desktop also wants the entry marked trusted before it launches it. That
// needs the user's session (its metadata service); without one there is nothing to do.
void MarkTrusted(const std::string& path) {
    if (EnvText("DBUS_SESSION_BUS_ADDRESS").empty())
        return;
    std::string out;
    Capture({"gio", "set", "-t", "string", path, "metadata::trusted", "true"}, out, 5000);
}

void MakeFolders(const std::string& path) {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        ::mkdir(path.substr(0, at).c_str(), 0755);
    ::mkdir(path.c_str(), 0755);
}

// The desktop line of the user's folder list, for systems without xdg-user-dir.
std::string DesktopFromUserDirs(const std::string& home) {
    std::string config = EnvText("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/')
        config = home + "/.config";
    FILE* f = std::fopen((config + "/user-dirs.dirs").c_str(), "r");
    if (!f)
        return {};
    std::string found;
    char line[4096];
    while (std::fgets(line, sizeof line, f)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        const std::string key = "XDG_DESKTOP_DIR=\"";
        if (text.rfind(key, 0) != 0 || text.size() < key.size() + 1 || text.back() != '"')
            continue;
        std::string value = text.substr(key.size(), text.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        if (!value.empty() && value.front() == '/')
            found = value;
    }
    std::fclose(f);
    return found;
}

} // namespace

std::string DesktopFolder() {
    std::string out;
    if (Capture({"xdg-user-dir", "DESKTOP"}, out, 5000)) {
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
            out.pop_back();
        if (!out.empty() && out.front() == '/')
            return WithoutTrailingSlash(out);
    }
    const std::string home = WithoutTrailingSlash(EnvText("HOME"));
    if (home.empty())
        return {};
    if (const std::string listed = DesktopFromUserDirs(home); !listed.empty())
        return WithoutTrailingSlash(listed);
    return home + "/Desktop";
}

std::string detail::InvalidLinkNameReason(const std::string& name) {
    for (const char c : name) {
        if (c == '/')
            return "The description \"" + name + "\" contains \"/\", which a file name cannot hold.";
        if (static_cast<unsigned char>(c) < 32)
            return "The description contains a control character, which a file name should not hold.";
    }
    if (name.size() + std::strlen(".desktop") > NAME_MAX)
        return "The description is too long for a file name.";
    return {};
}

bool detail::IsExistingFolder(const std::string& path) { return IsFolder(path); }

ShortcutResult CreateShortcut(const std::string& target, const std::string& linkName,
                              const std::string& arguments, bool onDesktop, bool inStartMenu) {
    ShortcutResult result;
    std::string folder;
    if (onDesktop) {
        folder = DesktopFolder();
        // A new account may have no desktop folder yet; the desktop shows it once made.
        if (!folder.empty() && !IsFolder(folder))
            MakeFolders(folder);
    }
    if (inStartMenu) {
        folder = ApplicationsFolder() + "/" + BaseNameOf(target);
        MakeFolders(folder); // failures show up below as a missing folder
    }
    result.linkPath = folder + "/" + linkName + ".desktop";
    result.failure = detail::PlacementFailure(folder, linkName);
    if (!result.written())
        return result;
    if (const std::string err = WriteExecutable(result.linkPath, EntryText(target, linkName, arguments));
        !err.empty()) {
        result.failure = err + ".";
        return result;
    }
    MarkTrusted(result.linkPath);
    return result;
}

} // namespace quillet::platform
