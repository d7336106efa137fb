// The stand-in for the database engine that the compactor starts once per database:
// it accepts the engine's command line and compacts or checks SQLite database files.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quillet::standin {

struct EngineOptions {
    std::optional<std::string> database;
    bool compact = false;
    bool repair = false;
    bool help = false;
    // Accepted for the engine's command line; SQLite has no workgroups, users or passwords.
    std::string workgroup;
    std::string user;
    std::string password;
    int passwordDescriptor = -1; // "/pwdfd": the password is read from this inherited descriptor
    int busyTimeoutSeconds = 10;
    std::vector<std::string> ignored; // unknown switches and stray words
    std::string error;                // a command line that cannot be used
};

// Exit codes, also listed in the help text.
enum EngineExit : int {
    ExitOk = 0,
    ExitUsage = 1,
    ExitMissing = 2,     // no such file, a folder, or unreadable
    ExitNotSqlite = 3,   // not an SQLite database
    ExitBusy = 4,        // locked by another program for longer than the busy timeout
    ExitWriteFailed = 5, // disk full, read-only, I/O error; the file is as it was
    ExitDamaged = 6,     // problems found and not fixed, or corrupt without /repair
    ExitRowsLost = 7,    // repaired, but some rows could not be salvaged
};

// Switches are case-insensitive. The first word that is not a switch is the database;
// "/wrkgrp", "/user" and "/pwd" take the next word unless that is a switch itself;
// "/pwdfd" takes a descriptor number, which the caller reads the password from.
EngineOptions ParseEngineArgs(const std::vector<std::string>& args);

// Runs the command: reports go to `out`, the one-line failure message to `err`.
int RunEngine(const EngineOptions& options, std::ostream& out, std::ostream& err);

extern const char* const EngineHelpText;

} // namespace quillet::standin
