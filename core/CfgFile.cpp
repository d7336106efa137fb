#include "core/CfgFile.h"

#include "core/Convert.h"
#include "core/Errors.h"
#include "core/Include.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/TextFile.h"

#include <algorithm>

namespace quillet {
namespace {

std::string ReadText(const std::string& path, const char* key, std::size_t bufferSize = platform::ProfileBufferSize) {
    return platform::GetPrivateProfileString(CfgSection, key, "", path, bufferSize);
}

using FieldReader = std::string (*)(const std::string&, char, int);

std::vector<std::string> SplitList(const std::string& list, FieldReader field) {
    std::vector<std::string> entries;
    for (int n = 0;; ++n) {
        std::string entry = field(list, '|', n);
        if (entry.empty())
            break;
        entries.push_back(std::move(entry));
    }
    return entries;
}

// The shift works on the password's bytes in the system's code page, as it always has on
// Windows, so that files written before keep their passwords; nothing when the password
// has a character the code page lacks. Elsewhere the bytes are the UTF-8 text.
std::optional<std::string> StoredPasswordOf(const std::string& password) {
    const auto bytes = platform::CodePageBytesOf(password);
    if (!bytes)
        return std::nullopt;
    return platform::TextOfCodePageBytes(ShiftText(*bytes, PasswordShift));
}

std::string PasswordOfStored(const std::string& stored) {
    const std::string bytes = platform::CodePageBytesOf(stored).value_or(stored);
    return platform::TextOfCodePageBytes(UnshiftText(bytes, PasswordShift));
}

CfgValues ReadCommon(const std::string& path) {
    CfgValues v;
    v.repair = ReadCfgBool(path, "Repair");
    v.workgroup = ReadText(path, "Workgroup");
    v.login = ReadText(path, "Login");
    v.encrypt = ReadCfgBool(path, "Encrypt");
    v.password = ReadText(path, "Password");
    if (v.encrypt)
        v.password = PasswordOfStored(v.password);
    v.launchFile = ReadText(path, "LaunchFile");

    const auto whole = [&](const char* key) { return ParseWholeNumber(ReadText(path, key)); };
    CfgOptions& o = v.options;
    o.timeLimit = whole("TimeLimit").value_or(0);
    // Only a value that reads as the integer 0 turns the check off.
    o.skipInUse = StrToIntDef(ReadText(path, "SkipInUse"), 1) != 0;
    o.backupFolder = ReadText(path, "BackupFolder");
    // Keeping none would delete the copy just made, before the compaction it guards.
    o.backupKeep = std::max(whole("BackupKeep").value_or(3), 1);
    o.onlyChanged = ReadCfgBool(path, "OnlyChanged");
    o.parallel = std::max(whole("Parallel").value_or(1), 1);
    return v;
}

bool HasLineBreakOrNul(const std::string& value) { return value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

} // namespace

bool ProfileValueRoundTrips(const std::string& value) {
    if (HasLineBreakOrNul(value))
        return false;
    if (value.empty())
        return true;
    // Both platforms trim these from a value's ends when reading it back.
    const std::string blanks(" \t\v\f\x1a", 5);
    if (blanks.find(value.front()) != std::string::npos || blanks.find(value.back()) != std::string::npos)
        return false;
    const char q = value.front();
    return !(value.size() >= 2 && (q == '"' || q == '\'') && value.back() == q);
}

std::string JoinCompactFiles(const std::vector<std::string>& files) {
    std::string list;
    for (const auto& f : files)
        list += f + "|";
    return list;
}

std::optional<int> ParseWholeNumber(const std::string& text) {
    const std::string t = TrimText(text);
    if (t.empty() || t.size() > 9 || t.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoi(t);
}

bool ReadCfgBool(const std::string& path, const std::string& key) {
    return StrToIntDef(platform::GetPrivateProfileString(CfgSection, key, "", path), 0) != 0;
}

void WriteCfgFile(const std::string& path, const CfgValues& v) {
    const std::optional<std::string> shifted = StoredPasswordOf(v.password);
    const std::string storedPassword = v.encrypt ? shifted.value_or(std::string()) : v.password;
    // A line break would end the value early and turn the rest into keys of its own.
    const std::pair<const char*, const std::string*> texts[] = {
        {"Description", &v.description}, {"Security File", &v.workgroup}, {"Login", &v.login},
        {"Password", &v.password},       {"Launch File", &v.launchFile},  {"MS Access Path", &v.accessPath},
        {"Backup Folder", &v.options.backupFolder}};
    for (const auto& [label, text] : texts)
        if (HasLineBreakOrNul(*text))
            throw EInvalidValue(std::string("The ") + label + " value cannot hold line breaks.");
    // The readers split at "|", treat quotes as grouping, trim blanks and stop at an
    // empty entry: a path with any of these would come back changed or cut the list.
    for (const auto& f : v.compactFiles)
        if (f.empty() || HasLineBreakOrNul(f) || f.find_first_of("|\"") != std::string::npos ||
            TrimText(f) != f)
            throw EInvalidValue("The database path '" + f + "' cannot be stored in a list.");
    if (v.encrypt && (!shifted || !ProfileValueRoundTrips(storedPassword)))
        throw EInvalidValue("This password cannot be stored encrypted: it has characters that would be "
                            "changed in the file. Store it without Encrypt, or choose another password.");

    platform::WritePrivateProfileString(CfgSection, "CompactFiles", JoinCompactFiles(v.compactFiles), path);
    // Before the password goes in; the mode stays with the file on later saves.
    if (!v.password.empty() && !platform::RestrictToOwner(path))
        throw EIniFileException(path, platform::LastFileErrorText());
    const std::pair<const char*, std::string> rest[] = {
        {"AccessPath", v.accessPath},
        {"Description", v.description},
        {"Repair", v.repair ? "1" : "0"},
        {"Workgroup", v.workgroup},
        {"Login", v.login},
        {"Encrypt", v.encrypt ? "1" : "0"},
        {"Password", storedPassword},
        {"LaunchFile", v.launchFile},
        {"TimeLimit", std::to_string(std::max(v.options.timeLimit, 0))},
        {"SkipInUse", v.options.skipInUse ? "1" : "0"},
        {"BackupFolder", v.options.backupFolder},
        {"BackupKeep", std::to_string(std::max(v.options.backupKeep, 1))},
        {"OnlyChanged", v.options.onlyChanged ? "1" : "0"},
        {"Parallel", std::to_string(std::max(v.options.parallel, 1))},
    };
    for (const auto& [key, value] : rest)
        if (!platform::WritePrivateProfileString(CfgSection, key, value, path))
            throw EIniFileException(path, platform::LastFileErrorText());
}

CfgValues ReadCfgForEditor(const std::string& path) {
    CfgValues v = ReadCommon(path);
    v.compactFiles = SplitList(ReadText(path, "CompactFiles", platform::ProfileListBufferSize), &GetQuotedField);
    v.description = ReadText(path, "Description");
    return v;
}

CfgValues ReadCfgForCompactor(const std::string& path) {
    CfgValues v = ReadCommon(path);
    v.accessPath = ReadText(path, "AccessPath");
    v.compactFiles = SplitList(ReadText(path, "CompactFiles"), &GetField);
    return v;
}

} // namespace quillet
