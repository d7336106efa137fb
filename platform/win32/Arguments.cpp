#include "platform/Arguments.h"

#include "platform/Process.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace quillet::platform {

std::vector<std::string> ProgramArguments(int, char**) {
    const std::string line = win32::Utf8(::GetCommandLineW());
    // The program's name ends at its closing quote, or at the first blank when unquoted.
    std::size_t at = 0;
    if (!line.empty() && line[0] == '"') {
        const std::size_t close = line.find('"', 1);
        at = close == std::string::npos ? line.size() : close + 1;
    }
    while (at < line.size() && line[at] != ' ' && line[at] != '\t')
        ++at;
    return SplitArguments(line.substr(at));
}

} // namespace quillet::platform
