#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "checks/Findings.h"

namespace varo {

// The window's question about a finding: its caption and its text, which ends
// in asking whether to go on.
QString FindingCaption(const Finding& finding);
QString FindingQuestionText(const Finding& finding);

// True when there is nothing to ask about, or the user answered 是 (否 is the
// default).
bool ConfirmFinding(const std::optional<Finding>& finding);
// Asks about each finding in turn; true when the user answered 是 to all.
bool ConfirmFindings(const std::vector<Finding>& findings);

// Says why a table gave an empty list or grid (a note, not a warning):
// `result` names what is empty ("列表", "表格").
void ShowEmptyTableNote(const EmptyTableNote& note, const QString& caption, const QString& result);

}  // namespace varo
