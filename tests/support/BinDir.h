// Where a test finds the built programs, for the tests that run them from end to end.
#pragma once

#include "platform/Files.h"
#include "platform/SelfPath.h"

#include <cstdlib>
#include <string>

#ifndef QUILLET_EXE_SUFFIX
#define QUILLET_EXE_SUFFIX ""
#endif

namespace quillet::test {

inline const std::string ExeSuffix = QUILLET_EXE_SUFFIX;

// QUILLET_BIN_DIR when it holds the programs (under wine it may not be a path there),
// else ../bin beside the test program.
inline std::string BinDir() {
    if (const char* env = std::getenv("QUILLET_BIN_DIR"); env && *env) {
        std::string dir = env;
        if (dir.back() != '/' && dir.back() != '\\')
            dir += '/';
        if (platform::FileExists(dir + "Quillet" + ExeSuffix))
            return dir;
    }
    return platform::ExecutableFolder() + "../bin/";
}

} // namespace quillet::test
