// A publish folder checked against its manifest: each problem an entry can
// have, names that would leave the folder, both manifest forms.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "jobs/PublishJob.h"
#include "manifest/Manifest.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

using Kind = PublishedEntryProblem::Kind;

struct Entry {
    std::string filename;
    std::string md5;
    std::string size;
};

constexpr const char* kMd5OfA = "0cc175b9c0f1b6a831c399e269772661";   // "a"
constexpr const char* kMd5OfBb = "21ad0bd836b90d08f4cf640b4c298e7c";  // "bb"

std::string EntriesJson(const std::vector<Entry>& entries) {
    std::string body;
    for (const Entry& entry : entries) {
        body += (body.empty() ? "" : ",\r\n") + std::string("{\"filename\":\"") +
                JsonEscape(entry.filename) + "\",\"md5\":\"" + entry.md5 + "\",\"size\":\"" +
                entry.size + "\"}";
    }
    return body;
}

TEST(VerifyPublishFolder, NamesWhatDoesNotMatchInEitherForm) {
    const Entry a{"data/a.wzl", kMd5OfA, "1"};
    const Entry bb{"bb.wzl", kMd5OfBb, "2"};
    const struct {
        const char* label;
        std::vector<Entry> entries;
        std::vector<Kind> problems;
        std::vector<std::string> unlisted;
    } cases[] = {
        {"every entry matches", {a, bb}, {}, {}},
        {"an MD5 in capitals is the same MD5",
         {{a.filename, "0CC175B9C0F1B6A831C399E269772661", "1"}},
         {},
         {}},
        {"missing", {a, bb, {"data/gone.wzl", kMd5OfA, "1"}}, {Kind::Missing}, {}},
        {"missing below a file", {a, bb, {"bb.wzl/x", kMd5OfA, "1"}}, {Kind::Missing}, {}},
        {"a folder of the name", {a, bb, {"data", kMd5OfA, "1"}}, {Kind::NotAFile}, {}},
        {"size differs", {a, {"bb.wzl", kMd5OfBb, "3"}}, {Kind::SizeDiffers}, {}},
        {"MD5 differs", {{"data/a.wzl", kMd5OfBb, "1"}, bb}, {Kind::Md5Differs}, {}},
        {"parent folder", {a, bb, {"../outside.wzl", kMd5OfA, "1"}}, {Kind::LeavesRoot}, {}},
        {"parent inside the name",
         {a, bb, {"data/../../outside.wzl", kMd5OfA, "1"}},
         {Kind::LeavesRoot},
         {}},
        {"absolute", {a, bb, {"/etc/hostname", kMd5OfA, "1"}}, {Kind::LeavesRoot}, {}},
        {"a drive", {a, bb, {"C:/x.wzl", kMd5OfA, "1"}}, {Kind::LeavesRoot}, {}},
        {"a parent behind a backslash",
         {a, bb, {"data\\..\\..\\outside.wzl", kMd5OfA, "1"}},
         {Kind::LeavesRoot},
         {}},
        {"an empty name", {a, bb, {"", kMd5OfA, "1"}}, {Kind::LeavesRoot}, {}},
        {"files in the folders named that nobody lists are named",
         {bb, {"data/gone.wzl", kMd5OfA, "1"}},
         {Kind::Missing},
         {"data/a.wzl"}},
    };
    test::TempDir dir;
    const std::string root = dir.File("root");
    std::filesystem::create_directories(JoinPath(root, "data"));
    test::WriteFile(JoinPath(root, JoinPath("data", "a.wzl")), "a");
    test::WriteFile(JoinPath(root, "bb.wzl"), "bb");
    test::WriteFile(dir.File("outside.wzl"), "a");  // what "../outside.wzl" would reach
    for (const auto& c : cases) {
        // update.json and 单json文件.json beside the files, and one elsewhere with --root.
        const std::string body = EntriesJson(c.entries);
        const struct {
            std::string manifest;
            std::string text;
            std::string root;
        } forms[] = {
            {JoinPath(root, kStandaloneManifestFileName), BuildStandaloneManifest(body, "1.0"), ""},
            {JoinPath(root, kSingleManifestFileName), body, ""},
            {dir.File("elsewhere.json"), BuildStandaloneManifest(body, "1.0"), root},
        };
        for (const auto& form : forms) {
            test::WriteFile(form.manifest, form.text);
            PublishVerifyRun run;
            run.threads = 2;
            const PublishVerification verification =
                VerifyPublishFolder(form.manifest, form.root, run);
            std::filesystem::remove(FileSystemPath(form.manifest));
            ASSERT_EQ(verification.problem, PublishVerification::Problem::None)
                << c.label << ": " << verification.manifest.error;
            std::vector<Kind> kinds;
            for (const PublishedEntryProblem& problem : verification.problems) {
                kinds.push_back(problem.kind);
            }
            EXPECT_EQ(kinds, c.problems) << c.label << " in " << form.manifest;
            EXPECT_EQ(verification.unlisted, c.unlisted) << c.label << " in " << form.manifest;
            EXPECT_EQ(verification.Matches(), c.problems.empty()) << c.label;
        }
    }
}

