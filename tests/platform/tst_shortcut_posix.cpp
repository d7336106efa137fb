// Desktop entries: where they go, how the Exec line is quoted, and that a desktop
// launcher really starts the program with the intended arguments.
#include "platform/Shortcut.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using quillet::platform::CreateShortcut;
using quillet::platform::DesktopFolder;
using quillet::test::ReadBytes;
using quillet::test::ScopedEnv;
using quillet::test::TempDir;
using quillet::test::WriteBytes;
namespace fs = std::filesystem;

namespace {

// A home of our own with a desktop folder listed under another name, as a localised
// system has it; no user session, so nothing outside the folder is touched.
class DesktopEntry : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(home.path() / ".config");
        WriteBytes(home.file(".config/user-dirs.dirs"),
                   "# written by a test\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                   "XDG_MUSIC_DIR=\"$HOME/Musik\"\n");
        fs::create_directories(desktop);
    }
    std::string entryLine(const std::string& path, const std::string& key) {
        const std::string text = ReadBytes(path);
        const std::string prefix = "\n" + key + "=";
        const auto at = text.find(prefix);
        if (at == std::string::npos)
            return "<missing>";
        const auto start = at + prefix.size();
        return text.substr(start, text.find('\n', start) - start);
    }
    std::size_t filesIn(const fs::path& folder) {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder))
            ++n;
        return n;
    }

    TempDir home;
    fs::path desktop = home.path() / "Schreibtisch";
    ScopedEnv homeEnv{"HOME", home.path().c_str()};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", nullptr};
    ScopedEnv dataEnv{"XDG_DATA_HOME", nullptr};
    ScopedEnv busEnv{"DBUS_SESSION_BUS_ADDRESS", nullptr};
};

} // namespace

TEST_F(DesktopEntry, GoesToTheListedDesktopFolderOrHomeDesktop) {
    EXPECT_EQ(DesktopFolder(), desktop.string());
    WriteBytes(home.file(".config/user-dirs.dirs"), "XDG_MUSIC_DIR=\"$HOME/Musik\"\n");
    // xdg-user-dir answers the home folder itself for an unlisted desktop; without it
    // we fall back to ~/Desktop.
    const std::string folder = DesktopFolder();
    EXPECT_TRUE(folder == home.path().string() || folder == (home.path() / "Desktop").string()) << folder;
}

