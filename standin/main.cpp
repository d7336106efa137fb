#include "core/ProgramOptions.h"
#include "platform/SecretChannel.h"
#include "standin/Engine.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto code = quillet::AnswerStandardOption(args, "QuilletEngine", quillet::standin::EngineHelpText))
        return *code;
    quillet::standin::EngineOptions options = quillet::standin::ParseEngineArgs(args);
    if (options.passwordDescriptor >= 0) {
        if (const auto password = quillet::platform::ReadSecret(options.passwordDescriptor))
            options.password = *password;
        else if (options.error.empty())
            options.error = "/pwdfd: no password could be read from descriptor " +
                            std::to_string(options.passwordDescriptor);
    }
    return quillet::standin::RunEngine(options, std::cout, std::cerr);
}
