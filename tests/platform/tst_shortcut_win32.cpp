// Shell links written by the shell's link object, read back through the same object and,
// under wine, with liblnk's lnkinfo, which parses the file without Windows' help.
#include "platform/FsPath.h"
#include "platform/Shortcut.h"
#include "platform/win32/WideText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <objbase.h>
#include <shlobj.h>

using quillet::platform::CreateShortcut;
using quillet::platform::DesktopFolder;
using quillet::platform::FsPath;
using quillet::platform::Utf8Path;
using quillet::platform::win32::Utf8;
using quillet::platform::win32::Wide;
using quillet::test::ReadBytes;
using quillet::test::TempDir;
namespace fs = std::filesystem;

namespace {

const char TestRoot[] = "Software\\QuilletShortcutTest";

// The Unix path of a file, when running under wine; empty on Windows.
std::string UnixPath(const std::string& path) {
    using Fn = char*(CDECL*)(LPCWSTR);
    const auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn)
        return {};
    char* unix = fn(Wide(path).c_str());
    if (!unix)
        return {};
    std::string text(unix);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return text;
}

bool UnderWine() {
    return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Runs a Unix program from inside wine, its output going to a file we read back. Wine
// cannot wait for a Unix process, so the output appears under its name only when the
// program has ended.
std::string RunUnix(const std::string& shellCommand, const std::string& outFile) {
    const std::string out = UnixPath(outFile);
    std::string cmd =
        "/bin/sh -c \"" + shellCommand + " > '" + out + ".part' 2>&1; mv '" + out + ".part' '" + out + "'\"";
    std::wstring wide = Wide(cmd);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return "<could not start /bin/sh>";
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    for (int i = 0; i < 600 && !fs::exists(outFile); ++i)
        ::Sleep(50);
    return ReadBytes(outFile);
}

struct LinkFields {
    std::string path, arguments, workingFolder;
};

LinkFields ReadBack(const std::string& linkPath) {
    LinkFields f;
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return f;
    IPersistFile* file = nullptr;
    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (file && SUCCEEDED(file->Load(Wide(linkPath).c_str(), STGM_READ))) {
        wchar_t buf[MAX_PATH * 2] = {};
        link->GetPath(buf, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
        f.path = Utf8(buf);
        // Wine keeps the raw path in the code page only; the item list of an existing
        // target, which the shell follows, keeps every character.
        PIDLIST_ABSOLUTE item = nullptr;
        if (link->GetIDList(&item) == S_OK && item) {
            if (::SHGetPathFromIDListW(item, buf))
                f.path = Utf8(buf);
            ::CoTaskMemFree(item);
        }
        buf[0] = 0;
        link->GetArguments(buf, MAX_PATH * 2);
        f.arguments = Utf8(buf);
        buf[0] = 0;
        link->GetWorkingDirectory(buf, MAX_PATH * 2);
        f.workingFolder = Utf8(buf);
    }
    if (file)
        file->Release();
    link->Release();
    return f;
}

std::string LnkinfoField(const std::string& report, const std::string& name) {
    const auto at = report.find(name);
    if (at == std::string::npos)
        return "<missing>";
    const auto colon = report.find(": ", at);
    const auto end = report.find('\n', colon);
    return report.substr(colon + 2, end - colon - 2);
}

// HKEY_CURRENT_USER is redirected to a scratch key whose "Shell Folders" list names
// a desktop and a start menu inside the test's folder, so the user's own are never
// touched.
class ShellLinkFile : public ::testing::Test {
protected:
    void SetUp() override {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        fs::create_directories(desktop);
        fs::create_directories(startMenu);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, TestRoot, 0, nullptr, REG_OPTION_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &root, nullptr),
                  ERROR_SUCCESS);
        HKEY folders = nullptr;
        ASSERT_EQ(
            ::RegCreateKeyExA(root, "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                              0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &folders, nullptr),
            ERROR_SUCCESS);
        setValue(folders, L"Desktop", Utf8Path(desktop));
        setValue(folders, L"Start Menu", Utf8Path(startMenu));
        ::RegCloseKey(folders);
        ASSERT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, root), ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (root)
            ::RegCloseKey(root);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
        ::CoUninitialize();
    }
    static void setValue(HKEY key, const wchar_t* name, const std::string& value) {
        const std::wstring wide = Wide(value);
        ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                         static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }
    std::size_t filesIn(const fs::path& folder) {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder))
            ++n;
        return n;
    }

    TempDir dir;
    // Names beyond the ANSI code page: Greek, CJK, and a character outside the BMP.
    fs::path desktop = dir.path() / FsPath("Desk top \u03a9 \u684c\u9762 \U0001F600");
    fs::path startMenu = dir.path() / "Start Menu";
    HKEY root = nullptr;
};

} // namespace

TEST_F(ShellLinkFile, DesktopFolderComesFromShellFolders) {
    EXPECT_EQ(DesktopFolder(), Utf8Path(desktop));
}

