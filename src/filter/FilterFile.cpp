#include "filter/FilterFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/FileIo.h"
#include "text/Ascii.h"
#include "text/CodePage.h"
#include "text/GbkSearch.h"

namespace varo {
namespace {

// The legend as the program holds it: entries separated by CR LF, code and
// label by one space, tried in this order.
constexpr std::string_view kKindLegendUtf8 = "0 穿戴\r\n1 武器\r\n2 饰品\r\n3 药水\r\n4 其它";

// Codes are ASCII digits, the same bytes in either encoding of a file.
const std::vector<std::pair<std::string, GbkText>>& KindLegend() {
    static const auto legend = [] {
        std::vector<std::pair<std::string, GbkText>> entries;
        const GbkText text = Utf8ToGbk(kKindLegendUtf8);
        for (const GbkView entry : SplitGbk(text, "\r\n")) {
            const std::size_t space = entry.Bytes().find(' ');
            entries.emplace_back(entry.Bytes().substr(0, space), GbkText(entry.Part(space + 1)));
        }
        return entries;
    }();
    return legend;
}

enum class FilterEncoding { Gbk, Utf8 };

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// `text` without a leading UTF-8 byte-order mark; `marked` says whether it had one.
std::string_view WithoutByteOrderMark(std::string_view text, bool* marked = nullptr) {
    const bool found = text.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    if (marked != nullptr) {
        *marked = found;
    }
    return found ? text.substr(kByteOrderMark.size()) : text;
}

// The file's encoding by the import's rule, for `bytes` without the
// byte-order mark; nothing, with the reason filled in, when the text cannot
// be held as GBK. Looks at the bytes only: nothing is converted yet.
std::optional<FilterEncoding> FilterFileEncoding(std::string_view bytes, bool marked,
                                                 FilterFileRefusal* refusal) {
    const bool utf8 = marked || IsValidUtf8(bytes);
    if (utf8 && !marked) {
        // Only two-byte sequences (U+0080..U+07FF) and valid GBK: the PC form.
        const bool twoByteOnly = std::none_of(bytes.begin(), bytes.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0xE0;
        });
        if (twoByteOnly && !FindGbkToUtf8Failure(GbkView(bytes))) {
            return FilterEncoding::Gbk;
        }
    }
    // The failure of the reading that applies: UTF-8 when the bytes are UTF-8.
    const std::optional<ConversionFailure> failure =
        utf8 ? FindUtf8ToGbkFailure(bytes) : FindGbkToUtf8Failure(GbkView(bytes));
    if (!failure) {
        return utf8 ? FilterEncoding::Utf8 : FilterEncoding::Gbk;
    }
    if (refusal != nullptr) {
        const std::string_view before = bytes.substr(0, failure->offset);
        const auto line =
            static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
        // Valid UTF-8 that does not convert holds a character GBK lacks.
        const std::string_view character = bytes.substr(failure->offset, failure->length);
        *refusal = {utf8 && IsValidUtf8(character), line, std::string(character)};
    }
    return std::nullopt;
}

// Calls `visit(line)` for every line of the text, its LF and a CR before
// it left out, without a list of lines.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        visit(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
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
// after the fifth are ignored. `commas` is scratch space, kept between lines.
std::array<std::string_view, 5> FilterLineFields(std::string_view line, FilterEncoding encoding,
                                                 std::vector<std::size_t>& commas) {
    commas.clear();
    for (std::size_t i = 0; i < line.size();) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if (byte == ',') {
            commas.push_back(i);
        }
        // In GBK a lead byte takes the next byte with it; a comma is never a trail byte anyway.
        i += encoding == FilterEncoding::Gbk && byte >= 0x81 && byte <= 0xFE && i + 1 < line.size()
                 ? 2
                 : 1;
    }
    const std::size_t count = commas.size() + 1;
    const auto field = [&](std::size_t index) {  // 0-based, index < count
        const std::size_t begin = index == 0 ? 0 : commas[index - 1] + 1;
        const std::size_t end = index + 1 == count ? line.size() : commas[index];
        return line.substr(begin, end - begin);
    };
    if (count > 5 && IsIntegerField(field(count - 4)) && IsFlagField(field(count - 3)) &&
        IsFlagField(field(count - 2)) && IsFlagField(field(count - 1))) {
        return {line.substr(0, commas[count - 5]), field(count - 4), field(count - 3),
                field(count - 2), field(count - 1)};
    }
    std::array<std::string_view, 5> first{};
    for (std::size_t i = 0; i < first.size() && i < count; ++i) {
        first[i] = field(i);
    }
    return first;
}

