#include "platform/Console.h"

#include <cstdio>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace quillet::platform {

void UseParentConsole() {}

std::string ReadHiddenLine(const std::string& prompt) {
    termios shown {};
    const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &shown) == 0;
    if (terminal) {
        termios hidden = shown;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
        std::fputs(prompt.c_str(), stderr);
        std::fflush(stderr);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &shown);
        std::fputs("\n", stderr); // the Enter that was not shown
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace quillet::platform
