#include "core/FileTail.h"

#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace quillet {

bool ReadFileTail(const std::string& path, std::uint64_t limit, std::string& bytes, std::uint64_t& fileSize) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(platform::FsPath(path), ec))
        return false;
    std::ifstream in(platform::FsPath(path), std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    fileSize = static_cast<std::uint64_t>(size);
    const std::uint64_t count = std::min<std::uint64_t>(fileSize, limit);
    in.seekg(static_cast<std::streamoff>(fileSize - count));
    bytes.resize(count);
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    // A file cut shorter meanwhile gives what was there.
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

std::string FileTailFailure(const std::string& path) {
    const std::string system = platform::LastFileErrorText();
    std::error_code ec;
    const std::filesystem::path file = platform::FsPath(path);
    if (!std::filesystem::exists(file, ec))
        return "it does not exist";
    return std::filesystem::is_directory(file, ec) ? "it is a folder" : system;
}

bool ReadTextFileTail(const std::string& path, std::uint64_t limit, std::string& text, std::uint64_t& fileSize) {
    std::string bytes;
    if (!ReadFileTail(path, limit, bytes, fileSize))
        return false;
    if (bytes.size() >= fileSize) {
        text = platform::TextOfFileBytes(bytes);
        return true;
    }
    std::string head;
    const bool marked = platform::ReadFileHead(path, platform::Utf8Mark.size(), head) && platform::HasUtf8Mark(head);
    std::size_t skip = 0;
    while (skip < 3 && skip < bytes.size() && (static_cast<unsigned char>(bytes[skip]) & 0xC0) == 0x80)
        ++skip;
    text = platform::TextOfFileBytes(std::string_view(bytes).substr(skip), marked);
    return true;
}

} // namespace quillet
