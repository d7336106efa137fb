// Byte-for-byte layout of profile writes. Linux only: wine's writer regenerates the
// whole file, so it is no oracle for layout.
#include "platform/Profile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using quillet::platform::GetPrivateProfileString;
using quillet::platform::WritePrivateProfileString;
using quillet::test::ReadBytes;
using quillet::test::TempDir;
using quillet::test::WriteBytes;

TEST(ProfileLayout, NewFileAndNewSection) {
    TempDir dir;
    const auto path = dir.file("n.ini");
    ASSERT_TRUE(WritePrivateProfileString(" App ", " key ", " value ", path));
    EXPECT_EQ(ReadBytes(path), "[App]\r\nkey= value \r\n");
    ASSERT_TRUE(WritePrivateProfileString("App2", "k2", "v2", path));
    EXPECT_EQ(ReadBytes(path), "[App]\r\nkey= value \r\n[App2]\r\nk2=v2\r\n");
    // A file without a final line end gets one before the new section.
    WriteBytes(path, "[a]\nx=1");
    ASSERT_TRUE(WritePrivateProfileString("b", "y", "2", path));
    EXPECT_EQ(ReadBytes(path), "[a]\nx=1\r\n[b]\r\ny=2\r\n");
}

TEST(ProfileLayout, NewKeyGoesAfterTheLastKeyOfItsSection) {
    TempDir dir;
    const auto path = dir.file("k.ini");
    WriteBytes(path, ";comment0\r\n[s]\r\n;comment1\r\nb=\r\n;comment2\r\na=\r\n\r\n[t]\r\nq=1\r\n");
    for (const char* key : {"z", "y"})
        ASSERT_TRUE(WritePrivateProfileString("s", key, "", path));
    EXPECT_EQ(ReadBytes(path), ";comment0\r\n[s]\r\n;comment1\r\nb=\r\n;comment2\r\na=\r\nz=\r\ny=\r\n\r\n[t]\r\nq=1\r\n");
    // An empty section takes the key right after its header.
    WriteBytes(path, "[e]\r\n\r\n[f]\r\n");
    ASSERT_TRUE(WritePrivateProfileString("e", "k", "v", path));
    EXPECT_EQ(ReadBytes(path), "[e]\r\nk=v\r\n\r\n[f]\r\n");
    // ... also when the header is the last line, without a line end.
    WriteBytes(path, "[e]");
    ASSERT_TRUE(WritePrivateProfileString("e", "k", "v", path));
    EXPECT_EQ(ReadBytes(path), "[e]\r\nk=v\r\n");
}

TEST(ProfileLayout, CommentKeysAreInsertedAnewOnEveryWrite) {
    TempDir dir;
    const auto path = dir.file("c.ini");
    WriteBytes(path, ";comment0\r\n[s]\r\n;comment1\r\nb=\r\n;comment2\r\na=\r\n");
    for (const char* key : {"z", ";x", "y", "a", "b"})
        ASSERT_TRUE(WritePrivateProfileString("s", key, "", path));
    EXPECT_EQ(ReadBytes(path),
              ";comment0\r\n[s]\r\n;comment1\r\nb=\r\n;comment2\r\na=\r\nz=\r\ny=\r\n;x=\r\n");
    // A comment never matches, so each write adds a line after the last real key.
    WriteBytes(path, "[s]\r\nz=\r\na=\r\n");
    for (const char* key : {";y", ";b", ";c"})
        ASSERT_TRUE(WritePrivateProfileString("s", key, "", path));
    EXPECT_EQ(ReadBytes(path), "[s]\r\nz=\r\na=\r\n;c=\r\n;b=\r\n;y=\r\n");
}

TEST(ProfileLayout, NamesAreWrittenVerbatimButForSpaces) {
    TempDir dir;
    const auto path = dir.file("v.ini");
    ASSERT_TRUE(WritePrivateProfileString("", "k", "v", path));
    ASSERT_TRUE(WritePrivateProfileString("\tt\t", "\tk\t", "v", path));
    ASSERT_TRUE(WritePrivateProfileString("q", "a;b\"c'", "1", path));
    ASSERT_TRUE(WritePrivateProfileString("q", "x=y", "2", path));
    EXPECT_EQ(ReadBytes(path), "[]\r\nk=v\r\n[\tt\t]\r\n\tk\t=v\r\n[q]\r\na;b\"c'=1\r\nx=y=2\r\n");
    // "[]" is a real section named "", unlike the lines before any header.
    EXPECT_EQ(GetPrivateProfileString("", "k", "dflt", path), "v");
    EXPECT_EQ(GetPrivateProfileString("q", "a;b\"c'", "dflt", path), "1");
    EXPECT_EQ(GetPrivateProfileString("q", "x", "dflt", path), "y=2");
}

namespace {
std::string Utf16Bytes(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t u : text)
        bytes += std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    return bytes;
}
} // namespace

TEST(ProfileLayout, Utf16FileKeepsItsEncodingAndUntouchedLines) {
    TempDir dir;
    const auto path = dir.file("u.ini");
    // A comment with a lone surrogate, which no conversion may repair or drop.
    const std::u16string head =
        u"[s]\r\n;Caf\u00e9 \U0001F600 " + std::u16string(1, char16_t(0xD800)) + u"\r\n";
    WriteBytes(path, Utf16Bytes(head + u"k=\u00e9t\u00e9\r\n"));
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", path), "\xC3\xA9t\xC3\xA9");
    ASSERT_TRUE(WritePrivateProfileString("s", "k", "\xE2\x82\xAC \xF0\x9F\x98\x80", path));
    ASSERT_TRUE(WritePrivateProfileString("s", "n", "raw\xFF", path));
    EXPECT_EQ(ReadBytes(path), Utf16Bytes(head + u"k=\u20ac \U0001F600\r\nn=raw\u00ff\r\n"));
}

