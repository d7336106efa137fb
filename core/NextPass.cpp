#include "core/NextPass.h"

#include "core/AdminSettings.h"
#include "core/Convert.h"
#include "core/DelimitedFile.h"
#include "core/DueDate.h"
#include "core/Errors.h"
#include "platform/FsPath.h"
#include "platform/RegionalTime.h"
#include "platform/TextFile.h"

#include <cstdio>
#include <filesystem>

namespace quillet {

namespace {

std::string Normal(const std::string& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(platform::FsPath(path), ec);
    return ec ? path : platform::Utf8Path(absolute.lexically_normal());
}

// The next due day of one entry's code; nothing for codes the scheduler never runs.
std::optional<std::int64_t> DueAfter(const std::string& code, Date today) {
    if (code.empty() || (code[0] != 'd' && code[0] != 'w' && code[0] != 'm'))
        return std::nullopt;
    const auto n = TryStrToInt(GetField(code, '|', 1));
    if (!n || (code[0] == 'w' && *n < 1))
        return std::nullopt;
    Date lastRun = 0;
    try {
        lastRun = DashTextToDate(GetField(code, '|', 2));
    } catch (const EConvertError&) {
        // No readable date: counts as never run.
    }
    std::int64_t due = NextDueDate(code[0], *n, lastRun);
    if (due <= today)
        due = NextDueDate(code[0], *n, today);
    return due;
}

} // namespace

std::optional<std::string> NextScheduledPass(const std::string& dataFolder, const std::string& configuration,
                                             Date today) {
    std::string data;
    if (!platform::ReadTextFile(dataFolder + "schedfile.dat", data))
        return std::nullopt;
    const std::string wanted = Normal(configuration);
    std::optional<std::int64_t> next;
    for (const std::string& line : SplitLines(data)) {
        const DelimitedRow fields = SplitFields(line, '\t', 3);
        if (fields[1].empty() || Normal(fields[1]) != wanted)
            continue;
        if (const auto due = DueAfter(fields[2], today); due && (!next || *due < *next))
            next = due;
    }
    if (!next || *next > 2958465) // past 9999-12-31
        return std::nullopt;
    char hour[8];
    std::snprintf(hour, sizeof hour, " %02d:00", AdminSettings(dataFolder).Effective().startHour);
    return DateToDashText(static_cast<Date>(*next)) + hour;
}

Date LocalToday() {
    const platform::LocalDateTime now = platform::LocalNow();
    return EncodeDate(now.year, now.month, now.day);
}

} // namespace quillet
