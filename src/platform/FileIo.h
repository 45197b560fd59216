#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Path.h"
#include "platform/SystemError.h"

namespace varo {

// Paths are UTF-8 on Windows and the file system's own bytes elsewhere.

// How a file stood when it was looked at: its size and times tell whether
// its content may have changed, its device and number whether it is still
// the same file. Times count in the finest unit the system keeps
// (nanoseconds on POSIX, 100 ns on Windows).
struct FileState {
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // st_mtim, LastWriteTime
    std::int64_t changed = 0;   // st_ctim, ChangeTime
    std::uint64_t device = 0;   // st_dev, the volume serial number
    std::uint64_t file = 0;     // st_ino, the file index

    bool operator==(const FileState&) const = default;
};

// A regular file opened for reading from start to end.
class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False, with the reason in `error`, when the file cannot be opened or
    // is not a regular file: kind EISDIR for a folder, kNotRegularFile for a
    // pipe, a device or a socket (opened without waiting for a writer, and
    // never read), kReservedDeviceName for CON, NUL … on Windows.
    bool Open(const std::string& path, SystemError& error);
    // The length the file system gave when it was opened.
    std::uint64_t Size() const { return state_.size; }
    // The file as it was when it was opened.
    const FileState& State() const { return state_; }
    // Up to `size` bytes: their count, 0 at the end, -1 on failure (the
    // reason in `error`).
    std::int64_t Read(void* buffer, std::size_t size, SystemError& error);
    // Read, telling also whether the bytes had to come from the disk rather
    // than the system's cache (asked of the system where it can say, as
    // Linux does; judged by the time the read took elsewhere).
    std::int64_t Read(void* buffer, std::size_t size, SystemError& error, bool& fromDisk);
    // False, with kind kChangedWhileRead, when the file's size or times
    // are no longer what they were when it was opened, or when `path` (the
    // one it was opened by) no longer names this very file: replaced by a
    // rename, deleted, a folder put in its place. Asked after the last read,
    // so that a digest always describes the file that is at its path.
    bool Unchanged(const std::string& path, SystemError& error) const;
    // Has the system fetch the first `bytes` of the file into its cache
    // without waiting for them, so that the read that follows finds them
    // there: for files next in line while others are digested.
    void Prefetch(std::uint64_t bytes) const;

  private:
    std::intptr_t handle_ = -1;
    FileState state_;
};

// The state of the regular file at `path`, looked at without reading it
// (links are followed). False, with the reason, as InputFile::Open refuses.
bool StatFile(const std::string& path, FileState& state, SystemError& error);

// StatFile for many files in a row, most of them in the same folder as the
// one before: where the system allows (POSIX), the folder is opened once and
// each name looked at in it, which costs less than a look by full path. One
// per thread.
class FolderLookup {
  public:
    FolderLookup() = default;
    ~FolderLookup();
    FolderLookup(const FolderLookup&) = delete;
    FolderLookup& operator=(const FolderLookup&) = delete;

    bool StatFile(const std::string& path, FileState& state, SystemError& error);

  private:
    std::string folder_;  // the folder open, with its separator
    std::intptr_t handle_ = -1;
};

// The time now, in the unit of FileState's times and from the same epoch.
std::int64_t FileTimeNow();
// How many of those units make a second.
std::int64_t FileTimeUnitsPerSecond();

// The user's folder for caches: $XDG_CACHE_HOME (or ~/.cache) on POSIX,
// %LOCALAPPDATA% on Windows; empty when the system names none.
std::string UserCacheFolder();

// What a path names, looked at without opening it (links are followed).
enum class PathKind { Missing, File, Folder, Other };
// The kind; for Missing the reason (ENOENT, ENOTDIR, EACCES …) goes to `error`.
PathKind KindOfPath(const std::string& path, SystemError* error = nullptr);

