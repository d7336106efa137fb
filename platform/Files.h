// File-system facts the programs need beyond the standard library.
#pragma once

#include <string>

namespace quillet::platform {

// True only for an existing file; a folder at the path counts as missing.
bool FileExists(const std::string& path);

// Appends the bytes in one write to a file opened for appending (created when
// missing), so that lines of two processes never interleave. False on any failure.
bool AppendToFile(const std::string& path, const std::string& bytes);

// Replaces the file's content as a whole: a temporary file in the same folder, then a
// rename over the target, keeping the target's permissions. The old content survives
// any failure. False on failure, with errno telling why. `permissions` (POSIX mode bits)
// replaces the kept ones where given; Windows has none to set.
bool ReplaceFileContent(const std::string& path, const std::string& bytes, int permissions = -1);

// Reads the whole file; false when it does not exist or cannot be read, or is no
// regular file (a folder, a pipe, a device).
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Whether the file exists and may not be written: it carries the read-only mark (no
// owner write permission), or this user has no permission to write it.
bool IsReadOnlyFile(const std::string& path);

// The system's words for why the last failed file operation of this thread failed
// ("Permission denied", "No space left on device"); read it before anything else runs.
std::string LastFileErrorText();

// Takes every permission for others than the owner away from the file, creating it
// empty and private when it is missing, so that what is written into it next (a
// password) is never readable by other users; later replacements keep the mode.
// Windows: nothing to do here, the folder's access list decides.
bool RestrictToOwner(const std::string& path);

} // namespace quillet::platform
