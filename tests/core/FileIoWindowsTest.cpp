#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "digest/FileDigest.h"
#include "manifest/ResourcePaths.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
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

// A read-only output file is left as it is (Windows refuses to replace it,
// Wine would not), and so is a pipe named as the output.
TEST(AtomicWriteOnWindows, AReadOnlyTargetOrAPipeStaysAsItWas) {
    TempDir dir;
    const std::string path = dir.File("update.json");
    test::WriteFile(path, "previous");
    ASSERT_TRUE(SetFileAttributesW(windows::WidePath(path).c_str(), FILE_ATTRIBUTE_READONLY));
    const FileWriteResult result = WriteFileAtomically(path, "new");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.kind, kReadOnlyTarget);
    EXPECT_EQ(ReadWholeFile(path), "previous");
    SetFileAttributesW(windows::WidePath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(WriteFileAtomically("\\\\.\\pipe\\varo-test", "new").error.kind, kNotRegularFile);
    // Written through the handle's own rename, the new file is whole and alone.
    ASSERT_TRUE(WriteFileAtomically(path, "new").ok);
    EXPECT_EQ(ReadWholeFile(path), "new");
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"update.json"});
}

// A folder longer than 260 characters lists its own entries, never those of
// the current folder, even when that holds a file of the same name.
TEST(FolderListingOnWindows, AFolderBeyond260CharactersListsItsOwnEntries) {
    TempDir dir;
    std::string deep = dir.File("游戏 工具");
    while (std::filesystem::path(FileSystemPath(deep)).native().size() < 310) {
        deep += "/资源目录-0123456789";
    }
    std::filesystem::create_directories(FileSystemPath(deep));
    ASSERT_TRUE(WriteFileAtomically(deep + "/a.wzl", "long a").ok);
    ASSERT_TRUE(WriteFileAtomically(deep + "/b.wzl", "long b").ok);
    const std::string current = dir.File("current");
    std::filesystem::create_directories(FileSystemPath(current));
    ASSERT_TRUE(WriteFileAtomically(current + "/a.wzl", "the current folder's").ok);
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(FileSystemPath(current));

    const ExpandedResourcePaths expanded = ExpandResourcePaths({deep}, ManifestMode::MicroClient);
    std::filesystem::current_path(before);
    ASSERT_TRUE(expanded.ok()) << SystemErrorMessage(expanded.error);
    ASSERT_EQ(expanded.files.size(), 2u);
    EXPECT_EQ(DisplayPath(expanded.files[0]), DisplayPath(deep + "/a.wzl"));
    EXPECT_EQ(PathFileName(expanded.files[1]), "b.wzl");
    EXPECT_EQ(ReadWholeFile(expanded.files[0]), "long a");
}

// The path forms of Windows, each as the system means it.
TEST(PathFormsOnWindows, DrivesTrailingDotsAndDeviceNames) {
    // A bare drive is that drive's current folder: names join without a separator.
    EXPECT_EQ(JoinPath("D:", "update.json"), "D:update.json");
    EXPECT_EQ(JoinPath("D:\\", "update.json"), "D:\\update.json");
    EXPECT_EQ(PathFileName("C:a.wzl"), "a.wzl");
    EXPECT_EQ(PathFolder("C:a.wzl"), "C:");
    EXPECT_EQ(PathFolder("C:\\a.wzl"), "C:\\");
    EXPECT_EQ(UnquotedPath("Z:\\输出 目录\""), "Z:\\输出 目录") << "cmd's \\\" at the end";
    EXPECT_EQ(UnquotedPath("\"Z:\\a b\""), "Z:\\a b");
    EXPECT_EQ(DisplayPath("\\\\?\\D:\\a.wzl."), "D:\\a.wzl.");
    EXPECT_EQ(DisplayPath("\\\\?\\UNC\\server\\share\\a"), "\\\\server\\share\\a");

    // A drive-relative name resolves against that drive's current folder.
    TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("a.wzl"), "relative").ok);
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(FileSystemPath(dir.Path()));
    const std::string drive = dir.Path().substr(0, 2);  // "C:"
    EXPECT_EQ(ReadWholeFile(drive + "a.wzl"), "relative");
    EXPECT_EQ(ReadWholeFile(JoinPath(drive, "a.wzl")), "relative");
    // Relative and drive-relative names have one full spelling, without "\\?\".
    const std::optional<std::vector<std::string>> full =
        FullPaths({dir.File("a.wzl"), drive + "a.wzl", "a.wzl"});
    ASSERT_TRUE(full);
    EXPECT_EQ((*full)[0].find('/'), std::string::npos) << (*full)[0];
    EXPECT_EQ((*full)[1], (*full)[0]);
    EXPECT_EQ((*full)[2], (*full)[0]);
    std::filesystem::current_path(before);

    // A name with a trailing dot is its own file, listed and digested as such.
    const std::wstring dotted = windows::WidePath(dir.File("b.wzl")) + L".";
    const HANDLE file = CreateFileW(dotted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "dotted", 6, &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(WriteFileAtomically(dir.File("b.wzl"), "plain").ok);
    // A device name listed in the folder, made through the \\?\ form.
    const HANDLE device =
        CreateFileW((windows::WidePath(dir.Path()) + L"\\aux.wzl").c_str(), GENERIC_WRITE, 0,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
    const ExpandedResourcePaths expanded =
        ExpandResourcePaths({dir.Path()}, ManifestMode::CustomDirectory);
    ASSERT_TRUE(expanded.ok());
    ASSERT_EQ(expanded.skipped.size(), 1u);
    EXPECT_EQ(PathFileName(expanded.skipped[0].path), "aux.wzl");
    EXPECT_EQ(expanded.skipped[0].error.kind, kReservedDeviceName);
    std::vector<std::string> names;
    for (const std::string& path : expanded.files) {
        names.push_back(PathFileName(path) + "=" + ReadWholeFile(path).value_or("?"));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a.wzl=relative", "b.wzl=plain", "b.wzl.=dotted"}));
    EXPECT_FALSE(FullPaths(expanded.files)) << "listed names keep their own spelling";

    // Device names typed are refused, never opened as the device.
    for (const char* name : {"aux.wzl", "CON", "nul", "COM1.map", "lpt9.wzl "}) {
        EXPECT_EQ(DigestFile(name).error.kind, kReservedDeviceName) << name;
        EXPECT_EQ(KindOfPath(name), PathKind::Other) << name;
    }
}

// Redirected output in the console's code page: GBK where it is 936, with
// what GBK lacks escaped rather than replaced by '?'.
TEST(InCodePage, WritesTheCodePageAndEscapesWhatItLacks) {
    const struct {
        const char* utf8;
        unsigned codePage;
        std::string bytes;
    } cases[] = {
        {"wrote 更新.json", 936, "wrote \xB8\xFC\xD0\xC2.json"},
        {"a\xF0\x9F\x98\x80"
         "b",
         936, "a\\u{1F600}b"},
        {"\xE2\x82\xAC 1", 1252, "\x80 1"},
        {"ready", 437, "ready"},
        {"更 x", 437, "\\u{66F4} x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(windows::InCodePage(c.utf8, c.codePage), c.bytes) << c.utf8;
    }
}

}  // namespace
}  // namespace varo
