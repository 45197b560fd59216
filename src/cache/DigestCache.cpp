#include "cache/DigestCache.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>

#include "db/SqliteApi.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
#include "text/NameIndex.h"

namespace varo {
namespace {

constexpr int kBusyMilliseconds = 5000;
constexpr int kSchemaVersion = 4;
// Marks the cache as this program's ("VARO"), so that no other SQLite file at
// its path is ever taken for it.
constexpr std::int64_t kApplicationId = 0x5641524F;

// One row per folder: its files' entries packed in one blob (see
// AppendRecord), so that a job writes and reads a record per folder, not per
// file. Device and file numbers are unsigned 64-bit values, bit for bit; each
// entry's checksum covers its key and digest, so that an entry damaged on the
// disk is never trusted. `seen` is the latest day any entry was seen.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS folders (folder TEXT NOT NULL UNIQUE, entries BLOB NOT NULL, "
    "seen INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS meta (name TEXT NOT NULL PRIMARY KEY, value INTEGER NOT NULL) "
    "WITHOUT ROWID;";

// A record's checksum covers its full path, key fields and digest, taken 64
// bits at a time: each step is a bijection of the hash, so that any change of
// one word changes the sum. The folder's part is taken once per folder.
std::uint64_t MixWord(std::uint64_t hash, std::uint64_t word) {
    hash = (hash ^ word) * 0x100000001B3ull;
    return hash ^ (hash >> 29);
}

std::uint64_t MixBytes(std::uint64_t hash, std::string_view bytes) {
    hash = MixWord(hash, bytes.size());
    for (; bytes.size() >= 8; bytes.remove_prefix(8)) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data(), 8);
        hash = MixWord(hash, word);
    }
    if (!bytes.empty()) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data(), bytes.size());
        hash = MixWord(hash, word);
    }
    return hash;
}

std::uint64_t FolderChecksum(std::string_view folder) {
    return MixBytes(0xCBF29CE484222325ull, folder);
}

std::int64_t RecordChecksum(std::uint64_t folderSum, std::string_view name, const FileState& state,
                            std::string_view md5) {
    std::uint64_t hash = MixBytes(folderSum, name);
    for (const std::uint64_t field :
         {state.size, static_cast<std::uint64_t>(state.modified),
          static_cast<std::uint64_t>(state.changed), state.device, state.file}) {
        hash = MixWord(hash, field);
    }
    return static_cast<std::int64_t>(MixBytes(hash, md5));
}

// The part of a path up to and with its last separator: the key range
// [prefix, prefix with its last byte raised) holds the entries of its folder.
std::string_view FolderPrefix(std::string_view path) {
    const std::size_t separator = path.find_last_of(PathSeparators());
    return separator == std::string_view::npos ? std::string_view() : path.substr(0, separator + 1);
}

bool IsDigest(std::string_view md5) {
    // Asked of every entry read: a plain test of each digit.
    if (md5.size() != 32) {
        return false;
    }
    bool bad = false;
    for (const char c : md5) {
        bad |= !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    }
    return !bad;
}

// One entry of a folder's blob, little-endian: the name's length (16 bits),
// the name, size, modified, changed, device, file (64 bits each), the 32
// digits of the digest, the day it was last seen, the checksum.
// The name and digest are views of the blob read, or of the job's own files.
struct Record {
    std::string_view name;
    FileState state;
    std::string_view md5;
    std::int64_t seen = 0;
};
constexpr std::size_t kRecordFixed = 2 + 5 * 8 + 32 + 8 + 8;

char* PutWord(char* out, std::uint64_t value, int bytes = 8) {
    for (int i = 0; i < bytes; ++i) {
        *out++ = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

std::uint64_t GetWord(const char* in, int bytes = 8) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[i])) << (8 * i);
    }
    return value;
}

