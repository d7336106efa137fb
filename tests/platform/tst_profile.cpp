// Read rules of the profile functions. These run against the real Windows functions in
// the Windows build too, so both implementations are held to the same answers.
#include "platform/Files.h"
#include "platform/Profile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using quillet::platform::GetPrivateProfileString;
using quillet::platform::WritePrivateProfileString;
using quillet::test::TempDir;
using quillet::test::WriteBytes;

namespace {

class ProfileRead : public ::testing::Test {
protected:
    std::string read(const std::string& section, const std::string& key, const std::string& def = "dflt",
                     std::size_t size = 2048) {
        return GetPrivateProfileString(section, key, def, path, size);
    }
    void content(const std::string& bytes) { WriteBytes(path, bytes); }

    TempDir dir;
    std::string path = dir.file("t.ini");
};

} // namespace

TEST_F(ProfileRead, LineEndsCaseAndTrimming) {
    for (const char* eol : {"\r\n", "\r", "\n"}) {
        content(std::string("[Section1]") + eol + "  name1 =  v a l  " + eol + "\tName2\t=\tx" + eol + "name4=a");
        EXPECT_EQ(read("section1", "NAME1"), "v a l") << eol;
        EXPECT_EQ(read(" SECTION1 ", " name2 "), "x") << eol;
        EXPECT_EQ(read("Section1", "name4"), "a") << eol;
    }
}

TEST_F(ProfileRead, MissingPiecesGiveTheDefault) {
    content("[s]\r\nk=v\r\nempty=\r\n");
    EXPECT_EQ(read("s", "nokey"), "dflt");
    EXPECT_EQ(read("nosection", "k"), "dflt");
    EXPECT_EQ(read("s", "empty"), "");
    EXPECT_EQ(read("s", "nokey", "one two  "), "one two");
    EXPECT_EQ(read("s", "nokey", "  lead"), "  lead");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", dir.file("missing.ini")), "dflt");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", dir.file("nofolder") + "/x.ini"), "dflt");
}

TEST_F(ProfileRead, QuotesAreRemovedOncePerMatchingPair) {
    content("[q]\r\na=\"val\"\r\nb='single'\r\nc=\"mixed'\r\nd=\"'nested'\"\r\ne=  \"   v   \"  \r\nf=\"\r\n"
            "g=\"\"\r\nh=\"\"string\"\"\r\ni=\"C:\\x y\\z.exe\" arg\r\n");
    EXPECT_EQ(read("q", "a"), "val");
    EXPECT_EQ(read("q", "b"), "single");
    EXPECT_EQ(read("q", "c"), "\"mixed'");
    EXPECT_EQ(read("q", "d"), "'nested'");
    EXPECT_EQ(read("q", "e"), "   v   ");
    EXPECT_EQ(read("q", "f"), "\"");
    EXPECT_EQ(read("q", "g"), "");
    EXPECT_EQ(read("q", "h"), "\"string\"");
    EXPECT_EQ(read("q", "i"), "\"C:\\x y\\z.exe\" arg");
}

TEST_F(ProfileRead, CommentsAndEqualsSigns) {
    content("[c]\r\n;k1=hidden\r\n   ;k2=hidden\r\nk3=v ;not a comment\r\n#k4=x\r\nk5=a=b\r\n");
    EXPECT_EQ(read("c", "k1"), "dflt");
    EXPECT_EQ(read("c", "k2"), "dflt");
    EXPECT_EQ(read("c", "k3"), "v ;not a comment");
    EXPECT_EQ(read("c", "#k4"), "x");
    EXPECT_EQ(read("c", "k5"), "a=b");
}

TEST_F(ProfileRead, HeaderAndKeyNameRules) {
    content("[ spaced ]\r\nk=1\r\n[a[b]\r\nk=2\r\n[v]\r\n\vkey\v=\vval\v\r\n=nameless\r\nbare\r\n");
    EXPECT_EQ(read("spaced", "k"), "1");
    EXPECT_EQ(read("a[b", "k"), "2");
    EXPECT_EQ(read("v", "key"), "val");
    EXPECT_EQ(read("v", ""), "nameless");
    EXPECT_EQ(read("v", "bare"), "dflt");
    // Only spaces leave the end of a default; a tab stays.
    EXPECT_EQ(read("v", "none", "tab\t"), "tab\t");
}

