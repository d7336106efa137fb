#pragma once
// Spawn attributes shared by the ways this layer starts programs.
#include <csignal>
#include <spawn.h>

namespace quillet::platform {

// The child starts with default signal handling and nothing blocked, whatever the caller
// changed; with `ownGroup` it leads a new process group, so that it and all it starts can
// be ended together.
class SpawnAttributes {
public:
    explicit SpawnAttributes(bool ownGroup = false) {
        posix_spawnattr_init(&attr_);
        sigset_t all, none;
        sigfillset(&all);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attr_, &all);
        posix_spawnattr_setsigmask(&attr_, &none);
        short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
        if (ownGroup) {
            posix_spawnattr_setpgroup(&attr_, 0);
            flags |= POSIX_SPAWN_SETPGROUP;
        }
        posix_spawnattr_setflags(&attr_, flags);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    const posix_spawnattr_t* get() const { return &attr_; }

private:
    posix_spawnattr_t attr_;
};

} // namespace quillet::platform
