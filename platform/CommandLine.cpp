// Splitting of a Windows command line's arguments by the C runtime's rules. Shared by
// both builds: the Linux layer executes with it, the Windows tests check it.
#include "platform/Process.h"

namespace quillet::platform {

std::vector<std::string> SplitArguments(const std::string& arguments) {
    std::vector<std::string> args;
    const std::size_t n = arguments.size();
    std::size_t i = 0;
    for (;;) {
        while (i < n && (arguments[i] == ' ' || arguments[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        bool inQuotes = false;
        while (i < n) {
            std::size_t slashes = 0;
            while (i < n && arguments[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && arguments[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"';
                    ++i;
                    continue;
                }
                if (inQuotes && i + 1 < n && arguments[i + 1] == '"') {
                    arg += '"'; // a doubled quote inside quotes stays inside
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            arg.append(slashes, '\\');
            if (i >= n)
                break;
            const char c = arguments[i];
            if (!inQuotes && (c == ' ' || c == '\t'))
                break;
            arg += c;
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

} // namespace quillet::platform