// The rows of the text of a filter file in the given encoding, the text
// ending at its first zero byte.
FilterRows ParseFilterLines(std::string_view text, FilterEncoding encoding) {
    text = text.substr(0, text.find('\0'));
    FilterRows rows;
    rows.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::vector<std::size_t> commas;
    ForEachLine(text, [&](std::string_view line) {
        if (line.empty()) {
            return;
        }
        const auto [name, kind, best, autoPickUp, showName] =
            FilterLineFields(line, encoding, commas);
        FilterRow row;
        // The whole text converts, so each name does.
        row.itemName = encoding == FilterEncoding::Gbk ? GbkText(GbkView(name)) : Utf8ToGbk(name);
        row.itemKind = KindLegendLabel(kind).value_or(GbkText());
        row.best = best == "1";
        row.autoPickUp = autoPickUp == "1";
        row.showName = showName == "1";
        rows.push_back(std::move(row));
    });
    return rows;
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
        row.itemKind = KindLegendLabel(matrix.Cell(item + 1, ItemRecord::kKindColumn).Bytes())
                           .value_or(OtherKindLabel());
        row.lostName = std::string(matrix.LostText(item + 1, ItemRecord::kNameColumn));
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
        size += row.itemName.Size() + 11;
    }
    std::string text;
    text.reserve(size);
    for (const FilterRow& row : rows) {
        text += row.itemName.Bytes();
        text += ",4,";
        text += row.best ? "1," : "0,";
        text += row.autoPickUp ? "1," : "0,";
        text += row.showName ? "1\r\n" : "0\r\n";
    }
    return GbkText(std::move(text));
}

FilterFileBytes EncodeFilterFile(const FilterRows& rows, FilterFileForm form) {
    GbkText text = FormatFilterFile(rows);
    if (form == FilterFileForm::Pc) {
        return {true, std::move(text).Release(), 0};
    }
    if (auto utf8 = StrictGbkToUtf8(text)) {
        return {true, std::move(*utf8), 0};
    }
    // Only a name can hold bytes without a UTF-8 form (kinds and flags are
    // the legend's and ASCII): the first such name.
    const auto failed = std::find_if(rows.begin(), rows.end(), [](const FilterRow& row) {
        return !StrictGbkToUtf8(row.itemName);
    });
    return {false, {}, static_cast<std::size_t>(failed - rows.begin())};
}

std::optional<FilterRows> ParseFilterFile(std::string_view bytes, FilterFileRefusal* refusal) {
    bool marked = false;
    bytes = WithoutByteOrderMark(bytes, &marked);
    const std::optional<FilterEncoding> encoding = FilterFileEncoding(bytes, marked, refusal);
    if (!encoding) {
        return std::nullopt;
    }
    return ParseFilterLines(bytes, *encoding);
}

bool LooksLikeFilterFile(std::string_view bytes) {
    // Tabs, commas and line breaks are ASCII in both forms and never a
    // trail byte of GBK, so the bytes can be looked at as they are.
    if (bytes.find('\t') != std::string_view::npos) {
        return false;
    }
    std::size_t lines = 0;
    std::size_t withFields = 0;
    ForEachLine(bytes, [&](std::string_view line) {
        if (!line.empty()) {
            ++lines;
            withFields += std::count(line.begin(), line.end(), ',') >= 4 ? 1 : 0;
        }
    });
    return withFields * 2 >= lines;
}

