#include "jobs/Output.h"

#include <cerrno>

#include "platform/FileIo.h"
#include "platform/Path.h"

namespace varo {

std::string PlannedOutput::Path() const {
    return JoinPath(directory.empty() ? std::string(".") : directory, fileName);
}

CommittedOutput CommitOutput(const PlannedOutput& output) {
    CommittedOutput committed;
    committed.path = output.Path();
    const PathKind folder = KindOfPath(output.directory.empty() ? "." : output.directory);
    if (folder == PathKind::File || folder == PathKind::Other) {
        committed.problem = CommittedOutput::Problem::NotAFolder;
        committed.error = ErrnoError(ENOTDIR);
        return committed;
    }
    committed.replaced = KindOfPath(committed.path) == PathKind::File;
    if (committed.replaced && FileHoldsExactly(committed.path, output.bytes)) {
        committed.unchanged = true;
        return committed;
    }
    const FileWriteResult result = WriteFileAtomically(committed.path, output.bytes);
    if (result.ok) {
        return committed;
    }
    committed.problem = CommittedOutput::Problem::Write;
    committed.error = result.error;
    const int kind = result.error.kind;
    if (kind == EACCES || kind == EPERM || kind == EROFS) {
        committed.folderTakesNewFiles = FolderTakesNewFiles(output.directory);
    }
    return committed;
}

}  // namespace varo
