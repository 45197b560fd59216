#include "filter/FilterFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/FileIo.h"
#include "text/CodePage.h"
#include "text/GbkSearch.h"

namespace varo {
namespace {

// The legend as the program holds it: entries separated by CR LF, code and
// label by one space, tried in this order.
constexpr std::string_view kKindLegendUtf8 = "0 穿戴\r\n1 武器\r\n2 饰品\r\n3 药水\r\n4 其它";

const std::vector<std::pair<GbkText, GbkText>>& KindLegend() {
    static const auto legend = [] {
        std::vector<std::pair<GbkText, GbkText>> entries;
        const GbkText text = Utf8ToGbk(kKindLegendUtf8);
        for (const std::string_view entry : SplitGbk(text, "\r\n")) {
            const std::size_t space = entry.find(' ');
            entries.emplace_back(GbkText(entry.substr(0, space)), GbkText(entry.substr(space + 1)));
        }
        return entries;
    }();
    return legend;
}

// The file's text in GBK by the import's encoding rule, or nothing with the
// reason filled in.
std::optional<GbkText> DecodeFilterFileText(std::string_view bytes, FilterFileRefusal* refusal) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    const bool marked = bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    if (marked) {
        bytes.remove_prefix(kByteOrderMark.size());
    }
    const bool utf8 = marked || IsValidUtf8(bytes);
    if (utf8 && !marked) {
        // Only two-byte sequences (U+0080..U+07FF) and valid GBK: the PC form.
        const bool twoByteOnly = std::none_of(bytes.begin(), bytes.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0xE0;
        });
        if (twoByteOnly && StrictGbkToUtf8(bytes)) {
            return GbkText(bytes);
        }
    }
    if (utf8) {
        if (auto gbk = StrictUtf8ToGbk(bytes)) {
            return gbk;
        }
    } else if (StrictGbkToUtf8(bytes)) {
        return GbkText(bytes);
    }
    if (refusal != nullptr) {
        // The failure of the reading that applies: UTF-8 when the bytes are UTF-8.
        const std::optional<ConversionFailure> failure =
            utf8 ? FindUtf8ToGbkFailure(bytes) : FindGbkToUtf8Failure(bytes);
        const std::size_t offset = failure ? failure->offset : 0;
        const std::string_view before = bytes.substr(0, offset);
        const auto line =
            static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
        // Valid UTF-8 that does not convert holds a character GBK lacks.
        const std::string_view character = bytes.substr(offset, failure ? failure->length : 0);
        *refusal = {utf8 && IsValidUtf8(character), line, std::string(character)};
    }
    return std::nullopt;
}

bool IsFlagField(std::string_view field) {
    return field == "0" || field == "1";
}

bool IsIntegerField(std::string_view field) {
    if (!field.empty() && field.front() == '-') {
        field.remove_prefix(1);
    }
    return !field.empty() && field.find_first_not_of("0123456789") == std::string_view::npos;
}

// The five fields of a line: name, kind, three flags. The writer puts a name
// as it stands, commas included, so a line of more than five fields that ends
// in an integer and three flags has its name in everything before those four.
// Otherwise the first field is the name; missing fields are empty, fields
// after the fifth are ignored.
std::array<std::string_view, 5> FilterLineFields(std::string_view line) {
    const std::vector<std::string_view> fields = SplitGbk(line, ",");
    const std::size_t count = fields.size();
    if (count > 5 && IsIntegerField(fields[count - 4]) && IsFlagField(fields[count - 3]) &&
        IsFlagField(fields[count - 2]) && IsFlagField(fields[count - 1])) {
        const auto nameLength =
            static_cast<std::size_t>(fields[count - 4].data() - line.data()) - 1;
        return {line.substr(0, nameLength), fields[count - 4], fields[count - 3], fields[count - 2],
                fields[count - 1]};
    }
    std::array<std::string_view, 5> first{};
    for (std::size_t i = 0; i < first.size() && i < count; ++i) {
        first[i] = fields[i];
    }
    return first;
}

}  // namespace

bool& FilterRow::Flag(int column) {
    return column == kFilterBestColumn         ? best
           : column == kFilterAutoPickUpColumn ? autoPickUp
                                               : showName;
}

bool FilterRow::Flag(int column) const {
    return const_cast<FilterRow*>(this)->Flag(column);
}

std::optional<GbkText> KindLegendLabel(std::string_view code) {
    for (const auto& [entryCode, label] : KindLegend()) {
        if (entryCode == code) {
            return label;
        }
    }
    return std::nullopt;
}

const GbkText& OtherKindLabel() {
    static const GbkText label = Utf8ToGbk("其它");
    return label;
}

FilterRows LoadFilterRows(const ItemMatrix& matrix, int rows) {
    FilterRows filterRows;
    filterRows.reserve(static_cast<std::size_t>(rows));
    for (int item = 1; item <= rows; ++item) {
        // Matrix row 1 holds the column names, so item i is matrix row i + 1.
        FilterRow row;
        row.itemName = GbkText(matrix.Cell(item + 1, ItemRecord::kNameColumn));
        row.itemKind = KindLegendLabel(matrix.Cell(item + 1, ItemRecord::kKindColumn))
                           .value_or(OtherKindLabel());
        filterRows.push_back(std::move(row));
    }
    return filterRows;
}

void SetFlagForAll(FilterRows& rows, int column, bool value) {
    for (FilterRow& row : rows) {
        row.Flag(column) = value;
    }
}

