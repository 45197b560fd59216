#include "platform/FileIo.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace varo {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The mode a newly created file gets: the target's own when it exists, else
// what the process's umask allows of 0666.
mode_t ModeForNewFile(const std::string& path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        return existing.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The path a write must replace so that symbolic links stay links: the file
// at the end of the chain of links that starts at `path` (which may not exist).
// Nothing when the chain is endless or cannot be read.
std::optional<std::string> FollowLinks(std::string path, int& error) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;  // the end of the chain, existing or to be created
        }
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 256), '\0');
        for (;;) {
            const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
            if (length < 0) {
                error = errno;
                return std::nullopt;
            }
            if (static_cast<std::size_t>(length) < target.size()) {
                target.resize(static_cast<std::size_t>(length));
                break;
            }
            target.resize(target.size() * 2);
        }
        // A relative target is relative to the directory that holds the link.
        path = target.front() == '/' ? target : JoinPath(PathFolder(path), target);
    }
    error = ELOOP;
    return std::nullopt;
}

}  // namespace

std::filesystem::path FileSystemPath(const std::string& path) {
    return path;  // the file system's own bytes
}

std::string ProgramPath(const std::filesystem::path& path) {
    return path.native();
}

std::optional<std::vector<std::string>> FullPaths(const std::vector<std::string>& paths,
                                                  SystemError* error) {
    const auto relative = std::find_if(paths.begin(), paths.end(), [](const std::string& path) {
        return path.empty() || path[0] != '/';
    });
    if (relative == paths.end()) {
        return std::nullopt;
    }
    // The current folder, asked once for the whole list.
    std::string current(256, '\0');
    while (getcwd(current.data(), current.size()) == nullptr) {
        if (errno != ERANGE || current.size() > (1u << 20)) {
            if (error != nullptr) {
                *error = ErrnoError(errno == ERANGE ? ENAMETOOLONG : errno);
            }
            return std::nullopt;
        }
        current.resize(current.size() * 2);
    }
    current.resize(std::strlen(current.c_str()));
    // Each path made once: copied as it is, or joined to the current folder.
    std::vector<std::string> full;
    full.reserve(paths.size());
    for (const std::string& path : paths) {
        if (!path.empty() && path[0] == '/') {
            full.push_back(path);
            continue;
        }
        // One allocation each: the room for the joined path made first.
        std::string& joined = full.emplace_back();
        joined.reserve(current.size() + 1 + path.size());
        joined.append(current);
        if (joined.back() != '/') {
            joined += '/';
        }
        joined.append(path);
    }
    return full;
}

bool FileHoldsExactly(const std::string& path, std::string_view bytes) {
    // Not blocking: a pipe at the path is no file, and is not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
        static_cast<std::uint64_t>(info.st_size) != bytes.size()) {
        return false;
    }
    std::array<char, 1 << 16> buffer;
    for (std::size_t at = 0; at <= bytes.size();) {
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count == 0 && at == bytes.size() && ::fsync(fd) == 0;
        }
        const auto got = static_cast<std::size_t>(count);
        if (got > bytes.size() - at || std::memcmp(buffer.data(), bytes.data() + at, got) != 0) {
            return false;
        }
        at += got;
    }
    return false;
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    // No write bit at all, or none that applies to this user; the super-user
    // may write anyway, so the bits are what count.
    return (info.st_mode & 0222) == 0 || (::access(path.c_str(), W_OK) != 0 && errno == EACCES);
}

namespace {

FileState StateOf(const struct stat& info) {
    FileState state;
    state.size = static_cast<std::uint64_t>(info.st_size);
    state.modified =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    state.changed =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    state.device = static_cast<std::uint64_t>(info.st_dev);
    state.file = static_cast<std::uint64_t>(info.st_ino);
    return state;
}

// Above this size a file is read with a longer read-ahead.
constexpr std::uint64_t kLargeFile = 1u << 20;

// The kind of failure for something that is not a regular file.
int NotRegularKind(mode_t mode) {
    return S_ISDIR(mode) ? EISDIR : kNotRegularFile;
}

}  // namespace

InputFile::~InputFile() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

bool InputFile::Open(const std::string& path, SystemError& error) {
    // Without O_NONBLOCK, opening a pipe waits for a writer, for good if none comes.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = ErrnoError(errno);
        return false;
    }
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
        error = ErrnoError(!known ? errno : NotRegularKind(info.st_mode));
        ::close(fd);
        return false;
    }
    // O_NONBLOCK stays: reads of a regular file wait for the disk all the
    // same, and clearing it would cost two calls per file. Read clears it in
    // case a file system answers "try again" after all.
    state_ = StateOf(info);
    if (state_.size > kLargeFile) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);  // a longer read-ahead
    }
    handle_ = fd;
    return true;
}

