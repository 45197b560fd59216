#pragma once

// jobs: one pipeline per client file, the road both front ends take. Each
// job reads plain inputs (an item table, the rows a page holds, the list
// text, typed values) and plans its output: the bytes, and the findings to
// ask about (the window) or refuse unless accepted (varo-cli). CommitOutput
// then writes the plan in one step. The front ends only gather the inputs,
// ask or refuse, commit and phrase the result.

#include <cstddef>
#include <string>
#include <vector>

#include "checks/Findings.h"
#include "platform/SystemError.h"

namespace varo {

// A client file a job would write.
struct PlannedOutput {
    std::string directory;  // the folder it goes into (file-system encoding)
    std::string fileName;
    std::string bytes;
    std::size_t entries = 0;  // lines or entries, for the report
    std::vector<Finding> findings;

    // The file's path: in `directory`, or in the current folder when that is empty.
    std::string Path() const;
};

// What writing a plan did, in the words the messages need.
struct CommittedOutput {
    enum class Problem {
        None,
        NotAFolder,  // `directory` names a file or something else
        Write,       // the write failed; `error` says why, the old file is as it was
    };
    Problem problem = Problem::None;
    std::string path;
    SystemError error;
    bool replaced = false;  // a file was there before (and is kept after a failure)
    // The file there held these very bytes already and was left as it was
    // (its time too, so that an unchanged release changes no file).
    bool unchanged = false;
    // After a failure for lack of permission: whether the folder itself takes
    // new files (Program Files does not).
    bool folderTakesNewFiles = true;

    bool ok() const { return problem == Problem::None; }
};

// Writes the plan's bytes as one step (the atomic writer), unless the file
// holds them already.
CommittedOutput CommitOutput(const PlannedOutput& output);

}  // namespace varo
