// The two options every program answers the same way, before it reads a setting,
// opens a window or writes a file: "--help" and "--version".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillet {

// "<program> <version>", the package's version (major.minor.patch).
std::string VersionLine(const std::string& program);

// When the first argument (after the program name) is "--help" or "--version": the
// usage text or the version line on standard output, and the exit code 0 to end with.
// Nothing for any other command line.
std::optional<int> AnswerStandardOption(const std::vector<std::string>& args, const std::string& program,
                                        const std::string& usage);

} // namespace quillet