void AppendRecord(std::string& blob, std::uint64_t folderSum, const Record& record) {
    const std::size_t start = blob.size();
    blob.resize(start + kRecordFixed + record.name.size());
    char* out = PutWord(blob.data() + start, record.name.size(), 2);
    out = std::copy(record.name.begin(), record.name.end(), out);
    for (const std::uint64_t field :
         {record.state.size, static_cast<std::uint64_t>(record.state.modified),
          static_cast<std::uint64_t>(record.state.changed), record.state.device,
          record.state.file}) {
        out = PutWord(out, field);
    }
    out = std::copy(record.md5.begin(), record.md5.end(), out);
    out = PutWord(out, static_cast<std::uint64_t>(record.seen));
    PutWord(out, static_cast<std::uint64_t>(
                     RecordChecksum(folderSum, record.name, record.state, record.md5)));
}

// The entry that starts at `start` of a blob, which holds it whole.
Record RecordAt(std::string_view blob, std::size_t start) {
    Record record;
    const std::size_t length = GetWord(blob.data() + start, 2);
    record.name = blob.substr(start + 2, length);
    const char* at = blob.data() + start + 2 + length;
    record.state.size = GetWord(at);
    record.state.modified = static_cast<std::int64_t>(GetWord(at + 8));
    record.state.changed = static_cast<std::int64_t>(GetWord(at + 16));
    record.state.device = GetWord(at + 24);
    record.state.file = GetWord(at + 32);
    record.md5 = std::string_view(at + 40, 32);
    record.seen = static_cast<std::int64_t>(GetWord(at + 72));
    return record;
}

// Hands the sound entries of a folder's blob to `take(record)`, in order; a
// damaged one (its checksum or digest not what this program writes) is left
// out, and a blob cut short ends at its last whole entry.
template <typename Take>
void ForEachRecord(std::string_view folder, std::string_view blob, Take&& take) {
    const std::uint64_t folderSum = FolderChecksum(folder);
    while (blob.size() >= 2) {
        const std::size_t length = GetWord(blob.data(), 2);
        if (blob.size() < kRecordFixed + length) {
            break;
        }
        const Record record = RecordAt(blob, 0);
        const auto checksum =
            static_cast<std::int64_t>(GetWord(record.md5.data() + record.md5.size() + 8));
        if (IsDigest(record.md5) &&
            RecordChecksum(folderSum, record.name, record.state, record.md5) == checksum) {
            take(record);
        }
        blob.remove_prefix(kRecordFixed + length);
    }
}

// The sound entries of a folder's blob, as views of it.
std::vector<Record> ReadRecords(std::string_view folder, std::string_view blob) {
    std::vector<Record> records;
    ForEachRecord(folder, blob, [&records](const Record& record) { records.push_back(record); });
    return records;
}

}  // namespace

std::string DefaultDigestCachePath() {
    const std::string folder = UserCacheFolder();
    return folder.empty() ? std::string()
                          : JoinPath(JoinPath(folder, "varo-toolkit"), "digests.sqlite");
}

DigestCache::DigestCache(const std::string& path, const std::vector<std::string>& files) {
    // A job's files come folder by folder: the folder is looked up once per
    // run of them, and each name is kept once, back to back.
    std::unordered_map<std::string_view, std::uint32_t> folderNumbers;
    std::string_view current;
    std::uint32_t number = 0;
    folderOf_.reserve(files.size());
    nameStart_.reserve(files.size() + 1);
    for (const std::string& file : files) {
        const std::string_view folder = FolderPrefix(file);
        if (folderOf_.empty() || folder != current) {
            const auto [at, added] = folderNumbers.try_emplace(folder, folders_.size());
            if (added) {
                folders_.emplace_back(folder);
            }
            current = folder;
            number = at->second;
        }
        folderOf_.push_back(number);
        nameStart_.push_back(names_.size());
        names_.append(file, folder.size());
    }
    nameStart_.push_back(names_.size());
    used_ = std::make_unique<std::atomic<bool>[]>(files.size());
    Open(path);
    if (!problem_) {
        Load();
    }
}

DigestCache::~DigestCache() {
    connection_.Close();
}

std::int64_t DigestCache::Today() const {
    using namespace std::chrono;
    return duration_cast<hours>(system_clock::now().time_since_epoch()).count() / 24;
}

