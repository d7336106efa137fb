// The Access path default: Office 97's installation folder, else the App Paths entry.
#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <windows.h>

using quillet::platform::DefaultAccessPath;

namespace {

const char* const InstallRoot = "SOFTWARE\\Microsoft\\Office\\8.0\\Common\\InstallRoot";

// Office 97 is a 32-bit program: its installer wrote the key into the registry's
// 32-bit view. nullptr removes the value. False when the key cannot be written here.
bool SetOfficeBin(const char* folder) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, InstallRoot, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = ERROR_SUCCESS;
    if (folder)
        result = RegSetValueExA(key, "OfficeBin", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                                static_cast<DWORD>(strlen(folder) + 1));
    else if (RegDeleteValueA(key, "OfficeBin") == ERROR_FILE_NOT_FOUND)
        result = ERROR_SUCCESS;
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// Where current Office versions register their program: App Paths, in the 64-bit view
// for a 64-bit Office. nullptr removes the key.
bool SetAppPath(const char* program) {
    const char* const appPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MSACCESS.EXE";
    if (!program)
        return RegDeleteKeyExA(HKEY_LOCAL_MACHINE, appPath, KEY_WOW64_64KEY, 0) == ERROR_SUCCESS;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, appPath, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(program),
                                       static_cast<DWORD>(strlen(program) + 1));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace

TEST(Registry, AccessPathFollowsOfficeBin) {
    if (!SetOfficeBin(nullptr))
        GTEST_SKIP() << "the machine's registry cannot be written here";
    EXPECT_EQ(DefaultAccessPath("C:\\Quillet\\"), "\\Msaccess.exe");

    ASSERT_TRUE(SetOfficeBin("C:\\Program Files\\Microsoft Office\\Office"));
    EXPECT_EQ(DefaultAccessPath("C:\\Quillet\\"),
              "C:\\Program Files\\Microsoft Office\\Office\\Msaccess.exe");

    ASSERT_TRUE(SetOfficeBin(""));
    EXPECT_EQ(DefaultAccessPath("C:\\Quillet\\"), "\\Msaccess.exe");
    ASSERT_TRUE(SetOfficeBin(nullptr));
}

TEST(Registry, AccessPathFromAppPathsWhenOfficeBinIsMissing) {
    if (!SetOfficeBin(nullptr) || !SetAppPath("C:\\Program Files\\Microsoft Office\\root\\Office16\\MSACCESS.EXE"))
        GTEST_SKIP() << "the machine's registry cannot be written here";
    EXPECT_EQ(DefaultAccessPath("C:\\Quillet\\"), "C:\\Program Files\\Microsoft Office\\root\\Office16\\MSACCESS.EXE");
    // Office 97's value comes first where it is set.
    ASSERT_TRUE(SetOfficeBin("C:\\Office"));
    EXPECT_EQ(DefaultAccessPath("C:\\Quillet\\"), "C:\\Office\\Msaccess.exe");
    ASSERT_TRUE(SetOfficeBin(nullptr));
    SetAppPath(nullptr);
    EXPECT_EQ(DefaultAccessPath("C:\\Quillet\\"), "\\Msaccess.exe");
}