TEST_F(DesktopEntry, WritesAnExecutableEntryWithQuotedArguments) {
    const auto r =
        CreateShortcut("/opt/quillet/Quillet", "Nightly compaction", "\"/home/u/my cfg/a.cfg\"", true, false);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(r.linkPath, (desktop / "Nightly compaction.desktop").string());
    EXPECT_EQ(ReadBytes(r.linkPath).rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(entryLine(r.linkPath, "Type"), "Application");
    EXPECT_EQ(entryLine(r.linkPath, "Name"), "Nightly compaction");
    EXPECT_EQ(entryLine(r.linkPath, "Exec"), "/opt/quillet/Quillet \"/home/u/my cfg/a.cfg\"");
    EXPECT_EQ(entryLine(r.linkPath, "Path"), "/opt/quillet/");
    EXPECT_EQ(entryLine(r.linkPath, "Icon"), "quillet"); // the installed icon
    struct stat st {};
    ASSERT_EQ(::stat(r.linkPath.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    EXPECT_EQ(filesIn(desktop), 1u); // no temporary file left behind
}

TEST_F(DesktopEntry, ExecQuotingFollowsTheDesktopEntryRules) {
    struct Case {
        std::string target, arguments, exec;
    } cases[] = {
        {"/a/Quillet", "/cfg/plain.cfg", "/a/Quillet /cfg/plain.cfg"},
        {"/a/Quillet", "", "/a/Quillet"},
        {"/my apps/Quillet", "x", "\"/my apps/Quillet\" x"},
        // Inside quotes " ` $ \ take a backslash, and the value's own escaping doubles
        // every backslash again; % is doubled everywhere.
        {"/a/Quillet", "\"/c/$HOME `x` 100%.cfg\"", "/a/Quillet \"/c/\\\\$HOME \\\\`x\\\\` 100%%.cfg\""},
        {"/a/Quillet", "/c/back\\slash.cfg", "/a/Quillet \"/c/back\\\\\\\\slash.cfg\""},
        {"/a/Quillet", "\"say \\\"hi\\\".cfg\"", "/a/Quillet \"say \\\\\"hi\\\\\".cfg\""},
        {"/a/Quillet", "/c/it's;a&b|c.cfg", "/a/Quillet \"/c/it's;a&b|c.cfg\""},
    };
    for (const auto& c : cases) {
        const auto r = CreateShortcut(c.target, "q", c.arguments, true, false);
        ASSERT_TRUE(r.written()) << r.failure;
        EXPECT_EQ(entryLine(r.linkPath, "Exec"), c.exec) << c.arguments;
    }
}

TEST_F(DesktopEntry, SecondCreationReplacesTheFirst) {
    ASSERT_TRUE(CreateShortcut("/a/Quillet", "Same", "/first.cfg", true, false).written());
    const auto r = CreateShortcut("/a/Quillet", "Same", "/second.cfg", true, false);
    ASSERT_TRUE(r.written());
    EXPECT_EQ(filesIn(desktop), 1u);
    EXPECT_EQ(entryLine(r.linkPath, "Exec"), "/a/Quillet /second.cfg");
}

TEST_F(DesktopEntry, EmptyDescriptionGivesTheBareExtension) {
    const auto r = CreateShortcut("/a/Quillet", "", "", true, false);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(r.linkPath, (desktop / ".desktop").string());
    EXPECT_TRUE(fs::exists(desktop / ".desktop"));
    EXPECT_EQ(entryLine(r.linkPath, "Name"), "Quillet"); // an entry must have a name
}

TEST_F(DesktopEntry, FailuresAreReportedAndWriteNothing) {
    auto r = CreateShortcut("/a/Quillet", "daily/weekly", "", true, false);
    EXPECT_FALSE(r.written());
    EXPECT_NE(r.failure.find("\"/\""), std::string::npos) << r.failure;
    r = CreateShortcut("/a/Quillet", "two\nlines", "", true, false);
    EXPECT_FALSE(r.written());
    r = CreateShortcut("/a/Quillet", std::string(300, 'x'), "", true, false);
    EXPECT_FALSE(r.written());
    EXPECT_EQ(filesIn(desktop), 0u);

    if (::geteuid() != 0) { // root writes anywhere
        fs::permissions(desktop, fs::perms::owner_read | fs::perms::owner_exec);
        r = CreateShortcut("/a/Quillet", "Nightly", "", true, false);
        EXPECT_FALSE(r.written());
        EXPECT_FALSE(r.failure.empty());
        // A desktop folder that cannot be made is named in the failure.
        fs::remove(desktop);
        fs::permissions(home.path(), fs::perms::owner_read | fs::perms::owner_exec);
        r = CreateShortcut("/a/Quillet", "Nightly", "", true, false);
        fs::permissions(home.path(), fs::perms::owner_all);
        EXPECT_FALSE(r.written());
        EXPECT_NE(r.failure.find(desktop.string()), std::string::npos) << r.failure;
    }
}

TEST_F(DesktopEntry, MissingDesktopFolderIsMadeAndAnIconBesideTheProgramIsUsed) {
    fs::remove(desktop);
    fs::create_directories(home.path() / "app");
    WriteBytes(home.file("app/quillet.svg"), "<svg/>");
    const auto r = CreateShortcut(home.file("app/Quillet"), "Nightly", "/n.cfg", true, false);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(r.linkPath, (desktop / "Nightly.desktop").string());
    EXPECT_EQ(entryLine(r.linkPath, "Icon"), home.file("app/quillet.svg"));
}

TEST_F(DesktopEntry, StartMenuEntryGoesToItsOwnApplicationsFolder) {
    const auto r = CreateShortcut("/a/Quillet", "Nightly", "/n.cfg", true, true);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(r.linkPath, (home.path() / ".local/share/applications/Quillet/Nightly.desktop").string());
    EXPECT_EQ(filesIn(desktop), 0u);
}

// The strongest check of the quoting: GLib's launcher reads the entry and starts the
// program; the arguments must arrive exactly as the Windows command line meant them.
TEST_F(DesktopEntry, DesktopLauncherStartsTheProgramWithTheConfigurationPath) {
    if (std::system("command -v gio >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "gio (libglib2.0-bin) is not installed";
    const fs::path echo = ARGV_ECHO;
    ASSERT_TRUE(fs::exists(echo)) << echo;
    const std::string tricky = home.file("cfg dir/it's $HOME `1` 100% \"q\" back\\slash.cfg");
    std::string quoted = "\"";
    for (const char c : tricky)
        quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    quoted += "\"";
    const auto r = CreateShortcut(echo.string(), "launch me", quoted, true, false);
    ASSERT_TRUE(r.written()) << r.failure;

    const std::string out = home.file("argv.txt");
    const std::string cmd = "gio launch '" + r.linkPath + "' >/dev/null 2>&1";
    {
        const ScopedEnv echoOut("QUILLET_ECHO_OUT", out.c_str());
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    // The launcher does not wait for the program.
    for (int i = 0; i < 100 && (ReadBytes(out).empty() || ReadBytes(out).back() != '\n'); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ReadBytes(out), std::to_string(tricky.size()) + ":" + tricky + "\n");
}

// The freedesktop validator reads entries as every desktop does; whatever the name
// and arguments hold, the entry must pass it.
TEST_F(DesktopEntry, EntriesPassTheDesktopFileValidator) {
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    const std::pair<const char*, const char*> cases[] = {
        {"Nightly run", "\"/srv/my cfgs/night run.cfg\""},
        {"plain", "/srv/cfg/plain.cfg"},
        {"odd = [name] ; # é", "\"/srv/a $b `c` 100% 'd' \\\\e.cfg\""},
        {"no arguments", ""},
    };
    for (const auto& [name, arguments] : cases) {
        const auto r = CreateShortcut("/opt/quillet/Quillet", name, arguments, true, false);
        ASSERT_TRUE(r.written()) << r.failure;
        const std::string cmd = "desktop-file-validate '" + r.linkPath + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << name << "\n" << ReadBytes(r.linkPath);
    }
}
