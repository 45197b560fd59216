#pragma once

#include <optional>
#include <string>

#include "jobs/Output.h"

namespace varo {

// DB一键计算 / `varo-cli pillar`: the list from the item table. The shine
// finding is asked (or refused) before the list replaces anything; the note
// says why a list came out empty.
struct LightPillarComputation {
    std::optional<Finding> shineValues;
    LightPillarList rows;
    std::optional<EmptyTableNote> emptyNote;
};
LightPillarComputation ComputeLightPillarList(const ItemTable& table,
                                              const LightPillarParameters& parameters);

// 生成光柱文件: CustomItemNameColors.txt from the list's rows, into `directory`.
PlannedOutput PlanLightPillarFile(const LightPillarList& rows, const std::string& directory);

}  // namespace varo