FilterFileRead ReadFilterFile(const std::string& path) {
    FilterFileRead read;
    read.sizeLimit = kLargestWholeFile;
    std::optional<std::string> bytes = ReadWholeFile(path, read.sizeLimit, &read.error);
    if (!bytes) {
        read.status = read.error.kind == EFBIG ? FilterFileRead::Status::TooLarge
                                               : FilterFileRead::Status::Unreadable;
        return read;
    }
    // Sized up and looked at before any row is made: such a file costs its
    // bytes and, once taken, its rows.
    if (static_cast<std::size_t>(std::count(bytes->begin(), bytes->end(), '\n')) >=
        kMaxFilterFileLines) {
        read.status = FilterFileRead::Status::TooManyLines;
        return read;
    }
    bool marked = false;
    const std::string_view text = WithoutByteOrderMark(*bytes, &marked);
    const std::optional<FilterEncoding> encoding = FilterFileEncoding(text, marked, &read.refusal);
    if (!encoding) {
        read.status = FilterFileRead::Status::Refused;
        return read;
    }
    read.status = FilterFileRead::Status::Ok;
    read.looksLikeFilterFile = LooksLikeFilterFile(*bytes);
    read.utf8 = *encoding == FilterEncoding::Utf8;
    read.bytes = std::move(*bytes);
    return read;
}

FilterRows TakeFilterRows(FilterFileRead& read) {
    if (read.status != FilterFileRead::Status::Ok) {
        return {};
    }
    std::string bytes = std::move(read.bytes);
    read.bytes = std::string();
    return ParseFilterLines(WithoutByteOrderMark(bytes),
                            read.utf8 ? FilterEncoding::Utf8 : FilterEncoding::Gbk);
}

namespace {

// ASCII letters in lower case; the bytes of a double-byte character (whose
// trail byte may look like a letter) stay as they are.
void LowerGbkInto(GbkView text, GbkText& gbk) {
    std::string& lower = gbk.Buffer();
    lower.assign(text.Bytes());
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const auto byte = static_cast<unsigned char>(lower[i]);
        if (byte >= 0x81 && byte <= 0xFE && i + 1 < lower.size()) {
            ++i;
        } else {
            lower[i] = AsciiLower(lower[i]);
        }
    }
}

}  // namespace

std::ptrdiff_t FindFilterRow(const FilterRows& rows, GbkView needle, std::ptrdiff_t start,
                             int step) {
    const auto count = static_cast<std::ptrdiff_t>(rows.size());
    if (needle.Empty() || count == 0) {
        return -1;
    }
    GbkText lowerNeedle;
    LowerGbkInto(needle, lowerNeedle);
    GbkText name;  // one buffer for every row
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

FilterMatchPlace PlaceAmongMatches(const FilterRows& rows, GbkView needle, std::size_t row) {
    FilterMatchPlace place;
    if (needle.Empty()) {
        return place;
    }
    GbkText lowerNeedle;
    LowerGbkInto(needle, lowerNeedle);
    GbkText name;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        LowerGbkInto(rows[i].itemName, name);
        if (FindInGbk(name, lowerNeedle) != std::string_view::npos) {
            ++place.count;
            if (i <= row) {
                place.ordinal = place.count;
            }
        }
    }
    return place;
}

FilterApplication ApplyFilterRows(FilterRows& rows, const FilterRows& file) {
    // Each name's lines in file order, and how many rows of the name took one so far.
    struct Lines {
        std::vector<const FilterRow*> lines;
        std::size_t rowsSet = 0;
    };
    std::unordered_map<GbkView, Lines> byName;
    for (const FilterRow& line : file) {
        byName[line.itemName].lines.push_back(&line);
    }
    FilterApplication application;
    for (FilterRow& row : rows) {
        const auto named = byName.find(row.itemName);
        if (named == byName.end()) {
            continue;
        }
        // The k-th row of a name takes the k-th line, the rows beyond the last line the last.
        Lines& lines = named->second;
        const FilterRow& line = *lines.lines[std::min(lines.rowsSet, lines.lines.size() - 1)];
        row.best = line.best;
        row.autoPickUp = line.autoPickUp;
        row.showName = line.showName;
        ++lines.rowsSet;
        ++application.rowsSet;
    }
    std::unordered_set<GbkView> listed;
    for (const FilterRow& line : file) {
        const Lines& lines = byName[line.itemName];
        if (!listed.insert(line.itemName).second) {
            continue;
        }
        if (lines.rowsSet == 0) {
            application.namesNotFound.push_back(line.itemName);
        } else if (lines.rowsSet > 1 || lines.lines.size() > 1) {
            ++application.repeatedNames;
        }
    }
    return application;
}

}  // namespace varo
