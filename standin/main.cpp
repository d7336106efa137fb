#include "core/ProgramOptions.h"
#include "platform/SecretChannel.h"
#include "standin/Engine.h"

#include <iostream>
#include <malloc.h>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // The page caches of one run come and go (the check's, the copy's, the write-back's):
    // memory they give back is kept for the next rather than returned to the system and
    // faulted in anew, a cost the size of a small file's whole compaction. One arena,
    // so that what the check's thread gave back serves the write-back too and the peak
    // stays what the largest cache needs.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
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
