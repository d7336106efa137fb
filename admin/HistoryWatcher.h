// When the history window reads its files again: on demand, and whenever the file's
// path, size or time changed. Reading happens wherever the window likes (a worker
// thread); the watcher only says when to start.
#pragma once

#include "platform/Files.h"

#include <optional>
#include <string>

namespace quillet::admin {

// Whether a file changed since it was last marked: another path, another size or time,
// or it appeared or went.
class FileWatch {
public:
    bool changed(const std::string& path) const;
    void mark(const std::string& path);

private:
    bool marked_ = false;
    std::string path_;
    std::optional<platform::FileStamp> stamp_;
};

class HistoryWatcher {
public:
    // The path to start reading now; nullopt while a reading runs, which is then
    // followed by another one.
    std::optional<std::string> reload(const std::string& path);
    // The same, only when the file changed since the last reading began.
    std::optional<std::string> reloadIfChanged(const std::string& path);
    // A reading has ended: the path to read again when a reload was asked for meanwhile.
    std::optional<std::string> loaded();
    bool loading() const { return loading_; }
    const std::string& path() const { return path_; }

private:
    FileWatch watch_;
    std::string path_;    // of the last reading
    std::string again_;   // asked for while reading
    bool loading_ = false;
    bool pending_ = false;
};

// The text of a file's end, read again only when it changed: the log is long and the
// selection changes often.
class WatchedTail {
public:
    // False when the file cannot be read or does not exist; failure() then says why.
    bool refresh(const std::string& path, std::uint64_t limit);
    const std::string& text() const { return text_; }
    const std::string& failure() const { return failure_; }

private:
    FileWatch watch_;
    std::string text_;
    std::string failure_;
    bool read_ = false;
};

} // namespace quillet::admin