std::int64_t InputFile::Read(void* buffer, std::size_t size, SystemError& error) {
    const int fd = static_cast<int>(handle_);
    for (;;) {
        const ssize_t count = ::read(fd, buffer, size);
        if (count >= 0) {
            error = {};
            return count;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            const int flags = ::fcntl(fd, F_GETFL);
            if (flags >= 0 && (flags & O_NONBLOCK) &&
                ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) {
                continue;
            }
        }
        if (errno != EINTR) {
            error = ErrnoError(errno);
            return -1;
        }
    }
}

std::int64_t InputFile::Read(void* buffer, std::size_t size, SystemError& error, bool& fromDisk) {
    fromDisk = false;
#ifdef RWF_NOWAIT
    // Only what the cache holds, or "try again": then the disk must be asked.
    iovec piece{buffer, size};
    const ssize_t cached = ::preadv2(static_cast<int>(handle_), &piece, 1, -1, RWF_NOWAIT);
    if (cached >= 0) {
        error = {};
        return cached;
    }
    if (errno == EAGAIN) {
        // "Try again" also comes for cached pages that only mark where the
        // system's own read-ahead goes on: such a read still takes
        // microseconds, one that waits for the disk far longer.
        const auto started = std::chrono::steady_clock::now();
        const std::int64_t count = Read(buffer, size, error);
        fromDisk = std::chrono::steady_clock::now() - started > std::chrono::microseconds(50);
        return count;
    }
#endif
    return Read(buffer, size, error);
}

bool InputFile::Unchanged(const std::string& path, SystemError& error) const {
    struct stat info {};
    if (::fstat(static_cast<int>(handle_), &info) != 0) {
        error = ErrnoError(errno);
        return false;
    }
    // Written in place with its times put back, the change time still moves.
    if (StateOf(info) != state_) {
        error = ErrnoError(kChangedWhileRead);
        return false;
    }
    // The name may lead elsewhere by now: to a file renamed over it, to nothing.
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode) || StateOf(named) != state_) {
        error = ErrnoError(kChangedWhileRead);
        return false;
    }
    return true;
}

void InputFile::Prefetch(std::uint64_t bytes) const {
    // The system starts reading and returns at once.
    ::posix_fadvise(static_cast<int>(handle_), 0, static_cast<off_t>(bytes), POSIX_FADV_WILLNEED);
}

namespace {

// A regular file's state from its stat (`result`), or why there is none.
bool StateOfStat(int result, const struct stat& info, FileState& state, SystemError& error) {
    if (result != 0) {
        error = ErrnoError(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = ErrnoError(NotRegularKind(info.st_mode));
        return false;
    }
    state = StateOf(info);
    return true;
}

}  // namespace

bool StatFile(const std::string& path, FileState& state, SystemError& error) {
    struct stat info {};
    return StateOfStat(::stat(path.c_str(), &info), info, state, error);
}

FolderLookup::~FolderLookup() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

bool FolderLookup::StatFile(const std::string& path, FileState& state, SystemError& error) {
    const std::size_t separator = path.rfind('/');
    if (separator == std::string::npos || separator + 1 == path.size()) {
        return varo::StatFile(path, state, error);
    }
    const std::string_view folder = std::string_view(path).substr(0, separator + 1);
    if (folder != folder_) {
        if (handle_ >= 0) {
            ::close(static_cast<int>(handle_));
        }
        handle_ = ::open(std::string(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folder_ = handle_ >= 0 ? std::string(folder) : std::string();
    }
    if (handle_ < 0) {
        return varo::StatFile(path, state, error);  // the folder's own failure, said by name
    }
    struct stat info {};
    return StateOfStat(::fstatat(static_cast<int>(handle_), path.c_str() + separator + 1, &info, 0),
                       info, state, error);
}

std::int64_t FileTimeNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::int64_t FileTimeUnitsPerSecond() {
    return 1000000000;
}

std::string UserCacheFolder() {
    // The XDG rule: an absolute $XDG_CACHE_HOME, else ~/.cache.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') {
        return cache;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        return {};
    }
    return JoinPath(home, ".cache");
}

PathKind KindOfPath(const std::string& path, SystemError* error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (error != nullptr) {
            *error = ErrnoError(errno);
        }
        return PathKind::Missing;
    }
    return S_ISREG(info.st_mode)   ? PathKind::File
           : S_ISDIR(info.st_mode) ? PathKind::Folder
                                   : PathKind::Other;
}

// A directory entry holds no size nor times: every state costs a stat.
bool FolderListingGivesStates() {
    return false;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, SystemError& error) {
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        error = ErrnoError(errno);
        return false;
    }
    const int directoryFd = ::dirfd(directory);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(directory);
        if (entry == nullptr) {
            break;
        }
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        FolderEntry listed;
        listed.name = std::string(name);
        listed.path = JoinPath(folder, name);
        // The kind the listing gives, when it gives one; a link (followed: a
        // link to a file is a file) or a file system that does not say is
        // looked at.
        if (entry->d_type == DT_REG || entry->d_type == DT_DIR) {
            listed.kind =
                entry->d_type == DT_REG ? FolderEntry::Kind::File : FolderEntry::Kind::Folder;
        } else if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) {
            listed.kind = FolderEntry::Kind::Other;
        } else {
            struct stat info {};
            if (::fstatat(directoryFd, entry->d_name, &info, 0) != 0) {
                listed.error = ErrnoError(errno);
            } else {
                listed.kind = S_ISREG(info.st_mode)   ? FolderEntry::Kind::File
                              : S_ISDIR(info.st_mode) ? FolderEntry::Kind::Folder
                                                      : FolderEntry::Kind::Other;
            }
        }
        entries.push_back(std::move(listed));
    }
    const int listError = errno;
    ::closedir(directory);
    if (listError != 0) {
        error = ErrnoError(listError);
        return false;
    }
    return true;
}

