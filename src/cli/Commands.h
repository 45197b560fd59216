#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checks/Findings.h"
#include "cli/Catalog.h"
#include "jobs/Output.h"

// The subcommands of varo-cli. Each returns the process exit status: 0 when
// its file was written, 1 when it was not (the reason is on stderr).
namespace varo::cli {

// The findings the user accepted on the command line: every one (--force),
// or those of the kinds --allow names.
struct Accepted {
    bool all = false;
    std::vector<std::string> kinds;

    bool Covers(const Finding& finding) const;
};

struct PillarOptions {
    std::string database;
    std::string color = "255";
    std::string effectCount = "20";
    std::string pillarFile = "1";
    std::string outputDirectory = ".";
    Accepted accepted;
};

struct FilterOptions {
    std::string database;
    std::string importFile;
    std::string applyFile;  // a filter file whose flags the database rows take by name
    std::string form = "mobile";
    std::optional<bool> best;
    std::optional<bool> pickUp;
    std::optional<bool> showName;
    std::string outputDirectory = ".";
    Accepted accepted;
};

struct ManifestOptions {
    std::string mode = "micro";
    std::string directory = "layout";
    std::string version = "1.2.5";
    bool single = false;
    Accepted accepted;
    int jobs = 1;
    bool quiet = false;
    bool noCache = false;  // digest every file and leave the digest cache alone
    std::string outputDirectory = ".";
    // The publish folder: update.json goes there, each listed file to where
    // the manifest names it. Empty: none.
    std::string stageDirectory;
    std::vector<std::string> paths;
};

struct VerifyOptions {
    std::string manifest;  // a path, or an http(s) address
    std::string root;      // empty: the manifest's folder
    int jobs = 0;          // 0: one per hardware thread for a folder, 8 fetches for an address
    bool quiet = false;
    bool quick = false;  // an address: sizes only
};

// Fetches at once when verify checks an address and --jobs is not given.
inline constexpr int kDefaultFetches = 8;
// More fetches at once than this would look like an attack to a server.
inline constexpr int kMostFetches = 64;

int RunPillar(const PillarOptions& options);
int RunFilter(const FilterOptions& options);
int RunManifest(const ManifestOptions& options);
int RunVerify(const VerifyOptions& options);

// Prints "varo-cli: message" on stderr and gives the failure status.
int Fail(std::string_view message);
// Prints "varo-cli: message" on stderr: what the run found, not a failure.
void Note(std::string_view message);

// A finding as a line of stderr says it, without its kind.
std::string FindingText(const Finding& finding);

// A check's findings: each named on stderr with its kind; refused (false)
// unless every one is accepted, which prints them as warnings and lets the
// file be written (true). No finding: true.
bool AllowFindings(const std::vector<Finding>& findings, const Accepted& accepted);
bool AllowFinding(const std::optional<Finding>& finding, const Accepted& accepted);

// Says on stderr why a table gave an empty result (a note, not a failure);
// `result` names the list.
void NoteEmptyTable(const EmptyTableNote& note, Text result);
// SQLite's failure: its code in words, and its own message.
std::string SqliteText(int code, std::string_view message);

// The item table of the database at `path`, or nothing after saying on
// stderr what is wrong with the path or the database.
std::optional<ItemTable> LoadItemTableOrFail(const std::string& path,
                                             const std::vector<int>& columns);

// A path as the user reads it, with the system's own separator; control
// characters escaped, as in every text taken from data (see Printable).
std::string Shown(std::string_view path);
// Database text (GBK) as the messages show it: UTF-8, control characters escaped.
std::string ShownGbk(GbkView gbk);
// UTF-8 text from a file (a version, say), control characters escaped.
std::string ShownUtf8(std::string_view utf8);
// ": a; b; and 5 more": the first kItemsListed of `values` as `describe`
// words them, then how many are left; `separator` (a catalog text) stands
// between them.
template <typename Values, typename Describe>
std::string ListedValues(const Values& values, Describe describe,
                         Text separator = Text::ListSeparator) {
    std::string text;
    for (std::size_t i = 0; i < values.size() && i < kItemsListed; ++i) {
        text += Say(i == 0 ? Text::ListStart : separator);
        text += describe(values[i]);
    }
    if (values.size() > kItemsListed) {
        text += Say(separator) + RestWords(values.size() - kItemsListed, "个", CurrentLanguage());
    }
    return text;
}

// A job's planned file: its findings refused unless accepted, then written
// as one step and reported on stdout. The exit status.
int WriteOutput(const PlannedOutput& output, const Accepted& accepted);
// The writing and the report alone, for findings allowed already.
int CommitAndReport(const PlannedOutput& output);

}  // namespace varo::cli
