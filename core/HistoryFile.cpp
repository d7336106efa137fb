#include "core/HistoryFile.h"

#include "core/FileTail.h"
#include "platform/DataFolder.h"
#include "platform/FsPath.h"
#include "platform/TextFile.h"

#include <filesystem>
#include <fstream>
#include <string_view>

namespace quillet {

namespace fs = std::filesystem;

std::string CompactorFileOf(const std::string& compactorPath, const std::string& name) {
    if (const auto data = platform::InstalledDataFolder(compactorPath))
        return *data + name;
    const fs::path folder = platform::FsPath(compactorPath).parent_path();
    return folder.empty() ? name : platform::Utf8Path(folder / name);
}

HistoryLoad LoadHistory(const std::string& path, std::uint64_t limit) {
    HistoryLoad load;
    std::error_code ec;
    load.exists = fs::exists(platform::FsPath(path), ec);
    std::string text;
    if (!load.exists)
        return load;
    if (!ReadFileTail(path, limit, text, load.fileSize)) {
        load.failure = FileTailFailure(path);
        return load;
    }
    load.readable = true;
    if (text.size() < load.fileSize) {
        // The header names the columns; the tail begins after its first cut line.
        std::string head;
        std::ifstream in(platform::FsPath(path), std::ios::binary);
        std::getline(in, head);
        const std::size_t cut = text.find('\n');
        const std::size_t keep = cut == std::string::npos ? text.size() : cut + 1;
        load.bytesNotRead = load.fileSize - (text.size() - keep);
        text = platform::TextOfFileBytes(head) + "\n" +
               platform::TextOfFileBytes(std::string_view(text).substr(keep), platform::HasUtf8Mark(head));
    } else {
        text = platform::TextOfFileBytes(text);
    }
    load.contents = ParseHistory(text);
    return load;
}

const HistoryLoad& HistoryFileCache::get(const std::string& path) {
    std::error_code sizeError, timeError;
    const std::uint64_t size = fs::file_size(platform::FsPath(path), sizeError);
    const auto time = fs::last_write_time(platform::FsPath(path), timeError).time_since_epoch().count();
    const bool same = valid_ && path == path_ && !sizeError && !timeError && size == size_ && time == time_;
    if (!same) {
        load_ = LoadHistory(path);
        path_ = path;
        size_ = sizeError ? 0 : size;
        time_ = timeError ? 0 : static_cast<std::int64_t>(time);
        // A file that could not be looked at is looked at again next time.
        valid_ = !sizeError && !timeError;
    }
    return load_;
}

} // namespace quillet
