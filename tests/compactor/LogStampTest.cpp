// The date and time in front of every log line.
#include "compactor/Compactor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace quillet::compactor {
namespace {

using platform::LocalDateTime;

TEST(LogStamp, DateAndTimeExceptAtExactlyMidnight) {
    LocalDateTime midnight{2026, 12, 7, 0, 0, 0, 0};
    EXPECT_EQ(LogStamp(midnight), platform::ShortDateText(midnight));

    LocalDateTime justAfter = midnight;
    justAfter.millisecond = 1;
    EXPECT_EQ(LogStamp(justAfter),
              platform::ShortDateText(justAfter) + " " + platform::LongTimeText(justAfter));

    const LocalDateTime evening{2026, 12, 7, 20, 50, 36, 0};
    EXPECT_EQ(LogStamp(evening), platform::ShortDateText(evening) + " " + platform::LongTimeText(evening));
}

TEST(LogStamp, RegionalTextsShowTheMoment) {
    const LocalDateTime m{2026, 11, 29, 20, 50, 36, 0};
    const std::string date = platform::ShortDateText(m);
    const std::string time = platform::LongTimeText(m);
    EXPECT_NE(date.find("29"), std::string::npos) << date;
    EXPECT_NE(date.find("11"), std::string::npos) << date;
    EXPECT_NE(time.find("50"), std::string::npos) << time;
    EXPECT_NE(time.find("36"), std::string::npos) << time;
    EXPECT_EQ(date.find(time), std::string::npos);
}

TEST(LogStamp, LocalDateTimeOfAgreesWithNow) {
    const platform::LocalDateTime now = platform::LocalNow();
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    const platform::LocalDateTime of = platform::LocalDateTimeOf(seconds);
    EXPECT_EQ(of.year, now.year);
    EXPECT_EQ(of.day, now.day);
    EXPECT_EQ(of.hour, now.hour);
    EXPECT_LE(of.minute * 60 + of.second - (now.minute * 60 + now.second), 1);
}

TEST(LogStamp, MomentsBeyondTheCalendarStopAtItsEndsRatherThanWrapRound) {
    constexpr auto latest = std::numeric_limits<std::int64_t>::max();
    constexpr auto earliest = std::numeric_limits<std::int64_t>::min();
    EXPECT_GE(platform::LocalDateTimeOf(latest).year, 30000);
    EXPECT_EQ(platform::LocalDateTimeOf(earliest).year, 1601);
    EXPECT_EQ(platform::IsoLocalTime(latest).substr(0, 6), "30828-");
    EXPECT_EQ(platform::IsoLocalTime(earliest).substr(0, 5), "1601-");
}

} // namespace
} // namespace quillet::compactor
