// A child program for the process tests: writes its arguments (after argv[0]), one per
// line with its length in front, to the file named by QUILLET_ECHO_OUT, then exits
// with the code in QUILLET_ECHO_EXIT.
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (const char* out = std::getenv("QUILLET_ECHO_OUT")) {
        if (std::FILE* f = std::fopen(out, "wb")) {
            for (int i = 1; i < argc; ++i)
                std::fprintf(f, "%zu:%s\n", std::strlen(argv[i]), argv[i]);
            std::fclose(f);
        }
    }
    const char* code = std::getenv("QUILLET_ECHO_EXIT");
    return code ? std::atoi(code) : 0;
}
