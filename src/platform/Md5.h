#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>

namespace varo {

using Md5Digest = std::array<unsigned char, 16>;

// MD5 (RFC 1321) of data given in pieces, through the system's cryptography.
class Md5 {
  public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    // False when the system could not provide the algorithm.
    bool Ok() const;
    // False when the system failed to take the data; the digest is then lost.
    bool Update(const void* data, std::size_t size);
    // Nothing when the system failed to finish the digest.
    std::optional<Md5Digest> Finish();
    // Starts a new digest with the same object, so that a thread digesting
    // many files sets the algorithm up once. False when the system failed.
    bool Restart();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace varo
