#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Md5.h"

namespace varo {

// MD5 (RFC 1321) of several messages at once, one in each lane of the
// processor's vector registers: 16 lanes with AVX-512, 8 with AVX2, else 4
// with SSE2. One message's blocks depend on each other, so a single digest
// leaves most of the processor idle; side by side, many small files are
// digested in the time of a few. Each message is given whole; a lane that finishes takes the
// next message while the others go on.
class Md5Lanes {
  public:
    static constexpr int kMaxLanes = 16;

    // As many lanes as the processor has, or `most` (4, 8 or 16) when fewer.
    explicit Md5Lanes(int most = kMaxLanes);

    // How many messages are digested side by side on this processor.
    int Lanes() const { return lanes_; }
    bool Free(int lane) const { return !busy_[static_cast<std::size_t>(lane)]; }
    bool AnyBusy() const;

    // Starts digesting `message` in a free lane. The message is copied: its
    // storage may be reused at once.
    void Start(int lane, std::string_view message);
    // The same without a copy: the `size` bytes of the message are written
    // where Message points, then Start(lane) begins.
    unsigned char* Message(int lane, std::size_t size);
    void Start(int lane);

    // Digests until at least one busy lane is done; gives the lanes done,
    // their digests in `digests` (by lane). Nothing when no lane is busy.
    std::vector<int> Run(std::array<Md5Digest, kMaxLanes>& digests);

  private:
    struct Lane {
        std::vector<unsigned char> data;  // the message and its padding
        std::size_t size = 0;             // of the message
        std::size_t blocks = 0;
        std::size_t next = 0;
    };

    int lanes_;
    std::array<bool, kMaxLanes> busy_{};
    std::array<Lane, kMaxLanes> lane_;
    // The state words of every lane: a, b, c, d, lane by lane.
    std::array<std::array<std::uint32_t, kMaxLanes>, 4> state_{};
};

}  // namespace varo
