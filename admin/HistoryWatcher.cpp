#include "admin/HistoryWatcher.h"

#include "core/FileTail.h"

namespace quillet::admin {

bool FileWatch::changed(const std::string& path) const {
    return !marked_ || path != path_ || platform::StampOf(path) != stamp_;
}

void FileWatch::mark(const std::string& path) {
    marked_ = true;
    path_ = path;
    stamp_ = platform::StampOf(path);
}

std::optional<std::string> HistoryWatcher::reload(const std::string& path) {
    if (loading_) {
        pending_ = true;
        again_ = path;
        return std::nullopt;
    }
    loading_ = true;
    path_ = path;
    // Marked before reading: a change during the reading is seen next time.
    watch_.mark(path);
    return path;
}

std::optional<std::string> HistoryWatcher::reloadIfChanged(const std::string& path) {
    if (!watch_.changed(path))
        return std::nullopt;
    return reload(path);
}

std::optional<std::string> HistoryWatcher::loaded() {
    loading_ = false;
    if (!pending_)
        return std::nullopt;
    pending_ = false;
    return reload(again_);
}

bool WatchedTail::refresh(const std::string& path, std::uint64_t limit) {
    if (watch_.changed(path)) {
        watch_.mark(path);
        std::uint64_t size = 0;
        read_ = ReadTextFileTail(path, limit, text_, size);
        failure_ = read_ ? std::string() : FileTailFailure(path);
    }
    return read_;
}

} // namespace quillet::admin
