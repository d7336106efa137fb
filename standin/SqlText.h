// Pieces of SQL text that the engine builds or reads: names quoted for statements, and
// the ASCII case folding that SQLite's keywords and names use (to lower case:
// core's LowerAscii).
#pragma once

#include <string>

namespace quillet::standin {

// A name as an SQL identifier: in double quotes, its own double quotes doubled.
inline std::string QuoteName(const std::string& name) {
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

// SQLite folds only ASCII letters; bytes of UTF-8 sequences stay as they are.
inline std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace quillet::standin
