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
// leaves most of the processor idle; side by side, many files are digested
// in the time of a few. A message is given whole (a small file), or a piece
// at a time (a large one: each lane streams its own file); a lane that
// finishes takes the next message while the others go on. When only a few
// lanes have blocks to digest, they run in the narrowest vector that holds
// them (one alone without a vector), so a lane never waits on idle ones.
class Md5Lanes {
  public:
    static constexpr int kMaxLanes = 16;

    // As many lanes as the processor has, or `most` (4, 8 or 16) when fewer.
    explicit Md5Lanes(int most = kMaxLanes);

    // How many messages are digested side by side on this processor.
    int Lanes() const { return lanes_; }
    // No message in the lane.
    bool Free(int lane) const { return Of(lane).status == Status::Free; }
    // Its message waits for its next piece (Piece, then Feed).
    bool Hungry(int lane) const { return Of(lane).status == Status::Hungry; }
    // A message in any lane, waiting or not.
    bool AnyBusy() const;
    // A lane with blocks to digest: Run has work.
    bool AnyRunning() const;

    // Starts digesting `message` whole in a free lane. The message is copied:
    // its storage may be reused at once.
    void Start(int lane, std::string_view message);
    // The same without a copy: the `size` bytes of the message are written
    // where Message points, then Start(lane) begins.
    unsigned char* Message(int lane, std::size_t size);
    void Start(int lane);

    // A message given a piece at a time: Open in a free lane, then for each
    // piece its `size` bytes written where Piece points and Feed. Every piece
    // but the last holds a whole number of 64-byte blocks (none empty).
    void Open(int lane);
    unsigned char* Piece(int lane, std::size_t size) { return Message(lane, size); }
    void Feed(int lane, bool last);
    // A piece of whole blocks (not the last) digested where it lies, not
    // copied: its `size` bytes must stay as they are until the lane is
    // hungry again.
    void Lend(int lane, const unsigned char* blocks, std::size_t size);
    // Gives the lane up (its file failed): it is free again.
    void Abandon(int lane);

    // Digests until a lane with blocks to digest is done or wants its next
    // piece; gives the lanes done, their digests in `digests` (by lane).
    // Nothing when no lane has blocks to digest.
    std::vector<int> Run(std::array<Md5Digest, kMaxLanes>& digests);

  private:
    enum class Status { Free, Running, Hungry };
    struct Lane {
        std::vector<unsigned char> data;      // the piece, and the padding after the last
        const unsigned char* lent = nullptr;  // the piece, when it is not in `data`
        std::size_t size = 0;                 // of the piece
        std::size_t blocks = 0;
        std::size_t next = 0;
        std::uint64_t total = 0;  // the message's bytes so far
        bool last = false;
        Status status = Status::Free;
    };
    const Lane& Of(int lane) const { return lane_[static_cast<std::size_t>(lane)]; }

    int lanes_;
    std::array<Lane, kMaxLanes> lane_;
    // The state words of every lane: a, b, c, d, lane by lane.
    std::array<std::array<std::uint32_t, kMaxLanes>, 4> state_{};
};

}  // namespace varo
