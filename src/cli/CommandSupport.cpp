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

std::string ColumnName(int column) {
    switch (column) {
        case kColorColumn:
            return Say(Text::ColumnColor);
        case kShineValueColumn:
            return Say(Text::ColumnShineValue);
        case kEffectImageCountColumn:
            return Say(Text::ColumnEffectImageCount);
        case kPillarFileNumberColumn:
            return Say(Text::ColumnFileNumber);
        default:
            return Say(Text::ColumnName);
    }
}

std::string Number(std::size_t value) {
    return std::to_string(value);
}

// What is wrong with a database path that is no database, or nothing.
std::optional<Text> DatabaseFileProblem(const DatabaseFileCheck& check) {
    switch (check.kind) {
        case DatabaseFileCheck::Kind::Folder:
            return Text::DatabaseFolder;
        case DatabaseFileCheck::Kind::NotRegularFile:
            return Text::DatabaseNotRegularFile;
        case DatabaseFileCheck::Kind::Empty:
            return Text::DatabaseEmpty;
        case DatabaseFileCheck::Kind::NotDatabase:
            return Text::DatabaseNotSqlite;
        case DatabaseFileCheck::Kind::Database:
        case DatabaseFileCheck::Kind::Missing:
        case DatabaseFileCheck::Kind::Unreadable:
            break;
    }
    return std::nullopt;
}

}  // namespace

std::string FindingText(const Finding& finding) {
    return std::visit(
        FindingVisitor{
            [](const UnusableValuesFinding& unusable) {
                return Say(
                    Text::UnusableValues,
                    {Counted(unusable.values.size(), Text::LightPillarValues),
                     ListedValues(unusable.values, [](const UnusableValuesFinding::Value& v) {
                         return Say(Text::UnusableValue, {Number(v.row + 1), ShownGbk(v.itemName),
                                                          ColumnName(v.column), ShownGbk(v.text)});
                     })});
            },
            [](const NotAFilterFileFinding& file) {
                return Say(Text::NotAFilterFile, {Shown(file.path)});
            },
            [](const VersionNotRaisedFinding& release) {
                return Say(release.nextVersion.empty() ? Text::VersionNotRaised
                                                       : Text::VersionNotRaisedNext,
                           {ShownUtf8(release.version), ShownUtf8(release.previousVersion),
                            ShownUtf8(release.nextVersion)});
            },
            [](const UnreadablePreviousManifestFinding& previous) {
                const bool chinese = CurrentLanguage() == Language::Chinese;
                const std::string reason =
                    previous.error.kind == EFBIG
                        ? Say(Text::LargerThan, {SizeText(previous.sizeLimit)})
                    : previous.error ? ReasonText(previous.error)
                    : chinese        ? ManifestFaultWords(previous.fault, Language::Chinese)
                                     : EscapeControlBytes(previous.detail);
                return Say(Text::UnreadablePrevious, {Shown(previous.path), reason});
            },
            [](const EmptyResultFinding& empty) {
                return empty.previousEntries > 0
                           ? Say(Text::EmptyManifest,
                                 {Shown(empty.path), Counted(empty.previousEntries, Text::Files)})
                           : Say(Text::EmptyResult,
                                 {Shown(empty.path), Counted(empty.previousSize, Text::Bytes)});
            },
            [](const UncarriableNamesFinding& names) {
                return Say(
                    Text::UncarriableNames,
                    {Counted(names.names.size(), Text::Names), names.fileName,
                     ListedValues(names.names, [](const UncarriableNamesFinding::Name& n) {
                         return Say(Text::UncarriableName, {Number(n.row + 1), ShownGbk(n.name)});
                     })});
            },
            [](const LostCharactersFinding& lost) {
                return Say(Text::LostCharacters,
                           {Counted(lost.names.size(), Text::Names), lost.fileName,
                            ListedValues(lost.names, [](const LostCharactersFinding::Name& n) {
                                return Say(Text::LostCharacter,
                                           {Number(n.row + 1), ShownUtf8(n.original),
                                            ShownGbk(n.written)});
                            })});
            },
            [](const ShineOutOfRangeFinding& shine) {
                return Say(Text::ShineOutOfRange,
                           {Counted(shine.values.size(), Text::ShineValues),
                            ListedValues(shine.values, [](const ShineOutOfRangeFinding::Value& v) {
                                return Say(Text::ShineValueOutOfRange,
                                           {Number(static_cast<std::size_t>(v.item)),
                                            ShownGbk(v.itemName), ShownGbk(v.text)});
                            })});
            },
            [](const UncomparableVersionFinding& version) {
                return Say(version.whiteSpace ? Text::VersionWhiteSpace : Text::VersionNotNumbers,
                           {ShownUtf8(version.version)});
            },
            [](const DuplicateNameFinding& duplicate) {
                return Say(Text::DuplicateNames,
                           {Counted(duplicate.names.size(), Text::EntryNames),
                            ListedValues(duplicate.names, [](const DuplicateNameFinding::Name& n) {
                                return Say(Text::DuplicateName,
                                           {Shown(n.name),
                                            n.earlierPath.empty() ? Say(Text::EarlierInList)
                                                                  : Shown(n.earlierPath),
                                            n.earlierMd5, Counted(n.earlierSize, Text::Bytes),
                                            Shown(n.laterPath), n.laterMd5,
                                            Counted(n.laterSize, Text::Bytes)});
                            })});
            },
            [](const UnsafeFolderFinding& folder) {
                return Say(folder.reason == UnsafeFolderFinding::Reason::LeavesRoot
                               ? Text::FolderLeavesRoot
                           : folder.reason == UnsafeFolderFinding::Reason::Backslash
                               ? Text::FolderBackslash
                               : Text::FolderEmptyName,
                           {ShownUtf8(folder.directory)});
            },
            [](const RemovalsFinding& removals) {
                return Say(
                    Text::Removals,
                    {Number(removals.removed), Counted(removals.previousEntries, Text::Entries),
                     Shown(removals.path), Counted(removals.entries, Text::Entries)});
            },
            [](const OtherFormFinding& form) {
                const auto name = [](FilterFileForm f) {
                    return Say(f == FilterFileForm::Pc ? Text::FormPc : Text::FormMobile);
                };
                return Say(Text::OtherForm,
                           {Shown(form.path), name(form.existing), name(form.written)});
            },
        },
        finding);
}

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
        const std::string line =
            Say(Text::FindingLine, {FindingText(finding), FindingKind(finding)});
        Note(covered ? Say(Text::WarningLine, {line}) : line);
        if (!covered && refused.find(FindingKind(finding)) == std::string::npos) {
            if (!refused.empty()) {
                refused += ',';
            }
            refused += FindingKind(finding);
        }
    }
    if (!refused.empty()) {
        Fail(Say(Text::RefusedFindings, {refused}));
        return false;
    }
    return true;
}

