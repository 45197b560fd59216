#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/ItemMatrix.h"
#include "platform/SystemError.h"
#include "text/GbkText.h"

namespace varo {

// Columns of the filter grid: name, kind label, then the three flags.
enum FilterColumn {
    kFilterNameColumn = 0,
    kFilterKindColumn,
    kFilterBestColumn,
    kFilterAutoPickUpColumn,
    kFilterShowNameColumn,
    kFilterColumnCount,
};

struct FilterRow {
    GbkText itemName;
    GbkText itemKind;  // a label of the kind legend, for display only
    bool best = false;
    bool autoPickUp = false;
    bool showName = false;
    // The name as the database held it, when GBK lacks some of its
    // characters (they are '?' in itemName); empty otherwise.
    std::string lostName;

    bool& Flag(int column);
    bool Flag(int column) const;
    bool operator==(const FilterRow&) const = default;
};

using FilterRows = std::vector<FilterRow>;

// The label of a kind code in the legend "0 穿戴 / 1 武器 / 2 饰品 / 3 药水 / 4 其它",
// compared byte for byte; nothing when the code is not in it.
std::optional<GbkText> KindLegendLabel(std::string_view code);

// The label a load gives to a kind code outside the legend: "其它".
const GbkText& OtherKindLabel();

// The StdItems columns a load reads: name and kind code.
inline const std::vector<int> kFilterItemColumns = {ItemRecord::kNameColumn,
                                                    ItemRecord::kKindColumn};

// One row per item of the StdItems table, in table order, every flag unchecked.
FilterRows LoadFilterRows(const ItemMatrix& matrix, int rows);

// Sets the flag of one of the three flag columns in every row.
void SetFlagForAll(FilterRows& rows, int column, bool value);

// The lines of lsDefaultItemFilter.txt: "name,4,best,pickup,show\r\n" per row.
GbkText FormatFilterFile(const FilterRows& rows);

enum class FilterFileForm { Pc, Mobile };

struct FilterFileBytes {
    bool ok = false;
    std::string bytes;
    std::size_t failedRow = 0;  // the row whose name has no UTF-8 form, when !ok
};

// The file's bytes: the GBK text itself for the PC form, its UTF-8 form for
// the mobile one. A name that cannot be converted fails the whole file.
FilterFileBytes EncodeFilterFile(const FilterRows& rows, FilterFileForm form);

// Why a filter file was not read: the 1-based line, and either a character
// that GBK lacks (its UTF-8 bytes) or bytes that are neither UTF-8 nor GBK.
struct FilterFileRefusal {
    bool characterOutsideGbk = false;
    std::size_t line = 0;
    std::string bytes;
};

// Reads a filter file back. A leading byte-order mark means UTF-8. Other bytes
// that are valid UTF-8 are UTF-8, unless every non-ASCII character of them is
// a two-byte sequence and the bytes are valid GBK too: the PC form, whose
// Chinese names (D0 A1 is 小) often read as UTF-8 as well, then stays GBK.
// Bytes that are not UTF-8 are GBK. Nothing, and the reason in `refusal`,
// when the text holds a character GBK lacks or is neither encoding. A line
// ends at LF or CR LF; empty lines are skipped. A line of more than five
// fields whose last four are an integer and three flags (0 or 1) has its name
// in all before them, commas included; any other line has its name in the
// first field, missing fields count as empty, fields after the fifth are
// ignored.
std::optional<FilterRows> ParseFilterFile(std::string_view bytes,
                                          FilterFileRefusal* refusal = nullptr);

// What applying a filter file to the grid did: how many rows took the flags
// of their name, the names of the file that no row holds (file order), and
// how many of the names found are on more than one row or line.
struct FilterApplication {
    std::size_t rowsSet = 0;
    std::vector<GbkText> namesNotFound;
    std::size_t repeatedNames = 0;
};

// Sets the three flags of every row whose name the file holds (compared byte
// for byte); the other rows keep theirs. A name on several rows and lines
// pairs them in order, the k-th row with the k-th line, and rows beyond the
// name's last line take that line: so a file written from the grid and
// applied again gives every row its own flags back.
FilterApplication ApplyFilterRows(FilterRows& rows, const FilterRows& file);

// The find box of the grid: the first row, visiting `start`, then `start` +
// `step`, … around the end (step 1 or -1), whose name contains `needle`,
// ignoring the case of ASCII letters; a match never starts inside a
// double-byte character. -1 when none does or the needle is empty.
std::ptrdiff_t FindFilterRow(const FilterRows& rows, GbkView needle, std::ptrdiff_t start,
                             int step);

// Where a found row stands among all rows whose names hold `needle` (the
// find box's "第 3 / 17 个"): its 1-based place and how many there are.
struct FilterMatchPlace {
    std::size_t ordinal = 0;
    std::size_t count = 0;
};
FilterMatchPlace PlaceAmongMatches(const FilterRows& rows, GbkView needle, std::size_t row);

// False when the bytes do not look like a filter file: a line holds a tab, or
// most lines lack the five comma-separated fields (such as
// CustomItemNameColors.txt chosen by mistake). Empty text looks like one.
bool LooksLikeFilterFile(std::string_view bytes);

// A filter file of 100,000 items is about 2.5 MB. One of more lines than
// this, ten times the items of a large database, is refused before rows are
// made of it: they could take several times its bytes.
inline constexpr std::size_t kMaxFilterFileLines = 1000000;

// A filter file read for import or apply, and what the front ends report.
struct FilterFileRead {
    enum class Status {
        Ok,
        Unreadable,    // error holds the system's reason
        TooLarge,      // over sizeLimit; not read
        TooManyLines,  // kMaxFilterFileLines lines or more
        Refused,       // neither encoding, or a character GBK lacks: see refusal
    };
    Status status = Status::Unreadable;
    SystemError error;
    std::uint64_t sizeLimit = 0;  // the largest file read, in bytes
    FilterFileRefusal refusal;
    bool looksLikeFilterFile = true;  // see LooksLikeFilterFile
    bool utf8 = false;                // the encoding the file is read in
    std::string bytes;                // the file's bytes, until TakeFilterRows
};

// Reads the file and looks at it (size, lines, encoding, "does this look like
// a filter file"); builds no rows yet, so that a question about the file
// comes before the work and the memory of a large one.
FilterFileRead ReadFilterFile(const std::string& path);
// The rows of a read that is Ok; its bytes are released.
FilterRows TakeFilterRows(FilterFileRead& read);

inline constexpr const char* kFilterFileName = "lsDefaultItemFilter.txt";

}  // namespace varo
