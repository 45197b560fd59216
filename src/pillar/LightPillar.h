#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "db/ItemMatrix.h"
#include "text/GbkText.h"

namespace varo {

// The five texts of one light-pillar row, in screen and file order.
enum LightPillarColumn {
    kItemNameColumn = 0,
    kColorColumn,
    kShineValueColumn,
    kEffectImageCountColumn,
    kPillarFileNumberColumn,
    kLightPillarColumnCount,
};

struct LightPillarRow {
    LightPillarRow() = default;
    LightPillarRow(std::array<GbkText, kLightPillarColumnCount> rowFields, std::string lost = {})
        : fields(std::move(rowFields)), lostName(std::move(lost)) {}

    std::array<GbkText, kLightPillarColumnCount> fields;
    // The name as the database or the user gave it, when GBK lacks some of
    // its characters (they are '?' in the name field); empty otherwise.
    std::string lostName;

    bool operator==(const LightPillarRow&) const = default;
};

using LightPillarList = std::vector<LightPillarRow>;

// The three texts the user sets before computing, copied into rows as typed.
struct LightPillarParameters {
    GbkText color{GbkView("255")};
    GbkText effectImageCount{GbkView("20")};
    GbkText pillarFileNumber{GbkView("1")};
};

// The shine value at and above which an item gets a row, and the offset the
// formula subtracts.
inline constexpr int kShineBase = 100;

// The StdItems columns the computation reads: name and shine value.
inline const std::vector<int> kLightPillarItemColumns = {ItemRecord::kNameColumn,
                                                         ItemRecord::kShineColumn};

// One row per item whose shine value (column 38) reads as 100 or more, in
// table order. A table of fewer than 38 columns gives no rows.
LightPillarList ComputeLightPillarRows(const ItemMatrix& matrix,
                                       const LightPillarParameters& parameters);

// The mobile shine value for a PC shine value S >= 100 and an effect-image
// count N: "0" for 100, else (S - 100) * N in double precision, as "%.13g".
std::string ShineValueText(int shine, int effectImageCount);

// The content of CustomItemNameColors.txt: per row five tab-separated GBK
// fields and CR LF.
std::string FormatLightPillarFile(const LightPillarList& rows);

// A value of a row that a client cannot use: a colour that is not a whole
// number from 1 to 255, an effect-image count or file number that is not a
// whole number above 0.
struct UnusableLightPillarValue {
    std::size_t row = 0;
    int column = 0;
};
std::vector<UnusableLightPillarValue> FindUnusableLightPillarValues(const LightPillarList& rows);

inline constexpr const char* kLightPillarFileName = "CustomItemNameColors.txt";

}  // namespace varo
