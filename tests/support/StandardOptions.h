// "--help" and "--version" of a built program, run from a copy in an empty folder: both
// print on standard output and end with 0, and the folder holds nothing new afterwards
// (no error.log, no settings, no data folder).
#pragma once

#include "core/ProgramVersion.h"
#include "platform/Command.h"
#include "platform/SelfPath.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace quillet::test {

// A program of the build, beside the tests' folder: build/<preset>/bin/<name><suffix>.
inline std::string BuiltProgram(const std::string& name, const std::string& suffix) {
    return (std::filesystem::path(platform::ExecutableFolder()) / ".." / "bin" / (name + suffix)).string();
}

// `launcher` goes before the program on the command line (a POSIX "env -u DISPLAY").
inline void ExpectStandardOptions(const std::string& builtProgram, const std::string& name,
                                  const std::vector<std::string>& launcher = {}) {
    TempDir dir;
    const std::string program = dir.file(std::filesystem::path(builtProgram).filename().string());
    std::filesystem::copy_file(builtProgram, program);
    for (const std::string option : {"--help", "--version"}) {
        std::vector<std::string> argv = launcher;
        argv.push_back(program);
        argv.push_back(option);
        const platform::CommandResult r = platform::RunCommand(argv);
        std::string out = r.output;
        out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
        EXPECT_EQ(r.exitCode, 0) << option << ":\n" << out;
        if (option == "--version")
            EXPECT_EQ(out, name + " " + PackageVersion + "\n");
        else
            EXPECT_EQ(out.rfind("Usage: " + name + " ", 0), 0u) << out;
    }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{std::filesystem::path(program).filename().string()});
}

} // namespace quillet::test
