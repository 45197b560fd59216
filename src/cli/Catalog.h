#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "checks/Words.h"

// Every text varo-cli says, each in English and in Chinese, in one table
// (Catalog.cpp). A text is whole: {1} … {9} stand for the values it is
// given, in whichever order its language needs them. A text that depends on
// a count gives its forms as "one|other" (Chinese has one form).
namespace varo::cli {

enum class Text {
    // The command line.
    UsageHeading,
    UnknownCommand,
    UnknownKind,
    NotWholeNumber,
    NotOneOf,
    QuoteInPath,
    FilterNeedsOneSource,
    Required,
    CommandRequired,
    NotExpected,
    Excludes,
    Needs,
    ValueMissing,
    BadValue,
    Unreadable,
    OutOfMemory,
    UnexpectedFailure,
    // Help.
    HelpLabelUsage,
    HelpLabelOptions,
    HelpLabelCommand,
    HelpLabelPositionals,
    HelpLabelRequired,
    HelpLabelExcludes,
    HelpLabelNeeds,
    HelpGroupOptions,
    HelpGroupCommands,
    HelpFlag,
    VersionFlag,
    ProgramAbout,
    PillarAbout,
    PillarDatabaseHelp,
    ColorHelp,
    EffectCountHelp,
    PillarFileHelp,
    PillarForceHelp,
    OutHelp,
    AllowHelp,
    JobsHelp,
    FilterAbout,
    FilterDatabaseHelp,
    ImportHelp,
    ApplyHelp,
    FormHelp,
    BestHelp,
    PickUpHelp,
    ShowNameHelp,
    FilterForceHelp,
    ManifestAbout,
    ModeHelp,
    DirHelp,
    VersionHelp,
    SingleHelp,
    ManifestForceHelp,
    QuietHelp,
    NoCacheHelp,
    StageHelp,
    PathsHelp,
    VerifyAbout,
    ManifestArgumentHelp,
    RootHelp,
    VerifyJobsHelp,
    QuickHelp,
    QuickNeedsAddress,
    RootNeedsFolder,
    // Counted nouns and lists.
    Bytes,
    Rows,
    Columns,
    Names,
    Files,
    Entries,
    EntryNames,
    LightPillarValues,
    ShineValues,
    ListStart,
    ListSeparator,
    ListComma,
    // Findings.
    FindingLine,
    WarningLine,
    RefusedFindings,
    ColumnName,
    ColumnColor,
    ColumnShineValue,
    ColumnEffectImageCount,
    ColumnFileNumber,
    UnusableValues,
    UnusableValue,
    NotAFilterFile,
    VersionNotRaised,
    VersionNotRaisedNext,
    UnreadablePrevious,
    LargerThan,
    EmptyManifest,
    EmptyResult,
    UncarriableNames,
    UncarriableName,
    LostCharacters,
    LostCharacter,
    ShineOutOfRange,
    ShineValueOutOfRange,
    VersionWhiteSpace,
    VersionNotNumbers,
    DuplicateNames,
    DuplicateName,
    EarlierInList,
    FolderLeavesRoot,
    FolderBackslash,
    FolderEmptyName,
    Removals,
    OtherForm,
    FormPc,
    FormMobile,
    // The database and the written file.
    DatabaseFolder,
    DatabaseNotRegularFile,
    DatabaseEmpty,
    DatabaseNotSqlite,
    CannotRead,
    NoItemTable,
    ItemTableTooLarge,
    CannotReadItemTable,
    SqliteSays,
    LightPillarList,
    FilterList,
    EmptyNoItems,
    EmptyTooFewColumns,
    EmptyNoShineValue,
    OutNotAFolder,
    CannotWrite,
    Wrote,
    Unchanged,
    // filter.
    FilterTooLarge,
    FilterTooManyLines,
    FilterNoGbkForm,
    FilterNeitherEncoding,
    FlagsApplied,
    FlagsAppliedRepeated,
    NameWithoutUtf8,
    // manifest.
    CacheNoPlace,
    CacheNoSqlite,
    CacheNotOurs,
    CacheSqlite,
    SqliteErrorCode,
    CacheNotSaved,
    CacheNotUsed,
    ReleaseChange,
    Skipped,
    Refused,
    CannotList,
    NoFilesForMode,
    NothingWritten,
    NoPreviousForNext,
    PreviousUnreadableForNext,
    PreviousVersionNotNumbers,
    NextVersion,
    SameBytes,
    MoreSameBytes,
    StageLeavesRoot,
    CannotCopy,
    CannotCopyNamed,
    NothingCopied,
    CopiedBefore,
    NoLongerListed,
    Staged,
    // verify.
    ManifestUnreadable,
    EntryLeavesRoot,
    EntryMissing,
    EntryNotAFile,
    EntryUnreadable,
    EntrySizeDiffers,
    EntryMd5Differs,
    EntryUnlisted,
    EntryLeavesBase,
    EntryMissingAnswer,
    EntryServerStatus,
    EntryTimedOut,
    EntryCannotConnect,
    EntryFetchFailed,
    EntryRedirectedAway,
    StaleManifest,
    CheckedAddress,
    CheckedSizes,
    SlowestFetch,
    Checked,
    ItMatches,
    AllMatch,
    SomeDoNotMatch,
    UnlistedCount,
    // The progress bar.
    Progress,
    kCount
};

struct CatalogEntry {
    Text text;
    const char* english;
    const char* chinese;
};

// The whole table, in the order of Text.
std::span<const CatalogEntry> Catalog();

// The language every text is said in from now on (English until set).
void SetLanguage(Language language);
Language CurrentLanguage();
// VARO_LANG (zh or en) when set, else the language of the user's interface.
Language ChosenLanguage();

// The text with its values in place; a text of several forms takes the
// last, the one for counts other than 1.
std::string Say(Text text, std::initializer_list<std::string_view> values = {});
// The form of `text` for `count`, with its values in place.
std::string SayFor(std::size_t count, Text text, std::initializer_list<std::string_view> values);
// "1 row", "2 rows", "2行": a count and a noun of the catalog ({1} the count).
std::string Counted(std::size_t count, Text noun);
// A size limit or a count of bytes: "64 MiB", "5 bytes".
std::string SizeText(std::uint64_t bytes);
// The reason of a failed file operation in the current language: the kind
// of failure, and the system's own message where it is in that language.
std::string ReasonText(const SystemError& error, FileAccess access = FileAccess::Read);

// The values filled into a text: {1} is values[0] … {9} values[8]; a value
// is put in as it is, braces and all.
std::string Filled(std::string_view text, std::initializer_list<std::string_view> values);

}  // namespace varo::cli
