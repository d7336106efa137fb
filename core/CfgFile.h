// The compaction configuration file: section "Defaults" of an INI file, written by
// the editor, read by the editor and by the compactor.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillet {

// Amount by which a stored password's character codes are raised when "Encrypt" is set.
constexpr int PasswordShift = 5;

// Guards of an unattended pass: keys written after the nine, each optional; a missing
// or odd value reads as the default given here.
struct CfgOptions {
    int timeLimit = 0;        // minutes one engine run may take; 0 means no limit
    bool skipInUse = true;    // leave a database alone while its lock file is held
    std::string backupFolder; // empty: no backups
    int backupKeep = 3;       // backups kept per database, at least 1
    bool onlyChanged = false; // skip a database unchanged since its last good compaction
    int parallel = 1;         // engines run at the same time, at least 1
    bool operator==(const CfgOptions&) const = default;
};

struct CfgValues {
    std::vector<std::string> compactFiles;
    std::string accessPath;
    std::string description;
    bool repair = false;
    std::string workgroup;
    std::string login;
    bool encrypt = false;
    std::string password; // as typed, never shifted
    std::string launchFile;
    CfgOptions options;
};

// The one section of the file.
inline constexpr const char* CfgSection = "Defaults";

// Writes the nine keys in order, then the guard keys. CompactFiles is written unchecked; the first later
// key that cannot be written throws EIniFileException and the keys after it keep
// their values. A password that the file could not give back exactly throws
// EInvalidValue before anything is written.
void WriteCfgFile(const std::string& path, const CfgValues& values);

// The editor's read: the list through GetQuotedField (32768 characters); AccessPath
// is not read and stays empty.
CfgValues ReadCfgForEditor(const std::string& path);

// The compactor's read: GetField over at most 2047 characters; Description is not read.
CfgValues ReadCfgForCompactor(const std::string& path);

// A whole number in plain decimal digits (blanks around allowed), or nothing.
std::optional<int> ParseWholeNumber(const std::string& text);

// Booleans are integers: decimal, or hexadecimal after "0x" or "$"; anything else is false.
bool ReadCfgBool(const std::string& path, const std::string& key);

// The list's text as the editor writes it: every path followed by "|".
std::string JoinCompactFiles(const std::vector<std::string>& files);

// Whether a value written to a profile file reads back unchanged.
bool ProfileValueRoundTrips(const std::string& value);

} // namespace quillet
