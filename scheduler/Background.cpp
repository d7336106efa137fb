#include "scheduler/Background.h"

#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/TextFile.h"

#include <cstdint>
#include <cstdio>
#include <sstream>

namespace quillet::scheduler {
namespace {

// FNV-1a: stable across builds and systems, unlike std::hash.
std::uint64_t StableHash(const std::string& text) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// The trigger's minute within the hour: fixed per folder, so that several folders on one
// machine do not all start at the full hour.
int StartMinute(const std::string& folder) {
    return static_cast<int>(StableHash(folder) % (MaxStartDelayMinutes + 1));
}

std::string FolderWithoutSeparator(const std::string& folder) {
    if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        return folder.substr(0, folder.size() - 1);
    return folder;
}

// Unit files give % and $ meanings of their own, and a line break would end the value.
std::string UnitValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '%')
            out += "%%";
        else if (c == '\n' || c == '\r')
            out += ' ';
        else
            out += c;
    }
    return out;
}

std::string UnitQuoted(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '%')
            out += '%';
        if (c == '$')
            out += '$';
        out += c;
    }
    return out + '"';
}

std::string XmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string CrontabMarker(const std::string& folder) {
    return "# " + TriggerName(folder);
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

} // namespace

std::string TriggerName(const std::string& folder) {
    char hex[17];
    // Of the folder's name in the system's code page where it fits, as earlier versions
    // hashed it, so that a task they installed keeps its name.
    const std::string name = platform::CodePageBytesOf(folder).value_or(folder);
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(StableHash(name)));
    return std::string("quillet-sched-") + hex;
}

std::string TimerUnitText(const BackgroundTarget& target) {
    std::ostringstream s;
    s << "# Written by QuilletSched --install; QuilletSched --uninstall removes it.\n"
      << "[Unit]\n"
      << "Description=Quillet schedule check for " << UnitValue(FolderWithoutSeparator(target.folder)) << "\n"
      << "\n"
      << "[Timer]\n"
      // Every hour; the check itself decides what is due. Persistent: a check missed
      // while the machine was off or asleep is made up when it is back.
      << "OnCalendar=hourly\n"
      << "RandomizedDelaySec=" << MaxStartDelayMinutes << "min\n"
      << "AccuracySec=1min\n"
      << "Persistent=true\n"
      << "\n"
      << "[Install]\n"
      << "WantedBy=timers.target\n";
    return s.str();
}

std::string ServiceUnitText(const BackgroundTarget& target) {
    std::ostringstream s;
    s << "# Written by QuilletSched --install; QuilletSched --uninstall removes it.\n"
      << "[Unit]\n"
      << "Description=Quillet schedule check for " << UnitValue(FolderWithoutSeparator(target.folder)) << "\n"
      << "\n"
      << "[Service]\n"
      << "Type=oneshot\n"
      << "ExecStart=" << UnitQuoted(target.program) << " --due\n"
      << "TimeoutStartSec=" << CheckTimeLimitHours << "h\n";
    return s.str();
}

std::string CrontabLine(const BackgroundTarget& target) {
    // cron hands the command to sh and turns % into line breaks.
    std::string quoted = "'";
    for (char c : target.program) {
        if (c == '\'')
            quoted += "'\\''";
        else if (c == '%')
            quoted += "\\%";
        else
            quoted += c;
    }
    quoted += "'";
    return std::to_string(StartMinute(target.folder)) + " * * * * " + quoted + " --due " +
           CrontabMarker(target.folder);
}

std::string CrontabWithoutLine(const std::string& crontab, const std::string& folder) {
    const std::string marker = CrontabMarker(folder);
    std::string out;
    std::istringstream in(crontab);
    std::string line;
    while (std::getline(in, line)) {
        if (!EndsWith(line, marker))
            out += line + "\n";
    }
    return out;
}

std::string CrontabWithLine(const std::string& crontab, const BackgroundTarget& target) {
    return CrontabWithoutLine(crontab, target.folder) + CrontabLine(target) + "\n";
}

bool CrontabHasLine(const std::string& crontab, const std::string& folder) {
    const std::string marker = CrontabMarker(folder);
    std::istringstream in(crontab);
    std::string line;
    while (std::getline(in, line)) {
        if (EndsWith(line, marker))
            return true;
    }
    return false;
}

