#include "core/ProgramOptions.h"

#include "core/ProgramVersion.h"
#include "platform/Console.h"

#include <cstdio>

namespace quillet {

std::string VersionLine(const std::string& program) {
    return program + " " + PackageVersion;
}

std::optional<int> AnswerStandardOption(const std::vector<std::string>& args, const std::string& program,
                                        const std::string& usage) {
    if (args.empty() || (args.front() != "--help" && args.front() != "--version"))
        return std::nullopt;
    platform::UseParentConsole();
    const std::string text = args.front() == "--help" ? usage : VersionLine(program) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return 0;
}

} // namespace quillet
