// A recording engine for the compactor's tests. It appends its arguments, separated by
// tabs, as one line to "calls.txt" next to itself, writes the content of "stderr.txt"
// there (if any) to its standard error, and exits with the number found in
// "exitcode.txt" there (0 without that file). With "--wait-for <file>" first, it waits
// until that file exists (60 s at most) before it records anything. A database whose
// content begins with "hang" makes it hang: it ignores SIGTERM, starts a copy of itself
// that does the same, and both append to "heartbeat.txt" every 20 ms until killed (the
// copy "c", the engine itself the letter after "hang", or "p"). A database that reads
// "touch <file>" makes it create that file; "wait-for <file>" makes it wait for that
// file (20 s at most) and exit 3 when it never came; "exclusive <file>" makes it hold
// that new file for 300 ms, and exit 4 when the file was there already.
#include "platform/Arguments.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/SelfPath.h"

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

[[noreturn]] void Hang(const std::string& folder, const std::string& mark) {
    std::signal(SIGTERM, SIG_IGN);
    for (;;) {
        quillet::platform::AppendToFile(folder + "heartbeat.txt", mark);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

int main(int argc, char** argv) {
    using namespace quillet::platform;
    const std::string folder = ExecutableFolder();
    const std::vector<std::string> args = ProgramArguments(argc, argv);
    if (!args.empty() && args[0] == "--hang-child")
        Hang(folder, "c");
    if (args.size() > 1 && args[0] == "--wait-for") {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!FileExists(args[1]) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i)
        line += (i > 0 ? "\t" : "") + args[i];
    if (!AppendToFile(folder + "calls.txt", line + "\n"))
        return 99;
    std::string text;
    if (!args.empty() && ReadWholeFile(args[0], text) && text.rfind("hang", 0) == 0) {
        StartProcess("\"" + ExecutablePath() + "\" --hang-child", 0);
        Hang(folder, text.size() > 4 && std::isalpha(static_cast<unsigned char>(text[4])) ? text.substr(4, 1) : "p");
    }
    if (text.rfind("touch ", 0) == 0 && !AppendToFile(text.substr(6), "here"))
        return 98;
    if (text.rfind("exclusive ", 0) == 0) {
        const std::string held = text.substr(10);
        if (!CreateNewFile(held, "running"))
            return 4;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        RemoveFile(held);
    }
    if (text.rfind("wait-for ", 0) == 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!FileExists(text.substr(9))) {
            if (std::chrono::steady_clock::now() >= deadline)
                return 3;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (ReadWholeFile(folder + "stderr.txt", text))
        std::cerr << text << std::flush;
    if (ReadWholeFile(folder + "exitcode.txt", text))
        return std::atoi(text.c_str());
    return 0;
}
