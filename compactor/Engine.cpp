#include "compactor/Engine.h"

#include "core/Include.h"
#include "platform/Files.h"
#include "platform/PathText.h"
#include "platform/Programs.h"
#include "platform/SecretChannel.h"

#include <optional>

namespace quillet::compactor {

std::string BuildCommandLine(const CompactionSettings& s, const EngineCall& call, const std::string& password) {
    std::string line = s.accessPath + " " + call.currentEntry;
    if (!s.workgroupFile.empty())
        line += " /wrkgrp " + s.workgroupFile;
    line += s.repairSwitch;
    line += " /compact";
    if (!s.userName.empty() || !s.password.empty())
        line += " /user " + s.userName +
                (call.passwordDescriptor >= 0 ? " /pwdfd " + std::to_string(call.passwordDescriptor)
                                              : " /pwd " + password);
    return line;
}

std::string LoggedCommandLine(const CompactionSettings& s, const EngineCall& call) {
    // An empty password stays empty: the mask would claim one that was never sent.
    return BuildCommandLine(s, call, s.password.empty() ? std::string() : std::string(PasswordMask));
}

bool EngineFound(const std::string& accessPath) {
    if (platform::FileExists(accessPath))
        return true;
    return !accessPath.empty() && accessPath.find_first_of("/\\\"") == std::string::npos &&
           platform::ParseCommandLine(QuotePath(accessPath)).has_value();
}

bool IsStandIn(const std::string& accessPath) {
    std::string path = accessPath;
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
    return platform::FileNameOf(path) == platform::EngineProgramName;
}

EngineRun RunEngine(const CompactionSettings& s, const std::string& entry, bool passwordByChannel,
                    std::chrono::milliseconds limit) {
    EngineRun run;
    run.call.currentEntry = QuotePath(entry);
    // Open until the engine has ended.
    std::optional<platform::SecretChannel> channel;
    if (passwordByChannel && (channel = platform::SecretChannel::Open(s.password)))
        run.call.passwordDescriptor = channel->descriptor();
    run.call.commandLine = BuildCommandLine(s, run.call, s.password);
    if (run.call.commandLine.size() <= MaxCommandLine && (!passwordByChannel || channel))
        run.result = platform::RunGuarded(run.call.commandLine, SW_SHOWNORMAL_MODE, limit);
    return run;
}

} // namespace quillet::compactor
