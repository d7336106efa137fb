#include "core/Include.h"

#include "core/Errors.h"
#include "platform/Files.h"
#include "platform/Notice.h"
#include "platform/Process.h"
#include "platform/TextFile.h"

#include <cstdio>

namespace quillet {
namespace {

constexpr char Quote = '"';

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The fourth step both field readers share: unquote once, then trim.
std::string FinishField(std::string field) {
    if (!field.empty() && field.front() == Quote && field.back() == Quote)
        field = field.size() == 1 ? std::string() : field.substr(1, field.size() - 2);
    return TrimText(field);
}

std::string FieldOf(const std::string& text, char sep, int index, bool doubledQuotes) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    bool inQuotes = false;
    int count = 0;
    while (i < n && count < index) {
        if (text[i] == Quote) {
            if (doubledQuotes && i + 1 < n && text[i + 1] == Quote) {
                i += 2;
                continue;
            }
            inQuotes = !inQuotes;
        }
        // Tested after the toggle, so a quote used as the separator counts too.
        if (text[i] == sep && !inQuotes)
            ++count;
        ++i;
    }
    std::string field;
    inQuotes = false;
    while (i < n) {
        const char c = text[i];
        if (c == sep && !inQuotes)
            break;
        if (c == Quote) {
            if (doubledQuotes && i + 1 < n && text[i + 1] == Quote) {
                field += Quote;
                i += 2;
                continue;
            }
            inQuotes = !inQuotes;
        }
        field += c;
        ++i;
    }
    return FinishField(std::move(field));
}

// Civil calendar from a day count (proleptic Gregorian), without locale or globals.
constexpr int DaysFrom1970To1899 = -25569; // serial 0 is 1899-12-30

long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// An unsigned decimal number of at most `maxDigits` digits.
bool ReadNumber(const std::string& text, std::size_t& pos, int maxDigits, int& value) {
    int digits = 0;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (++digits > maxDigits)
            return false;
        value = value * 10 + (text[pos++] - '0');
    }
    return digits > 0;
}

} // namespace

std::string TrimText(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string GetField(const std::string& text, char sep, int index) { return FieldOf(text, sep, index, false); }

std::string GetQuotedField(const std::string& text, char sep, int index) { return FieldOf(text, sep, index, true); }

std::string QuotePath(const std::string& text) {
    const std::string t = TrimText(text);
    if (t.find(' ') != std::string::npos && t.size() > 2 && t.front() != Quote && t.back() != Quote)
        return Quote + t + Quote;
    return t;
}

std::string FileBaseName(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\:");
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return name;
    const std::string ext = name.substr(dot);
    return name.substr(0, name.find(ext));
}

std::string LeftText(const std::string& text, int count) {
    if (count <= 0)
        return {};
    return text.substr(0, static_cast<std::size_t>(count));
}

std::optional<Date> TryEncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    return static_cast<Date>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                             DaysFrom1970To1899);
}

Date EncodeDate(int year, int month, int day) {
    if (auto d = TryEncodeDate(year, month, day))
        return *d;
    throw EConvertError("Invalid argument to date encode");
}

void DecodeDate(Date date, int& year, int& month, int& day) {
    long y;
    unsigned m, d;
    CivilFromDays(static_cast<long>(date) + DaysFrom1970To1899, y, m, d);
    year = static_cast<int>(y);
    month = static_cast<int>(m);
    day = static_cast<int>(d);
}

std::string DateToDashText(Date date) {
    int y, m, d;
    DecodeDate(date, y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

Date DashTextToDate(const std::string& text) {
    // Year, month and day as decimal numbers separated by "-", as the run-time's
    // date reader does with that separator; blanks around the text are allowed.
    const std::string t = TrimText(text);
    std::size_t pos = 0;
    int y = 0, m = 0, d = 0;
    bool ok = ReadNumber(t, pos, 4, y) && pos < t.size() && t[pos++] == '-' && ReadNumber(t, pos, 2, m) &&
              pos < t.size() && t[pos++] == '-' && ReadNumber(t, pos, 2, d) && pos == t.size();
    if (ok) {
        if (auto date = TryEncodeDate(y, m, d))
            return *date;
    }
    throw EConvertError("'" + text + "' is not a valid date");
}

std::string ShiftText(const std::string& text, int amount) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>((static_cast<unsigned char>(c) + amount) & 0xFF);
    return out;
}

std::string UnshiftText(const std::string& text, int amount) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>((static_cast<unsigned char>(c) - amount) & 0xFF);
    return out;
}

bool RunAndWait(const std::string& commandLine, std::uint16_t showMode, int* exitCode) {
    if (commandLine.size() > MaxCommandLine)
        return false;
    const auto code = platform::RunProcessAndWait(commandLine, showMode);
    if (!code)
        return false;
    if (exitCode)
        *exitCode = *code;
    return true;
}

bool LaunchProgram(const std::string& commandLine) {
    if (commandLine.size() > MaxCommandLine)
        return false;
    return platform::StartProcess(commandLine, SW_SHOWNORMAL_MODE);
}

bool AppendLogLine(const std::string& path, const std::string& line) {
    if (platform::AppendTextToFile(path, line + "\r\n"))
        return true;
    platform::ShowAccessError(path, line);
    return false;
}

} // namespace quillet
