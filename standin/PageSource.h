// Where the page reader gets its bytes: a file, memory, or a file with its log.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet::standin {

// Bytes of a database file. A read past the end fails; it never returns less.
class PageSource {
public:
    virtual ~PageSource() = default;
    virtual std::uint64_t size() const = 0;
    virtual bool read(std::uint64_t offset, unsigned char* buffer, std::size_t length) const = 0;
};

class FileSource final : public PageSource {
public:
    explicit FileSource(int fd); // not owned
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, unsigned char* buffer, std::size_t length) const override;

private:
    int fd_;
    std::uint64_t size_ = 0;
};

class MemorySource final : public PageSource {
public:
    MemorySource(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, unsigned char* buffer, std::size_t length) const override;

private:
    const unsigned char* data_;
    std::size_t size_;
};

} // namespace quillet::standin