TEST_F(ShellLinkFile, WritesTargetArgumentsAndWorkingFolder) {
    const auto r = CreateShortcut("C:\\Program Files\\Quillet\\Quillet.exe", "Nightly compaction",
                                  "\"C:\\My Configs\\nightly run.cfg\"", true, false);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(r.linkPath, Utf8Path(desktop) + "\\Nightly compaction.lnk");
    ASSERT_TRUE(fs::exists(FsPath(r.linkPath)));

    const LinkFields f = ReadBack(r.linkPath);
    EXPECT_EQ(f.path, "C:\\Program Files\\Quillet\\Quillet.exe");
    EXPECT_EQ(f.arguments, "\"C:\\My Configs\\nightly run.cfg\"");
    EXPECT_EQ(f.workingFolder, "C:\\Program Files\\Quillet\\");

    if (!UnderWine())
        return;
    const std::string report = RunUnix("lnkinfo '" + UnixPath(r.linkPath) + "'", dir.file("lnkinfo.txt"));
    ASSERT_NE(report.find("Windows Shortcut information"), std::string::npos)
        << "lnkinfo (Debian package liblnk-utils) could not read the link:\n"
        << report;
    EXPECT_EQ(LnkinfoField(report, "Local path"), "C:\\Program Files\\Quillet\\Quillet.exe") << report;
    EXPECT_EQ(LnkinfoField(report, "Working directory"), "C:\\Program Files\\Quillet\\") << report;
    EXPECT_EQ(LnkinfoField(report, "Command line arguments"), "\"C:\\My Configs\\nightly run.cfg\"")
        << report;
}

TEST_F(ShellLinkFile, NamesBeyondTheCodePageAreKeptExactly) {
    const std::string target =
        dir.file("\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u044b \u03a9 \u7a0b\u5e8f \U0001F600") + "\\Quillet.exe";
    fs::create_directories(FsPath(target).parent_path());
    quillet::test::WriteBytes(target, "program");
    const std::string arguments = "\"C:\\\u0394\u03b5\u03b4\u03bf\u03bc\u03ad\u03bd\u03b1 \U00020000\\nightly.cfg\"";
    const std::string name = "\u041d\u043e\u0447\u044c \u03a9 \u591c \U0001F600";
    const auto r = CreateShortcut(target, name, arguments, true, false);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(r.linkPath, Utf8Path(desktop) + "\\" + name + ".lnk");
    ASSERT_TRUE(fs::exists(FsPath(r.linkPath)));
    const LinkFields f = ReadBack(r.linkPath);
    EXPECT_EQ(f.path, target);
    EXPECT_EQ(f.arguments, arguments);
    EXPECT_EQ(f.workingFolder, target.substr(0, target.rfind('\\') + 1));
}

TEST_F(ShellLinkFile, UnquotedArgumentsAndNoArguments) {
    auto r = CreateShortcut("C:\\Q\\Quillet.exe", "plain", "C:\\cfg\\plain.cfg", true, false);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(ReadBack(r.linkPath).arguments, "C:\\cfg\\plain.cfg");
    r = CreateShortcut("C:\\Q\\Quillet.exe", "none", "", true, false);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(ReadBack(r.linkPath).arguments, "");
}

TEST_F(ShellLinkFile, SecondCreationReplacesTheFirst) {
    ASSERT_TRUE(CreateShortcut("C:\\Q\\Quillet.exe", "Same", "C:\\first.cfg", true, false).written());
    const auto r = CreateShortcut("C:\\Q\\Quillet.exe", "Same", "C:\\second.cfg", true, false);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(filesIn(desktop), 1u);
    EXPECT_EQ(ReadBack(r.linkPath).arguments, "C:\\second.cfg");
}

TEST_F(ShellLinkFile, EmptyDescriptionGivesTheBareExtension) {
    const auto r = CreateShortcut("C:\\Q\\Quillet.exe", "", "", true, false);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(r.linkPath, Utf8Path(desktop) + "\\.lnk");
    EXPECT_TRUE(fs::exists(desktop / ".lnk"));
}

TEST_F(ShellLinkFile, FailuresAreReportedAndWriteNothing) {
    for (const char* bad : {"a?b", "day/night", "x:y", "q\"uote", "back\\slash"}) {
        const auto r = CreateShortcut("C:\\Q\\Quillet.exe", bad, "", true, false);
        EXPECT_FALSE(r.written()) << bad;
        EXPECT_NE(r.failure.find("cannot hold"), std::string::npos) << r.failure;
    }
    EXPECT_EQ(filesIn(desktop), 0u);
    fs::remove(desktop);
    const auto r = CreateShortcut("C:\\Q\\Quillet.exe", "Nightly", "", true, false);
    EXPECT_FALSE(r.written());
    EXPECT_NE(r.failure.find(Utf8Path(desktop)), std::string::npos) << r.failure;
}

TEST_F(ShellLinkFile, StartMenuWinsAndGetsAFolderNamedAfterTheTarget) {
    const auto r = CreateShortcut("C:\\Q\\Quillet.exe", "Nightly", "", true, true);
    ASSERT_TRUE(r.written()) << r.failure;
    EXPECT_EQ(r.linkPath, Utf8Path(startMenu) + "\\Quillet\\Nightly.lnk");
    EXPECT_TRUE(fs::exists(FsPath(r.linkPath)));
    EXPECT_EQ(filesIn(desktop), 0u);
}
