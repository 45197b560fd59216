#include "checks/Findings.h"
#include "cli/Commands.h"
#include "db/ItemTable.h"
#include "pillar/LightPillar.h"
#include "text/CodePage.h"

namespace varo::cli {

// As "DB一键计算" followed by "生成光柱文件".
int RunPillar(const PillarOptions& options) {
    const std::optional<ItemTable> table =
        LoadItemTableOrFail(options.database, kLightPillarItemColumns);
    if (!table) {
        return 1;
    }
    if (!AllowFinding(CheckShineValues(table->matrix), options.accepted)) {
        return 1;
    }
    const LightPillarParameters parameters{Utf8ToGbk(options.color), Utf8ToGbk(options.effectCount),
                                           Utf8ToGbk(options.pillarFile)};
    const LightPillarList rows = ComputeLightPillarRows(table->matrix, parameters);
    if (const auto note = ExplainEmptyLightPillarList(*table, rows.size())) {
        NoteEmptyTable(*note, "the light-pillar list");
    }
    const std::string path = OutputPath(options.outputDirectory, kLightPillarFileName);
    if (!AllowFindings(CheckLightPillarFile(rows, path), options.accepted)) {
        return 1;
    }
    return WriteOutput(options.outputDirectory, kLightPillarFileName, FormatLightPillarFile(rows),
                       rows.size());
}

}  // namespace varo::cli
