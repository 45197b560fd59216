#include "cache/DigestCache.h"
#include "digest/FileDigest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "db/SqliteConnection.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

DigestJob Job(std::vector<std::string> paths) {
    DigestJob job;
    job.paths = std::move(paths);
    job.threads = 2;
    return job;
}

CachedDigests DigestWithCache(const std::string& cache, const std::vector<std::string>& paths) {
    DigestJob job = Job(paths);
    return DigestFilesWithCache(job, cache);
}

// Files written more than kRacySeconds ago: only those are remembered.
void LetTheRacyWindowPass() {
    std::this_thread::sleep_for(std::chrono::seconds(kRacySeconds) +
                                std::chrono::milliseconds(200));
}

// A cache that recalls a digest for a file that changed would put a stale
// digest into update.json: every way a file can change is looked at.
TEST(DigestCache, RecallsOnlyFilesInExactlyTheStateTheyHad) {
    test::TempDir dir;
    const std::string cache = dir.File("cache/digests.sqlite");
    std::vector<std::string> paths;
    for (const char* name :
         {"same.wzl", "rewritten.wzl", "replaced.wzl", "grown.wzl", "touched.wzl"}) {
        paths.push_back(dir.File(name));
        test::WriteFile(paths.back(), std::string("content of ") + name);
    }
    LetTheRacyWindowPass();
    const CachedDigests first = DigestWithCache(cache, paths);
    ASSERT_FALSE(first.problem) << first.problem.message;
    EXPECT_EQ(first.recalled, 0u);

    // Same size and modification time, other bytes: the change time tells.
    const auto modified = std::filesystem::last_write_time(FileSystemPath(paths[1]));
    test::WriteFile(paths[1], "CONTENT OF rewritten.wzl");
    std::filesystem::last_write_time(FileSystemPath(paths[1]), modified);
    // Another file of the same size and time renamed over it: a new file number.
    const std::string other = dir.File("other");
    test::WriteFile(other, "CONTENT OF replaced.wzl");
    std::filesystem::last_write_time(FileSystemPath(other),
                                     std::filesystem::last_write_time(FileSystemPath(paths[2])));
    std::filesystem::rename(FileSystemPath(other), FileSystemPath(paths[2]));
    test::WriteFile(paths[3], "content of grown.wzl, longer");
    std::filesystem::last_write_time(FileSystemPath(paths[4]),
                                     std::filesystem::file_time_type::clock::now());
    LetTheRacyWindowPass();

    const CachedDigests second = DigestWithCache(cache, paths);
    ASSERT_FALSE(second.problem);
    const std::vector<FileDigest> truth = DigestFiles(Job(paths));
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(second.digests[i].md5, truth[i].md5) << paths[i];
        EXPECT_EQ(second.digests[i].size, truth[i].size) << paths[i];
        EXPECT_EQ(second.digests[i].recalled, i == 0) << paths[i];
    }
    // And the new digests are what the third run recalls.
    const CachedDigests third = DigestWithCache(cache, paths);
    EXPECT_EQ(third.recalled, paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(third.digests[i].md5, truth[i].md5) << paths[i];
    }
}

// Each part of the key on its own, the device among them (which no file of
// one folder can change).
TEST(DigestCache, EveryPartOfTheStateIsPartOfTheKey) {
    test::TempDir dir;
    const std::string cache = dir.File("digests.sqlite");
    const std::string path = dir.File("a.wzl");
    test::WriteFile(path, "a");
    FileState state;
    SystemError error;
    ASSERT_TRUE(StatFile(path, state, error));
    {
        DigestCache writer(cache, {path});
        writer.Remember(path, state, "0cc175b9c0f1b6a831c399e269772661");
        ASSERT_TRUE(writer.Save()) << writer.Problem().message;
    }
    const DigestCache reader(cache, {path});
    EXPECT_EQ(reader.Recall(path, state), "0cc175b9c0f1b6a831c399e269772661");
    const std::function<void(FileState&)> changes[] = {
        [](FileState& s) { ++s.size; },    [](FileState& s) { ++s.modified; },
        [](FileState& s) { ++s.changed; }, [](FileState& s) { ++s.device; },
        [](FileState& s) { ++s.file; },
    };
    for (const auto& change : changes) {
        FileState other = state;
        change(other);
        EXPECT_EQ(reader.Recall(path, other), std::nullopt);
    }
    EXPECT_EQ(reader.Recall(dir.File("b.wzl"), state), std::nullopt) << "another path";
}