// What the problems say besides their kind, and a manifest that is none.
TEST(VerifyPublishFolder, SaysWhatItFoundAndWhereAManifestBreaks) {
    test::TempDir dir;
    test::WriteFile(dir.File("bb.wzl"), "bbb");
    const std::string manifest = dir.File(kSingleManifestFileName);
    test::WriteFile(manifest, EntriesJson({{"bb.wzl", kMd5OfBb, "2"}}));
    const PublishVerification sized = VerifyPublishFolder(manifest, "", {});
    ASSERT_EQ(sized.problems.size(), 1u);
    EXPECT_EQ(sized.problems[0].listedSize, "2");
    EXPECT_EQ(sized.problems[0].foundSize, 3u);
    EXPECT_EQ(sized.bytesRead, 3u);

    const struct {
        const char* label;
        std::string name;
        std::string text;
        ManifestFault::Kind fault;
        std::size_t line, column;
    } broken[] = {
        {"entries: the column in the file's own text", kSingleManifestFileName, "x",
         ManifestFault::Kind::Syntax, 1, 1},
        {"entries: a second line", kSingleManifestFileName,
         "{\"filename\":\"a\",\"md5\":\"b\",\"size\":\"1\"},\r\n  x", ManifestFault::Kind::Syntax,
         2, 3},
        {"entries: an entry without its size", kSingleManifestFileName,
         "{\"filename\":\"a\",\"md5\":\"b\"}", ManifestFault::Kind::BadEntry, 0, 0},
        {"update.json without its version", "update.json", "{\"md5list\":[]}",
         ManifestFault::Kind::NoVersion, 0, 0},
    };
    for (const auto& c : broken) {
        test::WriteFile(dir.File(c.name), c.text);
        const PublishVerification verification = VerifyPublishFolder(dir.File(c.name), "", {});
        EXPECT_EQ(verification.problem, PublishVerification::Problem::NotAManifest) << c.label;
        EXPECT_EQ(verification.manifest.fault.kind, c.fault) << c.label;
        EXPECT_EQ(verification.manifest.fault.line, c.line) << c.label;
        EXPECT_EQ(verification.manifest.fault.column, c.column) << c.label;
    }
    EXPECT_EQ(VerifyPublishFolder(dir.File("absent.json"), "", {}).problem,
              PublishVerification::Problem::Unreadable);
}

