#include "digest/Md5Lanes.h"

#include <algorithm>
#include <bit>
#include <cstring>

// The vector helpers below pass 32- and 64-byte vectors by value; they are
// always inlined into their callers (AVX2 or AVX-512 where those are), so no
// call ever crosses the ABI the compilers warn about.
#if defined(__clang__)
#if __has_warning("-Wpsabi")
#pragma clang diagnostic ignored "-Wpsabi"
#endif
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace varo {
namespace {

// The sines and shifts of RFC 1321, step by step.
constexpr std::uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                             5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                             4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                             6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
constexpr std::uint32_t kStart[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

// A block of 64 zero bytes for the lanes with nothing to digest.
constexpr unsigned char kIdleBlock[64] = {};

using Lanes4 = std::uint32_t __attribute__((vector_size(16)));
using Lanes8 = std::uint32_t __attribute__((vector_size(32)));
using Lanes16 = std::uint32_t __attribute__((vector_size(64)));

std::uint32_t LittleEndianWord(const unsigned char* bytes) {
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    if constexpr (std::endian::native == std::endian::big) {
        word = (word >> 24) | ((word >> 8) & 0xFF00) | ((word << 8) & 0xFF0000) | (word << 24);
    }
    return word;
}

template <typename V>
[[gnu::always_inline]] inline V Rotate(V x, int s) {
    return (x << s) | (x >> (32 - s));
}

// Step i of the 64, with the round's function of b, c, d already taken. A
// function always inlined, not a lambda: it must become part of the vector
// code of its caller in every build, unoptimised ones too, so that no vector
// crosses a call between code for different instruction sets.
template <typename V>
[[gnu::always_inline]] inline void Step(V& a, V& b, V& c, V& d, V f, V word, int i) {
    const V t = a + f + word + kSines[i];
    a = d;
    d = c;
    c = b;
    b = b + Rotate(t, kShifts[i]);
}

// One 64-byte block of every lane: lane i's block at blocks[i].
template <typename V, int N>
[[gnu::always_inline]] inline void Compress(std::uint32_t (&state)[4][N],
                                            const unsigned char* const* blocks) {
    // The blocks' words, word by word across the lanes.
    std::uint32_t words[16][N];
    for (int word = 0; word < 16; ++word) {
        for (int lane = 0; lane < N; ++lane) {
            words[word][lane] = LittleEndianWord(blocks[lane] + 4 * word);
        }
    }
    V m[16];
    std::memcpy(m, words, sizeof m);
    V a, b, c, d;
    std::memcpy(&a, state[0], sizeof a);
    std::memcpy(&b, state[1], sizeof b);
    std::memcpy(&c, state[2], sizeof c);
    std::memcpy(&d, state[3], sizeof d);
    const V a0 = a, b0 = b, c0 = c, d0 = d;
    for (int i = 0; i < 16; ++i) {
        Step(a, b, c, d, (b & c) | (~b & d), m[i], i);
    }
    for (int i = 16; i < 32; ++i) {
        Step(a, b, c, d, (d & b) | (~d & c), m[(5 * i + 1) & 15], i);
    }
    for (int i = 32; i < 48; ++i) {
        Step(a, b, c, d, b ^ c ^ d, m[(3 * i + 5) & 15], i);
    }
    for (int i = 48; i < 64; ++i) {
        Step(a, b, c, d, c ^ (b | ~d), m[(7 * i) & 15], i);
    }
    a += a0;
    b += b0;
    c += c0;
    d += d0;
    std::memcpy(state[0], &a, sizeof a);
    std::memcpy(state[1], &b, sizeof b);
    std::memcpy(state[2], &c, sizeof c);
    std::memcpy(state[3], &d, sizeof d);
}

void Compress1(std::uint32_t (&state)[4][1], const unsigned char* const* blocks) {
    Compress<std::uint32_t, 1>(state, blocks);
}

void Compress4(std::uint32_t (&state)[4][4], const unsigned char* const* blocks) {
    Compress<Lanes4, 4>(state, blocks);
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx2")]] void Compress8(std::uint32_t (&state)[4][8],
                                       const unsigned char* const* blocks) {
    Compress<Lanes8, 8>(state, blocks);
}

[[gnu::target("avx512f")]] void Compress16(std::uint32_t (&state)[4][16],
                                           const unsigned char* const* blocks) {
    Compress<Lanes16, 16>(state, blocks);
}

// Four and eight lanes again, for processors with AVX-512 on the narrower
// vectors too: a rotate is one instruction there, not three.
[[gnu::target("avx512f,avx512vl")]] void Compress4Rotating(std::uint32_t (&state)[4][4],
                                                           const unsigned char* const* blocks) {
    Compress<Lanes4, 4>(state, blocks);
}

[[gnu::target("avx512f,avx512vl")]] void Compress8Rotating(std::uint32_t (&state)[4][8],
                                                           const unsigned char* const* blocks) {
    Compress<Lanes8, 8>(state, blocks);
}

int LanesOfThisProcessor() {
    return __builtin_cpu_supports("avx512f") ? 16 : __builtin_cpu_supports("avx2") ? 8 : 4;
}

using Compress4Function = void (*)(std::uint32_t (&)[4][4], const unsigned char* const*);
using Compress8Function = void (*)(std::uint32_t (&)[4][8], const unsigned char* const*);

Compress4Function Narrow() {
    static const Compress4Function compress =
        __builtin_cpu_supports("avx512vl") ? Compress4Rotating : Compress4;
    return compress;
}

Compress8Function Middle() {
    static const Compress8Function compress =
        __builtin_cpu_supports("avx512vl") ? Compress8Rotating : Compress8;
    return compress;
}
#else
void Compress8(std::uint32_t (&state)[4][8], const unsigned char* const* blocks) {
    Compress<Lanes8, 8>(state, blocks);
}

void Compress16(std::uint32_t (&state)[4][16], const unsigned char* const* blocks) {
    Compress<Lanes16, 16>(state, blocks);
}

int LanesOfThisProcessor() {
    return 4;
}

auto Narrow() {
    return Compress4;
}

auto Middle() {
    return Compress8;
}
#endif

// The compact state of the running lanes through N lanes of compression,
// block after block, until one of the first `count` is at its last block.
template <int N>
void CompressRunning(std::uint32_t (&compact)[4][Md5Lanes::kMaxLanes], int count,
                     const unsigned char* (&blocks)[Md5Lanes::kMaxLanes],
                     const std::size_t (&left)[Md5Lanes::kMaxLanes],
                     void (*compress)(std::uint32_t (&)[4][N], const unsigned char* const*)) {
    std::uint32_t lanes[4][N];
    for (int word = 0; word < 4; ++word) {
        std::copy(compact[word], compact[word] + N, lanes[word]);
    }
    // As many blocks as the lane nearest its end has.
    const std::size_t steps = *std::min_element(left, left + count);
    for (std::size_t step = 0; step < steps; ++step) {
        compress(lanes, blocks);
        for (int k = 0; k < count; ++k) {
            blocks[k] += 64;
        }
    }
    for (int word = 0; word < 4; ++word) {
        std::copy(lanes[word], lanes[word] + N, compact[word]);
    }
}

}  // namespace

Md5Lanes::Md5Lanes(int most) : lanes_(std::min(most, LanesOfThisProcessor())) {}

bool Md5Lanes::AnyBusy() const {
    return std::any_of(lane_.begin(), lane_.begin() + lanes_,
                       [](const Lane& lane) { return lane.status != Status::Free; });
}

bool Md5Lanes::AnyRunning() const {
    return std::any_of(lane_.begin(), lane_.begin() + lanes_,
                       [](const Lane& lane) { return lane.status == Status::Running; });
}

void Md5Lanes::Start(int lane, std::string_view message) {
    std::copy(message.begin(), message.end(), Message(lane, message.size()));
    Start(lane);
}

unsigned char* Md5Lanes::Message(int lane, std::size_t size) {
    Lane& slot = lane_[static_cast<std::size_t>(lane)];
    slot.size = size;
    slot.lent = nullptr;
    // Room for the padding too, should this be the last piece. Grown, never
    // shrunk or cleared: the padding sets every byte after the message.
    const std::size_t room = ((size + 8) / 64 + 1) * 64;
    if (slot.data.size() < room) {
        slot.data.resize(room);
    }
    return slot.data.data();
}

void Md5Lanes::Start(int lane) {
    const std::size_t size = lane_[static_cast<std::size_t>(lane)].size;
    Open(lane);
    lane_[static_cast<std::size_t>(lane)].size = size;
    Feed(lane, true);
}

void Md5Lanes::Open(int lane) {
    Lane& slot = lane_[static_cast<std::size_t>(lane)];
    slot.total = 0;
    slot.size = 0;
    slot.status = Status::Hungry;
    for (int word = 0; word < 4; ++word) {
        state_[static_cast<std::size_t>(word)][static_cast<std::size_t>(lane)] = kStart[word];
    }
}

void Md5Lanes::Feed(int lane, bool last) {
    Lane& slot = lane_[static_cast<std::size_t>(lane)];
    slot.total += slot.size;
    slot.last = last;
    slot.next = 0;
    if (!last) {
        slot.blocks = slot.size / 64;
    } else {
        // The piece, 0x80, zeros up to 56 bytes into a block, the length in bits.
        slot.blocks = (slot.size + 8) / 64 + 1;
        unsigned char* end = slot.data.data() + slot.blocks * 64;
        std::fill(slot.data.data() + slot.size, end - 8, 0);
        slot.data[slot.size] = 0x80;
        const std::uint64_t bits = slot.total * 8;
        for (std::size_t i = 0; i < 8; ++i) {
            end[static_cast<std::ptrdiff_t>(i) - 8] = static_cast<unsigned char>(bits >> (8 * i));
        }
    }
    slot.status = slot.blocks > 0 ? Status::Running : Status::Hungry;
}

void Md5Lanes::Lend(int lane, const unsigned char* blocks, std::size_t size) {
    Lane& slot = lane_[static_cast<std::size_t>(lane)];
    slot.size = size;
    Feed(lane, false);
    slot.lent = blocks;
}

void Md5Lanes::Abandon(int lane) {
    lane_[static_cast<std::size_t>(lane)].status = Status::Free;
}

std::vector<int> Md5Lanes::Run(std::array<Md5Digest, kMaxLanes>& digests) {
    std::vector<int> done;
    // The running lanes, gathered to the front of a narrow vector.
    int running[kMaxLanes];
    int count = 0;
    for (int lane = 0; lane < lanes_; ++lane) {
        if (Of(lane).status == Status::Running) {
            running[count++] = lane;
        }
    }
    if (count == 0) {
        return done;
    }
    std::uint32_t compact[4][kMaxLanes] = {};
    const unsigned char* blocks[kMaxLanes];
    std::size_t left[kMaxLanes];
    for (int k = 0; k < kMaxLanes; ++k) {
        if (k < count) {
            const Lane& slot = Of(running[k]);
            blocks[k] = (slot.lent != nullptr ? slot.lent : slot.data.data()) + slot.next * 64;
            left[k] = slot.blocks - slot.next;
            for (int word = 0; word < 4; ++word) {
                compact[word][k] =
                    state_[static_cast<std::size_t>(word)][static_cast<std::size_t>(running[k])];
            }
        } else {
            blocks[k] = kIdleBlock;
        }
    }
    // The places after the running lanes read their zero block again and
    // again: they never advance.
    if (count == 1) {
        CompressRunning<1>(compact, count, blocks, left, Compress1);
    } else if (count <= 4) {
        CompressRunning<4>(compact, count, blocks, left, Narrow());
    } else if (count <= 8) {
        CompressRunning<8>(compact, count, blocks, left, Middle());
    } else {
        CompressRunning<16>(compact, count, blocks, left, Compress16);
    }
    const std::size_t steps = *std::min_element(left, left + count);
    for (int k = 0; k < count; ++k) {
        const int lane = running[k];
        Lane& slot = lane_[static_cast<std::size_t>(lane)];
        for (int word = 0; word < 4; ++word) {
            state_[static_cast<std::size_t>(word)][static_cast<std::size_t>(lane)] =
                compact[word][k];
        }
        slot.next += steps;
        if (slot.next < slot.blocks) {
            continue;
        }
        if (!slot.last) {
            slot.status = Status::Hungry;
            continue;
        }
        Md5Digest& digest = digests[static_cast<std::size_t>(lane)];
        for (int word = 0; word < 4; ++word) {
            const std::uint32_t value = compact[word][k];
            for (int i = 0; i < 4; ++i) {
                digest[static_cast<std::size_t>(4 * word + i)] =
                    static_cast<unsigned char>(value >> (8 * i));
            }
        }
        slot.status = Status::Free;
        done.push_back(lane);
    }
    return done;
}

}  // namespace varo
