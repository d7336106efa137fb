// What a run of the engine tells: an exit code with its one line, and the streams the
// lines go to.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace quillet::standin {

// A stage's end: ExitOk with no text, or the exit code and the line that says why.
struct Failure {
    int exit = 0;
    std::string text;
    bool failed() const { return exit != 0; }
};

// Turns an SQLite result into the exit code and the sentence the user sees. Without
// `repairing`, damage of any kind is 6 with the line that tells the user to tick Repair.
Failure Explain(int rc, const std::string& sqliteMessage, int busySeconds, const char* what, bool repairing = true);

// "1 row", "2 rows".
std::string Plural(std::size_t n, const char* word);

// Where the run's lines go: reports to `out`, one line per problem to `err`, each
// naming the database as the command gave it.
struct Report {
    std::ostream& out;
    std::ostream& err;
    std::string shown;

    // "QuilletEngine: <database>: <text>" on standard error.
    void note(const std::string& text) const { err << "QuilletEngine: " << shown << ": " << text << '\n'; }
    // The failure's line; its exit code.
    int fail(const Failure& f) const {
        note(f.text);
        return f.exit;
    }
};

} // namespace quillet::standin
