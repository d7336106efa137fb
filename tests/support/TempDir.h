// A fresh folder for one test, removed afterwards.
#pragma once

#include "platform/FsPath.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace quillet::test {

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("quillet-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The path of a name inside the folder, with the platform's separator; both in UTF-8.
    std::string file(const std::string& name) const {
        return platform::Utf8Path((path_ / platform::FsPath(name)).make_preferred());
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(platform::FsPath(path), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(platform::FsPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace quillet::test
