#include <optional>
#include <utility>

#include "cli/Commands.h"
#include "jobs/FilterJob.h"
#include "text/CodePage.h"
#include "text/Printable.h"

namespace varo::cli {
namespace {

std::string HexBytes(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        text += text.empty() ? "0x" : " 0x";
        AppendHexByte(text, static_cast<unsigned char>(c));
    }
    return text;
}

// The rows of a filter file, or nothing after saying why on stderr. A file
// that does not look like a filter file is refused unless --force.
std::optional<FilterRows> ReadFilterFileOrFail(const std::string& path, FilterFileUse use,
                                               const Accepted& accepted) {
    FilterFileSource source = ReadFilterFileSource(path, use);
    FilterFileRead& read = source.read;
    switch (read.status) {
        case FilterFileRead::Status::Ok:
            if (!AllowFinding(source.finding, accepted)) {
                return std::nullopt;
            }
            return TakeFilterRows(read);
        case FilterFileRead::Status::Unreadable:
            Fail(Say(Text::CannotRead, {Shown(path), ReasonText(read.error)}));
            break;
        case FilterFileRead::Status::TooLarge:
            Fail(Say(Text::FilterTooLarge, {Shown(path), SizeText(read.sizeLimit)}));
            break;
        case FilterFileRead::Status::TooManyLines:
            Fail(Say(Text::FilterTooManyLines, {Shown(path), std::to_string(kMaxFilterFileLines)}));
            break;
        case FilterFileRead::Status::Refused: {
            const FilterFileRefusal& refusal = read.refusal;
            Fail(Say(
                refusal.characterOutsideGbk ? Text::FilterNoGbkForm : Text::FilterNeitherEncoding,
                {Shown(path), std::to_string(refusal.line),
                 refusal.characterOutsideGbk ? ShownUtf8(refusal.bytes)
                                             : HexBytes(refusal.bytes)}));
            break;
        }
    }
    return std::nullopt;
}

}  // namespace

// As "载入数据库" (or "导入过滤文件"), the chosen bulk flags, then the writer.
int RunFilter(const FilterOptions& options) {
    FilterRows rows;
    if (!options.database.empty()) {
        const std::optional<ItemTable> table =
            LoadItemTableOrFail(options.database, kFilterItemColumns);
        if (!table) {
            return 1;
        }
        FilterGridFill fill = FillFilterGrid(*table);
        if (fill.emptyNote) {
            NoteEmptyTable(*fill.emptyNote, Text::FilterList);
        }
        rows = std::move(fill.rows);
        if (!options.applyFile.empty()) {
            std::optional<FilterRows> file =
                ReadFilterFileOrFail(options.applyFile, FilterFileUse::Apply, options.accepted);
            if (!file) {
                return 1;
            }
            const FilterApplication applied = ApplyFilterRows(rows, *file);
            const std::string missing = ListedValues(
                applied.namesNotFound, [](const GbkText& name) { return ShownGbk(name); },
                Text::ListComma);
            Note(Say(applied.repeatedNames > 0 ? Text::FlagsAppliedRepeated : Text::FlagsApplied,
                     {Shown(options.applyFile), Counted(applied.rowsSet, Text::Rows),
                      Counted(applied.namesNotFound.size(), Text::Names), missing,
                      Counted(applied.repeatedNames, Text::Names)}));
        }
    } else {
        std::optional<FilterRows> file =
            ReadFilterFileOrFail(options.importFile, FilterFileUse::Import, options.accepted);
        if (!file) {
            return 1;
        }
        rows = std::move(*file);
    }
    const std::pair<const std::optional<bool>&, int> flags[] = {
        {options.best, kFilterBestColumn},
        {options.pickUp, kFilterAutoPickUpColumn},
        {options.showName, kFilterShowNameColumn},
    };
    for (const auto& [value, column] : flags) {
        if (value) {
            SetFlagForAll(rows, column, *value);
        }
    }
    const FilterFileForm form = options.form == "pc" ? FilterFileForm::Pc : FilterFileForm::Mobile;
    const FilterFilePlan plan = PlanFilterFile(rows, form, options.outputDirectory);
    if (plan.nameWithoutUtf8) {
        return Fail(Say(Text::NameWithoutUtf8, {std::to_string(*plan.nameWithoutUtf8 + 1),
                                                ShownGbk(rows[*plan.nameWithoutUtf8].itemName)}));
    }
    return WriteOutput(plan.output, options.accepted);
}

}  // namespace varo::cli
