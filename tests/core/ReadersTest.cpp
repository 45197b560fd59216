// What every reader of the program does with what it may meet: a pipe that no
// one writes to (which would hang a plain read for good), folder listings,
// the same entry name from two folders.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>

#include "db/ItemTable.h"
#include "digest/FileDigest.h"
#include "filter/FilterFile.h"
#include "jobs/ResourceImportJob.h"
#include "manifest/ReleaseCheck.h"
#include "manifest/ResourceImport.h"
#include "manifest/ResourcePaths.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
#include "settings/SettingsFile.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

// Each reader refuses a pipe at once and says why; none of them waits for a
// writer. A hang here fails the test run by its time limit.
TEST(Readers, RefuseAPipeAtOnce) {
    test::TempDir dir;
    const std::string pipe = test::MakePipe(dir, "pipe");
    const struct {
        const char* label;
        std::function<int()> read;  // the kind of failure the reader reports
    } readers[] = {
        {"digest", [&] { return DigestFile(pipe).error.kind; }},
        {"digest job",
         [&] {
             return DigestFiles({{pipe}, 2, nullptr, {}})[0].error.kind;
         }},
        {"database check",
         [&] {
             return CheckDatabaseFile(pipe).kind == DatabaseFileCheck::Kind::NotRegularFile
                        ? kNotRegularFile
                        : 0;
         }},
        {"filter file", [&] { return ReadFilterFile(pipe).error.kind; }},
        {"settings file", [&] { return ReadSettingsFile(pipe).error.kind; }},
        {"previous update.json", [&] { return ReadPreviousRelease(pipe).readError.kind; }},
        {"whole file",
         [&] {
             SystemError error;
             return ReadWholeFile(pipe, 1 << 20, &error) ? 0 : error.kind;
         }},
        {"unchanged output", [&] { return FileHoldsExactly(pipe, "") ? 0 : kNotRegularFile; }},
    };
    for (const auto& reader : readers) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(reader.read(), kNotRegularFile) << reader.label;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
            << reader.label;
    }
}

// An output is left as it is only where the file holds exactly its bytes,
// over more than one read of the file, and never through a second name.
TEST(Readers, AFileHoldsExactlyItsBytesOrIsWritten) {
    test::TempDir dir;
    std::string large(200000, 'x');
    large[123456] = 'y';
    test::WriteFile(dir.File("large"), large);
    test::WriteFile(dir.File("small"), "abc");
    test::WriteFile(dir.File("empty"), "");
    test::WriteFile(dir.File("linked"), "abc");
    std::filesystem::create_hard_link(FileSystemPath(dir.File("linked")),
                                      FileSystemPath(dir.File("second name")));
    std::filesystem::create_directory(FileSystemPath(dir.File("folder")));
    std::string otherEnd = large;
    otherEnd.back() = 'z';
    const struct {
        const char* file;
        std::string bytes;
        bool holds;
    } cases[] = {
        {"large", large, true},
        {"large", otherEnd, false},
        {"large", large.substr(0, large.size() - 1), false},
        {"large", large + "x", false},
        {"small", "abc", true},
        {"small", "abd", false},
        {"small", "", false},
        {"empty", "", true},
        {"linked", "abc", false},
        {"folder", "", false},
        {"missing", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileHoldsExactly(dir.File(c.file), c.bytes), c.holds)
            << c.file << ", " << c.bytes.size() << " bytes";
    }
}