TEST(ProfileLayout, ReplacementKeepsEverythingElse) {
    TempDir dir;
    const auto path = dir.file("r.ini");
    const std::string head = std::string(1, '\0') + "junk\r\n\r\n; note\r\n[Defaults]\r\n";
    WriteBytes(path, head + "  KEY = old  \n\n[x]\r\nKEY=other");
    ASSERT_TRUE(WritePrivateProfileString("defaults", "key", "new", path));
    EXPECT_EQ(ReadBytes(path), head + "KEY=new\n\n[x]\r\nKEY=other");
    ASSERT_TRUE(WritePrivateProfileString("x", "key", "last", path));
    EXPECT_EQ(ReadBytes(path), head + "KEY=new\n\n[x]\r\nKEY=last\r\n");
}

TEST(ProfileLayout, ReadOnlyFilesAndFoldersAreNotWritten) {
    TempDir dir;
    const auto path = dir.file("ro.ini");
    WriteBytes(path, "[s]\r\nk=v\r\n");
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "changed", path));
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\n");
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", dir.path().string()));
}

TEST(ProfileLayout, WhatThisUserMayNotWriteIsNotWritten) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a file that another user may not write";
    TempDir dir;
    const auto path = dir.file("theirs.ini");
    WriteBytes(path, "[s]\r\nk=v\r\n");
    ::chmod(path.c_str(), 0644);
    ::chmod(dir.path().c_str(), 0777); // the folder would allow the rename
    const auto locked = dir.file("locked");
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0755);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        if (WritePrivateProfileString("s", "k", "changed", path))
            ::_exit(1);
        // Nor is a file created in a folder this user may not write.
        ::_exit(WritePrivateProfileString("s", "k", "v", locked + "/new.ini") ? 3 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\n");
    EXPECT_FALSE(std::filesystem::exists(locked + "/new.ini"));
}

TEST(ProfileLayout, PipesAndDevicesReadAsMissingAndAreNotReplaced) {
    TempDir dir;
    const auto pipe = dir.file("pipe.ini");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    // Neither may hang: a pipe without a writer, a device without an end.
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", pipe), "dflt");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", "/dev/zero"), "dflt");
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", pipe));
    struct stat st {};
    ASSERT_EQ(::stat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(ProfileLayout, ReplacingKeepsPermissionsAndLinks) {
    TempDir dir;
    const auto target = dir.file("target.ini");
    const auto link = dir.file("link.ini");
    WriteBytes(target, "[s]\r\nk=v\r\n");
    ::chmod(target.c_str(), 0640);
    ASSERT_EQ(::symlink("target.ini", link.c_str()), 0);
    ASSERT_TRUE(WritePrivateProfileString("s", "k", "w", link));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadBytes(target), "[s]\r\nk=w\r\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);

    // Links that lead round in a circle are refused, not followed for ever.
    const auto loopA = dir.file("loop-a.ini");
    const auto loopB = dir.file("loop-b.ini");
    ASSERT_EQ(::symlink("loop-b.ini", loopA.c_str()), 0);
    ASSERT_EQ(::symlink("loop-a.ini", loopB.c_str()), 0);
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", loopA));
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", loopA), "dflt");
    ASSERT_EQ(::lstat(loopA.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(ProfileLayout, WindowsRulesWineDoesNotShare) {
    TempDir dir;
    const auto path = dir.file("w.ini");
    // Windows ends a section name at the first "]" and needs no closing bracket.
    WriteBytes(path, "[a]b]\r\nk=1\r\n[open   \r\nk=2\r\n[sec]key=v\r\n");
    EXPECT_EQ(GetPrivateProfileString("a", "k", "", path), "1");
    EXPECT_EQ(GetPrivateProfileString("open", "k", "", path), "2");
    EXPECT_EQ(GetPrivateProfileString("sec", "key", "none", path), "none");
    // Parameters lose spaces only: a tab keeps a name from matching.
    WriteBytes(path, "k=before any section\r\n[s]\r\nk=v\r\n;c=hidden\r\n");
    EXPECT_EQ(GetPrivateProfileString("\ts", "k", "dflt", path), "dflt");
    EXPECT_EQ(GetPrivateProfileString("s", "k\t", "dflt", path), "dflt");
    // A comment never matches, not even when asked for by its own name.
    EXPECT_EQ(GetPrivateProfileString("s", ";c", "dflt", path), "dflt");
    // Lines before the first header belong to no section, not even "".
    EXPECT_EQ(GetPrivateProfileString("", "k", "dflt", path), "dflt");
    // "[]" names the section "" (wine does not have it).
    WriteBytes(path, "[]\r\nk=nameless\r\n");
    EXPECT_EQ(GetPrivateProfileString("", "k", "dflt", path), "nameless");
    // A UTF-8 byte order mark stays in front of the first line and hides its header.
    WriteBytes(path, "\xEF\xBB\xBF[first]\r\na=1\r\n");
    EXPECT_EQ(GetPrivateProfileString("first", "a", "dflt", path), "dflt");
    // A form feed is no blank inside a profile file.
    WriteBytes(path, "[s]\r\nk=\fv\r\n");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", path), "\fv");
}
