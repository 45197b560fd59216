#include "pillar/LightPillar.h"

#include <cstdio>

#include "text/TextToInt.h"

namespace varo {

std::string ShineValueText(int shine, int effectImageCount) {
    if (shine == kShineBase) {
        return "0";
    }
    const double product =
        static_cast<double>(shine - kShineBase) * static_cast<double>(effectImageCount);
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
    // Matrix row 1 holds the column names; the items follow.
    for (int row = 2; row <= matrix.Rows() + 1; ++row) {
        const int shine = TextToInt(matrix.Cell(row, ItemRecord::kShineColumn));
        if (shine < kShineBase) {
            continue;
        }
        rows.push_back(LightPillarRow{{
            GbkText(matrix.Cell(row, ItemRecord::kNameColumn)),
            parameters.color,
            ShineValueText(shine, effectImageCount),
            parameters.effectImageCount,
            parameters.pillarFileNumber,
        }});
    }
    return rows;
}

std::string FormatLightPillarFile(const LightPillarList& rows) {
    std::string content;
    for (const LightPillarRow& row : rows) {
        for (int column = 0; column < kLightPillarColumnCount; ++column) {
            content += row.fields[column];
            content += column + 1 < kLightPillarColumnCount ? "\t" : "\r\n";
        }
    }
    return content;
}

}  // namespace varo
