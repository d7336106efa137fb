// An engine for the schedule's tests that takes its time: it appends its arguments as
// one line to "calls.txt" next to itself, sleeps for the milliseconds in "delay.txt"
// there (none without it) and exits with the number in "exitcode.txt" (0 without it).
#include "platform/Files.h"
#include "platform/SelfPath.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    using namespace quillet::platform;
    const std::string folder = ExecutableFolder();
    std::string line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? "\t" : "") + std::string(argv[i]);
    if (!AppendToFile(folder + "calls.txt", line + "\n"))
        return 99;
    std::string text;
    if (ReadWholeFile(folder + "delay.txt", text))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(text.c_str())));
    if (ReadWholeFile(folder + "exitcode.txt", text))
        return std::atoi(text.c_str());
    return 0;
}
