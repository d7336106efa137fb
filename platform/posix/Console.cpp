#include "platform/Console.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <optional>
#include <termios.h>
#include <unistd.h>

namespace quillet::platform {

namespace {

// A signal that ends the program at the prompt (Ctrl-C, a closed terminal) must not leave
// the user's terminal without echo.
termios gShown{};
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreEchoAndEnd(int signal) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &gShown); // async-signal-safe
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class EchoOff {
public:
    explicit EchoOff(const termios& shown) {
        gShown = shown;
        struct sigaction restore {};
        restore.sa_handler = RestoreEchoAndEnd;
        sigemptyset(&restore.sa_mask);
        for (std::size_t i = 0; i < std::size(EndingSignals); ++i)
            ::sigaction(EndingSignals[i], &restore, &before_[i]);
        termios hidden = shown;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    }
    ~EchoOff() {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &gShown);
        for (std::size_t i = 0; i < std::size(EndingSignals); ++i)
            ::sigaction(EndingSignals[i], &before_[i], nullptr);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    struct sigaction before_[std::size(EndingSignals)] {};
};

} // namespace

void UseParentConsole() {}

std::string ReadHiddenLine(const std::string& prompt) {
    termios shown{};
    const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &shown) == 0;
    std::string line;
    {
        std::optional<EchoOff> hidden;
        if (terminal) {
            hidden.emplace(shown);
            std::fputs(prompt.c_str(), stderr);
            std::fflush(stderr);
        }
        std::getline(std::cin, line);
    }
    if (terminal)
        std::fputs("\n", stderr); // the Enter that was not shown
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace quillet::platform
