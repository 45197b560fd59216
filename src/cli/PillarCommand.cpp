#include "cli/Commands.h"
#include "jobs/LightPillarJob.h"
#include "text/CodePage.h"

namespace varo::cli {

// As "DB一键计算" followed by "生成光柱文件".
int RunPillar(const PillarOptions& options) {
    const std::optional<ItemTable> table =
        LoadItemTableOrFail(options.database, kLightPillarItemColumns);
    if (!table) {
        return 1;
    }
    const LightPillarParameters parameters{Utf8ToGbk(options.color), Utf8ToGbk(options.effectCount),
                                           Utf8ToGbk(options.pillarFile)};
    const LightPillarComputation computed = ComputeLightPillarList(*table, parameters);
    if (!AllowFinding(computed.shineValues, options.accepted)) {
        return 1;
    }
    if (computed.emptyNote) {
        NoteEmptyTable(*computed.emptyNote, Text::LightPillarList);
    }
    return WriteOutput(PlanLightPillarFile(computed.rows, options.outputDirectory),
                       options.accepted);
}

}  // namespace varo::cli
