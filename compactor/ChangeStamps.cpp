#include "compactor/ChangeStamps.h"

#include "platform/Programs.h"

#include <cstdint>

namespace quillet::compactor {

namespace {

// 64-bit FNV-1a: a short, stable file name for a database path.
std::string PathKey(const std::string& path) {
    std::uint64_t h = 14695981039346656037ULL;
    for (unsigned char c : path)
        h = (h ^ c) * 1099511628211ULL;
    static const char hex[] = "0123456789abcdef";
    std::string key;
    for (int shift = 60; shift >= 0; shift -= 4)
        key += hex[(h >> shift) & 0xF];
    return key;
}

std::string StateText(const std::string& entry, const platform::FileStamp& stamp) {
    return entry + "\n" + std::to_string(stamp.size) + "\n" + std::to_string(stamp.modified) + "\n";
}

} // namespace

// Replaced whole: compactors running at the same time can only replace each other's
// record, never mix two.
std::string ChangeStamps::pathOf(const std::string& entry) const {
    return folder_ + platform::PathSeparator + PathKey(entry) + ".txt";
}

bool ChangeStamps::unchangedSinceCompacted(const std::string& entry, const platform::FileStamp& stamp) const {
    std::string text;
    return platform::ReadWholeFile(pathOf(entry), text) && text == StateText(entry, stamp);
}

void ChangeStamps::rememberCompacted(const std::string& entry) const {
    const auto stamp = platform::StampOf(entry);
    if (!stamp)
        return;
    if (!platform::CreateFolder(folder_) || !platform::ReplaceFileContent(pathOf(entry), StateText(entry, *stamp)))
        journal_.log(" Could not record the compaction of " + entry + " in " + folder_ + ".");
}

} // namespace quillet::compactor