GbkText FormatFilterFile(const FilterRows& rows) {
    std::size_t size = 0;
    for (const FilterRow& row : rows) {
        size += row.itemName.size() + 11;
    }
    GbkText text;
    text.reserve(size);
    for (const FilterRow& row : rows) {
        text += row.itemName;
        text += ",4,";
        text += row.best ? "1," : "0,";
        text += row.autoPickUp ? "1," : "0,";
        text += row.showName ? "1\r\n" : "0\r\n";
    }
    return text;
}

FilterFileBytes EncodeFilterFile(const FilterRows& rows, FilterFileForm form) {
    GbkText text = FormatFilterFile(rows);
    if (form == FilterFileForm::Pc) {
        return {true, std::move(text), 0};
    }
    if (auto utf8 = StrictGbkToUtf8(text)) {
        return {true, std::move(*utf8), 0};
    }
    // Only a name can hold bytes without a UTF-8 form; find the first one.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!StrictGbkToUtf8(rows[i].itemName)) {
            return {false, {}, i};
        }
    }
    return {false, {}, 0};
}

std::optional<FilterRows> ParseFilterFile(std::string_view bytes, FilterFileRefusal* refusal) {
    std::optional<GbkText> decoded = DecodeFilterFileText(bytes, refusal);
    if (!decoded) {
        return std::nullopt;
    }
    const GbkText& text = *decoded;
    const std::string_view content = std::string_view(text).substr(0, text.find('\0'));

    FilterRows rows;
    for (const std::string_view line : SplitLines(content)) {
        if (line.empty()) {
            continue;
        }
        const auto [name, kind, best, autoPickUp, showName] = FilterLineFields(line);
        FilterRow row;
        row.itemName = GbkText(name);
        row.itemKind = KindLegendLabel(kind).value_or(GbkText());
        row.best = best == "1";
        row.autoPickUp = autoPickUp == "1";
        row.showName = showName == "1";
        rows.push_back(std::move(row));
    }
    return rows;
}

bool LooksLikeFilterFile(std::string_view bytes) {
    // Tabs, commas and line breaks are ASCII in both forms and never a
    // trail byte of GBK, so the bytes can be looked at as they are.
    if (bytes.find('\t') != std::string_view::npos) {
        return false;
    }
    std::size_t lines = 0;
    std::size_t withFields = 0;
    for (const std::string_view line : SplitLines(bytes)) {
        if (line.empty()) {
            continue;
        }
        ++lines;
        withFields += std::count(line.begin(), line.end(), ',') >= 4 ? 1 : 0;
    }
    return withFields * 2 >= lines;
}

FilterFileRead ReadFilterFile(const std::string& path) {
    FilterFileRead read;
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxFilterFileSize, &read.error);
    if (!bytes) {
        read.status = read.error.kind == EFBIG ? FilterFileRead::Status::TooLarge
                                               : FilterFileRead::Status::Unreadable;
        return read;
    }
    std::optional<FilterRows> rows = ParseFilterFile(*bytes, &read.refusal);
    if (!rows) {
        read.status = FilterFileRead::Status::Refused;
        return read;
    }
    read.status = FilterFileRead::Status::Ok;
    read.rows = std::move(*rows);
    read.looksLikeFilterFile = LooksLikeFilterFile(*bytes);
    return read;
}

namespace {

// ASCII letters in lower case; the bytes of a double-byte character (whose
// trail byte may look like a letter) stay as they are.
void LowerGbkInto(std::string_view text, std::string& lower) {
    lower.assign(text);
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const auto byte = static_cast<unsigned char>(lower[i]);
        if (byte >= 0x81 && byte <= 0xFE && i + 1 < lower.size()) {
            ++i;
        } else if (byte >= 'A' && byte <= 'Z') {
            lower[i] = static_cast<char>(byte + ('a' - 'A'));
        }
    }
}

}  // namespace

std::ptrdiff_t FindFilterRow(const FilterRows& rows, std::string_view needle, std::ptrdiff_t start,
                             int step) {
    const auto count = static_cast<std::ptrdiff_t>(rows.size());
    if (needle.empty() || count == 0) {
        return -1;
    }
    std::string lowerNeedle;
    LowerGbkInto(needle, lowerNeedle);
    std::string name;  // one buffer for every row
    std::ptrdiff_t row = ((start % count) + count) % count;
    for (std::ptrdiff_t visited = 0; visited < count; ++visited) {
        LowerGbkInto(rows[static_cast<std::size_t>(row)].itemName, name);
        if (FindInGbk(name, lowerNeedle) != std::string_view::npos) {
            return row;
        }
        row = step < 0 ? (row == 0 ? count - 1 : row - 1) : (row + 1 == count ? 0 : row + 1);
    }
    return -1;
}

FilterApplication ApplyFilterRows(FilterRows& rows, const FilterRows& file) {
    std::unordered_map<std::string_view, const FilterRow*> byName;
    for (const FilterRow& row : file) {
        byName[row.itemName] = &row;  // the last line of a name wins
    }
    FilterApplication application;
    std::unordered_set<std::string_view> found;
    for (FilterRow& row : rows) {
        const auto named = byName.find(row.itemName);
        if (named == byName.end()) {
            continue;
        }
        row.best = named->second->best;
        row.autoPickUp = named->second->autoPickUp;
        row.showName = named->second->showName;
        found.insert(named->first);
        ++application.rowsSet;
    }
    std::unordered_set<std::string_view> listed;
    for (const FilterRow& row : file) {
        if (!found.contains(row.itemName) && listed.insert(row.itemName).second) {
            application.namesNotFound.push_back(row.itemName);
        }
    }
    return application;
}

}  // namespace varo
