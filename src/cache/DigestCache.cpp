#include "cache/DigestCache.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>

#include "db/SqliteApi.h"
#include "platform/FileIo.h"
#include "platform/Path.h"

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

std::size_t HashPath(std::string_view path) {
    return std::hash<std::string_view>{}(path);
}

// The part of a path up to and with its last separator: the key range
// [prefix, prefix with its last byte raised) holds the entries of its folder.
std::string_view FolderPrefix(std::string_view path) {
    const std::size_t separator = path.find_last_of(PathSeparators());
    return separator == std::string_view::npos ? std::string_view() : path.substr(0, separator + 1);
}

bool IsDigest(std::string_view md5) {
    return md5.size() == 32 && md5.find_first_not_of("0123456789abcdef") == std::string_view::npos;
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
        Record record;
        record.name = blob.substr(2, length);
        const char* at = blob.data() + 2 + length;
        record.state.size = GetWord(at);
        record.state.modified = static_cast<std::int64_t>(GetWord(at + 8));
        record.state.changed = static_cast<std::int64_t>(GetWord(at + 16));
        record.state.device = GetWord(at + 24);
        record.state.file = GetWord(at + 32);
        record.md5 = std::string_view(at + 40, 32);
        record.seen = static_cast<std::int64_t>(GetWord(at + 72));
        const auto checksum = static_cast<std::int64_t>(GetWord(at + 80));
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

DigestCache::DigestCache(const std::string& path, std::vector<std::string> files)
    : files_(std::move(files)) {
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
    entries_.clear();
    paths_.clear();
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
    std::vector<std::string> prefixes;
    for (const std::string& file : files_) {
        // A job's files come folder by folder: a prefix is made once per run of them.
        const std::string_view prefix = FolderPrefix(file);
        if (!prefix.empty() && (prefixes.empty() || prefixes.back() != prefix)) {
            prefixes.emplace_back(prefix);
        }
    }
    std::sort(prefixes.begin(), prefixes.end());
    prefixes.erase(std::unique(prefixes.begin(), prefixes.end()), prefixes.end());

    bool ok = false;
    SqliteStatement select =
        connection_.Prepare("SELECT entries FROM folders WHERE folder = :folder", &ok, kUtf8);
    if (!ok) {
        Fail(connection_.ErrorCode());
        return;
    }
    // Most entries are the job's files: room for as many.
    entries_.reserve(files_.size());
    for (const std::string& prefix : prefixes) {
        select.Reset();
        select.BindText(":folder", prefix, kUtf8);
        const int step = select.StepCode();
        if (step == SQLITE_DONE) {
            continue;
        }
        if (step != SQLITE_ROW) {
            Fail(step);
            return;
        }
        const std::string entries = select.ColumnBlob(0);
        ForEachRecord(prefix, entries, [&](const Record& record) {
            const std::string_view name = record.name;
            if (paths_.size() + prefix.size() + name.size() > UINT32_MAX) {
                return;
            }
            Entry entry;
            entry.pathStart = static_cast<std::uint32_t>(paths_.size());
            paths_ += prefix;
            paths_ += name;
            entry.pathLength = static_cast<std::uint32_t>(paths_.size() - entry.pathStart);
            entry.hash = HashPath(std::string_view(paths_).substr(entry.pathStart));
            entry.state = record.state;
            std::memcpy(entry.md5.data(), record.md5.data(), entry.md5.size());
            entry.seenDay = record.seen;
            entries_.push_back(entry);
        });
    }
    // Twice as many slots as entries, a power of two: a lookup seldom probes twice.
    std::size_t slots = 16;
    while (slots < 2 * entries_.size()) {
        slots *= 2;
    }
    slots_.assign(slots, 0);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        std::size_t slot = entries_[i].hash & (slots - 1);
        while (slots_[slot] != 0) {
            slot = (slot + 1) & (slots - 1);
        }
        slots_[slot] = static_cast<std::uint32_t>(i + 1);
    }
    used_ = std::make_unique<std::atomic<bool>[]>(entries_.size());
    // Each file's entry looked up once, here, rather than by every thread.
    entryOfFile_.assign(files_.size(), 0);
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (const Entry* entry = Find(files_[i])) {
            entryOfFile_[i] = static_cast<std::uint32_t>(entry - entries_.data() + 1);
        }
    }
}

const DigestCache::Entry* DigestCache::Find(std::string_view path) const {
    if (slots_.empty()) {
        return nullptr;
    }
    const std::size_t hash = HashPath(path);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
        const Entry& entry = entries_[slots_[slot] - 1];
        if (entry.hash == hash &&
            std::string_view(paths_).substr(entry.pathStart, entry.pathLength) == path) {
            return &entry;
        }
    }
    return nullptr;
}

bool DigestCache::Knows(std::size_t file) const {
    return file < entryOfFile_.size() && entryOfFile_[file] != 0;
}

std::optional<std::string> DigestCache::Recall(std::size_t file, const FileState& state) const {
    if (!Knows(file)) {
        return std::nullopt;
    }
    const std::size_t index = entryOfFile_[file] - 1;
    const Entry& entry = entries_[index];
    // Every part of the state as it was: any difference is another file.
    if (!(entry.state == state)) {
        return std::nullopt;
    }
    used_[index].store(true, std::memory_order_relaxed);  // read after the job's threads end
    return std::string(entry.md5.data(), entry.md5.size());
}

void DigestCache::Remember(std::size_t file, const FileState& state, const std::string& md5) {
    if (file >= files_.size() || md5.size() != Learned{}.md5.size()) {
        return;  // no file of the job, or no digest: nothing to keep
    }
    std::call_once(learnedMade_, [this] { learned_ = std::make_unique<Learned[]>(files_.size()); });
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
    std::map<std::string_view, FolderChange> changes;  // views of the job's paths
    FolderChange* current = nullptr;
    std::string_view currentFolder;
    for (std::size_t i = 0; learned_ != nullptr && i < files_.size(); ++i) {
        if (!learned_[i].learned) {
            continue;
        }
        // A job's files come folder by folder: the map is asked once per run of them.
        const std::string_view folder = FolderPrefix(files_[i]);
        if (current == nullptr || folder != currentFolder) {
            current = &changes[folder];
            currentFolder = folder;
        }
        if (!folder.empty()) {
            current->learned.push_back(i);
        }
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        if (used_[i].load() && entry.seenDay < today) {
            const std::string_view path =
                std::string_view(paths_).substr(entry.pathStart, entry.pathLength);
            const std::string_view folder = FolderPrefix(path);
            changes[folder].seen.push_back(path.substr(folder.size()));
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
    for (const auto& [folder, change] : changes) {
        if (folder.empty()) {
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
            const Record record{std::string_view(files_[file]).substr(folder.size()), learned.state,
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
