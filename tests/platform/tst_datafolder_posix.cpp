// Which folder the programs write into: next to themselves, or the user's data folder
// when they are an installed copy.
#include "core/HistoryFile.h"
#include "platform/DataFolder.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;
using quillet::platform::InstalledDataFolder;
using quillet::test::ScopedEnv;
using quillet::test::TempDir;
using quillet::test::WriteBytes;

namespace {

std::string Program(const TempDir& dir, const std::string& relative) {
    const fs::path path = dir.path() / relative;
    fs::create_directories(path.parent_path());
    WriteBytes(path.string(), "");
    return path.string();
}

} // namespace

TEST(DataFolder, ACopyInAFolderOfItsOwnKeepsItsFilesNextToItself) {
    TempDir dir;
    for (const char* relative : {"build/default/bin/Quillet", "Quillet-1.0/Quillet", "quillet/Quillet", "lib/Quillet"}) {
        const std::string program = Program(dir, relative);
        EXPECT_EQ(InstalledDataFolder(program), std::nullopt) << relative;
        EXPECT_EQ(quillet::CompactorFileOf(program, "error.log"), (fs::path(program).parent_path() / "error.log").string());
    }
    EXPECT_EQ(InstalledDataFolder(""), std::nullopt);
}

TEST(DataFolder, AnInstalledCopyWritesIntoTheUsersDataFolder) {
    TempDir dir;
    const std::string program = Program(dir, "root/usr/lib/quillet/Quillet");
    const std::string data = (dir.path() / "data").string();
    ScopedEnv xdg("XDG_DATA_HOME", data.c_str());

    const auto folder = InstalledDataFolder(program);
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, data + "/quillet/");
    struct stat st {};
    ASSERT_EQ(::stat(folder->c_str(), &st), 0) << "the folder is made";
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(quillet::CompactorFileOf(program, "compact-history.csv"), data + "/quillet/compact-history.csv");

    // The programs' folder, and the data folder itself, as the settings and the schedule
    // are found from either.
    EXPECT_EQ(quillet::platform::DataFolderOf((dir.path() / "root/usr/lib/quillet/").string()), *folder);
    EXPECT_EQ(quillet::platform::DataFolderOf(*folder), *folder);
    EXPECT_EQ(quillet::platform::DataFolderOf(dir.path().string() + "/"), dir.path().string() + "/");

    // Through the link in bin/, as a user types the path.
    fs::create_directories(dir.path() / "root/usr/bin");
    fs::create_symlink("../lib/quillet/Quillet", dir.path() / "root/usr/bin/Quillet");
    EXPECT_EQ(InstalledDataFolder((dir.path() / "root/usr/bin/Quillet").string()), folder);
}

TEST(DataFolder, WithoutAnAbsoluteXdgDataHomeTheDefaultUnderHomeIsUsed) {
    TempDir dir;
    const std::string program = Program(dir, "usr/lib/quillet/QuilletSched");
    ScopedEnv home("HOME", dir.path().c_str());
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/data"}) {
        ScopedEnv env("XDG_DATA_HOME", xdg);
        EXPECT_EQ(InstalledDataFolder(program), dir.path().string() + "/.local/share/quillet/");
    }
}
