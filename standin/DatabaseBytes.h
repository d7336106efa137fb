// The bytes of a database file as SQLite sees them: read through SQLite's own handle
// when a connection of ours has the file open, so that the locks it holds stay (on
// POSIX, closing any descriptor of a file drops every lock the process holds on it),
// with the committed pages of the write-ahead log laid over them.
#pragma once

#include "standin/PageReader.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_file;

namespace quillet::standin {

// The main file that `db` has open, read with its own xRead.
class HandleSource final : public PageSource {
public:
    explicit HandleSource(sqlite3* db);
    bool open() const { return file_ != nullptr; }
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, unsigned char* buffer, std::size_t length) const override;

private:
    sqlite3_file* file_ = nullptr;
    std::uint64_t size_ = 0;
};

// A descriptor closed on every path; only for files SQLite does not lock (the log, a
// kept copy, a new file).
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    ~Fd();
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

// A database and its log: the pages SQLite itself would read, no checkpoint written.
class DatabaseBytes {
public:
    // The file `db` has open at `path`; its log is opened beside it (SQLite locks the
    // shared-memory file, never the log, so that descriptor may close).
    DatabaseBytes(sqlite3* db, const std::string& path);
    // A file no connection of ours has open, such as a kept copy.
    explicit DatabaseBytes(const std::string& path);
    DatabaseBytes(const DatabaseBytes&) = delete;
    DatabaseBytes& operator=(const DatabaseBytes&) = delete;

    bool open() const { return main_ != nullptr; }
    // The main file's own bytes, without the log.
    const PageSource& file() const { return *main_; }
    // The main file with the log's committed pages over it.
    const PageSource& pages() const;

private:
    void openLog(const std::string& path);

    Fd ownMain_, log_;
    std::unique_ptr<PageSource> main_;
    std::unique_ptr<FileSource> logSource_;
    std::unique_ptr<LoggedSource> logged_;
};

// Copies all of `from` into a new file `to` (never over an existing one), synced;
// false with errno set and no `to` left on failure.
bool CopyBytes(const PageSource& from, const std::string& to, unsigned mode);

} // namespace quillet::standin