void DigestCache::Fail(int code, std::string message) {
    if (!problem_) {
        problem_.kind = CacheProblem::Kind::Sqlite;
    }
    problem_.sqliteCode = code & 0xFF;
    if (problem_.message.empty()) {
        problem_.message = !message.empty()                     ? std::move(message)
                           : connection_.GetHandle() != nullptr ? connection_.ErrorMessage(kUtf8)
                                                                : std::string();
    }
    blobs_.clear();
    recordOf_.clear();
}

void DigestCache::Open(const std::string& path) {
    if (path.empty()) {
        problem_ = {CacheProblem::Kind::NoPlace, ErrnoError(ENOENT), 0, {}};
        return;
    }
    // SQLite is bound at run time: without it there is no cache, and that is all.
    if (sqlite::Library().TrySymbol("sqlite3_open_v2") == nullptr) {
        problem_ = {CacheProblem::Kind::LibraryMissing, {}, 0, {}};
        return;
    }
    std::error_code made;
    std::filesystem::create_directories(FileSystemPath(PathFolder(path)), made);
    if (made) {
        problem_ = {CacheProblem::Kind::NoPlace, FileSystemError(made), 0, {}};
        return;
    }
    // A file there that is empty or not an SQLite database is not ours, and
    // SQLite would make one of it: it is left alone. A missing one is made.
    // An empty file only just made is the cache another program is making
    // this moment: its header comes within the busy timeout.
    const auto waitUntil =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyMilliseconds);
    PathKind there = KindOfPath(path);
    while (there == PathKind::File) {
        const std::optional<std::string> header = ReadFileStart(path, 16);
        if (header && *header == std::string_view("SQLite format 3\0", 16)) {
            break;
        }
        FileState state;
        SystemError ignored;
        const bool beingMade = header && header->empty() && StatFile(path, state, ignored) &&
                               FileTimeNow() - state.modified < 10 * FileTimeUnitsPerSecond();
        if (!beingMade || std::chrono::steady_clock::now() > waitUntil) {
            problem_ = {CacheProblem::Kind::NotOurs, {}, 0, {}};
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        there = KindOfPath(path);
    }
    const int flags = SQLITE_OPEN_READWRITE | (there == PathKind::Missing ? SQLITE_OPEN_CREATE : 0);
    if (!connection_.Open(path, flags, kUtf8)) {
        Fail(connection_.GetHandle() != nullptr ? connection_.ErrorCode() : SQLITE_CANTOPEN);
        return;
    }
    connection_.SetBusyTimeout(kBusyMilliseconds);
    // Another program that opens the cache this very moment may hold a lock
    // that SQLite does not wait for (the switch to write-ahead logging): the
    // setting up is tried again for as long as SQLite would wait.
    const auto giveUp =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyMilliseconds);
    for (;;) {
        const int result = SetUp();
        if (result == SQLITE_OK) {
            return;
        }
        const int primary = result & 0xFF;
        if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) ||
            std::chrono::steady_clock::now() > giveUp) {
            Fail(result);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int DigestCache::SetUp() {
    bool ok = false;
    // Ours, or nothing is changed: the mark, or (made before the mark) our
    // own tables at the first version; a new database is empty.
    SqliteStatement identity = connection_.Prepare(
        "SELECT (SELECT application_id FROM pragma_application_id), "
        "(SELECT user_version FROM pragma_user_version), "
        "(SELECT count(*) FROM sqlite_schema), "
        "(SELECT count(*) FROM sqlite_schema WHERE name = 'digests')",
        &ok, kUtf8);
    if (!ok || !identity.Step()) {
        return connection_.ErrorCode();
    }
    const std::int64_t application = identity.ColumnInt64(0);
    const std::int64_t userVersion = identity.ColumnInt64(1);
    const bool blank = identity.ColumnInt64(2) == 0 && userVersion == 0;
    const bool earlierOurs = application == 0 && userVersion == 1 && identity.ColumnInt64(3) == 1;
    identity.Finalize();
    if (application != kApplicationId && !blank && !earlierOurs) {
        problem_ = {CacheProblem::Kind::NotOurs, {}, 0, {}};
        return SQLITE_MISMATCH;
    }
    // A rollback journal: a job's records go once into the file itself
    // (write-ahead logging wrote them twice, into the log and again at its
    // checkpoint, which made filling the cache cost a tenth of the job).
    // The window and varo-cli still share the cache: a reader waits out a
    // writer's commit, and the other way round, within the busy timeout.
    // A new cache takes large pages: a folder's record is a page or two, and
    // a job's write is a few hundred writes rather than thousands.
    if (blank) {
        connection_.Execute("PRAGMA page_size=65536", nullptr, nullptr, nullptr, kUtf8);
    }
    // A cache left in write-ahead mode by an earlier version changes over
    // when no other program has it open; until then it works as it is.
    SqliteStatement journal = connection_.Prepare("PRAGMA journal_mode=TRUNCATE", &ok, kUtf8);
    if (ok) {
        journal.StepCode();
    }
    journal.Finalize();
    // A job's transaction of 100,000 entries fits in memory whole, so that
    // no page is written out twice before the commit (memory is taken as
    // needed, up to this).
    connection_.Execute("PRAGMA cache_size=-32768", nullptr, nullptr, nullptr, kUtf8);
    SqliteStatement version = connection_.Prepare("PRAGMA user_version", &ok, kUtf8);
    if (!ok || !version.Step()) {
        return connection_.ErrorCode();
    }
    const std::int64_t found = version.ColumnInt64(0);
    version.Finalize();
    if (found > kSchemaVersion) {
        problem_.message = "made by a newer version of the program";
        return SQLITE_MISMATCH;
    }
    // Earlier versions kept a row per file, or another checksum: their
    // entries go (the files are digested once more and kept in the new form).
    const std::string upgrade =
        "DROP TABLE IF EXISTS digests;DROP TABLE IF EXISTS folders;" + std::string(kSchema);
    if (found < kSchemaVersion &&
        (!connection_.Execute("BEGIN IMMEDIATE;" + upgrade + "PRAGMA application_id=" +
                                  std::to_string(kApplicationId) + ";PRAGMA user_version=" +
                                  std::to_string(kSchemaVersion) + ";COMMIT;",
                              nullptr, nullptr, nullptr, kUtf8))) {
        const int code = connection_.ErrorCode();
        const std::string message = connection_.ErrorMessage(kUtf8);
        connection_.Execute("ROLLBACK", nullptr, nullptr, nullptr, kUtf8);
        problem_.message = message;
        return code;
    }
    return SQLITE_OK;
}

void DigestCache::Load() {
    // The files of each folder, in the job's order.
    std::vector<std::vector<std::size_t>> filesOf(folders_.size());
    for (std::size_t i = 0; i < folderOf_.size(); ++i) {
        filesOf[folderOf_[i]].push_back(i);
    }
    bool ok = false;
    SqliteStatement select =
        connection_.Prepare("SELECT entries FROM folders WHERE folder = :folder", &ok, kUtf8);
    if (!ok) {
        Fail(connection_.ErrorCode());
        return;
    }
    blobs_.resize(folders_.size());
    recordOf_.assign(folderOf_.size(), 0);
    // While SQLite reads the next folder's blob, a helper matches the
    // folders read before it with the job's files.
    std::mutex mutex;
    std::condition_variable wake;
    std::size_t read = 0;  // folders read
    bool stop = false;     // SQLite failed: nothing more is matched
    const auto matchAll = [&]() noexcept {
        for (std::size_t f = 0; f < folders_.size(); ++f) {
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] { return read > f || stop; });
                if (stop) {
                    return;
                }
            }
            try {
                Match(f, filesOf[f]);
            } catch (...) {
                // Out of memory: the folder's files are digested again.
            }
        }
    };
    std::thread helper;
    try {
        helper = std::thread(matchAll);
    } catch (const std::system_error&) {
        // No thread for it: matched once all are read.
    }
    const auto tell = [&](std::size_t count, bool failed) {
        {
            std::lock_guard lock(mutex);
            read = count;
            stop = failed;
        }
        wake.notify_one();
    };
    // However the reading ends (out of memory too), the helper is done first.
    try {
        for (std::size_t f = 0; f < folders_.size(); ++f) {
            select.Reset();
            select.BindText(":folder", folders_[f], kUtf8);
            const int step = folders_[f].empty() ? SQLITE_DONE : select.StepCode();
            if (step == SQLITE_ROW) {
                blobs_[f] = select.ColumnBlob(0);
            } else if (step != SQLITE_DONE) {
                tell(f, true);
                if (helper.joinable()) {
                    helper.join();
                }
                Fail(step);
                return;
            }
            tell(f + 1, false);
        }
    } catch (...) {
        tell(0, true);
        if (helper.joinable()) {
            helper.join();
        }
        throw;
    }
    if (helper.joinable()) {
        helper.join();
    } else {
        matchAll();
    }
}

