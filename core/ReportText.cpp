#include "core/ReportText.h"

#include "core/HistorySummary.h"

#include <cstdio>

namespace quillet {

namespace {

std::string FileNameOf(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string Token(PassResult result) {
    switch (result) {
    case PassResult::Ok: return "[Quillet OK]";
    case PassResult::Failed: return "[Quillet FAILED]";
    case PassResult::Recovered: return "[Quillet RECOVERED]";
    case PassResult::NothingDone: return "[Quillet NOTHING DONE]";
    }
    return "[Quillet FAILED]";
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

std::string Duration(double seconds) {
    const long long whole = static_cast<long long>(seconds);
    if (whole < 60)
        return Seconds(seconds);
    char text[48];
    if (whole < 3600)
        std::snprintf(text, sizeof text, "%lld min %lld s", whole / 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld h %lld min", whole / 3600, whole % 3600 / 60);
    return text;
}

std::string SizeOrUnknown(const std::optional<std::int64_t>& bytes) {
    return bytes ? SizeText(*bytes) : std::string("?");
}

std::string DatabaseLine(const HistoryRecord& r) {
    std::string line = "  " + r.database + ": " + std::string(OutcomeTextOf(r)) + ", " +
                       SizeOrUnknown(r.sizeBefore) + " \xE2\x86\x92 " + SizeOrUnknown(r.sizeAfter);
    if (r.seconds)
        line += ", " + Seconds(*r.seconds);
    if (!r.detail.empty())
        line += ", " + r.detail;
    return line + "\n";
}

std::string JsonNumber(const std::optional<std::int64_t>& n) {
    return n ? std::to_string(*n) : std::string("null");
}

std::string JsonSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

} // namespace

std::string ReportSubject(const PassReport& report) {
    const PassVerdict& v = report.verdict;
    const std::string m = std::to_string(v.total);
    std::string what;
    switch (v.result) {
    case PassResult::Failed: what = std::to_string(v.failed) + " of " + m + " databases failed"; break;
    case PassResult::NothingDone: what = "none of " + m + " databases compacted"; break;
    default: what = m + " of " + m + " databases ok"; break;
    }
    return Token(v.result) + " " + report.summary.machine + ": " + what + " (" +
           FileNameOf(report.summary.configuration) + ")";
}

std::string ReportText(const PassReport& report) {
    const PassSummary& s = report.summary;
    std::string text = ReportSubject(report) + "\n\n";
    text += "Machine:       " + s.machine + "\n";
    text += "Configuration: " + s.configuration + "\n";
    if (!s.description.empty())
        text += "Description:   " + s.description + "\n";
    text += "Result:        " + std::string(ResultText(report.verdict.result)) + "\n";
    text += "Started:       " + s.started + "\n";
    text += "Finished:      " + s.finished + "\n";
    text += "Duration:      " + Duration(s.seconds) + "\n";
    if (report.nextPass)
        text += "Next pass:     " + *report.nextPass + "\n";
    text += "\nDatabases (" + std::to_string(s.databases.size()) + "):\n";
    if (s.databases.empty())
        text += "  none\n";
    for (const HistoryRecord& r : s.databases)
        text += DatabaseLine(r);
    if (!s.logLines.empty()) {
        text += "\nerror.log:\n";
        for (const std::string& line : s.logLines)
            text += "  " + line + "\n";
    }
    return text;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", u);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string ReportJson(const PassReport& report) {
    const PassSummary& s = report.summary;
    std::string j = "{";
    j += "\"machine\":" + JsonString(s.machine);
    j += ",\"configuration\":" + JsonString(s.configuration);
    j += ",\"description\":" + JsonString(s.description);
    j += ",\"result\":" + JsonString(std::string(ResultText(report.verdict.result)));
    j += ",\"subject\":" + JsonString(ReportSubject(report));
    j += ",\"started\":" + JsonString(s.started);
    j += ",\"finished\":" + JsonString(s.finished);
    j += ",\"seconds\":" + JsonSeconds(s.seconds);
    j += ",\"failed\":" + std::to_string(report.verdict.failed);
    j += ",\"total\":" + std::to_string(report.verdict.total);
    j += ",\"next_pass\":" + (report.nextPass ? JsonString(*report.nextPass) : std::string("null"));
    j += ",\"databases\":[";
    for (std::size_t i = 0; i < s.databases.size(); ++i) {
        const HistoryRecord& r = s.databases[i];
        j += i ? ",{" : "{";
        j += "\"path\":" + JsonString(r.database);
        j += ",\"outcome\":" + JsonString(std::string(OutcomeTextOf(r)));
        j += ",\"size_before\":" + JsonNumber(r.sizeBefore);
        j += ",\"size_after\":" + JsonNumber(r.sizeAfter);
        j += ",\"seconds\":" + (r.seconds ? JsonSeconds(*r.seconds) : std::string("null"));
        j += ",\"detail\":" + JsonString(r.detail);
        j += "}";
    }
    j += "],\"log\":[";
    for (std::size_t i = 0; i < s.logLines.size(); ++i)
        j += (i ? "," : "") + JsonString(s.logLines[i]);
    return j + "]}";
}

} // namespace quillet
