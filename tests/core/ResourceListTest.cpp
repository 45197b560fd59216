// The window's resource list and the files its lines came from: lines taken
// out by name, and lines whose file is no longer as it was digested.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "digest/FileDigest.h"
#include "jobs/ManifestJob.h"
#include "manifest/ResourceList.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

TEST(ResourceList, RemovesLinesByTheirWholeName) {
    const std::string listed = "a.wzl x 1\r\n地图 1.map y 2\r\n1.map z 3\r\n";
    const struct {
        const char* label;
        std::vector<std::string> names;
        std::string kept;
    } cases[] = {
        {"one name", {"a.wzl"}, "地图 1.map y 2\r\n1.map z 3\r\n"},
        {"a name with a space, not its tail", {"地图 1.map"}, "a.wzl x 1\r\n1.map z 3\r\n"},
        {"a name not listed", {"b.wzl"}, listed},
        {"every name", {"1.map", "a.wzl", "地图 1.map"}, ""},
    };
    for (const auto& c : cases) {
        ResourceList list;
        list.Add(listed);
        for (const char* name : {"a.wzl", "地图 1.map", "1.map"}) {
            list.SetSource(name, std::string("/in/") + name, {});
        }
        list.Remove(c.names);
        EXPECT_EQ(list.Text(), c.kept) << c.label;
        for (const std::string& name : c.names) {
            EXPECT_EQ(list.FindSource(name), nullptr) << c.label << ": " << name;
        }
        // A removed name comes back at the end when it is imported again.
        if (std::find(c.names.begin(), c.names.end(), "a.wzl") != c.names.end()) {
            EXPECT_TRUE(list.Add("a.wzl w 4\r\n")) << c.label;
            EXPECT_EQ(list.Text(), c.kept + "a.wzl w 4\r\n") << c.label;
        }
    }
}

TEST(StaleListLines, NamesFilesGoneOrChangedSinceTheirDigest) {
    using Kind = StaleListLine::Kind;
    const struct {
        const char* label;
        std::function<void(const test::TempDir&)> change;  // to b.map after its digest
        std::optional<Kind> found;
    } cases[] = {
        {"as digested", [](const test::TempDir&) {}, std::nullopt},
        {"deleted", [](const test::TempDir& dir) { std::filesystem::remove(dir.File("b.map")); },
         Kind::Gone},
        {"a folder in its place",
         [](const test::TempDir& dir) {
             std::filesystem::remove(dir.File("b.map"));
             std::filesystem::create_directory(dir.File("b.map"));
         },
         Kind::Gone},
        {"rewritten with another length",
         [](const test::TempDir& dir) { test::WriteFile(dir.File("b.map"), "bbb"); },
         Kind::Changed},
        {"another file of the same length renamed over it",
         [](const test::TempDir& dir) {
             test::WriteFile(dir.File("other"), "bb");
             std::filesystem::rename(dir.File("other"), dir.File("b.map"));
         },
         Kind::Changed},
    };
    // Alone, and among enough neighbours that the folder is listed rather
    // than each file looked at, where a listing gives the files' states.
    for (const std::size_t neighbours : {0, 8}) {
        for (const auto& c : cases) {
            test::TempDir dir;
            DigestJob job;
            std::string lines;
            for (std::size_t i = 0; i < neighbours; ++i) {
                const std::string name = std::to_string(i).append(".wzl");
                test::WriteFile(dir.File(name), name);
                job.paths.push_back(dir.File(name));
                lines += name + " m 1\r\n";
            }
            test::WriteFile(dir.File("a.wzl"), "a");
            test::WriteFile(dir.File("b.map"), "bb");
            // The files digested by the engine, as an import digests them.
            job.paths.push_back(dir.File("a.wzl"));
            job.paths.push_back(dir.File("b.map"));
            const std::vector<FileDigest> digests = DigestFiles(job);
            ResourceList list;
            list.Add(lines + "a.wzl m 1\r\nb.map n 2\r\nunknown.wzl o 3\r\n");
            for (std::size_t i = 0; i < digests.size(); ++i) {
                ASSERT_TRUE(digests[i].ok) << c.label;
                list.SetSource(PathFileNameView(job.paths[i]), job.paths[i], digests[i].state);
            }
            c.change(dir);
            for (const int threads : {1, 2}) {
                const std::vector<StaleListLine> stale = StaleListLines(list, threads);
                ASSERT_EQ(stale.size(), c.found ? 1u : 0u) << c.label << ", " << neighbours;
                if (c.found) {
                    EXPECT_EQ(stale[0].name, "b.map") << c.label;
                    EXPECT_EQ(stale[0].path, dir.File("b.map")) << c.label;
                    EXPECT_EQ(stale[0].kind, *c.found) << c.label << ", " << neighbours;
                }
            }
        }
    }
}

}  // namespace
}  // namespace varo