void DigestCache::Match(std::size_t f, const std::vector<std::size_t>& files) {
    const std::string_view blob = blobs_[f];
    if (blob.size() >= UINT32_MAX) {
        return;  // no record of it is known
    }
    // The sound records by name, a repeated name by its later record.
    std::vector<std::uint32_t> starts;
    ForEachRecord(folders_[f], blob, [&](const Record& record) {
        starts.push_back(static_cast<std::uint32_t>(record.name.data() - 2 - blob.data()));
    });
    NameIndex records(starts.size(), [&](std::uint32_t start) {
        return blob.substr(start + 1, GetWord(blob.data() + start - 1, 2));
    });
    for (const std::uint32_t start : starts) {
        records[blob.substr(start + 2, GetWord(blob.data() + start, 2))] = start + 1;
    }
    for (const std::size_t file : files) {
        recordOf_[file] = records[Name(file)];
    }
}

bool DigestCache::Knows(std::size_t file) const {
    return file < recordOf_.size() && recordOf_[file] != 0;
}

std::optional<std::string> DigestCache::Recall(std::size_t file, const FileState& state) const {
    if (!Knows(file)) {
        return std::nullopt;
    }
    const std::string_view blob = blobs_[folderOf_[file]];
    const Record record = RecordAt(blob, recordOf_[file] - 1);
    // Every part of the state as it was: any difference is another file.
    if (!(record.state == state)) {
        return std::nullopt;
    }
    used_[file].store(true, std::memory_order_relaxed);  // read after the job's threads end
    return std::string(record.md5);
}

