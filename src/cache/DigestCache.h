#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cache/DigestMemory.h"
#include "db/SqliteConnection.h"
#include "platform/SystemError.h"

// The digest cache: the digests of earlier jobs, kept in an SQLite database
// in the user's cache folder, so that a release whose files mostly did not
// change is digested in a fraction of the time. A digest is recalled only for
// a file in exactly the state it had (path, size, modification and change
// time, device and file number), and only when that state was clearly older
// than the digest; anything else is digested again. A cache that cannot be
// used costs one warning, never a job.
namespace varo {

// Why the cache could not be used (or saved) this time.
struct CacheProblem {
    enum class Kind {
        None,
        NoPlace,         // no cache folder, or it cannot be made: error says why
        LibraryMissing,  // SQLite cannot be loaded
        Sqlite,          // SQLite refused: busy past the timeout, corrupt, full …
        NotOurs,         // a file at the cache's path that this program did not make:
                         // left exactly as it is
    };
    Kind kind = Kind::None;
    SystemError error;
    int sqliteCode = 0;   // SQLite's primary result code
    std::string message;  // SQLite's own words, English

    explicit operator bool() const { return kind != Kind::None; }
};

// Where the cache lives: varo-toolkit/digests.sqlite in the user's cache
// folder; empty when the system names no such folder.
std::string DefaultDigestCachePath();

// Entries not seen for this many days are dropped.
inline constexpr int kCacheKeepDays = 90;

// The cache as one job sees it: what the database knows of the folders of
// the job's files, read once at the start, and what the job learns, written
// in one transaction at the end. Recall and Remember may be called from the
// digest engine's threads at once.
class DigestCache final : public DigestMemory {
  public:
    // Opens the database at `path` (making it and its folder when missing)
    // and reads its entries for the folders of `files`: the full paths of
    // the job's files, in the job's order, which key the entries.
    DigestCache(const std::string& path, const std::vector<std::string>& files);
    ~DigestCache() override;
    DigestCache(const DigestCache&) = delete;
    DigestCache& operator=(const DigestCache&) = delete;

    bool Knows(std::size_t file) const override;
    std::optional<std::string> Recall(std::size_t file, const FileState& state) const override;
    void Remember(std::size_t file, const FileState& state, const std::string& md5) override;

    // Writes the digests remembered and marks the entries recalled as seen
    // today; drops the entries not seen for kCacheKeepDays. False, with the
    // problem, when that failed (the database is then as it was).
    bool Save();

    // Why the cache is not used: set when opening or saving failed.
    const CacheProblem& Problem() const { return problem_; }

  private:
    struct Learned {
        bool learned = false;
        FileState state;
        std::array<char, 32> md5{};
    };

    void Open(const std::string& path);
    // Write-ahead logging and the tables; SQLite's result.
    int SetUp();
    void Load();
    // Matches the files of folder `f` with the sound records of its blob.
    void Match(std::size_t f, const std::vector<std::size_t>& files);
    // A failure of SQLite: its code, and its words when read before another call.
    void Fail(int code, std::string message = {});
    std::int64_t Today() const;
    std::string_view Name(std::size_t file) const {
        return std::string_view(names_).substr(nameStart_[file],
                                               nameStart_[file + 1] - nameStart_[file]);
    }

    SqliteConnection connection_;
    CacheProblem problem_;
    // The job's files as the cache keys them: each one's folder (its full
    // path up to and with the last separator; empty for none) and name.
    std::vector<std::string> folders_;
    std::vector<std::uint32_t> folderOf_;  // per file
    std::string names_;                    // the names back to back
    std::vector<std::size_t> nameStart_;   // per file, and the end
    // Per folder the blob of records read; per file where its record starts
    // in it (+1; 0 for none).
    std::vector<std::string> blobs_;
    std::vector<std::uint32_t> recordOf_;
    std::unique_ptr<std::atomic<bool>[]> used_;  // per file: recalled in this job
    // One place per file of the job, each written by the thread that digested
    // it, so that no thread waits for another; made at the first digest.
    std::once_flag learnedMade_;
    std::unique_ptr<Learned[]> learned_;
};

}  // namespace varo
