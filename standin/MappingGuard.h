// A file that SQLite maps into memory (PRAGMA mmap_size) may be cut short by a program
// that ignores the database's locks; a read of a mapped page past the new end then
// raises SIGBUS, which would kill the engine in the middle of its run. While a guard
// lives, such a page reads as zeros instead and the guard counts the fault, so that
// the caller can refuse whatever was read meanwhile.
#pragma once

namespace quillet::standin {

class MappingGuard {
public:
    // Takes SIGBUS over for the process; one guard at a time.
    MappingGuard();
    // Gives SIGBUS back to its previous handler.
    ~MappingGuard();
    MappingGuard(const MappingGuard&) = delete;
    MappingGuard& operator=(const MappingGuard&) = delete;

    // Whether a mapped read past a file's end happened since this guard was made.
    bool faulted() const;

private:
    bool installed_ = false;
};

} // namespace quillet::standin
