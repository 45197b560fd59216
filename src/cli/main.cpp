// varo-cli: the command-line front end of the Varo tool collection. It runs
// the same core as the window and writes byte-identical files.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "digest/FileDigest.h"
#include "platform/CommandLineProcess.h"
#include "platform/Path.h"
#include "text/Printable.h"

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  varo-cli pillar   --db PATH [--color TEXT] [--effect-count TEXT] [--pillar-file TEXT] "
    "[--force | --allow KIND,...] [--out DIR]\n"
    "  varo-cli filter   (--db PATH [--apply FILE] | --import FILE) [--form mobile|pc] [--best "
    "on|off] [--pickup on|off] "
    "[--show-name on|off] [--force | --allow KIND,...] [--out DIR]\n"
    "  varo-cli manifest [--mode micro|hot|custom] [--dir TEXT] [--version TEXT|next] [--single] "
    "[--jobs N] [--force | --allow KIND,...] "
    "[--quiet] [--no-cache] [--out DIR | --stage DIR] PATH...\n"
    "  varo-cli verify   MANIFEST [--root DIR] [--jobs N] [--quiet]\n"
    "  varo-cli --help | --version\n";

// More digest threads than this never help: the disk or the cores are busy long before.
constexpr int kMostJobs = 1024;

int UsageError(const std::string& message) {
    varo::WriteStandardError("varo-cli: " + message + "\n" + kUsage);
    return 2;
}

// CLI11's own answers (help, version) through the console functions.
int Exit(const CLI::App& app, const CLI::Error& error) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = app.exit(error, out, err);
    varo::WriteStandardOutput(out.str());
    varo::WriteStandardError(err.str());
    return status;
}

// --force accepts every finding, --allow the kinds it names (a comma-separated
// list, or the option given again); an unknown kind is a usage error.
void AddAcceptance(CLI::App* command, varo::cli::Accepted& accepted, const std::string& force) {
    CLI::Option* all = command->add_flag("--force", accepted.all, force);
    std::string kinds;
    for (const std::string_view kind : varo::FindingKinds()) {
        kinds += (kinds.empty() ? "" : ", ") + std::string(kind);
    }
    command
        ->add_option_function<std::vector<std::string>>(
            "--allow",
            [&accepted](const std::vector<std::string>& values) {
                accepted.kinds.insert(accepted.kinds.end(), values.begin(), values.end());
            },
            "accept only the findings of these kinds: " + kinds)
        ->delimiter(',')
        ->check(CLI::Validator(
            [](const std::string& value) {
                const auto& known = varo::FindingKinds();
                return std::find(known.begin(), known.end(), value) != known.end()
                           ? std::string()
                           : "unknown finding kind '" + value + "'";
            },
            ""))
        ->type_name("KIND,...")
        ->excludes(all);
}

// "on"/"off" options: unset leaves the flag as loaded or read.
void AddSwitch(CLI::App* command, const char* name, std::optional<bool>& target, const char* help) {
    command
        ->add_option_function<std::string>(
            name, [&target](const std::string& value) { target = value == "on"; }, help)
        ->check(CLI::IsMember({"on", "off"}))
        ->type_name("on|off");
}

// --jobs N: digest threads. Any count above what the files need changes
// nothing: a large number is taken as the most a job uses.
void AddJobs(CLI::App* command, int& jobs) {
    command
        ->add_option_function<std::string>(
            "--jobs",
            [&jobs](const std::string& value) {
                const std::size_t digits = value.size() - value.find_first_not_of('0');
                jobs = digits > 4 ? kMostJobs : std::min(std::stoi(value), kMostJobs);
            },
            "digest threads (default: " + std::to_string(jobs) + ")")
        ->check(CLI::Validator(
            [](const std::string& value) {
                const bool number = !value.empty() &&
                                    value.find_first_not_of("0123456789") == std::string::npos &&
                                    value.find_first_not_of('0') != std::string::npos;
                return number ? std::string() : std::string("a whole number, 1 or more");
            },
            ""))
        ->type_name("N");
}

}  // namespace

