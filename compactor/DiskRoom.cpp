#include "compactor/DiskRoom.h"

#include <algorithm>

namespace quillet::compactor {

namespace {

constexpr std::uint64_t MiB = 1024 * 1024;

std::string Mb(std::uint64_t bytes, bool up) { return std::to_string((bytes + (up ? MiB - 1 : 0)) / MiB); }

} // namespace

DiskRoom::Hold::Hold(DiskRoom& room, std::string volume, std::uint64_t bytes)
    : room_(&room), volume_(std::move(volume)), bytes_(bytes) {
    const std::lock_guard lock(room.mutex_);
    room.held_[volume_] += bytes;
}

DiskRoom::Hold& DiskRoom::Hold::operator=(Hold&& other) noexcept {
    std::swap(room_, other.room_);
    std::swap(volume_, other.volume_);
    std::swap(bytes_, other.bytes_);
    return *this;
}

void DiskRoom::Hold::release() {
    if (!room_)
        return;
    const std::lock_guard lock(room_->mutex_);
    auto& held = room_->held_[volume_];
    held -= std::min(bytes_, held);
    room_ = nullptr;
}

std::optional<platform::DiskSpace> DiskRoom::unheldSpaceOf(const std::string& path) {
    auto space = spaceOf_(path);
    if (space) {
        const std::lock_guard lock(mutex_);
        space->freeBytes -= std::min(space->freeBytes, held_[space->volume]);
    }
    return space;
}

// The rebuilt copy needs the database's size on its volume; a backup needs as much
// again on its own, which may be the same volume.
DiskRoom::Reservation DiskRoom::reserve(const std::string& entry, std::uint64_t size, const std::string& backupFolder) {
    Reservation r;
    const auto here = unheldSpaceOf(entry);
    const auto there = backupFolder.empty() ? std::nullopt : unheldSpaceOf(backupFolder);
    const bool shared = here && there && here->volume == there->volume;
    const std::uint64_t needHere = shared ? 2 * size : size;
    if (here && here->freeBytes < needHere) {
        r.refusal = " needs " + Mb(needHere, true) + " MB free to be compacted, " + Mb(here->freeBytes, false) +
                    " MB are free; not compacted.";
        r.detail = "needs " + std::to_string(needHere) + " bytes free, " + std::to_string(here->freeBytes) + " are free";
        return r;
    }
    if (there && !shared && there->freeBytes < size) {
        r.refusal = " needs " + Mb(size, true) + " MB free in " + backupFolder + " for its backup, " +
                    Mb(there->freeBytes, false) + " MB are free; not compacted.";
        r.detail = "the backup needs " + std::to_string(size) + " bytes free in " + backupFolder + ", " +
                   std::to_string(there->freeBytes) + " are free";
        return r;
    }
    if (here)
        r.engine = Hold(*this, here->volume, size);
    if (there)
        r.backup = Hold(*this, there->volume, size);
    return r;
}

} // namespace quillet::compactor
