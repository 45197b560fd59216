#pragma once

#include <QString>

#include <optional>

#include "checks/Findings.h"

namespace varo {

// The window's question about a finding: its caption and its text, which ends
// in asking whether to go on.
QString FindingCaption(const Finding& finding);
QString FindingQuestionText(const Finding& finding);

// True when there is nothing to ask about, or the user answered 是 (否 is the
// default).
bool ConfirmFinding(const std::optional<Finding>& finding);

}  // namespace varo
