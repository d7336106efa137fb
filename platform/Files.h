// File-system facts the programs need beyond the standard library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet::platform {

// True only for an existing file; a folder at the path counts as missing.
bool FileExists(const std::string& path);
// True only when the system says nothing is at the path. Something that cannot be
// looked at (no permission on its folder, an I/O error) is not absent.
bool NothingAt(const std::string& path);

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
// Windows: an access list of its own, not inherited from the folder, that grants the
// user, SYSTEM and the Administrators group and nobody else; writes in place keep it.
bool RestrictToOwner(const std::string& path);

// At most `count` bytes from the start of a regular file; false as ReadWholeFile.
bool ReadFileHead(const std::string& path, std::size_t count, std::string& bytes);

// Creates the file with the bytes as one step: a half-written file is never seen under
// the name. False when something exists at the path already, or on failure.
bool CreateNewFile(const std::string& path, const std::string& bytes);

bool FolderExists(const std::string& path);
// Creates one folder; true also when it exists already.
bool CreateFolder(const std::string& path);
// Removes a file (never a folder); false when it could not be removed.
bool RemoveFile(const std::string& path);
// Gives a file another name in the same volume as one step, for a name nobody else
// uses; false when nothing is at `from` any more (another process moved it first).
bool RenameFile(const std::string& from, const std::string& to);
// The folder for temporary files, ending in a separator; empty when there is none.
std::string TempFolder();
// The names (without folder) of the files in a folder; folders left out.
std::vector<std::string> FilesInFolder(const std::string& folder);

// Size and modification time as the file system keeps them; `modified` is in the
// system's own unit, only for comparing.
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t modified = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const std::string& path);

// The room left for this user on the volume that holds `path` (a file or a folder), and
// which volume that is, to tell whether two paths share one.
struct DiskSpace {
    std::uint64_t freeBytes = 0;
    std::string volume;
};
std::optional<DiskSpace> DiskSpaceOf(const std::string& path);

// A database engine's lock file found beside a database.
enum class LockFile {
    Absent,
    Stale, // nobody held it; it has been removed
    Held,  // in use, or it cannot be removed
};
// Windows: a delete attempt, which fails while the engine holds the file open. POSIX:
// held while another process has an flock or fcntl lock on it or, as far as /proc shows
// this user, has it open; otherwise it is removed.
LockFile RemoveStaleLockFile(const std::string& path);

// Copies a file under a temporary name in the target's folder, flushes it to disk and
// renames it to `to`, replacing a file there. POSIX: the copy keeps the source's
// permission bits, and drops the group's when it cannot keep the source's group;
// Windows: it takes the folder's inherited access rules. On failure nothing is left
// under either name and `reason` says why.
bool CopyFileFlushed(const std::string& from, const std::string& to, std::string& reason);

// A second name for an existing file in the same volume (a hard link); false when the
// name is taken or the file system has no such names.
bool LinkFile(const std::string& existing, const std::string& link);
// Gives a file the name `to` as one step, replacing a file there: at every moment `to`
// names one whole file, the old or the new.
bool MoveFileOver(const std::string& from, const std::string& to);
// Writes what the system holds of the file to the disk.
bool FlushFile(const std::string& path);
// Writes the folder's names to the disk, so that a rename in it outlives a power cut.
// Windows: true; a rename there is written through.
bool FlushFolder(const std::string& folder);
// Gives `to` the permission bits of `from`, and its owner and group where this user
// may (without the group's bits when the group cannot be kept). Windows: true; a file
// takes its folder's inherited access rules.
bool TakeOwnership(const std::string& from, const std::string& to);

} // namespace quillet::platform