void DigestCache::Remember(std::size_t file, const FileState& state, const std::string& md5) {
    if (file >= folderOf_.size() || md5.size() != Learned{}.md5.size()) {
        return;  // no file of the job, or no digest: nothing to keep
    }
    std::call_once(learnedMade_,
                   [this] { learned_ = std::make_unique<Learned[]>(folderOf_.size()); });
    Learned& learned = learned_[file];
    learned.learned = true;
    learned.state = state;
    std::memcpy(learned.md5.data(), md5.data(), learned.md5.size());
}

bool DigestCache::Save() {
    if (problem_) {
        return false;
    }
    const std::int64_t today = Today();
    // SQLite's words of the failure itself, read before the rollback speaks.
    const auto failed = [this]() {
        const int code = connection_.ErrorCode();
        std::string message = connection_.ErrorMessage(kUtf8);
        connection_.Execute("ROLLBACK", nullptr, nullptr, nullptr, kUtf8);
        Fail(code, std::move(message));
        return false;
    };
    // One transaction for the whole job, taken for writing at once: a second
    // program waits (up to the busy timeout) rather than failing halfway.
    if (!connection_.Execute("BEGIN IMMEDIATE", nullptr, nullptr, nullptr, kUtf8)) {
        Fail(connection_.ErrorCode());
        return false;
    }
    // The folders to write: those with new digests, and those whose
    // recalled entries were last seen before today (once a day is often
    // enough to say so). Each is read again inside this transaction, so that
    // what another program wrote meanwhile stays.
    struct FolderChange {
        std::vector<std::size_t> learned;    // files of the job
        std::vector<std::string_view> seen;  // names recalled
    };
    std::vector<FolderChange> changes(folders_.size());
    for (std::size_t i = 0; i < folderOf_.size(); ++i) {
        if (learned_ != nullptr && learned_[i].learned) {
            changes[folderOf_[i]].learned.push_back(i);
        } else if (used_[i].load() &&
                   RecordAt(blobs_[folderOf_[i]], recordOf_[i] - 1).seen < today) {
            changes[folderOf_[i]].seen.push_back(Name(i));
        }
    }
    bool ok = false;
    SqliteStatement select =
        connection_.Prepare("SELECT entries FROM folders WHERE folder = :folder", &ok, kUtf8);
    SqliteStatement insert = connection_.Prepare(
        "INSERT OR REPLACE INTO folders (folder, entries, seen) VALUES (:folder, :entries, :seen)",
        &ok, kUtf8);
    if (!ok) {
        return failed();
    }
    std::string blob;
    for (std::size_t f = 0; f < folders_.size(); ++f) {
        const std::string_view folder = folders_[f];
        const FolderChange& change = changes[f];
        if (folder.empty() || (change.learned.empty() && change.seen.empty())) {
            continue;
        }
        select.Reset();
        select.BindText(":folder", folder, kUtf8);
        const int step = select.StepCode();
        if (step != SQLITE_ROW && step != SQLITE_DONE) {
            return failed();
        }
        // The records are views of what was read: kept until the folder is written.
        const std::string stored = step == SQLITE_ROW ? select.ColumnBlob(0) : std::string();
        std::vector<Record> records = ReadRecords(folder, stored);
        select.Reset();
        std::unordered_map<std::string_view, std::size_t> byName;
        for (std::size_t i = 0; i < records.size(); ++i) {
            byName.emplace(records[i].name, i);
        }
        for (const std::string_view name : change.seen) {
            if (const auto found = byName.find(name); found != byName.end()) {
                records[found->second].seen = today;
            }
        }
        std::vector<Record> added;
        for (const std::size_t file : change.learned) {
            const Learned& learned = learned_[file];
            const Record record{Name(file), learned.state,
                                std::string_view(learned.md5.data(), learned.md5.size()), today};
            if (const auto found = byName.find(record.name); found != byName.end()) {
                records[found->second] = record;
            } else {
                added.push_back(record);
            }
        }
        blob.clear();
        const std::uint64_t folderSum = FolderChecksum(folder);
        std::int64_t seen = 0;
        for (const std::vector<Record>* list : {&records, &added}) {
            for (const Record& record : *list) {
                if (record.seen >= today - kCacheKeepDays && record.name.size() <= UINT16_MAX) {
                    AppendRecord(blob, folderSum, record);
                    seen = std::max(seen, record.seen);
                }
            }
        }
        insert.Reset();
        insert.BindText(":folder", folder, kUtf8);
        insert.BindBlob(":entries", blob);
        insert.BindInt64(":seen", seen);
        if (insert.StepCode() != SQLITE_DONE) {
            return failed();
        }
    }
    select.Finalize();
    insert.Finalize();
    // Entries not seen for kCacheKeepDays go, looked for once a day.
    SqliteStatement pruned =
        connection_.Prepare("SELECT value FROM meta WHERE name = 'pruned'", &ok, kUtf8);
    const std::int64_t lastPruned = ok ? pruned.StepInt() : 0;
    pruned.Finalize();
    if (lastPruned < today) {
        const std::string prune = "DELETE FROM folders WHERE seen < " +
                                  std::to_string(today - kCacheKeepDays) +
                                  "; INSERT OR REPLACE INTO meta (name, value) VALUES "
                                  "('pruned', " +
                                  std::to_string(today) + ");";
        if (!connection_.Execute(prune, nullptr, nullptr, nullptr, kUtf8)) {
            return failed();
        }
    }
    if (!connection_.Execute("COMMIT", nullptr, nullptr, nullptr, kUtf8)) {
        return failed();
    }
    return true;
}

}  // namespace varo
