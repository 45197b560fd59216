#include "cache/DigestCache.h"
#include "digest/FileDigest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "db/SqliteConnection.h"
#include "manifest/ResourcePaths.h"
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

// Two files, "a" and "bb", older than the racy window, and a cache beside them.
struct TwoOldFiles {
    TwoOldFiles() {
        test::WriteFile(files[0], "a");
        test::WriteFile(files[1], "bb");
        LetTheRacyWindowPass();
    }
    test::TempDir dir;
    std::string cache = dir.File("digests.sqlite");
    std::vector<std::string> files = {dir.File("a.wzl"), dir.File("b.wzl")};
};

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
        writer.Remember(0, state, "0cc175b9c0f1b6a831c399e269772661");
        ASSERT_TRUE(writer.Save()) << writer.Problem().message;
    }
    const DigestCache reader(cache, {path});
    EXPECT_EQ(reader.Recall(0, state), "0cc175b9c0f1b6a831c399e269772661");
    const std::function<void(FileState&)> changes[] = {
        [](FileState& s) { ++s.size; },    [](FileState& s) { ++s.modified; },
        [](FileState& s) { ++s.changed; }, [](FileState& s) { ++s.device; },
        [](FileState& s) { ++s.file; },
    };
    for (const auto& change : changes) {
        FileState other = state;
        change(other);
        EXPECT_EQ(reader.Recall(0, other), std::nullopt);
    }
    EXPECT_EQ(DigestCache(cache, {dir.File("b.wzl")}).Recall(0, state), std::nullopt)
        << "another path";
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

// Where the folder listing gives each file's state (Windows), it is the state
// a file's handle gives, and the cache is asked by it without a look at the
// file; a file read in another state than listed is digested and not
// remembered. Elsewhere the listing's part is played by StatFile's states.
TEST(DigestCache, TheListingsStateIsTheLookUp) {
    test::TempDir dir;
    const std::string cache = dir.File("digests.sqlite");
    struct Case {
        const char* name;
        bool inFirstJob;     // digested and remembered before
        bool goneSince;      // deleted after the listing of the second job
        bool listedAmiss;    // the second job's listing gives another size
        bool recalledThen;   // in the second job
        bool recalledLater;  // in a third job, listed as it is
    };
    const Case cases[] = {
        {"kept.wzl", true, false, false, true, true},
        {"gone.wzl", true, true, false, true, false},
        {"amiss.wzl", false, false, true, false, false},
        {"fresh.wzl", false, false, false, false, true},
    };
    std::map<std::string, std::string> truth;
    for (const Case& c : cases) {
        test::WriteFile(dir.File(c.name), std::string("bytes of ") + c.name);
        truth[c.name] = DigestFile(dir.File(c.name)).md5;
    }
    std::vector<FolderEntry> entries;
    SystemError error;
    ASSERT_TRUE(ListFolder(dir.Path(), entries, error)) << error.kind;
    std::map<std::string, FileState> listed;
    FolderLookup lookup;
    for (const FolderEntry& entry : entries) {
        FileState state;
        ASSERT_TRUE(StatFile(entry.path, state, error)) << entry.name;
        FileState looked;
        ASSERT_TRUE(lookup.StatFile(entry.path, looked, error)) << entry.name;
        EXPECT_EQ(looked, state) << entry.name;
#ifdef _WIN32
        ASSERT_TRUE(entry.state.has_value()) << entry.name;
#endif
        if (entry.state) {
            EXPECT_EQ(*entry.state, state) << entry.name;
        }
        listed[entry.name] = entry.state.value_or(state);
    }
    LetTheRacyWindowPass();
    const auto job = [&](const std::function<bool(const Case&)>& taken, bool second) {
        DigestJob digestJob = Job({});
        for (const Case& c : cases) {
            if (taken(c)) {
                digestJob.paths.push_back(dir.File(c.name));
                FileState state = listed[c.name];
                state.size += second && c.listedAmiss ? 1 : 0;
                digestJob.listed.push_back(state);
            }
        }
        return DigestFilesWithCache(digestJob, cache).digests;
    };
    job([](const Case& c) { return c.inFirstJob; }, false);
    for (const Case& c : cases) {
        if (c.goneSince) {
            std::filesystem::remove(FileSystemPath(dir.File(c.name)));
        }
    }
    const std::vector<FileDigest> then = job([](const Case&) { return true; }, true);
    const std::vector<FileDigest> later = job([](const Case& c) { return !c.goneSince; }, false);
    for (std::size_t i = 0, j = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        ASSERT_TRUE(then[i].ok) << c.name;
        EXPECT_EQ(then[i].md5, truth[c.name]) << c.name;
        EXPECT_EQ(then[i].recalled, c.recalledThen) << c.name;
        if (!c.goneSince) {
            EXPECT_EQ(later[j++].recalled, c.recalledLater) << c.name;
        }
    }
}

