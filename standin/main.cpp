#include "core/ProgramOptions.h"
#include "standin/Engine.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto code = quillet::AnswerStandardOption(args, "QuilletEngine", quillet::standin::EngineHelpText))
        return *code;
    return quillet::standin::RunEngine(quillet::standin::ParseEngineArgs(args), std::cout, std::cerr);
}
