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
            Fail(Shown(path) + ": cannot read: " + SystemErrorMessage(read.error));
            break;
        case FilterFileRead::Status::TooLarge:
            Fail(Shown(path) + ": larger than " + SizeText(read.sizeLimit) +
                 ", no filter file; nothing was written");
            break;
        case FilterFileRead::Status::TooManyLines:
            Fail(Shown(path) + ": " + std::to_string(kMaxFilterFileLines) +
                 " lines or more, no filter file; nothing was written");
            break;
        case FilterFileRead::Status::Refused: {
            const FilterFileRefusal& refusal = read.refusal;
            Fail(Shown(path) + ": line " + std::to_string(refusal.line) + ": " +
                 (refusal.characterOutsideGbk
                      ? "the character \"" + ShownUtf8(refusal.bytes) + "\" has no GBK form"
                      : "bytes " + HexBytes(refusal.bytes) + " are neither UTF-8 nor GBK") +
                 "; nothing was written");
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
            NoteEmptyTable(*fill.emptyNote, "the filter list");
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
                applied.namesNotFound, [](const GbkText& name) { return ShownGbk(name); }, ", ");
            Note(Shown(options.applyFile) + ": flags set on " + Counted(applied.rowsSet, "row") +
                 (applied.repeatedNames > 0 ? " (" + Counted(applied.repeatedNames, "name") +
                                                  " on several rows or lines, paired in order)"
                                            : std::string()) +
                 "; " + Counted(applied.namesNotFound.size(), "name") + " not in the database" +
                 missing);
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
        return Fail("item " + std::to_string(*plan.nameWithoutUtf8 + 1) + " (" +
                    ShownGbk(rows[*plan.nameWithoutUtf8].itemName) +
                    "): the name has no UTF-8 form; nothing was written");
    }
    return WriteOutput(plan.output, options.accepted);
}

}  // namespace varo::cli