// A save left to go on beside the caller is done once FinishCacheSave
// returns; one that fails (another program holding the cache for writing past
// the busy timeout) says why, and the digests stay right.
// A job of many files is looked up on two threads, a stretch each, before
// any file is read: every file recalled or digested in its own place, a
// folder given twice and a file given by name among them.
TEST(DigestCache, ALargeJobIsLookedUpInStretches) {
    test::TempDir dir;
    const std::string cache = dir.File("digests.sqlite");
    std::vector<std::string> folders;
    for (const char* folder : {"one", "two"}) {
        folders.push_back(dir.File(folder));
        std::filesystem::create_directory(FileSystemPath(folders.back()));
        for (int i = 0; i < 700; ++i) {
            test::WriteFile(JoinPath(folders.back(), std::to_string(i) + ".wzl"),
                            folder + std::to_string(i));
        }
    }
    const std::vector<std::string> given = {folders[0], folders[1], JoinPath(folders[1], "5.wzl"),
                                            folders[0]};
    const auto run = [&] {
        ExpandedResourcePaths expanded = ExpandResourcePaths(given, ManifestMode::MicroClient, 2);
        EXPECT_EQ(expanded.files.size(), 2101u);
        DigestJob job = Job(std::move(expanded.files));
        job.listed = std::move(expanded.listed);
        CachedDigests cached = DigestFilesWithCache(job, cache);
        EXPECT_FALSE(cached.problem) << cached.problem.message;
        return std::make_pair(std::move(job.paths), std::move(cached));
    };
    LetTheRacyWindowPass();
    run();
    // Every seventh file of the first folder changes.
    for (int i = 0; i < 700; i += 7) {
        test::WriteFile(JoinPath(folders[0], std::to_string(i) + ".wzl"), "changed");
    }
    LetTheRacyWindowPass();
    const auto [paths, second] = run();
    const std::vector<FileDigest> truth = DigestFiles(Job(paths));
    std::size_t recalled = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string name = PathFileName(paths[i]);
        // (Windows lists the folder's files in the long-path form.)
        const bool changed = PathFileName(PathFolder(paths[i])) == "one" &&
                             std::stoi(name.substr(0, name.find('.'))) % 7 == 0;
        EXPECT_EQ(second.digests[i].md5, truth[i].md5) << paths[i];
        EXPECT_EQ(second.digests[i].recalled, !changed) << paths[i];
        recalled += changed ? 0 : 1;
    }
    EXPECT_EQ(second.recalled, recalled);
    EXPECT_EQ(recalled, 2101u - 200u);  // 100 changed files, each given twice
}