TEST_F(ProfileRead, FirstSectionAndFirstKeyWin) {
    content("k=before any section\r\n[d]\r\nk=first\r\nk=second\r\n[other]\r\nk=o\r\n[D]\r\nk=third\r\nz=later\r\n");
    EXPECT_EQ(read("d", "k"), "first");
    EXPECT_EQ(read("d", "z"), "dflt");
}

TEST_F(ProfileRead, BufferLimitTruncates) {
    content("[b]\r\nv=val1\r\nlong=" + std::string(5000, 'x') + "\r\n");
    EXPECT_EQ(read("b", "v", "", 4), "val");
    EXPECT_EQ(read("b", "v", "", 5), "val1");
    EXPECT_EQ(read("b", "v", "", 1), "");
    EXPECT_EQ(read("b", "long").size(), 2047u);
    EXPECT_EQ(read("b", "long", "", 32768).size(), 5000u);
}

TEST_F(ProfileRead, Utf8BomHidesAFirstLineHeader) {
    content("\xEF\xBB\xBF[first]\r\na=1\r\n[second]\r\nb=2\r\n");
    EXPECT_EQ(read("second", "b"), "2");
}

TEST_F(ProfileRead, Utf16FilesAreReadAndStayUtf16) {
    std::string bytes = "\xFF\xFE";
    for (const char c : std::string("[Defaults]\r\nKey=\"value\"\r\n"))
        bytes += std::string{c, '\0'};
    content(bytes);
    EXPECT_EQ(read("defaults", "key"), "value");
    ASSERT_TRUE(WritePrivateProfileString("Defaults", "Other", "two", path));
    EXPECT_EQ(quillet::test::ReadBytes(path).substr(0, 4), std::string("\xFF\xFE[\0", 4));
    EXPECT_EQ(read("Defaults", "Other"), "two");
    EXPECT_EQ(read("Defaults", "Key"), "value");
}

TEST_F(ProfileRead, WriteThenReadAndInPlaceReplacement) {
    ASSERT_TRUE(WritePrivateProfileString("Defaults", "Key", "value one", path));
    ASSERT_TRUE(WritePrivateProfileString("Defaults", "Other", "2", path));
    ASSERT_TRUE(WritePrivateProfileString("defaults", "KEY", "changed", path));
    ASSERT_TRUE(WritePrivateProfileString("Second", "Key", "s", path));
    EXPECT_EQ(read("Defaults", "key"), "changed");
    EXPECT_EQ(read("Defaults", "other"), "2");
    EXPECT_EQ(read("second", "key"), "s");
    ASSERT_TRUE(WritePrivateProfileString("Defaults", "Empty", "", path));
    EXPECT_EQ(read("Defaults", "Empty"), "");
}

TEST_F(ProfileRead, BareFileNamesAreInTheCurrentFolder) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const bool written = WritePrivateProfileString("s", "k", "here", "bare.ini");
    const std::string back = GetPrivateProfileString("s", "k", "dflt", "bare.ini");
    std::filesystem::current_path(previous);
    EXPECT_TRUE(written);
    EXPECT_EQ(back, "here");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", dir.file("bare.ini")), "here");
}

TEST_F(ProfileRead, WritesFailWithoutAFolderOrOnAFolderAndSayWhy) {
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", dir.file("nofolder") + "/x.ini"));
    const std::string noFolder = quillet::platform::LastFileErrorText();
    std::filesystem::create_directory(path);
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", path));
    const std::string aFolder = quillet::platform::LastFileErrorText();
    // Two different reasons, so neither is a stale text.
    EXPECT_FALSE(noFolder.empty());
    EXPECT_FALSE(aFolder.empty());
    EXPECT_NE(noFolder, aFolder);
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", ""));
}
