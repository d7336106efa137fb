// The running program's own command-line arguments.
#pragma once

#include <string>
#include <vector>

namespace quillet::platform {

// The arguments after the program's name, in UTF-8. Windows: taken from the wide
// command line and split by the C runtime's rules (SplitArguments), so that names the
// ANSI code page cannot hold arrive whole; `argv` is not looked at. Elsewhere: argv.
std::vector<std::string> ProgramArguments(int argc, char** argv);

} // namespace quillet::platform