TEST(DigestCache, ASaveLeftToGoOnIsFinishedOrSaysWhy) {
    const TwoOldFiles two;
    const std::string& cache = two.cache;
    const std::vector<std::string>& files = two.files;
    DigestJob first = Job({files[0]});
    CachedDigests saving = DigestFilesWithCache(first, cache, CacheSave::Meanwhile);
    EXPECT_FALSE(saving.problem);
    EXPECT_FALSE(FinishCacheSave(saving));
    EXPECT_FALSE(saving.saving.valid());
    EXPECT_EQ(DigestWithCache(cache, {files[0]}).recalled, 1u);

    SqliteConnection other;
    ASSERT_TRUE(other.Open(cache, SqliteConnection::kOpenReadWrite, kUtf8));
    ASSERT_TRUE(other.Execute("BEGIN IMMEDIATE", nullptr, nullptr, nullptr, kUtf8));
    DigestJob second = Job(files);
    CachedDigests blocked = DigestFilesWithCache(second, cache, CacheSave::Meanwhile);
    EXPECT_FALSE(blocked.problem) << "read while the other program writes";
    EXPECT_EQ(blocked.recalled, 1u);
    EXPECT_EQ(blocked.digests[1].md5, "21ad0bd836b90d08f4cf640b4c298e7c");
    const CacheProblem failed = FinishCacheSave(blocked);
    EXPECT_EQ(failed.kind, CacheProblem::Kind::Sqlite);
    EXPECT_EQ(blocked.problem.kind, CacheProblem::Kind::Sqlite);
    other.Execute("ROLLBACK", nullptr, nullptr, nullptr, kUtf8);
    EXPECT_FALSE(DigestWithCache(cache, files).digests[1].recalled) << "not saved";
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

// The cache's folder records as they are on the disk: folder, entries, seen.
struct FolderRecord {
    std::string folder;
    std::string entries;
    std::int64_t seen = 0;
};

std::vector<FolderRecord> ReadFolders(const std::string& cache) {
    SqliteConnection connection;
    std::vector<FolderRecord> folders;
    bool ok = connection.Open(cache, SqliteConnection::kOpenReadWrite, kUtf8);
    SqliteStatement rows =
        connection.Prepare("SELECT folder, entries, seen FROM folders ORDER BY folder", &ok, kUtf8);
    while (ok && rows.Step()) {
        folders.push_back({rows.ColumnText(0, kUtf8), rows.ColumnBlob(1), rows.ColumnInt64(2)});
    }
    return folders;
}

void WriteFolder(const std::string& cache, const FolderRecord& record) {
    SqliteConnection connection;
    bool ok = connection.Open(cache, SqliteConnection::kOpenReadWrite, kUtf8);
    SqliteStatement update = connection.Prepare(
        "UPDATE folders SET entries = :entries, seen = :seen WHERE folder = :folder", &ok, kUtf8);
    ASSERT_TRUE(ok);
    update.BindBlob(":entries", record.entries);
    update.BindInt64(":seen", record.seen);
    update.BindText(":folder", record.folder, kUtf8);
    ASSERT_EQ(update.StepCode(), 101 /* SQLITE_DONE */);
}

// Where the fields of a folder's first entry lie: the name's length (2
// bytes), the name, five 64-bit state fields, 32 digits, seen, checksum.
std::size_t FirstEntryField(const std::string& entries, std::size_t after) {
    return 2 + static_cast<unsigned char>(entries[0]) + after;
}
constexpr std::size_t kSizeField = 0;
constexpr std::size_t kDigestField = 40;
constexpr std::size_t kSeenField = 72;
constexpr std::size_t kChecksumField = 80;

std::int64_t Today() {
    return std::chrono::duration_cast<std::chrono::hours>(
               std::chrono::system_clock::now().time_since_epoch())
               .count() /
           24;
}

// An entry damaged on the disk (a digit of its digest changed, which SQLite's
// own checks cannot see) is never recalled: the file is digested again, and
// the other entries of its folder stay.
TEST(DigestCache, ADamagedEntryIsDigestedAgain) {
    const TwoOldFiles two;
    const std::string& cache = two.cache;
    const std::vector<std::string>& files = two.files;
    ASSERT_FALSE(DigestWithCache(cache, files).problem);
    ASSERT_EQ(DigestWithCache(cache, files).recalled, 2u);
    const struct {
        const char* label;
        std::function<void(std::string& entries)> damage;
        std::size_t recalled;
    } cases[] = {
        {"a digit of a digest", [](std::string& e) { e[FirstEntryField(e, kDigestField)] ^= 1; },
         1},
        {"a size", [](std::string& e) { e[FirstEntryField(e, kSizeField)] ^= 1; }, 1},
        {"a checksum", [](std::string& e) { e[FirstEntryField(e, kChecksumField)] ^= 1; }, 1},
        {"the record cut short", [](std::string& e) { e.resize(e.size() - 3); }, 1},
        {"a name longer than the record", [](std::string& e) { e[0] = e[1] = '\xFF'; }, 0},
    };
    for (const auto& c : cases) {
        std::vector<FolderRecord> folders = ReadFolders(cache);
        ASSERT_EQ(folders.size(), 1u) << c.label;
        c.damage(folders[0].entries);
        WriteFolder(cache, folders[0]);
        const CachedDigests again = DigestWithCache(cache, files);
        EXPECT_FALSE(again.problem) << c.label;
        EXPECT_EQ(again.recalled, c.recalled) << c.label;
        EXPECT_EQ(again.digests[0].md5, "0cc175b9c0f1b6a831c399e269772661") << c.label;
        EXPECT_EQ(again.digests[1].md5, "21ad0bd836b90d08f4cf640b4c298e7c") << c.label;
        EXPECT_EQ(DigestWithCache(cache, files).recalled, 2u) << c.label << ": written anew";
    }
}

// A cache of an earlier version (a row per file, or another checksum) is
// taken over: its rows go, the files are digested once more and recalled from
// then on.
TEST(DigestCache, AnEarlierVersionIsTakenOver) {
    const struct {
        const char* label;
        std::string sql;
    } cases[] = {
        {"the first version",
         "CREATE TABLE digests (path TEXT NOT NULL PRIMARY KEY, size INTEGER NOT NULL, "
         "modified INTEGER NOT NULL, changed INTEGER NOT NULL, device INTEGER NOT NULL, "
         "file INTEGER NOT NULL, md5 TEXT NOT NULL, seen INTEGER NOT NULL) WITHOUT ROWID; "
         "PRAGMA user_version=1;"},
        {"the second version",
         "CREATE TABLE digests (path TEXT NOT NULL PRIMARY KEY, size INTEGER NOT NULL, "
         "modified INTEGER NOT NULL, changed INTEGER NOT NULL, device INTEGER NOT NULL, "
         "file INTEGER NOT NULL, md5 TEXT NOT NULL, seen INTEGER NOT NULL, "
         "checksum INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID; CREATE TABLE meta (name TEXT NOT "
         "NULL PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID; "
         "PRAGMA application_id=1447121487; PRAGMA user_version=2;"},
        {"the third version (a record per folder, another checksum)",
         "CREATE TABLE folders (folder TEXT NOT NULL UNIQUE, entries BLOB NOT NULL, seen INTEGER "
         "NOT NULL); CREATE TABLE meta (name TEXT NOT NULL PRIMARY KEY, value INTEGER NOT NULL) "
         "WITHOUT ROWID; INSERT INTO folders VALUES ('/x/', x'0100', 1); "
         "PRAGMA application_id=1447121487; PRAGMA user_version=3;"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string cache = dir.File("digests.sqlite");
        const std::string file = dir.File("a.wzl");
        test::WriteFile(file, "a");
        ASSERT_EQ(test::RunSql(cache, c.sql), "") << c.label;
        LetTheRacyWindowPass();
        const CachedDigests first = DigestWithCache(cache, {file});
        EXPECT_FALSE(first.problem) << c.label << ": " << first.problem.message;
        EXPECT_EQ(first.recalled, 0u) << c.label;
        EXPECT_TRUE(DigestWithCache(cache, {file}).digests[0].recalled) << c.label;
        EXPECT_EQ(test::RunSql(cache, "SELECT 1 FROM digests"), "no such table: digests")
            << c.label;
        for (const FolderRecord& folder : ReadFolders(cache)) {
            EXPECT_NE(folder.folder, "/x/") << c.label;
        }
    }
}

// Entries not seen for 90 days go; those recalled are seen again.
TEST(DigestCache, EntriesNotSeenForNinetyDaysAreDropped) {
    test::TempDir dir;
    const std::string cache = dir.File("digests.sqlite");
    const std::string file = dir.File("a.wzl");
    const std::string gone = dir.File("gone/x.wzl");
    std::filesystem::create_directory(FileSystemPath(dir.File("gone")));
    test::WriteFile(file, "a");
    test::WriteFile(gone, "x");
    LetTheRacyWindowPass();
    DigestWithCache(cache, {file, gone});
    std::filesystem::remove(FileSystemPath(gone));
    // The gone file's folder not seen for longer than that, the file's own
    // entry nearly as long; pruning is due.
    const std::int64_t today = Today();
    std::vector<FolderRecord> folders = ReadFolders(cache);
    ASSERT_EQ(folders.size(), 2u);
    for (FolderRecord& folder : folders) {
        const bool isGone = folder.folder.size() > dir.Path().size() + 1;
        folder.seen = isGone ? today - kCacheKeepDays - 1 : today - kCacheKeepDays + 1;
        const std::uint64_t seen = static_cast<std::uint64_t>(folder.seen);
        for (int i = 0; i < 8; ++i) {
            folder.entries[FirstEntryField(folder.entries, kSeenField) +
                           static_cast<std::size_t>(i)] = static_cast<char>(seen >> (8 * i));
        }
        WriteFolder(cache, folder);
    }
    ASSERT_EQ(test::RunSql(cache, "DELETE FROM meta;"), "");
    // Its seen day is part of no checksum: the entry is still sound.
    EXPECT_TRUE(DigestWithCache(cache, {file}).digests[0].recalled);
    folders = ReadFolders(cache);
    ASSERT_EQ(folders.size(), 1u) << "the gone file's folder was dropped";
    EXPECT_EQ(folders[0].seen, today) << "the file's own entry was seen today";
}

}  // namespace
}  // namespace varo
