// varo-cli: the command-line front end of the Varo tool collection. It runs
// the same core as the window and writes byte-identical files.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/Catalog.h"
#include "cli/Commands.h"
#include "digest/FileDigest.h"
#include "jobs/AddressVerifyJob.h"
#include "platform/CommandLineProcess.h"
#include "platform/Path.h"
#include "text/Printable.h"

namespace {

// The forms of the commands: options and their values, the same in every language.
constexpr const char* kUsageLines =
    "\n"
    "  varo-cli pillar   --db PATH [--color TEXT] [--effect-count TEXT] [--pillar-file TEXT] "
    "[--force | --allow KIND,...] [--out DIR]\n"
    "  varo-cli filter   (--db PATH [--apply FILE] | --import FILE) [--form mobile|pc] [--best "
    "on|off] [--pickup on|off] "
    "[--show-name on|off] [--force | --allow KIND,...] [--out DIR]\n"
    "  varo-cli manifest [--mode micro|hot|custom] [--dir TEXT] [--version TEXT|next] [--single] "
    "[--jobs N] [--force | --allow KIND,...] "
    "[--quiet] [--no-cache] [--out DIR | --stage DIR] PATH...\n"
    "  varo-cli verify   (MANIFEST [--root DIR] | URL [--quick]) [--jobs N] [--quiet]\n"
    "  varo-cli --help | --version\n";

// More digest threads than this never help: the disk or the cores are busy long before.
constexpr int kMostJobs = 1024;

using varo::cli::Say;
using varo::cli::Text;

std::string Usage() {
    return Say(Text::UsageHeading) + kUsageLines;
}

int UsageError(const std::string& message) {
    varo::WriteStandardError("varo-cli: " + message + "\n" + Usage());
    return 2;
}

// The text between `start` and `end` of `text`, when it has both.
std::optional<std::string> Between(const std::string& text, std::string_view start,
                                   std::string_view end) {
    if (text.compare(0, start.size(), start) != 0) {
        return std::nullopt;
    }
    const std::size_t stop = end.empty() ? text.size() : text.find(end, start.size());
    if (stop == std::string::npos || stop <= start.size()) {
        return std::nullopt;
    }
    return text.substr(start.size(), stop - start.size());
}

// Errors are told apart by type: some carry their command's name where
// others carry their kind's.
template <typename Kind>
bool Is(const CLI::ParseError& error) {
    return dynamic_cast<const Kind*>(&error) != nullptr;
}

// CLI11's parse errors said again in the catalog's words. CLI11 names the
// options and values inside its English sentences; they are taken from there.
std::string ParseErrorText(const CLI::ParseError& error) {
    const std::string what = error.what();
    const std::size_t colon = what.find(": ");
    const std::string head = colon == std::string::npos ? what : what.substr(0, colon);
    const std::string tail = colon == std::string::npos ? std::string() : what.substr(colon + 2);
    if (Is<CLI::RequiredError>(error)) {
        if (what.rfind("A subcommand", 0) == 0) {
            return Say(Text::CommandRequired);
        }
        if (const auto name = Between(what, "", " is required")) {
            return Say(Text::Required, {*name});
        }
    } else if (Is<CLI::ExtrasError>(error) && !tail.empty()) {
        return Say(Text::NotExpected, {varo::EscapeControlBytes(tail)});
    } else if (Is<CLI::ExcludesError>(error) || Is<CLI::RequiresError>(error)) {
        const bool excludes = Is<CLI::ExcludesError>(error);
        const std::string_view verb = excludes ? " excludes " : " requires ";
        const std::size_t at = what.find(verb);
        if (at != std::string::npos) {
            return Say(excludes ? Text::Excludes : Text::Needs,
                       {what.substr(0, at), what.substr(at + verb.size())});
        }
    } else if (Is<CLI::ArgumentMismatch>(error)) {
        if (colon != std::string::npos && head.rfind("-", 0) == 0) {
            return Say(Text::ValueMissing, {head});
        }
        if (const auto name = Between(what, "Expected exactly ", ", got")) {
            const std::size_t to = name->find(" arguments to ");
            if (to != std::string::npos) {
                return Say(Text::ValueMissing, {name->substr(to + 14)});
            }
        }
    } else if (Is<CLI::ValidationError>(error) && colon != std::string::npos) {
        return Say(Text::BadValue, {head, tail});
    }
    return Say(Text::Unreadable, {varo::EscapeControlBytes(what)});
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
            Say(Text::AllowHelp, {kinds}))
        ->delimiter(',')
        ->check(CLI::Validator(
            [](const std::string& value) {
                const auto& known = varo::FindingKinds();
                return std::find(known.begin(), known.end(), value) != known.end()
                           ? std::string()
                           : Say(Text::UnknownKind, {varo::EscapeControlBytes(value)});
            },
            ""))
        ->type_name("KIND,...")
        ->excludes(all);
}

