#include "jobs/FilterJob.h"

#include <utility>

namespace varo {

FilterGridFill FillFilterGrid(const ItemTable& table) {
    return {LoadFilterRows(table.matrix, table.rows), ExplainEmptyFilterGrid(table)};
}

FilterFileSource ReadFilterFileSource(const std::string& path, FilterFileUse use) {
    FilterFileSource source{ReadFilterFile(path), std::nullopt};
    if (source.read.status == FilterFileRead::Status::Ok) {
        source.finding = CheckFilterFileSource(path, source.read, use);
    }
    return source;
}

FilterFilePlan PlanFilterFile(const FilterRows& rows, FilterFileForm form,
                              const std::string& directory) {
    FilterFilePlan plan;
    FilterFileBytes bytes = EncodeFilterFile(rows, form);
    if (!bytes.ok) {
        plan.nameWithoutUtf8 = bytes.failedRow;
        return plan;
    }
    plan.output = {directory, kFilterFileName, std::move(bytes.bytes), rows.size(), {}};
    plan.output.findings = CheckFilterFile(rows, plan.output.Path(), form, plan.output.bytes);
    return plan;
}

}  // namespace varo
