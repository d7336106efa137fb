// "Quillet.ini": its keys with their defaults, the writes, and the timer settings as the
// scheduler window and QuilletSched run on them.
#include "core/AdminSettings.h"
#include "tests/support/TempDir.h"

#include "core/Errors.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Programs.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace quillet;

TEST(AdminSettings, DefaultsAndWhatIsStored) {
    test::TempDir dir;
    const std::string folder = dir.file("");
    const AdminSettings settings(folder);
    EXPECT_EQ(settings.Path(), folder + "Quillet.ini");
    EXPECT_EQ(settings.LastCfgPath(), "");
    EXPECT_EQ(settings.AccessPath(), platform::DefaultAccessPath(folder));
    EXPECT_EQ(settings.QuilletPath(), folder + platform::CompactorProgramName);
    EXPECT_EQ(settings.Timer().interval, "60");
    EXPECT_EQ(settings.Timer().startTime, "01");
    EXPECT_TRUE(settings.WarnScheduleClosed());

    ASSERT_TRUE(platform::ReplaceFileContent(settings.Path(), "[Defaults]\r\nTimerInterval=15\r\nStartTime=23\r\n"
                                                              "QuilletPath=/opt/q/Quillet\r\nAccessPath=\r\n"
                                                              "WarnScheduleClosed=0\r\n"));
    EXPECT_EQ(settings.Timer().interval, "15");
    EXPECT_EQ(settings.Timer().startTime, "23");
    EXPECT_EQ(settings.QuilletPath(), "/opt/q/Quillet");
    // An empty Access path is as good as none.
    EXPECT_EQ(settings.AccessPath(), platform::DefaultAccessPath(folder));
    EXPECT_FALSE(settings.WarnScheduleClosed());
}

TEST(AdminSettings, EachWriteKeepsTheOtherKeys) {
    test::TempDir dir;
    const AdminSettings settings(dir.file(""));
    settings.SaveTimer({"15", "3"});
    settings.SaveMainWindow("/c/a.cfg", "/x/access", "/x/Quillet");
    settings.SaveWarnScheduleClosed(false);
    EXPECT_EQ(settings.LastCfgPath(), "/c/a.cfg");
    EXPECT_EQ(settings.AccessPath(), "/x/access");
    EXPECT_EQ(settings.QuilletPath(), "/x/Quillet");
    EXPECT_EQ(settings.Timer().interval, "15");
    EXPECT_EQ(settings.Timer().startTime, "3");
    EXPECT_FALSE(settings.WarnScheduleClosed());
    settings.SaveWarnScheduleClosed(true);
    EXPECT_TRUE(settings.WarnScheduleClosed());
}

TEST(AdminSettings, AFailedWriteNamesTheFile) {
    test::TempDir dir;
    const AdminSettings settings(dir.file("no such folder") + platform::PathSeparator);
    try {
        settings.SaveMainWindow("", "", "");
        FAIL();
    } catch (const EIniFileException& e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("Unable to write to " + settings.Path() + ". ", 0), 0u) << text;
    }
    EXPECT_THROW(settings.SaveTimer({}), EIniFileException);
    EXPECT_THROW(settings.SaveWarnScheduleClosed(false), EIniFileException);
}

TEST(TimerSettings, TypedNumbersAreChecked) {
    EXPECT_EQ(TimerIntervalMinutes("60"), 60);
    EXPECT_THROW(TimerIntervalMinutes("1.5"), EConvertError);
    EXPECT_TRUE(TimerIntervalInRange(0));
    EXPECT_TRUE(TimerIntervalInRange(35791));
    EXPECT_FALSE(TimerIntervalInRange(35792));
    EXPECT_FALSE(TimerIntervalInRange(-1));
    // 35791 minutes still fit a signed 32-bit millisecond count.
    EXPECT_LE(std::int64_t{MaxTimerIntervalMinutes} * 60000, std::int64_t{INT32_MAX});
    EXPECT_GT(std::int64_t{MaxTimerIntervalMinutes + 1} * 60000, std::int64_t{INT32_MAX});
    for (const char* good : {"0", "35791", "60"})
        EXPECT_FALSE(TimerIntervalProblem(good)) << good;
    for (const char* bad : {"-1", "35792", "abc", "", "1.5"})
        EXPECT_EQ(TimerIntervalProblem(bad).value_or(""),
                  "'" + std::string(bad) + "' is not a valid Timer Interval: enter a whole number of minutes "
                                           "from 0 to 35791 (0 stops the timer)");
    for (const char* good : {"0", "01", "23"})
        EXPECT_FALSE(StartTimeProblem(good)) << good;
    for (const char* bad : {"24", "-1", "ab", ""})
        EXPECT_EQ(StartTimeProblem(bad).value_or(""),
                  "'" + std::string(bad) + "' is not a valid Start Time: enter a whole hour from 0 to 23");
}

TEST(TimerSettings, RefusedValuesFallBackWithOneMessageEach) {
    const EffectiveTimer good = EffectiveTimerSettings({"15", "03"}, "/q/Quillet.ini");
    EXPECT_EQ(good.intervalMinutes, 15);
    EXPECT_EQ(good.startHour, 3);
    EXPECT_EQ(good.startText, "03");
    EXPECT_FALSE(good.intervalProblem);
    EXPECT_FALSE(good.startProblem);

    const EffectiveTimer refused = EffectiveTimerSettings({"x", "25"}, "/q/Quillet.ini");
    EXPECT_EQ(refused.intervalMinutes, 60);
    EXPECT_EQ(refused.startHour, 1);
    EXPECT_EQ(refused.startText, "01");
    EXPECT_EQ(refused.intervalProblem.value_or(""),
              "The setting TimerInterval in /q/Quillet.ini is refused: 'x' is not a valid Timer Interval: enter a "
              "whole number of minutes from 0 to 35791 (0 stops the timer). Until a valid Timer Interval is "
              "saved, the timer runs every 60 minutes.");
    EXPECT_EQ(refused.startProblem.value_or(""),
              "The setting StartTime in /q/Quillet.ini is refused: '25' is not a valid Start Time: enter a whole "
              "hour from 0 to 23. Until a valid Start Time is saved, due entries run between 01:00 and 02:00.");
}
