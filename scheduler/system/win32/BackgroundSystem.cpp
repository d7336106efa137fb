// Windows: one Task Scheduler task per folder, registered from its XML definition.
#include "scheduler/Background.h"

#include "platform/Command.h"
#include "platform/Files.h"
#include "platform/win32/WideText.h"

#include <vector>

namespace quillet::scheduler {
namespace {

using platform::CommandResult;
using platform::RunCommand;

// schtasks reads a task definition reliably only as UTF-16 with its byte order mark.
bool WriteUtf16(const std::string& path, const std::string& text) {
    const std::wstring wide = L"\xFEFF" + platform::win32::Wide(text);
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (const wchar_t unit : wide) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    return platform::ReplaceFileContent(path, bytes);
}

// One line of schtasks' CSV output, every field in double quotes.
std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else if (c != '\r' && c != '\n') {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

const char LoggedOutHint[] = "to run it while you are logged out, open the task in Task Scheduler and choose "
                             "\"Run whether user is logged on or not\" (Windows asks for your password)";

} // namespace

TriggerResult InstallTrigger(const BackgroundTarget& target) {
    if (auto missing = MissingProgram(target))
        return {false, *missing};
    TriggerResult result;
    const std::string temp = platform::TempFolder();
    if (temp.empty()) {
        result.message = "No folder for temporary files";
        return result;
    }
    const std::string xml = temp + TriggerName(target.folder) + ".xml";
    if (!WriteUtf16(xml, TaskXml(target))) {
        result.message = "Could not write " + xml;
        return result;
    }
    // /F: installing again replaces the task instead of failing.
    const CommandResult r = RunCommand({"schtasks", "/Create", "/TN", TriggerName(target.folder), "/XML", xml, "/F"});
    platform::RemoveFile(xml);
    if (r.exitCode != 0) {
        result.message = "schtasks /Create failed: " + LastLine(r.output);
        return result;
    }
    result.ok = true;
    result.message = "Installed the scheduled task " + TriggerName(target.folder) +
                     ": QuilletSched --due runs every hour while you are logged on; " + LoggedOutHint + ".";
    return result;
}

TriggerResult UninstallTrigger(const BackgroundTarget& target) {
    TriggerResult result{true, {}};
    if (!QueryTrigger(target).installed) {
        result.message = "No background check was installed for this folder.";
        return result;
    }
    const CommandResult r = RunCommand({"schtasks", "/Delete", "/TN", TriggerName(target.folder), "/F"});
    result.ok = r.exitCode == 0;
    result.message = result.ok ? "Removed the scheduled task " + TriggerName(target.folder) + "."
                               : "schtasks /Delete failed: " + LastLine(r.output);
    return result;
}

TriggerStatus QueryTrigger(const BackgroundTarget& target) {
    TriggerStatus status;
    const CommandResult r =
        RunCommand({"schtasks", "/Query", "/TN", TriggerName(target.folder), "/FO", "CSV", "/V", "/NH"});
    if (r.exitCode != 0)
        return status;
    status.installed = true;
    status.kind = "scheduled task";
    status.name = TriggerName(target.folder);
    // The columns come in a fixed order whatever the language: host, name, next run,
    // status, logon mode, ...
    std::string line = r.output;
    while (!line.empty() && (line.front() == '\r' || line.front() == '\n'))
        line.erase(0, 1);
    line = line.substr(0, line.find('\n'));
    const auto fields = CsvFields(line);
    if (fields.size() > 2)
        status.nextRun = fields[2];
    if (fields.size() > 3 && fields[3] == "Disabled")
        status.problem = "the task is disabled; QuilletSched --install switches it on again";
    if (fields.size() > 4) {
        if (fields[4].find("Interactive only") != std::string::npos)
            status.runsLoggedOut = false;
        else if (fields[4].find("Background") != std::string::npos)
            status.runsLoggedOut = true;
    }
    status.loggedOutHint = LoggedOutHint;
    return status;
}

} // namespace quillet::scheduler
