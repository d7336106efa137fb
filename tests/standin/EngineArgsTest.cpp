// The stand-in reads the engine's command line as the compactor builds it.
#include "standin/Engine.h"

#include "tests/support/StandardOptions.h"

#include <gtest/gtest.h>

namespace quillet::standin {
namespace {

using Words = std::vector<std::string>;

TEST(EngineArgs, FullCommandLineOfTheCompactor) {
    // An unquoted workgroup path with a blank arrives as two words.
    const EngineOptions o = ParseEngineArgs({"/data/my db.sqlite", "/wrkgrp", "W:\\work", "group\\sys.mdw",
                                             "/repair", "/compact", "/user", "admin", "/pwd", "secret"});
    EXPECT_EQ(o.database, "/data/my db.sqlite");
    EXPECT_EQ(o.workgroup, "W:\\work");
    EXPECT_TRUE(o.repair);
    EXPECT_TRUE(o.compact);
    EXPECT_EQ(o.user, "admin");
    EXPECT_EQ(o.password, "secret");
    EXPECT_EQ(o.ignored, Words{"group\\sys.mdw"});
    EXPECT_TRUE(o.error.empty());
}

TEST(EngineArgs, EmptyValuesAndCaseOfSwitches) {
    EngineOptions o = ParseEngineArgs({"C:\\a.mdb", "/COMPACT", "/User", "/PWD", "pw"});
    EXPECT_EQ(o.database, "C:\\a.mdb");
    EXPECT_TRUE(o.compact);
    EXPECT_FALSE(o.repair);
    EXPECT_EQ(o.user, "");
    EXPECT_EQ(o.password, "pw");

    o = ParseEngineArgs({"a.db", "/compact", "/user", "someone", "/pwd"});
    EXPECT_EQ(o.user, "someone");
    EXPECT_EQ(o.password, "");
}

TEST(EngineArgs, UnknownSwitchesAreIgnoredButPathsAreNot) {
    const EngineOptions o = ParseEngineArgs({"/excl", "/ro", "/home/x/data.db", "/x", "Macro1", "/compact"});
    EXPECT_EQ(o.database, "/home/x/data.db");
    EXPECT_EQ(o.ignored, (Words{"/excl", "/ro", "/x", "Macro1"}));
    EXPECT_TRUE(o.compact);
    EXPECT_EQ(ParseEngineArgs({"/top.db"}).database, "/top.db");
}

TEST(EngineArgs, BusyTimeoutAndHelp) {
    EXPECT_EQ(ParseEngineArgs({"a.db"}).busyTimeoutSeconds, 10);
    EXPECT_EQ(ParseEngineArgs({"a.db", "/busy", "2"}).busyTimeoutSeconds, 2);
    EXPECT_FALSE(ParseEngineArgs({"a.db", "/busy", "soon"}).error.empty());
    EXPECT_FALSE(ParseEngineArgs({"a.db", "/busy"}).error.empty());
    EXPECT_TRUE(ParseEngineArgs({"--help"}).help);
    EXPECT_TRUE(ParseEngineArgs({"/?"}).help);
    const EngineOptions fd = ParseEngineArgs({"a.db", "/user", "u", "/PwdFd", "7", "/compact"});
    EXPECT_EQ(fd.passwordDescriptor, 7);
    EXPECT_TRUE(fd.compact);
    EXPECT_FALSE(ParseEngineArgs({"a.db", "/pwdfd", "x"}).error.empty());
}

TEST(EngineOptions, HelpAndVersionPrintAndTouchNoFile) {
    quillet::test::ExpectStandardOptions(QUILLET_ENGINE, "QuilletEngine");
}

} // namespace
} // namespace quillet::standin