namespace {

int Run(int argc, char** argv) {
    varo::PrepareCommandLineProcess();
    // Arguments as UTF-8, in the form CLI11 reads: program name first.
    std::vector<std::string> arguments = varo::CommandLineArguments(argc, argv);
    std::vector<char*> argumentPointers;
    for (std::string& argument : arguments) {
        argumentPointers.push_back(argument.data());
    }

    CLI::App app{
        "Writes the client files of a Varo three-platform game server: the mobile light-pillar "
        "file "
        "CustomItemNameColors.txt, the item filter lsDefaultItemFilter.txt and the manifests "
        "update.json / 单json文件.json."};
    app.name("varo-cli");
    app.footer(std::string("\n") + kUsage);
    app.set_version_flag("--version", "varo-cli " VARO_VERSION);
    app.require_subcommand(1);
    // CLI11 on Windows would read "/path" as an option "/path": options are "--" only.
    app.allow_windows_style_options(false);

    varo::cli::PillarOptions pillar;
    CLI::App* pillarCommand = app.add_subcommand(
        "pillar", "Writes CustomItemNameColors.txt, as DB一键计算 then 生成光柱文件 would.");
    pillarCommand->add_option("--db", pillar.database, "the item database (StdItems table)")
        ->required();
    pillarCommand->add_option("--color", pillar.color, "colour of every row, as typed")
        ->capture_default_str();
    pillarCommand->add_option("--effect-count", pillar.effectCount, "effect-image count")
        ->capture_default_str();
    pillarCommand->add_option("--pillar-file", pillar.pillarFile, "light-pillar file number")
        ->capture_default_str();
    AddAcceptance(
        pillarCommand, pillar.accepted,
        "write despite what the checks find (refused otherwise): values a client cannot use, "
        "shine values beyond 32 bits, names with a tab or a line break or with characters GBK "
        "lacks, an empty list over a file that holds rows");
    pillarCommand->add_option("--out", pillar.outputDirectory, "output directory")
        ->capture_default_str();

    varo::cli::FilterOptions filter;
    CLI::App* filterCommand = app.add_subcommand(
        "filter", "Writes lsDefaultItemFilter.txt from the item database or from a filter file.");
    CLI::Option* filterDatabase =
        filterCommand->add_option("--db", filter.database, "the item database");
    CLI::Option* filterImport =
        filterCommand->add_option("--import", filter.importFile, "a filter file to read");
    filterDatabase->excludes(filterImport);
    filterCommand
        ->add_option("--apply", filter.applyFile,
                     "a filter file whose flags the database's items take by name; it is applied "
                     "first, then --best, --pickup and --show-name set their column in every row")
        ->needs(filterDatabase);
    filterCommand->add_option("--form", filter.form, "mobile (UTF-8) or pc (GBK)")
        ->check(CLI::IsMember({"mobile", "pc"}))
        ->capture_default_str();
    AddSwitch(filterCommand, "--best", filter.best, "column 是否显示极品(红字) in every row");
    AddSwitch(filterCommand, "--pickup", filter.pickUp, "column 自动捡取 in every row");
    AddSwitch(filterCommand, "--show-name", filter.showName, "column 显示名字 in every row");
    AddAcceptance(
        filterCommand, filter.accepted,
        "go on despite what the checks find (refused otherwise): a file to read that does not "
        "look like a filter file, names with a tab or a line break or with characters GBK "
        "lacks, an empty list over a file that holds rows, one form written over a file of the "
        "other");
    filterCommand->add_option("--out", filter.outputDirectory, "output directory")
        ->capture_default_str();

    varo::cli::ManifestOptions manifest;
    manifest.jobs = varo::DefaultDigestThreads();
    CLI::App* manifestCommand = app.add_subcommand(
        "manifest",
        "Writes update.json (or 单json文件.json) for resource files; a directory stands for "
        "the files in it that the mode offers, sorted by name.");
    manifestCommand->add_option("--mode", manifest.mode, "micro, hot or custom")
        ->check(CLI::IsMember({"micro", "hot", "custom"}))
        ->capture_default_str();
    manifestCommand->add_option("--dir", manifest.directory, "directory of the custom mode")
        ->capture_default_str();
    manifestCommand
        ->add_option("--version", manifest.version,
                     "assets_version of update.json; next: the version of the update.json in "
                     "--out with its last number raised by one (1.3.9 gives 1.3.10)")
        ->capture_default_str();
    CLI::Option* manifestSingle = manifestCommand->add_flag(
        "--single", manifest.single, "write 单json文件.json, the entries only");
    AddAcceptance(
        manifestCommand, manifest.accepted,
        "write despite what the checks find (refused otherwise): a --version that is not dotted "
        "decimal numbers or has white space around it, changed entries under a --version not "
        "greater than that of the update.json in --out, an update.json there that cannot be "
        "read, an empty list over a file that holds entries or one that drops more than half "
        "of them, two files giving one name with other bytes, a --dir that leaves the root");
    // What the release check does by default now; kept for the scripts that name it.
    manifestCommand->add_flag("--require-new-version")->group("");
    AddJobs(manifestCommand, manifest.jobs);
    manifestCommand->add_flag("--quiet", manifest.quiet, "no progress bar");
    manifestCommand->add_flag("--no-cache", manifest.noCache,
                              "digest every file and leave the digest cache alone (it lives in "
                              "the user's cache folder; deleting it is always safe)");
    CLI::Option* manifestOut =
        manifestCommand->add_option("--out", manifest.outputDirectory, "output directory")
            ->capture_default_str();
    manifestCommand
        ->add_option("--stage", manifest.stageDirectory,
                     "the publish folder: update.json goes there, and each listed file is "
                     "copied to where update.json names it unless the folder holds its bytes "
                     "already; update.json is written last, once every copy succeeded")
        ->type_name("DIR")
        ->excludes(manifestOut)
        ->excludes(manifestSingle);
    manifestCommand->add_option("PATH", manifest.paths, "resource files or directories")
        ->required();

    varo::cli::VerifyOptions verify;
    verify.jobs = varo::DefaultDigestThreads();
    CLI::App* verifyCommand = app.add_subcommand(
        "verify",
        "Checks that a folder holds every file a manifest lists, with the listed size and MD5, "
        "reading every byte; names the files it holds that the manifest does not list.");
    verifyCommand->add_option("MANIFEST", verify.manifest, "update.json or 单json文件.json")
        ->required();
    verifyCommand->add_option("--root", verify.root,
                              "the folder the entries are in (default: the manifest's folder)");
    AddJobs(verifyCommand, verify.jobs);
    verifyCommand->add_flag("--quiet", verify.quiet, "no progress bar");

    // A first word that names no command is said to be one, not "a subcommand is required".
    const auto isCommand = [&](const std::string& word) {
        return word == pillarCommand->get_name() || word == filterCommand->get_name() ||
               word == manifestCommand->get_name() || word == verifyCommand->get_name();
    };
    if (arguments.size() > 1 && !arguments[1].empty() && arguments[1][0] != '-' &&
        !isCommand(arguments[1])) {
        return UsageError("unknown command '" + arguments[1] + "'");
    }
    try {
        app.parse(static_cast<int>(argumentPointers.size()), argumentPointers.data());
    } catch (const CLI::CallForHelp& help) {
        return Exit(app, help);
    } catch (const CLI::CallForAllHelp& help) {
        return Exit(app, help);
    } catch (const CLI::CallForVersion& version) {
        return Exit(app, version);
    } catch (const CLI::ParseError& error) {
        return UsageError(error.what());
    }

    // Paths pasted from Explorer's 复制为路径 come in double quotes.
    for (std::string* path :
         {&pillar.database, &pillar.outputDirectory, &filter.database, &filter.importFile,
          &filter.applyFile, &filter.outputDirectory, &manifest.outputDirectory,
          &manifest.stageDirectory, &verify.manifest, &verify.root}) {
        *path = varo::UnquotedPath(*path);
    }
    for (std::string& path : manifest.paths) {
        path = varo::UnquotedPath(path);
    }
    // No Windows name holds a quote: one left inside a path is cmd's rule at
    // work, a backslash before a closing quote that swallowed what followed.
    if (!varo::NamesMayHoldQuotes()) {
        std::vector<const std::string*> all = {&pillar.database,          &pillar.outputDirectory,
                                               &filter.database,          &filter.importFile,
                                               &filter.applyFile,         &filter.outputDirectory,
                                               &manifest.outputDirectory, &manifest.stageDirectory,
                                               &verify.manifest,          &verify.root};
        for (const std::string& path : manifest.paths) {
            all.push_back(&path);
        }
        for (const std::string* path : all) {
            if (path->find('"') != std::string::npos) {
                return UsageError("the path '" + varo::EscapeControlBytes(*path) +
                                  "' holds a double quote, which no Windows name can: a "
                                  "backslash before a closing quote escapes it, so the "
                                  "arguments after it ran together. Write \"D:\\dir\" or "
                                  "\"D:\\dir\\\\\"");
            }
        }
    }

    if (pillarCommand->parsed()) {
        return varo::cli::RunPillar(pillar);
    }
    if (filterCommand->parsed()) {
        if (filter.database.empty() == filter.importFile.empty()) {
            return UsageError("filter needs exactly one of --db and --import");
        }
        return varo::cli::RunFilter(filter);
    }
    if (verifyCommand->parsed()) {
        return varo::cli::RunVerify(verify);
    }
    return varo::cli::RunManifest(manifest);
}

}  // namespace

int main(int argc, char** argv) {
    // Memory that runs out (a table of enormous cells, say) fails the run
    // with a message and nothing written, as any other failure.
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        return varo::cli::Fail("out of memory; nothing was written");
    } catch (const std::exception& error) {
        return varo::cli::Fail(std::string("unexpected failure: ") + error.what() +
                               "; nothing was written");
    }
}
