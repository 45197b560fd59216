#include <cerrno>
#include <cstring>

#include "cli/Commands.h"
#include "db/ItemTable.h"
#include "filter/FilterFile.h"
#include "platform/FileIo.h"
#include "text/CodePage.h"

namespace varo::cli {
namespace {

std::string HexBytes(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += text.empty() ? "0x" : " 0x";
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

}  // namespace

// As "载入数据库" (or "导入过滤文件"), the chosen bulk flags, then the writer.
int RunFilter(const FilterOptions& options) {
    FilterRows rows;
    if (!options.database.empty()) {
        SqliteConnection connection;
        const ItemTable table = LoadItemTable(connection, options.database, kFilterItemColumns);
        if (!table.ok) {
            return Fail(options.database +
                        ": cannot read the item table: " + GbkToUtf8(table.error));
        }
        rows = LoadFilterRows(table.matrix, table.rows);
    } else {
        errno = 0;
        const auto bytes = ReadWholeFile(options.importFile);
        if (!bytes) {
            return Fail(options.importFile + ": cannot read: " + std::strerror(errno));
        }
        FilterFileRefusal refusal;
        auto parsed = ParseFilterFile(*bytes, &refusal);
        if (!parsed) {
            return Fail(options.importFile + ": line " + std::to_string(refusal.line) + ": " +
                        (refusal.characterOutsideGbk
                             ? "the character \"" + refusal.bytes + "\" has no GBK form"
                             : "bytes " + HexBytes(refusal.bytes) + " are neither UTF-8 nor GBK") +
                        "; nothing was written");
        }
        rows = std::move(*parsed);
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
    const FilterFileBytes bytes = EncodeFilterFile(rows, form);
    if (!bytes.ok) {
        return Fail("item " + std::to_string(bytes.failedRow + 1) + " (" +
                    GbkToUtf8(rows[bytes.failedRow].itemName) +
                    "): the name has no UTF-8 form; nothing was written");
    }
    return WriteOutput(options.outputDirectory, kFilterFileName, bytes.bytes, rows.size());
}

}  // namespace varo::cli
