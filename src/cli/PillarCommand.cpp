#include "checks/Findings.h"
#include "cli/Commands.h"
#include "db/ItemTable.h"
#include "pillar/LightPillar.h"
#include "text/CodePage.h"

namespace varo::cli {

// As "DB一键计算" followed by "生成光柱文件".
int RunPillar(const PillarOptions& options) {
    SqliteConnection connection;
    const ItemTable table = LoadItemTable(connection, options.database, kLightPillarItemColumns);
    if (!table.ok) {
        return Fail(Shown(options.database) +
                    ": cannot read the item table: " + GbkToUtf8(table.error));
    }
    const LightPillarParameters parameters{Utf8ToGbk(options.color), Utf8ToGbk(options.effectCount),
                                           Utf8ToGbk(options.pillarFile)};
    const LightPillarList rows = ComputeLightPillarRows(table.matrix, parameters);
    if (!AllowFinding(CheckLightPillarValues(rows), options.force)) {
        return 1;
    }
    return WriteOutput(options.outputDirectory, kLightPillarFileName, FormatLightPillarFile(rows),
                       rows.size());
}

}  // namespace varo::cli
