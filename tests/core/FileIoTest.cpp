#include "platform/FileIo.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "platform/Path.h"
#include "platform/ProgramDirectory.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

using test::ListDirectory;
using test::ReadFile;
using test::TempDir;

TEST(AtomicWrite, ReplacesTheWholeFile) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    test::WriteFile(path, std::string(1000, 'x'));
    ASSERT_TRUE(WriteFileAtomically(path, "short").ok);
    EXPECT_EQ(ReadFile(path), "short");
    ASSERT_TRUE(WriteFileAtomically(path, "").ok);
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"out.txt"});
}

TEST(AtomicWrite, SymbolicLinksStayLinksAndTheirTargetsAreReplaced) {
    TempDir dir;
    namespace fs = std::filesystem;
    // Not UTF-8: a folder name in GBK bytes, as unpacked from a Windows archive.
    const std::string client = dir.File("\xBF\xCD\xBB\xA7\xB6\xCB");
    fs::create_directory(client);
    test::WriteFile(client + "/real.txt", "old");
    fs::create_symlink("\xBF\xCD\xBB\xA7\xB6\xCB/real.txt", dir.File("relative"));
    fs::create_symlink(dir.File("relative"), dir.File("chain"));
    fs::create_symlink(client + "/new.txt", dir.File("dangling"));
    fs::create_symlink("loop", dir.File("loop"));

    const struct {
        const char* link;
        std::string target;
    } cases[] = {{"relative", client + "/real.txt"},
                 {"chain", client + "/real.txt"},
                 {"dangling", client + "/new.txt"}};
    for (const auto& c : cases) {
        const std::string content = std::string("written through ") + c.link;
        ASSERT_TRUE(WriteFileAtomically(dir.File(c.link), content).ok) << c.link;
        EXPECT_TRUE(fs::is_symlink(dir.File(c.link))) << c.link;
        EXPECT_EQ(ReadFile(c.target), content) << c.link;
    }
    const FileWriteResult loop = WriteFileAtomically(dir.File("loop"), "x");
    EXPECT_FALSE(loop.ok);
    EXPECT_EQ(loop.error.kind, ELOOP);
    EXPECT_TRUE(fs::is_symlink(dir.File("loop")));
    EXPECT_EQ(ListDirectory(client), (std::vector<std::string>{"new.txt", "real.txt"}))
        << "no temporary file left behind";
}

TEST(AtomicWrite, NewFileIsReadableByOthersAsTheUmaskAllows) {
    TempDir dir;
    const mode_t old = ::umask(022);
    ASSERT_TRUE(WriteFileAtomically(dir.File("new.txt"), "x").ok);
    ::umask(old);
    struct stat info {};
    ASSERT_EQ(::stat(dir.File("new.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(AtomicWrite, FailureLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    // The target name taken by a directory: the rename fails at the very end.
    std::filesystem::create_directory(dir.File("taken"));
    const FileWriteResult taken = WriteFileAtomically(dir.File("taken"), "new");
    EXPECT_FALSE(taken.ok);
    EXPECT_TRUE(taken.error);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("taken")));

    // A directory that does not exist.
    EXPECT_FALSE(WriteFileAtomically(dir.File("missing/out.txt"), "new").ok);
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"taken"});
}

TEST(AtomicWrite, UnwritableDirectoryKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    test::WriteFile(path, "old");
    // Read-only for everyone; root ignores that, so the write runs as "nobody" then.
    std::filesystem::permissions(
        dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                        std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        ::_exit(WriteFileAtomically(path, "new").ok ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the write reported success; 2: cannot drop root";
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"out.txt"});
}

TEST(AtomicWrite, DiskFullMidWriteKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    test::WriteFile(path, "old content");
    // A child with a 4 KiB file-size limit stands for a full disk.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const FileWriteResult result = WriteFileAtomically(path, std::string(100000, 'n'));
        ::_exit(result.ok ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write reported success";
    EXPECT_EQ(ReadFile(path), "old content");
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"out.txt"});
}

// A write killed at any moment leaves the old file and nothing beside it:
// the bytes go into a file without a name until they are all there.
TEST(AtomicWrite, AKilledWriteLeavesNoFileBehind) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    test::WriteFile(path, "old");
    const std::string bytes(256u << 20, 'n');
    for (const int delayMs : {0, 5, 20, 60}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            WriteFileAtomically(path, bytes);
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"out.txt"})
            << "killed after " << delayMs << " ms";
        const std::uint64_t size = std::filesystem::file_size(path);
        EXPECT_TRUE(size == 3 || size == bytes.size()) << "old or new, never cut: " << size;
    }
}

// A pipe or a device in the output's place is no file to replace.
TEST(AtomicWrite, APipeInTheFilesPlaceIsRefusedAndKept) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const FileWriteResult result = WriteFileAtomically(path, "new");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.kind, kNotRegularFile);
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"out.txt"});
}

TEST(WholeFileRead, ReadsBytesOrNothing) {
    TempDir dir;
    const std::string bytes("a\0\r\n\xFF", 5);
    test::WriteFile(dir.File("f"), bytes);
    EXPECT_EQ(ReadWholeFile(dir.File("f")), bytes);
    EXPECT_EQ(ReadWholeFile(dir.File("absent")), std::nullopt);
    EXPECT_EQ(ReadWholeFile(dir.Path()), std::nullopt) << "a directory is no file";
}

TEST(ProgramDirectory, IsTheDirectoryOfTheRunningExecutable) {
    const std::string directory = ProgramDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), '/');
    EXPECT_TRUE(
        std::filesystem::equivalent(std::filesystem::path(directory),
                                    std::filesystem::canonical("/proc/self/exe").parent_path()));
    EXPECT_EQ(ProgramFilePath("x.txt"), directory + "/x.txt");
}

}  // namespace
}  // namespace varo

namespace varo {
namespace {

// A look through the open folder gives what a look by full path gives, for
// files, folders and missing names, moving between folders and back.
TEST(FolderLookup, GivesWhatStatFileGives) {
    test::TempDir dir;
    test::WriteFile(dir.File("a.wzl"), "a");
    std::filesystem::create_directory(dir.File("sub"));
    test::WriteFile(JoinPath(dir.File("sub"), "b.wzl"), "bb");
    const std::string paths[] = {
        dir.File("a.wzl"),
        dir.File("missing.wzl"),
        dir.File("sub"),
        JoinPath(dir.File("sub"), "b.wzl"),
        dir.File("a.wzl"),
        JoinPath(dir.File("gone"), "c.wzl"),   // a folder that is not there
        JoinPath(dir.File("a.wzl"), "d.wzl"),  // a file taken for a folder
    };
    FolderLookup lookup;
    for (const std::string& path : paths) {
        FileState byPath, looked;
        SystemError pathError, lookedError;
        const bool found = StatFile(path, byPath, pathError);
        EXPECT_EQ(lookup.StatFile(path, looked, lookedError), found) << path;
        EXPECT_EQ(lookedError.kind, pathError.kind) << path;
        EXPECT_EQ(lookedError.code, pathError.code) << path;
        if (found) {
            EXPECT_EQ(looked, byPath) << path;
        }
    }
}

}  // namespace
}  // namespace varo
