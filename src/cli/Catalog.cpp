#include "cli/Catalog.h"

#include <atomic>
#include <cstdlib>

#include "platform/CommandLineProcess.h"
#include "text/Printable.h"

namespace varo::cli {
namespace {

using enum Text;

// The data a text is given ({1} …) is escaped by its caller; these are the
// words around it. Chinese takes the window's terms for the same things.
constexpr CatalogEntry kCatalog[] = {
    // The command line.
    {UsageHeading, "usage:", "用法："},
    {UnknownCommand, "unknown command '{1}'", "没有“{1}”这个命令"},
    {UnknownKind, "unknown finding kind '{1}'", "没有“{1}”这一类检查结果"},
    {NotWholeNumber, "a whole number, 1 or more", "应为1或更大的整数"},
    {NotOneOf, "'{1}' is none of {2}", "“{1}”不是{2}中的一个"},
    {QuoteInPath,
     "the path '{1}' holds a double quote, which no Windows name can: a backslash before a "
     "closing quote escapes it, so the arguments after it ran together. Write \"D:\\dir\" or "
     "\"D:\\dir\\\\\"",
     "路径“{1}”含有双引号，而Windows的文件名不能含有双引号：结尾引号前的反斜杠把引号转义了，"
     "后面的参数因此连在了一起。请写成\"D:\\dir\"或\"D:\\dir\\\\\""},
    {FilterNeedsOneSource, "filter needs exactly one of --db and --import",
     "filter需要--db或--import，且只能给出其中一个"},
    {Required, "{1} is required", "缺少{1}"},
    {CommandRequired, "a command is required: pillar, filter, manifest or verify",
     "需要一个命令：pillar、filter、manifest或verify"},
    {NotExpected, "not expected: {1}", "多余的参数：{1}"},
    {Excludes, "{1} cannot go with {2}", "{1}不能与{2}同时使用"},
    {Needs, "{1} needs {2}", "{1}需要同时给出{2}"},
    {ValueMissing, "{1} needs a value", "{1}后面缺少值"},
    {BadValue, "{1}: {2}", "{1}的值有误：{2}"},
    {Unreadable, "the command line cannot be read: {1}", "无法识别的命令行：{1}"},
    {OutOfMemory, "out of memory; nothing was written", "内存不足，没有写入任何文件"},
    {UnexpectedFailure, "unexpected failure: {1}; nothing was written",
     "意外的错误：{1}，没有写入任何文件"},

    // Help.
    {HelpLabelUsage, "Usage", "用法"},
    {HelpLabelOptions, "OPTIONS", "选项"},
    {HelpLabelCommand, "SUBCOMMAND", "命令"},
    {HelpLabelPositionals, "Positionals", "参数"},
    {HelpLabelRequired, "REQUIRED", "必填"},
    {HelpLabelExcludes, "Excludes", "不能同用"},
    {HelpLabelNeeds, "Needs", "需要"},
    {HelpGroupOptions, "Options", "选项"},
    {HelpGroupCommands, "Subcommands", "命令"},
    {HelpFlag, "Print this help message and exit", "显示本帮助并退出"},
    {VersionFlag, "Display program version information and exit", "显示程序版本并退出"},
    {ProgramAbout,
     "Writes the client files of a Varo three-platform game server: the mobile light-pillar "
     "file CustomItemNameColors.txt, the item filter lsDefaultItemFilter.txt and the manifests "
     "update.json / 单json文件.json.",
     "生成Varo三端引擎游戏服务器的客户端文件：手机端光柱文件CustomItemNameColors.txt、"
     "物品过滤文件lsDefaultItemFilter.txt，以及清单update.json / 单json文件.json。"},
    {PillarAbout, "Writes CustomItemNameColors.txt, as DB一键计算 then 生成光柱文件 would.",
     "生成CustomItemNameColors.txt，与先点“DB一键计算”再点“生成光柱文件”相同。"},
    {PillarDatabaseHelp, "the item database (StdItems table)", "物品数据库（StdItems表）"},
    {ColorHelp, "colour of every row, as typed", "每一行的颜色，按输入原样写入"},
    {EffectCountHelp, "effect-image count", "特效图片数量"},
    {PillarFileHelp, "light-pillar file number", "光柱文件编号"},
    {PillarForceHelp,
     "write despite what the checks find (refused otherwise): values a client cannot use, "
     "shine values beyond 32 bits, names with a tab or a line break or with characters GBK "
     "lacks, an empty list over a file that holds rows",
     "不论检查发现什么都写入（否则拒绝写入）：客户端无法使用的数值，超出32位整数的光柱值，"
     "含制表符、换行符或GBK中没有的字符的名字，以及用空列表覆盖有内容的文件"},
    {OutHelp, "output directory", "输出目录"},
    {AllowHelp, "accept only the findings of these kinds: {1}", "只接受这几类检查结果：{1}"},
    {JobsHelp, "digest threads (default: {1})", "计算MD5的线程数（默认：{1}）"},
    {FilterAbout, "Writes lsDefaultItemFilter.txt from the item database or from a filter file.",
     "从物品数据库或过滤文件生成lsDefaultItemFilter.txt。"},
    {FilterDatabaseHelp, "the item database", "物品数据库"},
    {ImportHelp, "a filter file to read", "要导入的过滤文件"},
    {ApplyHelp,
     "a filter file whose flags the database's items take by name; it is applied first, then "
     "--best, --pickup and --show-name set their column in every row",
     "按名字把这个过滤文件中的标记套用到数据库的物品上；先套用它，再由--best、--pickup和"
     "--show-name设置每一行的对应列"},
    {FormHelp, "mobile (UTF-8) or pc (GBK)", "mobile（手机版，UTF-8编码）或pc（PC版，GBK编码）"},
    {BestHelp, "column 是否显示极品(红字) in every row", "每一行的“是否显示极品(红字)”列"},
    {PickUpHelp, "column 自动捡取 in every row", "每一行的“自动捡取”列"},
    {ShowNameHelp, "column 显示名字 in every row", "每一行的“显示名字”列"},
    {FilterForceHelp,
     "go on despite what the checks find (refused otherwise): a file to read that does not "
     "look like a filter file, names with a tab or a line break or with characters GBK lacks, "
     "an empty list over a file that holds rows, one form written over a file of the other",
     "不论检查发现什么都继续（否则拒绝）：要读取的文件看起来不是过滤文件，名字含制表符、换行符"
     "或GBK中没有的字符，用空列表覆盖有内容的文件，以及用一种版本的文件覆盖另一种版本的文件"},
    {ManifestAbout,
     "Writes update.json (or 单json文件.json) for resource files; a directory stands for the "
     "files in it that the mode offers, sorted by name.",
     "为资源文件生成update.json（或单json文件.json）；目录代表其中该模式可用的文件，"
     "按名字排序。"},
    {ModeHelp, "micro, hot or custom", "micro（微端）、hot（热更新）或custom（自定义目录）"},
    {DirHelp, "directory of the custom mode", "自定义模式的目录"},
    {VersionHelp,
     "assets_version of update.json; next: the version of the update.json in --out with its "
     "last number raised by one (1.3.9 gives 1.3.10)",
     "update.json的assets_version；next：取--out中update.json的版本号，最后一段加一"
     "（1.3.9变为1.3.10）"},
    {SingleHelp, "write 单json文件.json, the entries only", "生成单json文件.json，只含文件列表"},
    {ManifestForceHelp,
     "write despite what the checks find (refused otherwise): a --version that is not dotted "
     "decimal numbers or has white space around it, changed entries under a --version not "
     "greater than that of the update.json in --out, an update.json there that cannot be read, "
     "an empty list over a file that holds entries or one that drops more than half of them, "
     "two files giving one name with other bytes, a --dir that leaves the root",
     "不论检查发现什么都写入（否则拒绝写入）：--version不是用点分隔的数字或前后有空白，"
     "资源有变动而--version不大于--out中update.json的版本号，那里的update.json无法读取，"
     "用空列表覆盖有内容的清单或删除其中一半以上的文件，两个内容不同的文件给出同一个名字，"
     "以及--dir指向更新目录之外"},
    {QuietHelp, "no progress bar", "不显示进度条"},
    {NoCacheHelp,
     "digest every file and leave the digest cache alone (it lives in the user's cache folder; "
     "deleting it is always safe)",
     "每个文件都重新计算MD5，不读也不写MD5缓存（缓存在用户的缓存文件夹中，随时可以删除）"},
    {StageHelp,
     "the publish folder: update.json goes there, and each listed file is copied to where "
     "update.json names it unless the folder holds its bytes already; update.json is written "
     "last, once every copy succeeded",
     "发布目录：update.json写到这里，清单中的每个文件复制到清单所指的位置（已有相同内容的"
     "不再复制）；所有文件复制成功后才最后写入update.json"},
    {PathsHelp, "resource files or directories", "资源文件或目录"},
    {VerifyAbout,
     "Checks that a folder, or the web server at an address, holds every file a manifest lists, "
     "with the listed size and MD5, reading every byte (from a server as a client fetches it; "
     "with --quick the sizes alone); names the files a folder holds that the manifest does not "
     "list.",
     "校验发布目录或网址：检查清单列出的每个文件是否都在，大小和MD5是否与清单一致，读取每个"
     "字节（网址上的文件按客户端的方式下载；加上--quick只比较大小）；并列出目录中清单没有列出"
     "的文件。"},
    {ManifestArgumentHelp,
     "update.json or 单json文件.json: a path, or an http:// or https:// address",
     "update.json或单json文件.json：路径，或http://、https://网址"},
    {RootHelp, "the folder the entries are in (default: the manifest's folder)",
     "文件所在的目录（默认：清单所在的目录）"},
    {VerifyJobsHelp,
     "digest threads for a folder (default: {1}); fetches at once for an address (default: {2})",
     "校验目录时计算MD5的线程数（默认：{1}）；校验网址时同时下载的个数（默认：{2}）"},
    {QuickHelp, "an address only: the sizes the server gives, without reading the bytes",
     "仅用于网址：只比较服务器给出的大小，不读取内容"},
    {QuickNeedsAddress,
     "--quick is for an address (http:// or https://); a folder is always read whole",
     "--quick只用于网址（http://或https://）；校验目录时总是读取全部内容"},
    {RootNeedsFolder,
     "--root is for a manifest in a folder; the entries of an address are fetched from the "
     "manifest's folder on the server",
     "--root只用于目录中的清单；网址上的文件总是从服务器上清单所在的目录下载"},

    // Counted nouns and lists.
    {Bytes, "{1} byte|{1} bytes", "{1}字节"},
    {Rows, "{1} row|{1} rows", "{1}行"},
    {Columns, "{1} column|{1} columns", "{1}列"},
    {Names, "{1} name|{1} names", "{1}个名字"},
    {Files, "{1} file|{1} files", "{1}个文件"},
    {Entries, "{1} entry|{1} entries", "{1}项"},
    {EntryNames, "{1} entry name|{1} entry names", "{1}个文件名"},
    {LightPillarValues, "{1} light-pillar value|{1} light-pillar values", "{1}处光柱数值"},
    {ShineValues, "{1} shine value|{1} shine values", "{1}处光柱值"},
    {ListStart, ": ", "："},
    {ListSeparator, "; ", "；"},
    {ListComma, ", ", "、"},

    // Findings.
    {FindingLine, "{1} [{2}]", "{1} [{2}]"},
    {WarningLine, "warning: {1}", "警告：{1}"},
    {RefusedFindings,
     "nothing was written (--allow {1} writes it anyway; --force accepts every finding)",
     "没有写入任何文件（加上--allow {1}仍然写入；加上--force接受所有检查结果）"},
    {ColumnName, "name", "物品名字"},
    {ColumnColor, "colour", "颜色(1-255)"},
    {ColumnShineValue, "shine value", "计算Shine值"},
    {ColumnEffectImageCount, "effect-image count", "特效图片数量"},
    {ColumnFileNumber, "file number", "光柱文件编号"},
    {UnusableValues,
     "{1} a client cannot use (the colour must be a whole number from 1 to 255, the "
     "effect-image count and file number above 0){2}",
     "{1}客户端无法使用（颜色应为1到255的整数，特效图片数量和光柱文件编号应为正整数）{2}"},
    {UnusableValue, "row {1} {2} {3} \"{4}\"", "第{1}行 {2}：{3}“{4}”"},
    {NotAFilterFile,
     "{1} does not look like a filter file: most lines are not \"name,kind,best,pickup,show\", "
     "or a line holds a tab",
     "文件“{1}”看起来不是过滤文件：大多数行不是“名字,类型,极品,捡取,显示”的格式，"
     "或含有制表符"},
    {VersionNotRaised,
     "the version {1} is not greater than {2} of the previous update.json although entries "
     "changed; clients would not fetch them",
     "版本号未变更：版本号“{1}”不大于已有update.json的版本号“{2}”，但资源有变动，"
     "客户端不会更新"},
    {VersionNotRaisedNext,
     "the version {1} is not greater than {2} of the previous update.json although entries "
     "changed; clients would not fetch them (--version next gives {3})",
     "版本号未变更：版本号“{1}”不大于已有update.json的版本号“{2}”，但资源有变动，"
     "客户端不会更新（--version next将是“{3}”）"},
    {UnreadablePrevious,
     "{1}: not a readable manifest ({2}); the new one cannot be checked against it",
     "已有的文件“{1}”无法读取（{2}），无法与它比较版本号和资源"},
    {LargerThan, "larger than {1}", "文件大于{1}"},
    {EmptyManifest, "the new update.json would list no file, but {1} lists {2}",
     "新的清单中没有任何文件，而已有的文件“{1}”列有{2}"},
    {EmptyResult, "the result is empty, but {1} holds {2}; writing would empty it",
     "要生成的内容为空，而已有的文件“{1}”有{2}，写入后它将变成空文件"},
    {UncarriableNames, "{1} holding a tab or a line break, which would split its line of {2}{3}",
     "{1}含有制表符或换行符，写入文件“{2}”后会把它所在的一行分开{3}"},
    {UncarriableName, "row {1} \"{2}\"", "第{1}行 “{2}”"},
    {LostCharacters, "{1} holding characters GBK lacks, written as '?' in {2}{3}",
     "{1}含有GBK编码中没有的字符，写入文件“{2}”时这些字符将变为“?”{3}"},
    {LostCharacter, "row {1} {2} becomes {3}", "第{1}行 {2} → {3}"},
    {ShineOutOfRange,
     "{1} (column 38) beyond 32 bits, which the light-pillar values would get wrong{2}",
     "{1}（第38列）超出32位整数的范围，计算结果将不正确{2}"},
    {ShineValueOutOfRange, "item {1} {2} \"{3}\"", "第{1}个物品 {2}：“{3}”"},
    {VersionWhiteSpace,
     "the version \"{1}\" has white space before or after it, which the file would keep and "
     "clients would compare",
     "版本号“{1}”的前后有空白字符，它们会原样写入文件，客户端比较版本号时可能出错"},
    {VersionNotNumbers,
     "the version \"{1}\" is not dotted decimal numbers (such as 1.2.5), which clients compare",
     "版本号“{1}”不是用点分隔的数字（例如1.2.5），客户端无法比较版本号"},
    {DuplicateNames,
     "{1} given by two files with other bytes; the manifest lists only the later{2}",
     "{1}来自两个内容不同的文件，清单中只保留后一个{2}"},
    {DuplicateName, "{1} from {2} ({3}, {4}) and {5} ({6}, {7})",
     "{1}：{2}（{3}，{4}）与 {5}（{6}，{7}）"},
    {EarlierInList, "the list", "列表中已有的文件"},
    {FolderLeavesRoot,
     "the folder --dir \"{1}\" leaves the update's root (\"..\", an absolute path or a drive)",
     "自定义目录--dir“{1}”会指向更新目录之外（含“..”、以“/”开头或带盘符）"},
    {FolderBackslash,
     "the folder --dir \"{1}\" holds a backslash, which a client does not take for a folder",
     "自定义目录--dir“{1}”含有反斜杠“\\”，客户端不会把它当作目录分隔符"},
    {FolderEmptyName,
     "the folder --dir \"{1}\" has an empty folder name (a slash at the end, or two together)",
     "自定义目录--dir“{1}”含有空的目录名（以“/”结尾或连续两个“/”）"},
    {Removals,
     "the new update.json would drop {1} of the {2} of {3} (it lists {4}): more than half; a "
     "folder or the mode may be missing",
     "已有的文件“{3}”列有{2}，新的清单将删除其中{1}个，只列{4}，超过了一半"
     "（是否少导入了文件夹，或选错了模式？）"},
    {OtherForm, "{1} is in the {2}; writing the {3} over it replaces that client's file",
     "已有的文件“{1}”是{2}过滤文件，生成{3}会替换它，那个客户端将失去它的过滤文件"},
    {FormPc, "PC form (GBK)", "PC版（GBK编码）"},
    {FormMobile, "mobile form (UTF-8)", "手机版（UTF-8编码）"},

    // The database and the written file.
    {DatabaseFolder, "{1}: a folder, not a database file", "“{1}”是一个文件夹，不是数据库文件"},
    {DatabaseNotRegularFile,
     "{1}: not a regular file (a pipe, a device or a socket), not a database",
     "“{1}”不是普通文件（是管道、设备或套接字），不是数据库文件"},
    {DatabaseEmpty, "{1}: an empty file, not an SQLite database",
     "“{1}”是空文件，不是SQLite数据库"},
    {DatabaseNotSqlite, "{1}: not an SQLite database", "“{1}”不是SQLite数据库文件"},
    {CannotRead, "{1}: cannot read: {2}", "无法读取“{1}”：{2}"},
    {NoItemTable, "{1}: the database has no StdItems table", "“{1}”：数据库中没有StdItems表"},
    {ItemTableTooLarge,
     "{1}: the StdItems table holds more than a load may ({2} of text or {3} cells); nothing "
     "was written",
     "“{1}”：StdItems表超出了本程序能载入的大小（{2}文本或{3}个单元格），没有写入任何文件"},
    {CannotReadItemTable, "{1}: cannot read the item table: {2}", "“{1}”：无法读取物品表：{2}"},
    {SqliteSays, "{2}", "{1}（SQLite：{2}）"},
    {LightPillarList, "the light-pillar list", "光柱列表"},
    {FilterList, "the filter list", "过滤列表"},
    {EmptyNoItems, "{1} is empty: the StdItems table holds no item",
     "StdItems表中没有物品，{1}为空"},
    {EmptyTooFewColumns, "{1} is empty: the StdItems table has {2}, no column 38 (the shine value)",
     "StdItems表只有{2}，没有第38列（光柱值），{1}为空"},
    {EmptyNoShineValue, "{1} is empty: no item has a shine value (column 38) of 100 or more",
     "没有光柱值（第38列）达到100的物品，{1}为空"},
    {OutNotAFolder, "{1}: not a folder; --out names the folder the file goes into",
     "“{1}”不是文件夹；--out应为文件要写入的文件夹"},
    {CannotWrite, "{1}: cannot write: {2}", "无法写入“{1}”：{2}"},
    {Wrote, "wrote {1} ({2})", "已写入 {1}（{2}）"},
    {Unchanged, "unchanged {1} ({2}): it held these bytes already",
     "未改动 {1}（{2}）：文件中已是这些内容"},

    // filter.
    {FilterTooLarge, "{1}: larger than {2}, no filter file; nothing was written",
     "“{1}”大于{2}，不是过滤文件；没有写入任何文件"},
    {FilterTooManyLines, "{1}: {2} lines or more, no filter file; nothing was written",
     "“{1}”有{2}行或更多，不是过滤文件；没有写入任何文件"},
    {FilterNoGbkForm, "{1}: line {2}: the character \"{3}\" has no GBK form; nothing was written",
     "“{1}”第{2}行：字符“{3}”在GBK编码中没有；没有写入任何文件"},
    {FilterNeitherEncoding,
     "{1}: line {2}: bytes {3} are neither UTF-8 nor GBK; nothing was written",
     "“{1}”第{2}行：字节{3}既不是UTF-8也不是GBK编码；没有写入任何文件"},
    {FlagsApplied, "{1}: flags set on {2}; {3} not in the database{4}",
     "“{1}”：已设置{2}的标记；{3}不在数据库中{4}"},
    {FlagsAppliedRepeated,
     "{1}: flags set on {2} ({5} on several rows or lines, paired in order); {3} not in the "
     "database{4}",
     "“{1}”：已设置{2}的标记（{5}出现在多行，按顺序一一对应）；{3}不在数据库中{4}"},
    {NameWithoutUtf8, "item {1} ({2}): the name has no UTF-8 form; nothing was written",
     "第{1}个物品（{2}）：名字无法转换为UTF-8；没有写入任何文件"},

    // manifest.
    {CacheNoPlace, "no cache folder: {1}", "没有缓存文件夹，{1}"},
    {CacheNoSqlite, "SQLite cannot be loaded", "无法加载SQLite"},
    {CacheNotOurs,
     "the file there is not this program's cache and was left as it is; move it away to have a "
     "cache again",
     "那里的文件不是本程序的MD5缓存，已原样保留（删除或移走它即可恢复缓存）"},
    {CacheSqlite, "SQLite: {2}", "{1}（SQLite：{2}）"},
    {SqliteErrorCode, "error {1}", "错误码{1}"},
    {CacheNotSaved,
     "warning: the digest cache {1} was not saved ({2}); the next run digests these files again",
     "警告：MD5缓存“{1}”没有保存（{2}），下次将重新计算这些文件的MD5"},
    {CacheNotUsed, "warning: the digest cache {1} was not used ({2}); every file was digested",
     "警告：没有使用MD5缓存“{1}”（{2}），每个文件都重新计算了MD5"},
    {ReleaseChange,
     "against the previous update.json (version {1}): {2} added, {3} changed, {4} removed; a "
     "client downloads {5}",
     "与已有的update.json（版本号“{1}”）相比：新增{2}个，变更{3}个，删除{4}个，"
     "客户端需下载{5}"},
    {Skipped, "{1}: skipped: {2}", "已跳过“{1}”：{2}"},
    {Refused, "{1}: {2}", "“{1}”：{2}"},
    {CannotList, "{1}: cannot list: {2}", "无法列出“{1}”中的文件：{2}"},
    {NoFilesForMode, "{1}: holds no file that the {2} mode takes; nothing was written",
     "“{1}”中没有{2}模式可用的文件；没有写入任何文件"},
    {NothingWritten, "nothing was written", "没有写入任何文件"},
    {NoPreviousForNext, "{1}: no update.json there to take the next version from",
     "“{1}”：那里没有update.json，无法得出下一个版本号"},
    {PreviousUnreadableForNext, "{1}: not a readable manifest; --version next needs its version",
     "“{1}”不是可读的清单；--version next需要它的版本号"},
    {PreviousVersionNotNumbers,
     "{1}: its version \"{2}\" is not dotted decimal numbers; give --version as it should be",
     "“{1}”的版本号“{2}”不是用点分隔的数字；请用--version给出应有的版本号"},
    {NextVersion, "version {1} (after {2})", "版本号“{1}”（上一个是“{2}”）"},
    {SameBytes, "{1} and {2} give the same entry name {3} with the same bytes; it is listed once",
     "“{1}”与“{2}”给出同一个文件名“{3}”，内容相同，清单中只列一次"},
    {MoreSameBytes,
     "and {1} more name given by two files with the same bytes|and {1} more names given by two "
     "files with the same bytes",
     "另有{1}个名字来自两个内容相同的文件"},
    {StageLeavesRoot, "{1}: the name would leave {2}; nothing was copied or written",
     "文件名“{1}”会指向“{2}”之外；没有复制或写入任何文件"},
    {CannotCopy, "{1}: cannot copy: {2}; {3}; update.json was left as it was",
     "无法复制“{1}”：{2}；{3}；update.json保持原样"},
    {CannotCopyNamed, "{1}: cannot copy {4}: {2}; {3}; update.json was left as it was",
     "无法复制“{1}”（{4}）：{2}；{3}；update.json保持原样"},
    {NothingCopied, "nothing was copied", "没有复制任何文件"},
    {CopiedBefore, "copied before it{1}", "在此之前已复制{1}"},
    {NoLongerListed, "{1} of the previous update.json no longer listed (left in the folder){2}",
     "已有的update.json中的{1}不再列出（仍留在目录中）{2}"},
    {Staged,
     "staged: {1} copied ({2} added, {3} changed), {4} already there, {5} no longer listed, {6} "
     "copied",
     "发布目录：复制了{1}（新增{2}个，变更{3}个），{4}个已在目录中，{5}个不再列出，"
     "共复制{6}"},

    // verify.
    {ManifestUnreadable, "{1}: not a readable manifest: {2}", "“{1}”不是可读的清单：{2}"},
    {EntryLeavesRoot, "{1}: the name leaves the folder; not opened",
     "{1}：文件名指向目录之外，没有打开"},
    {EntryMissing, "{1}: missing", "{1}：缺少"},
    {EntryNotAFile, "{1}: not a file", "{1}：不是文件"},
    {EntryUnreadable, "{1}: cannot read: {2}", "{1}：无法读取：{2}"},
    {EntrySizeDiffers, "{1}: size differs: listed {2}, found {3}",
     "{1}：大小不一致：清单为{2}，实际为{3}"},
    {EntryMd5Differs, "{1}: MD5 differs: listed {2}, found {3}",
     "{1}：MD5不一致：清单为{2}，实际为{3}"},
    {EntryUnlisted, "{1}: not in the manifest", "{1}：不在清单中"},
    {EntryLeavesBase, "{1}: the name leaves the manifest's folder; not fetched",
     "{1}：文件名指向清单所在目录之外，没有下载"},
    {EntryMissingAnswer, "{1}: missing (the server answered {2})", "{1}：缺少（服务器返回{2}）"},
    {EntryServerStatus, "{1}: the server answered {2}", "{1}：服务器返回{2}"},
    {EntryTimedOut, "{1}: not fetched: nothing arrived for {2} seconds",
     "{1}：未能下载：{2}秒内没有收到任何数据"},
    {EntryCannotConnect, "{1}: not fetched: no connection to the server ({2})",
     "{1}：未能下载：无法连接服务器（{2}）"},
    {EntryFetchFailed, "{1}: not fetched ({2})", "{1}：未能下载（{2}）"},
    {EntryRedirectedAway, "{1}: redirected to another server, not followed: {2}",
     "{1}：被重定向到另一台服务器，未跟随：{2}"},
    {StaleManifest,
     "warning: {1} as a client fetches it differs from the server's own copy (fetched past "
     "every cache): a cache in front of the server serves an old manifest; the entries were "
     "checked against the server's copy",
     "警告：客户端得到的{1}与服务器上的不同（绕过缓存才得到服务器上的），服务器前面的缓存"
     "仍在提供旧的清单；以下按服务器上的清单校验"},
    {CheckedAddress, "checked {1} at {2} ({3} fetched): {4}", "已校验{2}的{1}（下载{3}）：{4}"},
    {CheckedSizes, "checked the sizes of {1} at {2} (the bytes were not read): {4}",
     "已校验{2}的{1}的大小（未读取内容）：{4}"},
    {SlowestFetch, "slowest: {1} ({2} s)", "最慢：{1}（{2}秒）"},
    {Checked, "checked {1} in {2} ({3} read): {4}", "已校验“{2}”中的{1}（读取{3}）：{4}"},
    {ItMatches, "it matches", "一致"},
    {AllMatch, "all match", "全部一致"},
    {SomeDoNotMatch, "{1} entry does not match{2}|{1} entries do not match{2}", "{1}个不一致{2}"},
    {UnlistedCount, "; {1} file not in the manifest|; {1} files not in the manifest",
     "；{1}个文件不在清单中"},

    // The progress bar.
    {Progress, "{1} / {2} files  {3}  {4}/s  {5}s left", "{1} / {2}个文件  {3}  {4}/s  剩余{5}秒"},
};

static_assert(std::size(kCatalog) == static_cast<std::size_t>(Text::kCount),
              "one catalog entry per text");

std::atomic<Language> currentLanguage{Language::English};

std::string_view Words(Text text) {
    const CatalogEntry& entry = kCatalog[static_cast<std::size_t>(text)];
    return currentLanguage.load() == Language::Chinese ? entry.chinese : entry.english;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// The form of a "one|other" text for `count`.
std::string_view FormFor(std::string_view text, std::size_t count) {
    const std::size_t bar = text.find('|');
    if (bar == std::string_view::npos) {
        return text;
    }
    return count == 1 ? text.substr(0, bar) : text.substr(bar + 1);
}

}  // namespace

std::span<const CatalogEntry> Catalog() {
    return kCatalog;
}

void SetLanguage(Language language) {
    currentLanguage = language;
}

Language CurrentLanguage() {
    return currentLanguage.load();
}

Language ChosenLanguage() {
    if (const char* chosen = std::getenv("VARO_LANG"); chosen != nullptr && *chosen != '\0') {
        const std::string_view name = chosen;
        if (name.substr(0, 2) == "zh") {
            return Language::Chinese;
        }
        if (name.substr(0, 2) == "en") {
            return Language::English;
        }
    }
    return UserInterfaceIsChinese() ? Language::Chinese : Language::English;
}

std::string Filled(std::string_view text, std::initializer_list<std::string_view> values) {
    std::string filled;
    filled.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9' &&
            text[i + 2] == '}') {
            const std::size_t index = static_cast<std::size_t>(text[i + 1] - '1');
            if (index < values.size()) {
                filled += values.begin()[index];
            }
            i += 2;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

std::string Say(Text text, std::initializer_list<std::string_view> values) {
    return Filled(FormFor(Words(text), 2), values);
}

std::string SayFor(std::size_t count, Text text, std::initializer_list<std::string_view> values) {
    return Filled(FormFor(Words(text), count), values);
}

std::string Counted(std::size_t count, Text noun) {
    const std::string number = std::to_string(count);
    return SayFor(count, noun, {number});
}

std::string SizeText(std::uint64_t bytes) {
    return SizeWords(bytes, CurrentLanguage());
}

std::string ReasonText(const SystemError& error, FileAccess access) {
    const bool chinese = CurrentLanguage() == Language::Chinese;
    const std::string kind = SystemErrorKindWords(error.kind, access, CurrentLanguage());
    if (error.code == 0) {
        return kind;  // found by the program itself: no system message
    }
    std::string system = SystemErrorMessage(error);
    while (!system.empty() && (system.back() == '.' || system.back() == ' ')) {
        system.pop_back();
    }
    if (system.size() >= 3 && system.compare(system.size() - 3, 3, "。") == 0) {
        system.resize(system.size() - 3);
    }
    // The system speaks the language of its installation: its words are
    // kept where they are in the language of the message (English when
    // they are ASCII), and the kind of failure stands for them elsewhere.
    const bool ascii = IsAscii(system);
    if (!chinese) {
        return ascii && !system.empty() ? system : kind;
    }
    return ascii || system.empty() || system == kind ? kind : kind + "（" + system + "）";
}

}  // namespace varo::cli
