#pragma once

#include <array>
#include <cstddef>
#include <memory>

namespace varo {

// MD5 (RFC 1321) of data given in pieces, through the system's cryptography.
class Md5 {
  public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    // False when the system could not provide the algorithm.
    bool Ok() const;
    void Update(const void* data, std::size_t size);
    std::array<unsigned char, 16> Finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace varo