std::string TaskXml(const BackgroundTarget& target) {
    char start[32];
    // Local time without an offset: the full hours follow daylight-saving time.
    std::snprintf(start, sizeof start, "2026-01-01T00:%02d:00", StartMinute(target.folder));
    const std::string folder = FolderWithoutSeparator(target.folder);
    std::ostringstream s;
    s << "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
      << "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
      << "  <RegistrationInfo>\r\n"
      << "    <Description>Quillet schedule check for " << XmlText(folder)
      << ". Written by QuilletSched --install; QuilletSched --uninstall removes it.</Description>\r\n"
      << "  </RegistrationInfo>\r\n"
      << "  <Triggers>\r\n"
      << "    <CalendarTrigger>\r\n"
      << "      <StartBoundary>" << start << "</StartBoundary>\r\n"
      << "      <Repetition>\r\n"
      << "        <Interval>PT1H</Interval>\r\n"
      << "        <Duration>P1D</Duration>\r\n"
      << "        <StopAtDurationEnd>false</StopAtDurationEnd>\r\n"
      << "      </Repetition>\r\n"
      << "      <ScheduleByDay>\r\n"
      << "        <DaysInterval>1</DaysInterval>\r\n"
      << "      </ScheduleByDay>\r\n"
      << "      <Enabled>true</Enabled>\r\n"
      << "    </CalendarTrigger>\r\n"
      << "  </Triggers>\r\n"
      << "  <Principals>\r\n"
      << "    <Principal id=\"Author\">\r\n"
      << "      <LogonType>InteractiveToken</LogonType>\r\n"
      << "      <RunLevel>LeastPrivilege</RunLevel>\r\n"
      << "    </Principal>\r\n"
      << "  </Principals>\r\n"
      << "  <Settings>\r\n"
      << "    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
      << "    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n"
      << "    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n"
      << "    <StartWhenAvailable>true</StartWhenAvailable>\r\n"
      << "    <RunOnlyIfIdle>false</RunOnlyIfIdle>\r\n"
      << "    <WakeToRun>false</WakeToRun>\r\n"
      << "    <ExecutionTimeLimit>PT" << CheckTimeLimitHours << "H</ExecutionTimeLimit>\r\n"
      << "    <Enabled>true</Enabled>\r\n"
      << "  </Settings>\r\n"
      << "  <Actions Context=\"Author\">\r\n"
      << "    <Exec>\r\n"
      << "      <Command>" << XmlText(target.program) << "</Command>\r\n"
      << "      <Arguments>--due</Arguments>\r\n"
      << "      <WorkingDirectory>" << XmlText(folder) << "</WorkingDirectory>\r\n"
      << "    </Exec>\r\n"
      << "  </Actions>\r\n"
      << "</Task>\r\n";
    return s.str();
}

std::string LastLine(const std::string& output) {
    std::string text = output;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const auto nl = text.rfind('\n');
    return nl == std::string::npos ? text : text.substr(nl + 1);
}

std::optional<std::string> MissingProgram(const BackgroundTarget& target) {
    if (platform::FileExists(target.program))
        return std::nullopt;
    return "There is no " + target.program + " to run: QuilletSched must lie next to QuilletAdmin.";
}

bool WriteLastCheck(const std::string& folder, const LastCheck& check) {
    std::string result;
    for (char c : check.result)
        result += (c == '\r' || c == '\n') ? ' ' : c;
    return platform::ReplaceFileContent(
        folder + LastCheckFileName,
        platform::ProfileFileBytes("[LastCheck]\r\nStart=" + check.start + "\r\nExitCode=" +
                                   std::to_string(check.exitCode) + "\r\nResult=" + result + "\r\n"));
}

std::optional<LastCheck> ReadLastCheck(const std::string& folder) {
    const std::string file = folder + LastCheckFileName;
    if (!platform::FileExists(file))
        return std::nullopt;
    LastCheck check;
    check.start = platform::GetPrivateProfileString("LastCheck", "Start", "", file);
    if (check.start.empty())
        return std::nullopt;
    try {
        check.exitCode = std::stoi(platform::GetPrivateProfileString("LastCheck", "ExitCode", "0", file));
    } catch (const std::exception&) {
        check.exitCode = -1;
    }
    check.result = platform::GetPrivateProfileString("LastCheck", "Result", "", file);
    return check;
}

std::string DescribeStatus(const TriggerStatus& status, const std::optional<LastCheck>& last) {
    std::string text;
    if (status.installed) {
        text += "Background check: installed (" + status.kind + " " + status.name + ")\n";
        text += "Next check: " + (status.nextRun.empty() ? std::string("unknown") : status.nextRun) + "\n";
        if (status.runsLoggedOut)
            text += *status.runsLoggedOut ? "Runs while you are logged out: yes\n"
                                          : "Runs while you are logged out: no" +
                                                (status.loggedOutHint.empty() ? "" : "; " + status.loggedOutHint) +
                                                "\n";
        if (!status.problem.empty())
            text += "Problem: " + status.problem + "\n";
    } else {
        text += "Background check: not installed; the schedule runs only while QuilletAdmin is open\n";
        if (!status.problem.empty())
            text += "Problem: " + status.problem + "\n";
    }
    if (last)
        text += "Last check: " + last->start + ", exit code " + std::to_string(last->exitCode) + ": " + last->result +
                "\n";
    else
        text += "Last check: none yet\n";
    return text;
}

std::optional<long long> StampToSeconds(const std::string& stamp) {
    int y, mo, d, h, mi, s, n = 0;
    if (std::sscanf(stamp.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &n) != 6 || n != 19)
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
        return std::nullopt;
    long long seconds = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 +
                        h * 3600 + mi * 60 + s;
    const std::string zone = stamp.substr(19);
    if (zone == "Z")
        return seconds;
    int oh, om, m = 0;
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') ||
        std::sscanf(zone.c_str() + 1, "%2d:%2d%n", &oh, &om, &m) != 2 || m != 5)
        return std::nullopt;
    const long long offset = (oh * 60 + om) * 60;
    return zone[0] == '+' ? seconds - offset : seconds + offset;
}

std::string BackgroundStatusText(const TriggerStatus& status, const std::optional<LastCheck>& last) {
    std::string text;
    if (!status.installed) {
        text = "Not installed: the schedule runs only while QuilletAdmin is open.";
    } else {
        text = "Installed (" + status.kind + ")";
        if (!status.nextRun.empty())
            text += "; next check " + status.nextRun;
        if (status.runsLoggedOut)
            text += *status.runsLoggedOut ? "; runs while you are logged out"
                                          : "; does not run while you are logged out (" + status.loggedOutHint + ")";
        text += '.';
    }
    if (!status.problem.empty())
        text += " Problem: " + status.problem + ".";
    text += last ? "\nLast background check: " + last->start + ", " + last->result + "."
                 : std::string("\nNo background check has run yet.");
    return text;
}

} // namespace quillet::scheduler
