#pragma once

#include "jobs/Output.h"

namespace varo {

// Writes a job's planned file in one step. When that fails, a warning names
// the file and the reason (a folder that takes no file, with what to do
// about it) and, when there was a previous file, says that it is unchanged;
// the result is then false.
bool WriteOutputFile(const PlannedOutput& output);

}  // namespace varo
