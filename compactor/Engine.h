// The engine program as the pass starts it: its command line for one database, and
// the run itself.
#pragma once

#include "compactor/CompactionSettings.h"
#include "platform/Process.h"

#include <chrono>
#include <string>

namespace quillet::compactor {

// What changes from one database to the next.
struct EngineCall {
    std::string currentEntry; // after QuotePath
    std::string commandLine;
    // The stand-in reads the password from this inherited descriptor ("/pwdfd"), so that
    // it never stands on its command line; -1: "/pwd" and the password, as for any engine.
    int passwordDescriptor = -1;
};

// What stands in a logged command line instead of a password.
inline constexpr const char* PasswordMask = "****";

// The engine's command line for the call's entry, with `password` after " /pwd ", or
// " /pwdfd " and the descriptor that hands it over.
std::string BuildCommandLine(const CompactionSettings& s, const EngineCall& call, const std::string& password);
// The same line as it may be logged: a password is never written to the log.
std::string LoggedCommandLine(const CompactionSettings& s, const EngineCall& call);

// Whether the engine is there: a file at the path, or for a bare name the program the
// command line will find (beside the compactor or in PATH, where the system looks them up).
bool EngineFound(const std::string& accessPath);
// The stand-in, by its file name: it takes the password through a descriptor.
bool IsStandIn(const std::string& accessPath);

struct EngineRun {
    EngineCall call;
    platform::GuardedRun result; // not started: a line too long, or no channel for the password
};
// One engine run for `entry`, waited for up to `limit` (0: no limit). With
// `passwordByChannel` the password goes through a descriptor or nothing is started, as
// it must not go onto the command line instead.
EngineRun RunEngine(const CompactionSettings& s, const std::string& entry, bool passwordByChannel,
                    std::chrono::milliseconds limit);

} // namespace quillet::compactor
