#include "pillar/LightPillar.h"

#include <cstdio>
#include <string>

#include "text/TextToInt.h"

namespace varo {

std::string ShineValueText(int shine, int effectImageCount) {
    if (shine == kShineBase) {
        return "0";
    }
    const double product =
        static_cast<double>(shine - kShineBase) * static_cast<double>(effectImageCount);
    // Below 10^13 "%.13g" prints the exact integer; integer formatting is much faster.
    if (product > -1e13 && product < 1e13) {
        return std::to_string(static_cast<long long>(product));
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.13g", product);
    return text;
}

LightPillarList ComputeLightPillarRows(const ItemMatrix& matrix,
                                       const LightPillarParameters& parameters) {
    LightPillarList rows;
    if (matrix.Columns() < ItemRecord::kShineColumn) {
        return rows;
    }
    const int effectImageCount = TextToInt(parameters.effectImageCount);
    // Sized once: a list of 100,000 rows should not be copied while it grows.
    std::size_t count = 0;
    for (int row = 2; row <= matrix.Rows() + 1; ++row) {
        count += TextToInt(matrix.Cell(row, ItemRecord::kShineColumn)) >= kShineBase ? 1 : 0;
    }
    rows.reserve(count);
    // Matrix row 1 holds the column names; the items follow.
    for (int row = 2; row <= matrix.Rows() + 1; ++row) {
        const int shine = TextToInt(matrix.Cell(row, ItemRecord::kShineColumn));
        if (shine < kShineBase) {
            continue;
        }
        rows.push_back(LightPillarRow{
            {
                GbkText(matrix.Cell(row, ItemRecord::kNameColumn)),
                parameters.color,
                GbkText(ShineValueText(shine, effectImageCount)),
                parameters.effectImageCount,
                parameters.pillarFileNumber,
            },
            std::string(matrix.LostText(row, ItemRecord::kNameColumn)),
        });
    }
    return rows;
}

std::string FormatLightPillarFile(const LightPillarList& rows) {
    std::size_t size = 0;
    for (const LightPillarRow& row : rows) {
        for (const GbkText& field : row.fields) {
            size += field.Size() + 1;
        }
        ++size;
    }
    std::string content;
    content.reserve(size);
    for (const LightPillarRow& row : rows) {
        for (int column = 0; column < kLightPillarColumnCount; ++column) {
            content += row.fields[column].Bytes();
            content += column + 1 < kLightPillarColumnCount ? "\t" : "\r\n";
        }
    }
    return content;
}

namespace {

// The text as a whole decimal number within [low, high], digits only.
bool IsNumberWithin(GbkView number, long low, long high) {
    const std::string_view text = number.Bytes();
    if (text.empty() || text.size() > 9) {
        return false;
    }
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return value >= low && value <= high;
}

}  // namespace

std::vector<UnusableLightPillarValue> FindUnusableLightPillarValues(const LightPillarList& rows) {
    std::vector<UnusableLightPillarValue> unusable;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const auto& fields = rows[row].fields;
        if (!IsNumberWithin(fields[kColorColumn], 1, 255)) {
            unusable.push_back({row, kColorColumn});
        }
        for (const int column : {kEffectImageCountColumn, kPillarFileNumberColumn}) {
            if (!IsNumberWithin(fields[column], 1, 999999999)) {
                unusable.push_back({row, column});
            }
        }
    }
    return unusable;
}

}  // namespace varo
