// A configuration file that holds a password: an access list of its own (the user,
// SYSTEM, Administrators), read back from the file, kept when the file is written again.
#include "core/CfgFile.h"
#include "platform/Files.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include <string>
#include <vector>

namespace {

std::string tempFile(const char* name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "quillet-acl-" + std::to_string(GetCurrentProcessId()) + name;
    DeleteFileA(path.c_str());
    return path;
}

struct Granted {
    bool isProtected = false;
    std::vector<std::string> sids; // allowed entries, as SID strings
};

std::string sidText(PSID sid) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text))
        return "?";
    std::string result = text;
    LocalFree(text);
    return result;
}

Granted readBack(const std::string& path) {
    Granted granted;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return granted;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    granted.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(dacl, i, &ace) && static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE)
            granted.sids.push_back(sidText(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart));
    }
    LocalFree(descriptor);
    return granted;
}

std::string userSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    return sidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// Plain wine keeps no access lists: it makes one up from the Unix mode bits when asked.
bool listsAreStored() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
}

const std::vector<std::string> expected() {
    return {userSid(), "S-1-5-18", "S-1-5-32-544"};
}

} // namespace

TEST(OwnerOnly, PasswordFileGetsItsOwnAccessListAndKeepsIt) {
    const std::string path = tempFile("a.cfg");
    quillet::CfgValues values;
    values.compactFiles = {"C:\\a.mdb"};
    values.login = "admin";
    values.password = "secret";
    quillet::WriteCfgFile(path, values);
    if (!listsAreStored()) {
        DeleteFileA(path.c_str());
        GTEST_SKIP() << "this system keeps no access lists of files (wine)";
    }
    Granted granted = readBack(path);
    EXPECT_TRUE(granted.isProtected);
    EXPECT_EQ(granted.sids, expected());

    // Saved again, now without a password: the list stays.
    values.password.clear();
    quillet::WriteCfgFile(path, values);
    ASSERT_TRUE(quillet::platform::WritePrivateProfileString("Defaults", "Description", "nightly", path));
    granted = readBack(path);
    EXPECT_TRUE(granted.isProtected);
    EXPECT_EQ(granted.sids, expected());
    EXPECT_EQ(quillet::platform::GetPrivateProfileString("Defaults", "Login", "", path), "admin");
    DeleteFileA(path.c_str());
}

TEST(OwnerOnly, FileWithoutPasswordKeepsItsFolderList) {
    const std::string path = tempFile("b.cfg");
    quillet::CfgValues values;
    values.compactFiles = {"C:\\a.mdb"};
    quillet::WriteCfgFile(path, values);
    if (listsAreStored()) {
        EXPECT_FALSE(readBack(path).isProtected);
    }
    DeleteFileA(path.c_str());
}
