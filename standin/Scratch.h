// The rebuilt copy's file, in the temporary folder where SQLite's own VACUUM keeps its
// copy, so that the database's volume needs room for the journal only. Its name goes
// as soon as SQLite has it open. A lock file, held while the run lasts, tells a later
// run what a killed one left (VACUUM INTO's small journal) and may be removed.
#pragma once

#include <string>

namespace quillet::standin {

class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // The new file's path; empty text and errno set when the folder takes no new file.
    std::string create();
    // Takes the name away; the file lives on while SQLite has it open.
    void remove();

private:
    void removeLeftovers() const;

    std::string folder_, path_;
    int lock_ = -1;
    bool removed_ = false;
};

} // namespace quillet::standin
