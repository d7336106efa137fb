// A secret kept for the current user only: Windows protects it with the user's DPAPI key;
// elsewhere it is a file only its owner may read (mode 0600), and a file that others may
// read is refused rather than used.
#pragma once

#include <optional>
#include <string>

namespace quillet::platform {

// Writes `secret` to `path`, replacing what was there; false with `reason` set when it
// could not be kept safely.
bool StoreSecret(const std::string& path, const std::string& secret, std::string& reason);

// The secret at `path`; nothing with `reason` set when there is none ("no password is
// stored") or it may not be used (others can read the file, it cannot be decrypted).
std::optional<std::string> LoadSecret(const std::string& path, std::string& reason);

// Removes the secret; true when none is left.
bool ForgetSecret(const std::string& path);

} // namespace quillet::platform
