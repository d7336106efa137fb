// The mail password kept with DPAPI for this user (its file's access list is RestrictToOwner's,
// tested with it).
#include "platform/SecretStore.h"

#include "platform/Files.h"
#include "platform/win32/WideText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace quillet::platform;

TEST(SecretStore, RoundTripLeavesNoPlainTextInTheFile) {
    quillet::test::TempDir dir;
    const std::string path = dir.file("mail.secret");
    const std::string secret = "pässwörd 密码 and more";
    std::string reason;
    ASSERT_TRUE(StoreSecret(path, "first", reason)) << reason;
    ASSERT_TRUE(StoreSecret(path, secret, reason)) << reason;
    EXPECT_EQ(LoadSecret(path, reason), secret) << reason;

    const std::string bytes = quillet::test::ReadBytes(path);
    const std::wstring wide = win32::Wide(secret);
    EXPECT_EQ(bytes.find(secret), std::string::npos);
    EXPECT_EQ(bytes.find(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2)), std::string::npos);
    EXPECT_EQ(bytes.find("first"), std::string::npos);
    EXPECT_FALSE(FileExists(path + ".~new"));

    ASSERT_TRUE(ForgetSecret(path));
    EXPECT_FALSE(LoadSecret(path, reason));
    EXPECT_EQ(reason, "no password is stored");
    EXPECT_TRUE(ForgetSecret(path));
}

TEST(SecretStore, FileNotProtectedForThisUserIsRefused) {
    quillet::test::TempDir dir;
    const std::string path = dir.file("mail.secret");
    quillet::test::WriteBytes(path, "password in plain text");
    std::string reason;
    EXPECT_FALSE(LoadSecret(path, reason));
    EXPECT_NE(reason.find("cannot be decrypted"), std::string::npos) << reason;
}
