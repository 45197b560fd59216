#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/FileIo.h"

namespace varo {

// What the digest engine asks of a memory of earlier digests (the digest
// cache), made for one job's files and asked by a file's place in the job:
// the digest of a file in exactly this state, if it has one, and to keep a
// digest the engine made. Called from the engine's threads at once; each
// file is remembered once at most.
class DigestMemory {
  public:
    virtual ~DigestMemory() = default;
    // Whether it has anything for the file at all: the file's state is
    // looked up only then.
    virtual bool Knows(std::size_t file) const = 0;
    virtual std::optional<std::string> Recall(std::size_t file, const FileState& state) const = 0;
    virtual void Remember(std::size_t file, const FileState& state, const std::string& md5) = 0;
};

}  // namespace varo
