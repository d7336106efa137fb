// Splitting of a Windows command line's arguments by the C runtime's rules. Shared by
// both builds: the Linux layer executes with it, the Windows tests check it.
#include "platform/Process.h"

#include <algorithm>

namespace quillet::platform {

std::string LastLineOf(const std::string& text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t end = text.size();
    while (end > 0 && blank(text[end - 1]))
        --end;
    std::size_t begin = text.find_last_of("\r\n", end == 0 ? 0 : end - 1);
    begin = begin == std::string::npos || end == 0 ? 0 : begin + 1;
    while (begin < end && blank(text[begin]))
        ++begin;
    return text.substr(begin, std::min<std::size_t>(end - begin, 500));
}

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