#ifndef _WIN32
// A pipe in a resource folder is named as skipped, not passed over in
// silence; a folder inside is named as passed over, whatever its name.
TEST(Readers, AFolderListingNamesWhatIsNoFile) {
    test::TempDir dir;
    test::WriteFile(dir.File("a.wzl"), "a");
    test::MakePipe(dir, "b.wzl");
    test::MakePipe(dir, "c.map");  // not taken by the mode: not named either
    ASSERT_TRUE(std::filesystem::create_directory(dir.File("d.wzl")));
    ASSERT_TRUE(std::filesystem::create_directory(dir.File("sub")));
    const ExpandedResourcePaths expanded =
        ExpandResourcePaths({dir.Path()}, ManifestMode::MicroClient);
    ASSERT_TRUE(expanded.ok());
    EXPECT_EQ(expanded.files, std::vector<std::string>{dir.File("a.wzl")});
    ASSERT_EQ(expanded.skipped.size(), 3u);
    EXPECT_EQ(expanded.skipped[0].path, dir.File("b.wzl"));
    EXPECT_EQ(expanded.skipped[0].error.kind, kNotRegularFile);
    EXPECT_EQ(expanded.skipped[1].path, dir.File("d.wzl"));
    EXPECT_EQ(expanded.skipped[1].error.kind, kFolderPassedOver);
    EXPECT_EQ(expanded.skipped[2].path, dir.File("sub"));
    EXPECT_EQ(expanded.skipped[2].error.kind, kFolderPassedOver);
}
#endif

// One import of files that share an entry name: the later file's line stays
// (as the list keeps one line per name) and both paths are named.
TEST(Readers, TheSameNameFromTwoFoldersIsNamed) {
    const std::string first = JoinPath("one", "x.wzl");
    const std::string second = JoinPath("two", "x.wzl");
    const std::string other = JoinPath("one", "y.wzl");
    const struct {
        const char* label;
        std::vector<std::string> paths;
        std::size_t shared;
    } cases[] = {
        {"distinct names", {first, other}, 0},
        {"one name in two folders", {first, other, second}, 1},
        {"the same path twice is one file", {first, first}, 0},
    };
    for (const auto& c : cases) {
        const ResourceImportPlan plan = PlanResourceImport(c.paths);
        EXPECT_EQ(plan.files, c.paths) << c.label;
        ASSERT_EQ(plan.sharedNames.size(), c.shared) << c.label;
        if (c.shared > 0) {
            EXPECT_EQ(plan.sharedNames[0].name, "x.wzl");
            EXPECT_EQ(plan.sharedNames[0].earlier, first);
            EXPECT_EQ(plan.sharedNames[0].later, second);
        }
    }
    // Names a line or a manifest cannot carry: a line break; bytes of no UTF-8,
    // which would all become U+FFFD and one name. The listing's states stay
    // with their files.
    std::vector<std::optional<FileState>> listed(6);
    for (std::size_t i = 0; i < listed.size(); ++i) {
        listed[i] = FileState{i, 0, 0, 0, 0};
    }
    const ResourceImportPlan plan =
        PlanResourceImport({first, "two\nlines.wzl", "gbk/x\xFF.wzl", "gbk/x\xFE.wzl",
                            "gbk/\xC4\xBE\xBD\xA3.wzl", second},
                           listed);
    ASSERT_EQ(plan.listed.size(), 2u);
    EXPECT_EQ(plan.listed[0], listed[0]);
    EXPECT_EQ(plan.listed[1], listed[5]);
    ASSERT_EQ(plan.refused.size(), 4u);
    EXPECT_EQ(plan.refused[0].error.kind, kNameHoldsLineBreak);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(plan.refused[i].error.kind, kNameNotUtf8) << plan.refused[i].path;
    }

    // The lines: digests in order, failures apart with their reason.
    std::vector<FileDigest> digests(2);
    digests[0] = {true, "m1", 1, {}, false, {}};
    digests[1].error = ErrnoError(kChangedWhileRead);
    const ImportedResources imported = ResourceListLines(plan, digests);
    EXPECT_EQ(imported.lines, "x.wzl m1 1\r\n");
    ASSERT_EQ(imported.failed.size(), 1u);
    EXPECT_EQ(imported.failed[0].path, second);
}

