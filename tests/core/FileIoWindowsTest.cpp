#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/FileIo.h"
#include "platform/windows/WindowsText.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

using test::ListDirectory;
using test::TempDir;

// The names in a folder, through the wide API (std::filesystem of MinGW does
// not list folders beyond 260 characters).
std::vector<std::string> ListLongDirectory(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW((windows::WidePath(path) + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return {"cannot list"};
    }
    do {
        const std::string name = windows::Narrow(entry.cFileName);
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

TEST(AtomicWriteOnWindows, NamesNoAnsiCodePageHoldsAndPathsBeyond260Characters) {
    TempDir dir;
    std::string deep = dir.File("Ελληνικά 😀 目录");
    while (std::filesystem::path(FileSystemPath(deep)).native().size() < 300) {
        deep += "/子目录-0123456789";
    }
    std::filesystem::create_directories(FileSystemPath(deep));
    const std::string path = deep + "/单json文件.json";
    ASSERT_TRUE(WriteFileAtomically(path, "one").ok);
    ASSERT_TRUE(WriteFileAtomically(path, "two").ok);
    EXPECT_EQ(ReadWholeFile(path), "two");
    EXPECT_EQ(ListLongDirectory(deep), std::vector<std::string>{"单json文件.json"});
}

TEST(AtomicWriteOnWindows, ATargetAnotherProgramHoldsOpenStaysAsItWas) {
    TempDir dir;
    const std::string path = dir.File("CustomItemNameColors.txt");
    test::WriteFile(path, "previous");
    // Held open without sharing, as an editor or a running client may hold it.
    const HANDLE held = CreateFileW(windows::WidePath(path).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const FileWriteResult result = WriteFileAtomically(path, "new");
    CloseHandle(held);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.kind, EBUSY) << SystemErrorMessage(result.error);
    EXPECT_EQ(ReadWholeFile(path), "previous");
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"CustomItemNameColors.txt"})
        << "no temporary file left behind";
}

}  // namespace
}  // namespace varo
