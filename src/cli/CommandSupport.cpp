#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <variant>

#include "cli/Commands.h"
#include "platform/CommandLineProcess.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
#include "text/CodePage.h"
#include "text/Printable.h"

namespace varo::cli {
namespace {

const char* ColumnName(int column) {
    switch (column) {
        case kColorColumn:
            return "colour";
        case kShineValueColumn:
            return "shine value";
        case kEffectImageCountColumn:
            return "effect-image count";
        case kPillarFileNumberColumn:
            return "file number";
        default:
            return "name";
    }
}

std::string FindingText(const Finding& finding) {
    return std::visit(
        FindingVisitor{
            [](const UnusableValuesFinding& unusable) {
                return Counted(unusable.values.size(), "light-pillar value") +
                       " a client cannot use (the colour must be a whole number from 1 to 255, "
                       "the effect-image count and file number above 0)" +
                       ListedValues(unusable.values, [](const UnusableValuesFinding::Value& v) {
                           return "row " + std::to_string(v.row + 1) + " " + ShownGbk(v.itemName) +
                                  " " + ColumnName(v.column) + " \"" + ShownGbk(v.text) + "\"";
                       });
            },
            [](const NotAFilterFileFinding& file) {
                return Shown(file.path) +
                       " does not look like a filter file: most lines are not "
                       "\"name,kind,best,pickup,show\", or a line holds a tab";
            },
            [](const VersionNotRaisedFinding& release) {
                return "the version " + ShownUtf8(release.version) + " is not greater than " +
                       ShownUtf8(release.previousVersion) +
                       " of the previous update.json although entries changed; clients would "
                       "not fetch them" +
                       (release.nextVersion.empty()
                            ? std::string()
                            : " (--version next gives " + ShownUtf8(release.nextVersion) + ")");
            },
            [](const UnreadablePreviousManifestFinding& previous) {
                const std::string reason = previous.error.kind == EFBIG
                                               ? "larger than " + SizeText(previous.sizeLimit)
                                           : previous.error ? SystemErrorMessage(previous.error)
                                                            : EscapeControlBytes(previous.detail);
                return Shown(previous.path) + ": not a readable manifest (" + reason +
                       "); the new one cannot be checked against it";
            },
            [](const EmptyResultFinding& empty) {
                return empty.previousEntries > 0
                           ? "the new update.json would list no file, but " + Shown(empty.path) +
                                 " lists " + Counted(empty.previousEntries, "file")
                           : "the result is empty, but " + Shown(empty.path) + " holds " +
                                 Counted(empty.previousSize, "byte") + "; writing would empty it";
            },
            [](const UncarriableNamesFinding& names) {
                return Counted(names.names.size(), "name") +
                       " holding a tab or a line break, which would split its line of " +
                       names.fileName +
                       ListedValues(names.names, [](const UncarriableNamesFinding::Name& n) {
                           return "row " + std::to_string(n.row + 1) + " \"" + ShownGbk(n.name) +
                                  "\"";
                       });
            },
            [](const LostCharactersFinding& lost) {
                return Counted(lost.names.size(), "name") +
                       " holding characters GBK lacks, written as '?' in " + lost.fileName +
                       ListedValues(lost.names, [](const LostCharactersFinding::Name& n) {
                           return "row " + std::to_string(n.row + 1) + " " + ShownUtf8(n.original) +
                                  " becomes " + ShownGbk(n.written);
                       });
            },
            [](const ShineOutOfRangeFinding& shine) {
                return Counted(shine.values.size(), "shine value") +
                       " (column 38) beyond 32 bits, which the light-pillar values would get "
                       "wrong" +
                       ListedValues(shine.values, [](const ShineOutOfRangeFinding::Value& v) {
                           return "item " + std::to_string(v.item) + " " + ShownGbk(v.itemName) +
                                  " \"" + ShownGbk(v.text) + "\"";
                       });
            },
            [](const UncomparableVersionFinding& version) {
                return version.whiteSpace
                           ? "the version \"" + ShownUtf8(version.version) +
                                 "\" has white space before or after it, which the file would "
                                 "keep and clients would compare"
                           : "the version \"" + ShownUtf8(version.version) +
                                 "\" is not dotted decimal numbers (such as 1.2.5), which "
                                 "clients compare";
            },
            [](const DuplicateNameFinding& duplicate) {
                return Counted(duplicate.names.size(), "entry name") +
                       " given by two files with other bytes; the manifest lists only the later" +
                       ListedValues(duplicate.names, [](const DuplicateNameFinding::Name& n) {
                           return Shown(n.name) + " from " + Shown(n.earlierPath) + " (" +
                                  n.earlierMd5 + ", " + Counted(n.earlierSize, "byte") + ") and " +
                                  Shown(n.laterPath) + " (" + n.laterMd5 + ", " +
                                  Counted(n.laterSize, "byte") + ")";
                       });
            },
            [](const UnsafeFolderFinding& folder) {
                const char* why =
                    folder.reason == UnsafeFolderFinding::Reason::LeavesRoot
                        ? "leaves the update's root (\"..\", an absolute path or a drive)"
                    : folder.reason == UnsafeFolderFinding::Reason::Backslash
                        ? "holds a backslash, which a client does not take for a folder"
                        : "has an empty folder name (a slash at the end, or two together)";
                return "the folder --dir \"" + ShownUtf8(folder.directory) + "\" " + why;
            },
            [](const RemovalsFinding& removals) {
                return "the new update.json would drop " + std::to_string(removals.removed) +
                       " of the " + Counted(removals.previousEntries, "entry", "entries") + " of " +
                       Shown(removals.path) + " (it lists " +
                       Counted(removals.entries, "entry", "entries") +
                       "): more than half; a folder or the mode may be missing";
            },
            [](const OtherFormFinding& form) {
                const auto name = [](FilterFileForm f) {
                    return f == FilterFileForm::Pc ? "PC form (GBK)" : "mobile form (UTF-8)";
                };
                return Shown(form.path) + " is in the " + name(form.existing) + "; writing the " +
                       name(form.written) + " over it replaces that client's file";
            },
        },
        finding);
}

const char* DatabaseFileProblem(const DatabaseFileCheck& check) {
    switch (check.kind) {
        case DatabaseFileCheck::Kind::Folder:
            return "a folder, not a database file";
        case DatabaseFileCheck::Kind::NotRegularFile:
            return "not a regular file (a pipe, a device or a socket), not a database";
        case DatabaseFileCheck::Kind::Empty:
            return "an empty file, not an SQLite database";
        case DatabaseFileCheck::Kind::NotDatabase:
            return "not an SQLite database";
        case DatabaseFileCheck::Kind::Database:
        case DatabaseFileCheck::Kind::Missing:
        case DatabaseFileCheck::Kind::Unreadable:
            break;
    }
    return nullptr;
}

}  // namespace

int Fail(std::string_view message) {
    WriteStandardError("varo-cli: " + std::string(message) + "\n");
    return 1;
}

void Note(std::string_view message) {
    WriteStandardError("varo-cli: " + std::string(message) + "\n");
}

bool Accepted::Covers(const Finding& finding) const {
    return all || std::find(kinds.begin(), kinds.end(), FindingKind(finding)) != kinds.end();
}

bool AllowFindings(const std::vector<Finding>& findings, const Accepted& accepted) {
    std::string refused;
    for (const Finding& finding : findings) {
        const bool covered = accepted.Covers(finding);
        Note((covered ? "warning: " : "") + FindingText(finding) + " [" + FindingKind(finding) +
             "]");
        if (!covered && refused.find(FindingKind(finding)) == std::string::npos) {
            refused += (refused.empty() ? "" : ",") + std::string(FindingKind(finding));
        }
    }
    if (!refused.empty()) {
        Fail("nothing was written (--allow " + refused +
             " writes it anyway; --force accepts every finding)");
        return false;
    }
    return true;
}

bool AllowFinding(const std::optional<Finding>& finding, const Accepted& accepted) {
    return AllowFindings(finding ? std::vector<Finding>{*finding} : std::vector<Finding>{},
                         accepted);
}

void NoteEmptyTable(const EmptyTableNote& note, std::string_view result) {
    switch (note.reason) {
        case EmptyTableNote::Reason::NoItems:
            Note(std::string(result) + " is empty: the StdItems table holds no item");
            break;
        case EmptyTableNote::Reason::TooFewColumns:
            Note(std::string(result) + " is empty: the StdItems table has " +
                 Counted(static_cast<std::size_t>(note.columns), "column") +
                 ", no column 38 (the shine value)");
            break;
        case EmptyTableNote::Reason::NoShineValue:
            Note(std::string(result) +
                 " is empty: no item has a shine value (column 38) of "
                 "100 or more");
            break;
    }
}

std::optional<ItemTable> LoadItemTableOrFail(const std::string& path,
                                             const std::vector<int>& columns) {
    SqliteConnection connection;
    ItemTable table = LoadItemTable(connection, path, columns);
    switch (table.problem) {
        case ItemTable::Problem::None:
            return table;
        case ItemTable::Problem::File:
            if (const char* problem = DatabaseFileProblem(table.file)) {
                Fail(Shown(path) + ": " + problem);
            } else {
                Fail(Shown(path) + ": cannot read: " + SystemErrorMessage(table.file.error));
            }
            break;
        case ItemTable::Problem::NoTable:
            Fail(Shown(path) + ": the database has no StdItems table");
            break;
        case ItemTable::Problem::TooLarge:
            Fail(Shown(path) + ": the StdItems table holds more than a load may (" +
                 SizeText(LargestItemTable::kTextBytes) + " of text or " +
                 std::to_string(LargestItemTable::kCells) + " cells); nothing was written");
            break;
        case ItemTable::Problem::Sqlite:
        case ItemTable::Problem::Cancelled:  // no load here is cancelled
            Fail(Shown(path) + ": cannot read the item table: " + ShownGbk(table.error));
            break;
    }
    return std::nullopt;
}

std::string Shown(std::string_view path) {
    return EscapeControlBytes(DisplayPath(path));
}

std::string ShownGbk(GbkView gbk) {
    return EscapeControlBytes(GbkToUtf8(gbk));
}

std::string ShownUtf8(std::string_view utf8) {
    return EscapeControlBytes(utf8);
}

std::string Counted(std::size_t count, std::string_view noun, std::string_view plural) {
    if (count == 1) {
        return "1 " + std::string(noun);
    }
    return std::to_string(count) + " " +
           (plural.empty() ? std::string(noun) + "s" : std::string(plural));
}

std::string SizeText(std::uint64_t bytes) {
    return bytes % (1u << 20) == 0 ? std::to_string(bytes >> 20) + " MiB" : Counted(bytes, "byte");
}

int WriteOutput(const PlannedOutput& output, const Accepted& accepted) {
    return AllowFindings(output.findings, accepted) ? CommitAndReport(output) : 1;
}

int CommitAndReport(const PlannedOutput& output) {
    const CommittedOutput committed = CommitOutput(output);
    switch (committed.problem) {
        case CommittedOutput::Problem::None:
            break;
        case CommittedOutput::Problem::NotAFolder:
            return Fail(Shown(output.directory) +
                        ": not a folder; --out names the folder the file goes into");
        case CommittedOutput::Problem::Write:
            return Fail(Shown(committed.path) +
                        ": cannot write: " + SystemErrorMessage(committed.error));
    }
    // The full path: "--out E:" wrote into E:'s current folder, which the user should see.
    const std::optional<std::vector<std::string>> full = FullPaths({committed.path});
    const std::string shown = Shown(full ? full->front() : committed.path) + " (" +
                              Counted(output.entries, "entry", "entries") + ")";
    WriteStandardOutput(committed.unchanged
                            ? "unchanged " + shown + ": it held these bytes already\n"
                            : "wrote " + shown + "\n");
    return 0;
}

}  // namespace varo::cli