// Folders listed side by side stand for their files in the order given, and
// the first folder (in that order) that stands for nothing is the one named.
TEST(Readers, FoldersListedSideBySideKeepTheirOrder) {
    test::TempDir dir;
    for (const char* name : {"a/2.wzl", "a/1.wzl", "c/3.wzl", "x.wzl", "b/only.map", "d/4.map"}) {
        std::filesystem::create_directories(FileSystemPath(PathFolder(dir.File(name))));
        test::WriteFile(dir.File(name), name);
    }
    const struct {
        const char* label;
        std::vector<const char*> given;
        std::vector<const char*> files;  // the names, in order
        const char* failed;              // the folder named, if any
    } cases[] = {
        {"folders and a file", {"a", "x.wzl", "c"}, {"1.wzl", "2.wzl", "x.wzl", "3.wzl"}, nullptr},
        {"a folder of nothing between", {"a", "b", "c"}, {}, "b"},
        {"the first of two", {"c", "d", "a", "b"}, {}, "d"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> given;
        for (const char* name : c.given) {
            given.push_back(dir.File(name));
        }
        for (const int threads : {1, 2, 4}) {
            const ExpandedResourcePaths expanded =
                ExpandResourcePaths(given, ManifestMode::MicroClient, threads);
            std::vector<std::string> names;
            for (const std::string& file : expanded.files) {
                names.push_back(PathFileName(file));
            }
            EXPECT_EQ(names, std::vector<std::string>(c.files.begin(), c.files.end()))
                << c.label << ", " << threads;
            EXPECT_EQ(expanded.ok(), c.failed == nullptr) << c.label << ", " << threads;
            if (c.failed != nullptr) {
                EXPECT_EQ(expanded.problem, ExpandedResourcePaths::Problem::NoFiles) << c.label;
                EXPECT_EQ(expanded.folder, dir.File(c.failed)) << c.label << ", " << threads;
            }
        }
    }
}

// The three steps of an import as both front ends take them: a folder
// stands for the files the mode takes, the digest step gives the plan its
// files back (also when cancelled), and the lines name each file once.
TEST(Readers, AnImportStartsDigestsAndConcludesInTheCore) {
    test::TempDir dir;
    test::WriteFile(dir.File("b.wzl"), "b");
    test::WriteFile(dir.File("a.wzl"), "a");
    test::WriteFile(dir.File("c.map"), "c");  // not taken by the micro-client mode
    test::TempDir elsewhere;
    test::WriteFile(elsewhere.File("own.wzl"), "");
    const std::vector<std::string> names = {"a.wzl", "b.wzl", "own.wzl"};
    for (const bool cancelled : {false, true}) {
        ResourceImportStart start =
            StartResourceImport({dir.Path(), elsewhere.File("own.wzl")}, ManifestMode::MicroClient);
        ASSERT_TRUE(start.expanded.ok());
        EXPECT_TRUE(start.expanded.files.empty()) << "moved into the plan";
        // A folder's files come in the form that opens them (on Windows "\\?\…").
        std::vector<std::string> planned;
        for (const std::string& file : start.plan.files) {
            planned.push_back(PathFileName(file));
        }
        ASSERT_EQ(planned, names) << "sorted by name, then the file given";
        const std::vector<std::string> files = start.plan.files;
        std::atomic<bool> cancel{cancelled};
        ResourceDigestRun run;
        run.threads = 2;
        run.cancel = &cancel;
        const CachedDigests digests = DigestResourceImport(start.plan, run);
        EXPECT_EQ(start.plan.files, files) << "given back, cancelled: " << cancelled;
        ASSERT_EQ(digests.digests.size(), files.size());
        const ResourceImportOutcome outcome = ConcludeResourceImport(start.plan, digests.digests);
        if (cancelled) {
            EXPECT_EQ(outcome.imported.failed.size(), files.size());
            EXPECT_EQ(digests.digests[0].error.kind, ECANCELED);
            continue;
        }
        EXPECT_EQ(outcome.imported.lines,
                  "a.wzl 0cc175b9c0f1b6a831c399e269772661 1\r\n"
                  "b.wzl 92eb5ffee6ae2fec3ad71c777531578f 1\r\n"
                  "own.wzl d41d8cd98f00b204e9800998ecf8427e 0\r\n");
    }
}

}  // namespace
}  // namespace varo