namespace {

// Writes `bytes` into the open file `fd` with the mode a new file at `path`
// gets, and syncs them; the errno of the failure, or 0.
// The producer's pieces into `fd`; its own reason to stop goes to `stopped`.
int FillFile(int fd, const std::string& path, const ByteProducer& produce, bool durable,
             SystemError& stopped) {
    if (::fchmod(fd, ModeForNewFile(path)) != 0) {
        return errno;
    }
    int writeError = 0;
    stopped = produce([&](std::string_view bytes) {
        if (writeError == 0 && !WriteAll(fd, bytes)) {
            writeError = errno;
        }
        return writeError == 0;
    });
    if (writeError != 0) {
        return writeError;
    }
    if (stopped) {
        return stopped.kind;
    }
    return durable && ::fsync(fd) != 0 ? errno : 0;
}

// The bytes in a file without a name (O_TMPFILE), given a free temporary
// name beside `path` (into `temporary`) only once they are all there: a
// process killed while it writes leaves nothing behind. Nothing when the file
// system cannot make such a file (or link it), so that the caller takes the
// named way.
std::optional<int> WriteUnnamed(const std::string& path, std::string& temporary,
                                const ByteProducer& produce, bool durable, SystemError& stopped) {
#ifdef O_TMPFILE
    const int fd = ::open(PathFolder(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        return std::nullopt;
    }
    int error = FillFile(fd, path, produce, durable, stopped);
    if (error == 0) {
        // Linking by descriptor needs a privilege; through /proc it needs none.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        bool linked = false;
        for (int attempt = 0; attempt < 100 && !linked; ++attempt) {
            temporary = TemporaryPathBeside(path, RandomSuffix());
            linked = ::linkat(fd, "", AT_FDCWD, temporary.c_str(), AT_EMPTY_PATH) == 0 ||
                     ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(),
                              AT_SYMLINK_FOLLOW) == 0;
            if (!linked && errno != EEXIST) {
                break;
            }
        }
        if (!linked) {
            ::close(fd);
            return std::nullopt;
        }
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
#else
    (void)path;
    (void)temporary;
    (void)produce;
    (void)durable;
    (void)stopped;
    return std::nullopt;
#endif
}

}  // namespace

FileWriteResult WriteFileAtomically(const std::string& requestedPath, const ByteProducer& produce,
                                    bool durable) {
    int linkError = 0;
    const std::optional<std::string> target = FollowLinks(requestedPath, linkError);
    if (!target) {
        return {false, ErrnoError(linkError)};
    }
    const std::string& path = *target;
    // A pipe or a device in the file's place would be replaced by a file
    // that nothing reads: refused, and left as it is.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISDIR(existing.st_mode)) {
        return {false, ErrnoError(kNotRegularFile)};
    }
    // No name is made before the bytes are all written: a process killed
    // before then leaves nothing behind.
    std::string temporary;
    int error = 0;
    SystemError stopped;
    if (const std::optional<int> unnamed =
            WriteUnnamed(path, temporary, produce, durable, stopped)) {
        error = *unnamed;
    } else {
        int fd = -1;
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            temporary = TemporaryPathBeside(path, RandomSuffix());
            fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0 && errno != EEXIST) {
                break;
            }
        }
        if (fd < 0) {
            return {false, ErrnoError(errno)};
        }
        error = FillFile(fd, path, produce, durable, stopped);
        if (::close(fd) != 0 && error == 0) {
            error = errno;
        }
    }
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return {false, stopped ? stopped : ErrnoError(error)};
    }
    if (!durable) {
        return {true, {}};
    }
    // Make the rename itself durable; a failure here no longer loses data.
    const int directoryFd = ::open(PathFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd >= 0) {
        ::fsync(directoryFd);
        ::close(directoryFd);
    }
    return {true, {}};
}

}  // namespace varo
