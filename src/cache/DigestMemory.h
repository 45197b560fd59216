#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/FileIo.h"

namespace varo {

// What the digest engine asks of a memory of earlier digests (the digest
// cache): the digest of a file in exactly this state, if it has one, and to
// keep a digest the engine made. Called from the engine's threads at once.
class DigestMemory {
  public:
    virtual ~DigestMemory() = default;
    // Whether it has anything for the path at all: the file's state is
    // looked up only then.
    virtual bool Knows(const std::string& path) const = 0;
    virtual std::optional<std::string> Recall(const std::string& path,
                                              const FileState& state) const = 0;
    // `file` is the path's place in the job, each remembered once at most,
    // from any thread; `path` is kept by reference: it must stay as it is
    // while the memory lives (the engine passes its job's own paths).
    virtual void Remember(std::size_t file, const std::string& path, const FileState& state,
                          const std::string& md5) = 0;
};

}  // namespace varo
