// The kernel lock that keeps two schedule checks apart, also two in one program.
#include "platform/FileLock.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using quillet::platform::FileLock;
using quillet::test::TempDir;

TEST(FileLock, OneHolderAtATimeUntilItLetsGo) {
    TempDir dir;
    const std::string path = dir.file("check.lock");
    bool held = true;
    auto first = FileLock::TryAcquire(path, &held);
    ASSERT_TRUE(first);
    EXPECT_FALSE(held);
    EXPECT_FALSE(FileLock::TryAcquire(path, &held));
    EXPECT_TRUE(held);
    EXPECT_FALSE(FileLock::Acquire(path, 50));
    first.reset();
    EXPECT_TRUE(FileLock::TryAcquire(path, &held));
    EXPECT_TRUE(FileLock::Acquire(path, 50)); // the one before was let go at once
}

TEST(FileLock, UnopenableFileIsNotReportedAsHeld) {
    TempDir dir;
    bool held = true;
    EXPECT_FALSE(FileLock::TryAcquire(dir.file("missing folder/check.lock"), &held));
    EXPECT_FALSE(held);
}