bool AllowFinding(const std::optional<Finding>& finding, const Accepted& accepted) {
    return AllowFindings(finding ? std::vector<Finding>{*finding} : std::vector<Finding>{},
                         accepted);
}

void NoteEmptyTable(const EmptyTableNote& note, Text result) {
    const std::string list = Say(result);
    switch (note.reason) {
        case EmptyTableNote::Reason::NoItems:
            Note(Say(Text::EmptyNoItems, {list}));
            break;
        case EmptyTableNote::Reason::TooFewColumns:
            Note(Say(Text::EmptyTooFewColumns,
                     {list, Counted(static_cast<std::size_t>(note.columns), Text::Columns)}));
            break;
        case EmptyTableNote::Reason::NoShineValue:
            Note(Say(Text::EmptyNoShineValue, {list}));
            break;
    }
}

std::string SqliteText(int code, std::string_view message) {
    return Say(Text::SqliteSays, {SqliteCodeWords(code, CurrentLanguage()), message});
}

std::optional<ItemTable> LoadItemTableOrFail(const std::string& path,
                                             const std::vector<int>& columns) {
    SqliteConnection connection;
    ItemTable table = LoadItemTable(connection, path, columns);
    const std::string shown = Shown(path);
    switch (table.problem) {
        case ItemTable::Problem::None:
            return table;
        case ItemTable::Problem::File:
            if (const std::optional<Text> problem = DatabaseFileProblem(table.file)) {
                Fail(Say(*problem, {shown}));
            } else {
                Fail(Say(Text::CannotRead, {shown, ReasonText(table.file.error)}));
            }
            break;
        case ItemTable::Problem::NoTable:
            Fail(Say(Text::NoItemTable, {shown}));
            break;
        case ItemTable::Problem::TooLarge:
            Fail(Say(Text::ItemTableTooLarge, {shown, SizeText(LargestItemTable::kTextBytes),
                                               std::to_string(LargestItemTable::kCells)}));
            break;
        case ItemTable::Problem::Sqlite:
        case ItemTable::Problem::Cancelled:  // no load here is cancelled
            Fail(Say(Text::CannotReadItemTable,
                     {shown, SqliteText(table.sqliteCode, ShownGbk(table.error))}));
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

int WriteOutput(const PlannedOutput& output, const Accepted& accepted) {
    return AllowFindings(output.findings, accepted) ? CommitAndReport(output) : 1;
}

int CommitAndReport(const PlannedOutput& output) {
    const CommittedOutput committed = CommitOutput(output);
    switch (committed.problem) {
        case CommittedOutput::Problem::None:
            break;
        case CommittedOutput::Problem::NotAFolder:
            return Fail(Say(Text::OutNotAFolder, {Shown(output.directory)}));
        case CommittedOutput::Problem::Write:
            return Fail(Say(Text::CannotWrite, {Shown(committed.path),
                                                ReasonText(committed.error, FileAccess::Write)}));
    }
    // The full path: "--out E:" wrote into E:'s current folder, which the user should see.
    const std::optional<std::vector<std::string>> full = FullPaths({committed.path});
    WriteStandardOutput(Say(committed.unchanged ? Text::Unchanged : Text::Wrote,
                            {Shown(full ? full->front() : committed.path),
                             Counted(output.entries, Text::Entries)}) +
                        "\n");
    return 0;
}

}  // namespace varo::cli
