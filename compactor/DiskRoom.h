// The disk-room ledger: room on a volume that a running engine or a backup under way
// may still take is not free, so each holds its database's size until it has ended.
#pragma once

#include "platform/Files.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace quillet::compactor {

class DiskRoom {
public:
    using SpaceOf = std::function<std::optional<platform::DiskSpace>(const std::string&)>;

    // Bytes held on one volume until released or destroyed.
    class Hold {
    public:
        Hold() = default;
        ~Hold() { release(); }
        Hold(Hold&& other) noexcept { *this = std::move(other); }
        Hold& operator=(Hold&& other) noexcept;
        void release();

    private:
        friend class DiskRoom;
        Hold(DiskRoom& room, std::string volume, std::uint64_t bytes);
        DiskRoom* room_ = nullptr;
        std::string volume_;
        std::uint64_t bytes_ = 0;
    };

    // What a database takes: room for the rebuilt copy beside it and, with a backup
    // folder, as much again there.
    struct Reservation {
        std::string refusal; // the log line's text after the entry; empty: enough room
        std::string detail;  // the history's detail of a refusal
        Hold engine;         // the rebuilt copy
        Hold backup;         // the backup, until it is written
    };

    explicit DiskRoom(SpaceOf spaceOf) : spaceOf_(std::move(spaceOf)) {}
    DiskRoom(const DiskRoom&) = delete;
    DiskRoom& operator=(const DiskRoom&) = delete;

    // The room `entry` of `size` bytes needs, held when there is enough.
    Reservation reserve(const std::string& entry, std::uint64_t size, const std::string& backupFolder);

private:
    std::optional<platform::DiskSpace> unheldSpaceOf(const std::string& path);

    SpaceOf spaceOf_;
    std::mutex mutex_;                          // held_
    std::map<std::string, std::uint64_t> held_; // bytes per volume
};

} // namespace quillet::compactor
