#include "jobs/LightPillarJob.h"

namespace varo {

LightPillarComputation ComputeLightPillarList(const ItemTable& table,
                                              const LightPillarParameters& parameters) {
    LightPillarComputation computed;
    computed.shineValues = CheckShineValues(table.matrix);
    computed.rows = ComputeLightPillarRows(table.matrix, parameters);
    computed.emptyNote = ExplainEmptyLightPillarList(table, computed.rows.size());
    return computed;
}

PlannedOutput PlanLightPillarFile(const LightPillarList& rows, const std::string& directory) {
    PlannedOutput output{
        directory, kLightPillarFileName, FormatLightPillarFile(rows), rows.size(), {}};
    output.findings = CheckLightPillarFile(rows, output.Path());
    return output;
}

}  // namespace varo
