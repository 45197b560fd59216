#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

std::string_view PathSeparators() {
    return "/";
}

char NativeSeparator() {
    return '/';
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

InputFile::~InputFile() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

bool InputFile::Open(const std::string& path, SystemError& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = ErrnoError(errno);
        return false;
    }
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
        error = ErrnoError(!known ? errno : S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
        ::close(fd);
        return false;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    handle_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return true;
}

std::int64_t InputFile::Read(void* buffer, std::size_t size, SystemError& error) {
    for (;;) {
        const ssize_t count = ::read(static_cast<int>(handle_), buffer, size);
        if (count >= 0 || errno != EINTR) {
            error = ErrnoError(count < 0 ? errno : 0);
            return count;
        }
    }
}

FileWriteResult WriteFileAtomically(const std::string& requestedPath, std::string_view bytes) {
    int linkError = 0;
    const std::optional<std::string> target = FollowLinks(requestedPath, linkError);
    if (!target) {
        return {false, ErrnoError(linkError)};
    }
    const std::string& path = *target;
    std::string temporary = TemporaryPathBeside(path, "XXXXXX");

    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return {false, ErrnoError(errno)};
    }
    int error = 0;
    if (::fchmod(fd, ModeForNewFile(path)) != 0 || !WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return {false, ErrnoError(error)};
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
