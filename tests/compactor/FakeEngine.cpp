// A recording engine for the compactor's tests. It appends its arguments, separated by
// tabs, as one line to "calls.txt" next to itself, and exits with the number found in
// "exitcode.txt" there (0 without that file). With "--wait-for <file>" first, it waits
// until that file exists (60 s at most) before it records anything.
#include "platform/Files.h"
#include "platform/SelfPath.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    using namespace quillet::platform;
    if (argc > 2 && std::string(argv[1]) == "--wait-for") {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!FileExists(argv[2]) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? "\t" : "") + std::string(argv[i]);
    const std::string folder = ExecutableFolder();
    if (!AppendToFile(folder + "calls.txt", line + "\n"))
        return 99;
    std::string code;
    if (ReadWholeFile(folder + "exitcode.txt", code))
        return std::atoi(code.c_str());
    return 0;
}