// A file written just before its digest may change again within the same
// clock tick: it is digested, but not remembered.
TEST(DigestCache, AFileNewerThanTheRacyWindowIsNotRemembered) {
    test::TempDir dir;
    const std::string cache = dir.File("digests.sqlite");
    const std::string old = dir.File("old.wzl");
    test::WriteFile(old, "old");
    LetTheRacyWindowPass();
    const std::string fresh = dir.File("fresh.wzl");
    test::WriteFile(fresh, "fresh");
    DigestWithCache(cache, {old, fresh});
    const CachedDigests again = DigestWithCache(cache, {old, fresh});
    EXPECT_TRUE(again.digests[0].recalled);
    EXPECT_FALSE(again.digests[1].recalled);
    EXPECT_EQ(again.digests[1].md5, DigestFile(fresh).md5);
}

// The cache knows a file by its full path: a file given by a relative name
// is the same entry as when given in full, and the caller keeps its names.
TEST(DigestCache, ARelativeNameIsKnownByItsFullPath) {
    test::TempDir dir;
    const std::string cache = dir.File("digests.sqlite");
    test::WriteFile(dir.File("a.wzl"), "a");
    LetTheRacyWindowPass();
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(FileSystemPath(dir.Path()));
    DigestJob job = Job({"a.wzl"});
    const CachedDigests relative = DigestFilesWithCache(job, cache);
    std::filesystem::current_path(before);
    EXPECT_EQ(job.paths, std::vector<std::string>{"a.wzl"});
    EXPECT_EQ(relative.digests[0].md5, "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(DigestWithCache(cache, {dir.File("a.wzl")}).recalled, 1u);
}

// Files of a folder, of its sub-folders and of a folder whose name starts the
// same: a folder read with the folder around it, or left out, is found too.
TEST(DigestCache, FoldersInsideEachOtherAreReadOnce) {
    test::TempDir dir;
    const std::string cache = dir.File("digests.sqlite");
    std::vector<std::string> paths;
    for (const char* name : {"a.wzl", "sub/b.wzl", "subway/c.wzl", "sub/deeper/d.wzl"}) {
        paths.push_back(dir.File(name));
        std::filesystem::create_directories(FileSystemPath(PathFolder(paths.back())));
        test::WriteFile(paths.back(), name);
    }
    LetTheRacyWindowPass();
    ASSERT_EQ(DigestWithCache(cache, paths).recalled, 0u);
    const CachedDigests again = DigestWithCache(cache, paths);
    EXPECT_EQ(again.recalled, paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(again.digests[i].md5, DigestFile(paths[i]).md5) << paths[i];
    }
}

// A cache that cannot be used costs a warning, never a digest.
TEST(DigestCache, ACacheThatCannotBeUsedIsLeftAlone) {
    test::TempDir dir;
    const std::string file = dir.File("a.wzl");
    test::WriteFile(file, "a");
    const std::string notADatabase = dir.File("garbage.sqlite");
    test::WriteFile(notADatabase, std::string(8192, 'x'));
    test::WriteFile(dir.File("plain"), "");
    // An empty file of long ago (one only just made may be a cache being made).
    const std::string empty = dir.File("empty.sqlite");
    test::WriteFile(empty, "");
    std::filesystem::last_write_time(
        FileSystemPath(empty),
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    // Another program's database at the cache's path, in its own journal mode.
    const std::string foreign = dir.File("foreign.sqlite");
    ASSERT_EQ(
        test::RunSql(foreign, "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('x');"),
        "");
    const std::optional<std::string> foreignBytes = test::ReadFile(foreign);
    const struct {
        const char* label;
        std::string cache;
        CacheProblem::Kind kind;
    } cases[] = {
        {"not a database", notADatabase, CacheProblem::Kind::NotOurs},
        {"an empty file", empty, CacheProblem::Kind::NotOurs},
        {"another program's database", foreign, CacheProblem::Kind::NotOurs},
        {"under a regular file", dir.File("plain/digests.sqlite"), CacheProblem::Kind::NoPlace},
        {"no cache folder at all", "", CacheProblem::Kind::None},
    };
    for (const auto& c : cases) {
        const CachedDigests result = DigestWithCache(c.cache, {file});
        EXPECT_EQ(result.problem.kind, c.kind) << c.label;
        ASSERT_TRUE(result.digests[0].ok) << c.label;
        EXPECT_EQ(result.digests[0].md5, "0cc175b9c0f1b6a831c399e269772661") << c.label;
    }
    EXPECT_EQ(test::ReadFile(notADatabase), std::string(8192, 'x')) << "left as it was";
    EXPECT_EQ(test::ReadFile(empty), "") << "left empty";
    EXPECT_EQ(test::ReadFile(foreign), foreignBytes) << "byte for byte as it was";
    EXPECT_FALSE(std::filesystem::exists(foreign + "-wal"));
}

// A record damaged on the disk (a digit of its digest changed, which SQLite's
// own checks cannot see) is never recalled: the file is digested again.
TEST(DigestCache, ADamagedRecordIsDigestedAgain) {
    test::TempDir dir;
    const std::string cache = dir.File("digests.sqlite");
    const std::string file = dir.File("a.wzl");
    test::WriteFile(file, "a");
    LetTheRacyWindowPass();
    ASSERT_FALSE(DigestWithCache(cache, {file}).problem);
    ASSERT_TRUE(DigestWithCache(cache, {file}).digests[0].recalled);
    for (const char* damage : {"UPDATE digests SET md5 = '1cc175b9c0f1b6a831c399e269772661'",
                               "UPDATE digests SET size = 2", "UPDATE digests SET checksum = 7"}) {
        ASSERT_EQ(test::RunSql(cache, damage), "") << damage;
        const CachedDigests again = DigestWithCache(cache, {file});
        EXPECT_FALSE(again.digests[0].recalled) << damage;
        EXPECT_EQ(again.digests[0].md5, "0cc175b9c0f1b6a831c399e269772661") << damage;
        EXPECT_TRUE(DigestWithCache(cache, {file}).digests[0].recalled) << "written anew";
    }
}

// Entries not seen for 90 days go; those recalled are seen again.
TEST(DigestCache, EntriesNotSeenForNinetyDaysAreDropped) {
    test::TempDir dir;
    const std::string cache = dir.File("digests.sqlite");
    const std::string file = dir.File("a.wzl");
    test::WriteFile(file, "a");
    LetTheRacyWindowPass();
    DigestWithCache(cache, {file});
    const auto today = std::chrono::duration_cast<std::chrono::hours>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count() /
                       24;
    // An old entry of a file gone, and the file's own entry made old too.
    ASSERT_EQ(test::RunSql(cache,
                           "INSERT INTO digests VALUES ('/gone', 1, 1, 1, 1, 1, "
                           "'0cc175b9c0f1b6a831c399e269772661', " +
                               std::to_string(today - kCacheKeepDays - 1) +
                               ", 0); UPDATE digests SET seen = " +
                               std::to_string(today - kCacheKeepDays + 1) +
                               " WHERE path != '/gone'; DELETE FROM meta;"),
              "");
    EXPECT_TRUE(DigestWithCache(cache, {file}).digests[0].recalled);
    SqliteConnection connection;
    ASSERT_TRUE(connection.Open(cache, SqliteConnection::kOpenReadWrite, kUtf8));
    bool ok = false;
    SqliteStatement rows =
        connection.Prepare("SELECT count(*), min(seen) FROM digests", &ok, kUtf8);
    ASSERT_TRUE(ok && rows.Step());
    EXPECT_EQ(rows.ColumnInt64(0), 1) << "the entry of the gone file was dropped";
    EXPECT_EQ(rows.ColumnInt64(1), today) << "the file's own entry was seen today";
}

}  // namespace
}  // namespace varo
