#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The subcommands of varo-cli. Each returns the process exit status: 0 when
// its file was written, 1 when it was not (the reason is on stderr).
namespace varo::cli {

struct PillarOptions {
    std::string database;
    std::string color = "255";
    std::string effectCount = "20";
    std::string pillarFile = "1";
    std::string outputDirectory = ".";
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
};

struct ManifestOptions {
    std::string mode = "micro";
    std::string directory = "layout";
    std::string version = "1.2.5";
    bool single = false;
    bool requireNewVersion = false;  // refuse a changed update.json under an old version
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

// The path of an output file in the output directory ("." when empty).
std::string OutputPath(const std::string& directory, const char* fileName);

// Writes one output file into the output directory as one step and reports
// it on stdout.
int WriteOutput(const std::string& directory, const char* fileName, std::string_view bytes,
                std::size_t entries);

}  // namespace varo::cli