// One entry of a folder listing.
struct FolderEntry {
    std::string name;  // as the file system has it
    std::string path;  // the form that opens this very entry (see ListFolder)
    enum class Kind {
        File,  // a regular file
        Folder,
        Other,    // a pipe, a device, a socket
        Unknown,  // cannot be examined (a link loop, a dangling link): error says why
    };
    Kind kind = Kind::Unknown;
    SystemError error;
    // A regular file's state as the listing gave it, where the system lists
    // it with every key field (Windows); a link's state is its target's, and
    // so is never given.
    std::optional<FileState> state;
};

// The entries directly inside `folder` ("." and ".." left out), in the order
// the system gives them; links are followed to tell an entry's kind. False,
// with the reason, when the folder cannot be listed. On Windows the listing
// and the entries' paths use the "\\?\" form, so that a folder longer than
// 260 characters is listed, and a name that ends in a dot or a space stays
// the name of its own file; a name Windows keeps for a device comes as
// Unknown with kReservedDeviceName. There the listing also gives each file's
// state, so that nothing needs to open a file to look it up.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, SystemError& error);
// Whether ListFolder gives its files' states (FolderEntry::state): then one
// listing looks up many files of a folder for less than a look at each.
bool FolderListingGivesStates();

// A path of the program as std::filesystem takes it, and back.
std::filesystem::path FileSystemPath(const std::string& path);
std::string ProgramPath(const std::filesystem::path& path);

// The paths from the root of their file system: a relative path (on Windows
// a drive-relative one too) taken in the current folder, a full one as it is
// (on Windows a listed "\\?\" name keeps its own spelling). Nothing when
// every path is full already, or the current folder cannot be told (then the
// reason goes to `error`, when given).
std::optional<std::vector<std::string>> FullPaths(const std::vector<std::string>& paths,
                                                  SystemError* error = nullptr);

// The largest input read whole into memory (a filter file, a previous
// update.json): some twenty-five times a filter file of 100,000 items. A
// larger file is refused before it is read, and the refusal names this size.
inline constexpr std::uint64_t kLargestWholeFile = 64u << 20;

// The whole content of a file, or nothing when it cannot be read or holds
// more than `limit` bytes (kind EFBIG; such a file is not read). The reason
// goes to `error` when given, its kind to errno in any case.
std::optional<std::string> ReadWholeFile(const std::string& path, std::uint64_t limit = UINT64_MAX,
                                         SystemError* error = nullptr);

// Up to the first `bytes` bytes of a regular file (a header to look at);
// nothing when it cannot be read.
std::optional<std::string> ReadFileStart(const std::string& path, std::size_t bytes);

struct FileWriteResult {
    bool ok = false;
    SystemError error;  // why it failed
};

// Replaces the file at `path` with `bytes` as one step: the bytes go to a
// temporary file in the same directory, which is synced and renamed over the
// target. On failure the previous file is untouched and no temporary remains.
// A symbolic link stays a link: the file it leads to is replaced (created,
// when the link dangles). A hard link is replaced, not written through.
FileWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes);

// True when the file at `path` (a link followed) is a regular file of one
// name that holds exactly `bytes`, and they are on the disk: writing them
// over it would change nothing. Anything that cannot be read is false.
bool FileHoldsExactly(const std::string& path, std::string_view bytes);

// The same, the bytes given piece by piece: `produce` hands each piece to
// `write` (false: the write failed, and `produce` should stop) and returns
// its own reason to give up, if any (a source that cannot be read, say); then
// nothing replaces the file. For files too large to hold in memory. Without
// `durable` the bytes are not forced to the disk before the rename (a copy
// that can be made again): no reader ever sees part of the file, but a power
// failure soon after may leave the previous one.
using WriteChunk = std::function<bool(std::string_view bytes)>;
using ByteProducer = std::function<SystemError(const WriteChunk& write)>;
FileWriteResult WriteFileAtomically(const std::string& path, const ByteProducer& produce,
                                    bool durable = true);

// True when a new file can be made in `folder` (a probe file is written and
// removed again).
bool FolderTakesNewFiles(const std::string& folder);

// True when `path` is an existing file marked read-only: without write
// permission (POSIX), with the read-only attribute (Windows).
bool IsReadOnlyFile(const std::string& path);

}  // namespace varo
