#pragma once

#include <optional>
#include <string>

#include "jobs/Output.h"

namespace varo {

// 载入数据库 / `varo-cli filter --db`: the grid's rows from the item table,
// and why they came out empty if they did.
struct FilterGridFill {
    FilterRows rows;
    std::optional<EmptyTableNote> emptyNote;
};
FilterGridFill FillFilterGrid(const ItemTable& table);

// 导入过滤文件, 按名称套用过滤文件 / --import, --apply: the file as read, and
// the finding to ask about (a file that does not look like a filter file)
// before its rows are taken with TakeFilterRows.
struct FilterFileSource {
    FilterFileRead read;
    std::optional<Finding> finding;  // only when read.status is Ok
};
FilterFileSource ReadFilterFileSource(const std::string& path, FilterFileUse use);

// 生成手机版/PC版过滤文件 / `--form`: lsDefaultItemFilter.txt from the rows.
// `nameWithoutUtf8` is the row whose name the mobile form cannot spell;
// then nothing is planned.
struct FilterFilePlan {
    PlannedOutput output;
    std::optional<std::size_t> nameWithoutUtf8;
};
FilterFilePlan PlanFilterFile(const FilterRows& rows, FilterFileForm form,
                              const std::string& directory);

}  // namespace varo
