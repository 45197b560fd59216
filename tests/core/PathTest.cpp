#include "platform/Path.h"

#include <gtest/gtest.h>

namespace varo {
namespace {

// One table for both systems: what each makes of the same text.
TEST(Path, JoinsSplitsAndShowsPathsTheSystemsWay) {
    const struct {
        const char* folder;
        const char* name;
        const char* joined;        // as joined on this system
        const char* shownWindows;  // DisplayPath of it on Windows
    } joins[] = {
        {"out", "a.txt", "out/a.txt", "out\\a.txt"},
        {"out/", "a.txt", "out/a.txt", "out\\a.txt"},
        {"", "a.txt", "a.txt", "a.txt"},
        {".", "a.txt", "a.txt", "a.txt"},
        {"/", "a.txt", "/a.txt", "\\a.txt"},
        {"C:\\out\\", "update.json", "C:\\out\\/update.json", "C:\\out\\update.json"},
    };
    for (const auto& c : joins) {
        const std::string joined = JoinPath(c.folder, c.name);
#ifdef _WIN32
        // A backslash ends a folder on Windows too; the separator added is its own.
        const std::string expected = std::string(c.shownWindows);
        EXPECT_EQ(DisplayPath(joined), expected) << c.folder;
#else
        EXPECT_EQ(joined, c.joined) << c.folder;
        EXPECT_EQ(DisplayPath(joined), joined) << c.folder;
#endif
        EXPECT_EQ(PathFileName(joined), c.name) << c.folder;
    }

    const struct {
        const char* path;
        const char* folder;
        const char* name;
    } splits[] = {
        {"a/b/c.txt", "a/b", "c.txt"},
        {"a//c.txt", "a", "c.txt"},
        {"c.txt", ".", "c.txt"},
        {"/c.txt", "/", "c.txt"},
        {"a/b/", "a/b", ""},
#ifdef _WIN32
        {"D:\\server\\QELDA.DB", "D:\\server", "QELDA.DB"},
        {"D:\\x/y.txt", "D:\\x", "y.txt"},
#endif
    };
    for (const auto& c : splits) {
        EXPECT_EQ(PathFolder(c.path), c.folder) << c.path;
        EXPECT_EQ(PathFileName(c.path), c.name) << c.path;
    }
    EXPECT_EQ(PathFileName(TemporaryPathBeside("dir/update.json", "abc123")),
              ".update.json.abc123");
    EXPECT_EQ(PathFolder(TemporaryPathBeside("dir/update.json", "abc123")), "dir");
}

}  // namespace
}  // namespace varo
