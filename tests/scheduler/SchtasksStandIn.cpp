// A stand-in for schtasks.exe: /Create keeps the task definition in the folder named
// by STANDIN_STATE, /Query answers from it in schtasks' CSV columns, /Delete removes
// it. Every call's arguments are appended to "calls.txt" there.
#include "platform/Files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    using namespace quillet::platform;
    const char* dir = std::getenv("STANDIN_STATE");
    if (!dir || argc < 2)
        return 2;
    const std::string state = std::string(dir) + "\\";
    std::string line;
    std::string xml, name;
    for (int i = 1; i < argc; ++i) {
        line += (i > 1 ? " " : "") + std::string(argv[i]);
        if (std::string(argv[i]) == "/XML" && i + 1 < argc)
            xml = argv[i + 1];
        if (std::string(argv[i]) == "/TN" && i + 1 < argc)
            name = argv[i + 1];
    }
    AppendToFile(state + "calls.txt", line + "\n");
    const std::string task = state + name + ".xml";
    const std::string verb = argv[1];
    if (verb == "/Create") {
        std::string text;
        return ReadWholeFile(xml, text) && ReplaceFileContent(task, text) ? 0 : 1;
    }
    if (!FileExists(task)) {
        std::printf("ERROR: The system cannot find the file specified.\r\n");
        return 1;
    }
    if (verb == "/Delete")
        return std::filesystem::remove(task) ? 0 : 1;
    std::printf("\"HOST\",\"\\%s\",\"12/8/2026 4:03:00 AM\",\"Ready\",\"Interactive only\",\"N/A\",\"267011\"\r\n",
                name.c_str());
    return 0;
}