// The publish folder brought in step: copies only where the bytes differ,
// names that would leave it refused before anything is copied, a source
// that changed since it was digested never copied.
TEST(StageFiles, CopiesWhatTheFolderLacksAndNothingElse) {
    test::TempDir dir;
    const std::string sources = dir.File("sources");
    const std::string stage = dir.File("stage");
    std::filesystem::create_directories(sources);
    const auto source = [&](const std::string& name, const std::string& bytes) {
        test::WriteFile(JoinPath(sources, name), bytes);
        return JoinPath(sources, name);
    };
    const StagedEntry a{"data/a.wzl", source("a.wzl", "a"), kMd5OfA, 1};
    const StagedEntry bb{"map/新 地图.map", source("b.map", "bb"), kMd5OfBb, 2};
    const std::string aTarget = JoinPath(stage, JoinPath("data", "a.wzl"));
    const struct {
        const char* label;
        std::vector<StagedEntry> entries;
        std::function<void()> before;
        StageOutcome::Problem problem;
        std::size_t added, changed, unchanged;
        std::vector<std::string> copied;
    } cases[] = {
        {"into an empty folder",
         {a, bb},
         [] {},
         StageOutcome::Problem::None,
         2,
         0,
         0,
         {a.filename, bb.filename}},
        {"again: nothing to copy", {a, bb}, [] {}, StageOutcome::Problem::None, 0, 0, 2, {}},
        {"a file changed in the folder is copied again",
         {a, bb},
         [&] { test::WriteFile(aTarget, "x"); },
         StageOutcome::Problem::None,
         0,
         1,
         1,
         {a.filename}},
        {"a name that leaves the folder: nothing copied",
         {a, {"../a.wzl", a.source, kMd5OfA, 1}},
         [&] { std::filesystem::remove(aTarget); },
         StageOutcome::Problem::LeavesRoot,
         0,
         0,
         0,
         {}},
        {"a name behind a backslash that leaves it",
         {a, {"data\\..\\..\\a.wzl", a.source, kMd5OfA, 1}},
         [] {},
         StageOutcome::Problem::LeavesRoot,
         0,
         0,
         0,
         {}},
        {"a source changed since its digest fails its copy",
         {a, {"data/c.wzl", source("c.wzl", "changed"), kMd5OfA, 1}},
         [] {},
         StageOutcome::Problem::CopyFailed,
         1,
         0,
         0,
         {a.filename}},
        {"a folder in a file's place fails its copy",
         {bb, a},
         [&] {
             std::filesystem::remove(aTarget);
             std::filesystem::create_directories(aTarget);
         },
         StageOutcome::Problem::CopyFailed,
         0,
         0,
         1,
         {}},
    };
    std::filesystem::file_time_type stamped;
    for (const auto& c : cases) {
        c.before();
        const StageOutcome outcome = StageFiles(c.entries, stage);
        EXPECT_EQ(outcome.problem, c.problem)
            << c.label << ": " << SystemErrorMessage(outcome.error);
        EXPECT_EQ(outcome.added, c.added) << c.label;
        EXPECT_EQ(outcome.changed, c.changed) << c.label;
        EXPECT_EQ(outcome.unchanged, c.unchanged) << c.label;
        EXPECT_EQ(outcome.copied, c.copied) << c.label;
        if (std::string(c.label) == "into an empty folder") {
            EXPECT_EQ(test::ReadFile(JoinPath(stage, JoinPath("map", "新 地图.map"))), "bb");
            stamped = std::filesystem::last_write_time(FileSystemPath(aTarget));
        }
        if (std::string(c.label) == "again: nothing to copy") {
            EXPECT_EQ(std::filesystem::last_write_time(FileSystemPath(aTarget)), stamped)
                << "an unchanged file is left as it was";
        }
        if (c.problem == StageOutcome::Problem::LeavesRoot) {
            EXPECT_FALSE(std::filesystem::exists(FileSystemPath(aTarget))) << c.label;
        }
    }
    // What a failed copy leaves: no temporary beside the target, the changed source not there.
    EXPECT_EQ(test::ListDirectory(JoinPath(stage, "data")), (std::vector<std::string>{"a.wzl"}));
}

TEST(StageFiles, NamesWhatThePreviousReleaseListedAndTheNewOneDoesNot) {
    ParsedManifest previous;
    previous.entries = {{"data/a.wzl", kMd5OfA, "1"}, {"data/gone.wzl", kMd5OfA, "1"}};
    EXPECT_EQ(NoLongerListed(previous, {{"data/a.wzl", "", kMd5OfA, 1}}),
              std::vector<std::string>{"data/gone.wzl"});
}

}  // namespace
}  // namespace varo