// "on"/"off" options: unset leaves the flag as loaded or read.
// One of a few words, said as the catalog says it when the value is none.
CLI::Validator OneOf(std::vector<std::string> words) {
    std::string listed;
    for (const std::string& word : words) {
        listed += (listed.empty() ? "" : "|") + word;
    }
    return CLI::Validator(
        [words, listed](const std::string& value) {
            return std::find(words.begin(), words.end(), value) != words.end()
                       ? std::string()
                       : Say(Text::NotOneOf, {varo::EscapeControlBytes(value), listed});
        },
        "");
}

void AddSwitch(CLI::App* command, const char* name, std::optional<bool>& target, Text help) {
    command
        ->add_option_function<std::string>(
            name, [&target](const std::string& value) { target = value == "on"; }, Say(help))
        ->check(OneOf({"on", "off"}))
        ->type_name("on|off");
}

// --jobs N: digest threads. Any count above what the files need changes
// nothing: a large number is taken as the most a job uses.
void AddJobs(CLI::App* command, int& jobs, const std::string& help) {
    command
        ->add_option_function<std::string>(
            "--jobs",
            [&jobs](const std::string& value) {
                const std::size_t digits = value.size() - value.find_first_not_of('0');
                jobs = digits > 4 ? kMostJobs : std::min(std::stoi(value), kMostJobs);
            },
            help)
        ->check(CLI::Validator(
            [](const std::string& value) {
                const bool number = !value.empty() &&
                                    value.find_first_not_of("0123456789") == std::string::npos &&
                                    value.find_first_not_of('0') != std::string::npos;
                return number ? std::string() : Say(Text::NotWholeNumber);
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

    varo::cli::SetLanguage(varo::cli::ChosenLanguage());
    CLI::App app{Say(Text::ProgramAbout)};
    app.name("varo-cli");
    app.footer(Usage());
    // CLI11's own words in its help, in the catalog's language.
    const std::shared_ptr<CLI::FormatterBase> formatter = app.get_formatter();
    for (const auto& [key, text] : {std::pair{"Usage", Text::HelpLabelUsage},
                                    {"OPTIONS", Text::HelpLabelOptions},
                                    {"SUBCOMMAND", Text::HelpLabelCommand},
                                    {"Positionals", Text::HelpLabelPositionals},
                                    {"REQUIRED", Text::HelpLabelRequired},
                                    {"Excludes", Text::HelpLabelExcludes},
                                    {"Needs", Text::HelpLabelNeeds}}) {
        formatter->label(key, Say(text));
    }
    app.option_defaults()->group(Say(Text::HelpGroupOptions));
    app.set_help_flag("-h,--help", Say(Text::HelpFlag));
    app.set_version_flag("--version", "varo-cli " VARO_VERSION, Say(Text::VersionFlag));
    app.require_subcommand(1);
    // CLI11 on Windows would read "/path" as an option "/path": options are "--" only.
    app.allow_windows_style_options(false);
    const auto addCommand = [&app](const char* name, Text about) {
        CLI::App* command = app.add_subcommand(name, Say(about));
        command->group(Say(Text::HelpGroupCommands));
        command->set_help_flag("-h,--help", Say(Text::HelpFlag));
        return command;
    };

    varo::cli::PillarOptions pillar;
    CLI::App* pillarCommand = addCommand("pillar", Text::PillarAbout);
    pillarCommand->add_option("--db", pillar.database, Say(Text::PillarDatabaseHelp))
        ->required()
        ->type_name("PATH");
    pillarCommand->add_option("--color", pillar.color, Say(Text::ColorHelp))->capture_default_str();
    pillarCommand->add_option("--effect-count", pillar.effectCount, Say(Text::EffectCountHelp))
        ->capture_default_str();
    pillarCommand->add_option("--pillar-file", pillar.pillarFile, Say(Text::PillarFileHelp))
        ->capture_default_str();
    AddAcceptance(pillarCommand, pillar.accepted, Say(Text::PillarForceHelp));
    pillarCommand->add_option("--out", pillar.outputDirectory, Say(Text::OutHelp))
        ->capture_default_str()
        ->type_name("DIR");

    varo::cli::FilterOptions filter;
    CLI::App* filterCommand = addCommand("filter", Text::FilterAbout);
    CLI::Option* filterDatabase =
        filterCommand->add_option("--db", filter.database, Say(Text::FilterDatabaseHelp))
            ->type_name("PATH");
    CLI::Option* filterImport =
        filterCommand->add_option("--import", filter.importFile, Say(Text::ImportHelp))
            ->type_name("FILE");
    filterDatabase->excludes(filterImport);
    filterCommand->add_option("--apply", filter.applyFile, Say(Text::ApplyHelp))
        ->needs(filterDatabase)
        ->type_name("FILE");
    filterCommand->add_option("--form", filter.form, Say(Text::FormHelp))
        ->check(OneOf({"mobile", "pc"}))
        ->capture_default_str()
        ->type_name("mobile|pc");
    AddSwitch(filterCommand, "--best", filter.best, Text::BestHelp);
    AddSwitch(filterCommand, "--pickup", filter.pickUp, Text::PickUpHelp);
    AddSwitch(filterCommand, "--show-name", filter.showName, Text::ShowNameHelp);
    AddAcceptance(filterCommand, filter.accepted, Say(Text::FilterForceHelp));
    filterCommand->add_option("--out", filter.outputDirectory, Say(Text::OutHelp))
        ->capture_default_str()
        ->type_name("DIR");

    varo::cli::ManifestOptions manifest;
    manifest.jobs = varo::DefaultDigestThreads();
    CLI::App* manifestCommand = addCommand("manifest", Text::ManifestAbout);
    manifestCommand->add_option("--mode", manifest.mode, Say(Text::ModeHelp))
        ->check(OneOf({"micro", "hot", "custom"}))
        ->capture_default_str()
        ->type_name("micro|hot|custom");
    manifestCommand->add_option("--dir", manifest.directory, Say(Text::DirHelp))
        ->capture_default_str();
    manifestCommand->add_option("--version", manifest.version, Say(Text::VersionHelp))
        ->capture_default_str()
        ->type_name("TEXT|next");
    CLI::Option* manifestSingle =
        manifestCommand->add_flag("--single", manifest.single, Say(Text::SingleHelp));
    AddAcceptance(manifestCommand, manifest.accepted, Say(Text::ManifestForceHelp));
    // What the release check does by default now; kept for the scripts that name it.
    manifestCommand->add_flag("--require-new-version")->group("");
    AddJobs(manifestCommand, manifest.jobs, Say(Text::JobsHelp, {std::to_string(manifest.jobs)}));
    manifestCommand->add_flag("--quiet", manifest.quiet, Say(Text::QuietHelp));
    manifestCommand->add_flag("--no-cache", manifest.noCache, Say(Text::NoCacheHelp));
    CLI::Option* manifestOut =
        manifestCommand->add_option("--out", manifest.outputDirectory, Say(Text::OutHelp))
            ->capture_default_str()
            ->type_name("DIR");
    manifestCommand->add_option("--stage", manifest.stageDirectory, Say(Text::StageHelp))
        ->type_name("DIR")
        ->excludes(manifestOut)
        ->excludes(manifestSingle);
    manifestCommand->add_option("PATH", manifest.paths, Say(Text::PathsHelp))
        ->required()
        ->type_name("");

    varo::cli::VerifyOptions verify;
    CLI::App* verifyCommand = addCommand("verify", Text::VerifyAbout);
    verifyCommand->add_option("MANIFEST", verify.manifest, Say(Text::ManifestArgumentHelp))
        ->required()
        ->type_name("");
    verifyCommand->add_option("--root", verify.root, Say(Text::RootHelp))->type_name("DIR");
    AddJobs(verifyCommand, verify.jobs,
            Say(Text::VerifyJobsHelp, {std::to_string(varo::DefaultDigestThreads()),
                                       std::to_string(varo::cli::kDefaultFetches)}));
    verifyCommand->add_flag("--quick", verify.quick, Say(Text::QuickHelp));
    verifyCommand->add_flag("--quiet", verify.quiet, Say(Text::QuietHelp));

    // A first word that names no command is said to be one, not "a subcommand is required".
    const auto isCommand = [&](const std::string& word) {
        return word == pillarCommand->get_name() || word == filterCommand->get_name() ||
               word == manifestCommand->get_name() || word == verifyCommand->get_name();
    };
    if (arguments.size() > 1 && !arguments[1].empty() && arguments[1][0] != '-' &&
        !isCommand(arguments[1])) {
        return UsageError(Say(Text::UnknownCommand, {varo::EscapeControlBytes(arguments[1])}));
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
        return UsageError(ParseErrorText(error));
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
                return UsageError(Say(Text::QuoteInPath, {varo::EscapeControlBytes(*path)}));
            }
        }
    }

    if (pillarCommand->parsed()) {
        return varo::cli::RunPillar(pillar);
    }
    if (filterCommand->parsed()) {
        if (filter.database.empty() == filter.importFile.empty()) {
            return UsageError(Say(Text::FilterNeedsOneSource));
        }
        return varo::cli::RunFilter(filter);
    }
    if (verifyCommand->parsed()) {
        const bool address = varo::IsWebAddress(verify.manifest);
        if (verify.quick && !address) {
            return UsageError(Say(Text::QuickNeedsAddress));
        }
        if (!verify.root.empty() && address) {
            return UsageError(Say(Text::RootNeedsFolder));
        }
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
        return varo::cli::Fail(Say(Text::OutOfMemory));
    } catch (const std::exception& error) {
        return varo::cli::Fail(Say(Text::UnexpectedFailure, {error.what()}));
    }
}
