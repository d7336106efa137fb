// The mail password in a file only its owner may read.
#include "platform/SecretStore.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quillet::platform;

TEST(SecretStore, KeptOwnerOnlyAndRefusedOnceOthersCanRead) {
    quillet::test::TempDir dir;
    const std::string path = dir.file("report-password");
    std::string reason;
    ASSERT_TRUE(StoreSecret(path, "first", reason)) << reason;
    ASSERT_TRUE(StoreSecret(path, "pässwörd", reason)) << reason;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(LoadSecret(path, reason), "pässwörd") << reason;

    ::chmod(path.c_str(), 0640);
    EXPECT_FALSE(LoadSecret(path, reason));
    EXPECT_NE(reason.find("others can read"), std::string::npos) << reason;
}
