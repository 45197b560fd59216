#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checks/Findings.h"

// The subcommands of varo-cli. Each returns the process exit status: 0 when
// its file was written, 1 when it was not (the reason is on stderr).
namespace varo::cli {

struct PillarOptions {
    std::string database;
    std::string color = "255";
    std::string effectCount = "20";
    std::string pillarFile = "1";
    std::string outputDirectory = ".";
    bool force = false;  // write despite values a client cannot use
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
    bool force = false;  // read a file that does not look like a filter file
};

struct ManifestOptions {
    std::string mode = "micro";
    std::string directory = "layout";
    std::string version = "1.2.5";
    bool single = false;
    bool force = false;  // write despite the release check
    int jobs = 1;
    bool quiet = false;
    std::string outputDirectory = ".";
    std::vector<std::string> paths;
};

int RunPillar(const PillarOptions& options);
int RunFilter(const FilterOptions& options);
int RunManifest(const ManifestOptions& options);

// Prints "varo-cli: message" on stderr and gives the failure status.
int Fail(std::string_view message);
// Prints "varo-cli: message" on stderr: what the run found, not a failure.
void Note(std::string_view message);

// A check's finding: refused (on stderr, false) unless `force`, which prints
// it as a warning and lets the file be written (true). No finding: true.
bool AllowFinding(const std::optional<Finding>& finding, bool force);

// A path as the user reads it, with the system's own separator.
std::string Shown(std::string_view path);

// The path of an output file in the output directory ("." when empty).
std::string OutputPath(const std::string& directory, const char* fileName);

// Writes one output file into the output directory as one step and reports
// it on stdout.
int WriteOutput(const std::string& directory, const char* fileName, std::string_view bytes,
                std::size_t entries);

}  // namespace varo::cli
