#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "digest/Md5Lanes.h"

namespace varo {

// MD5 of messages that arrive a few bytes at a time on several threads (the
// bodies of fetches on several connections), digested side by side in the
// vector lanes by as few digest threads as have lanes for them all (one,
// for up to 16 streams on a processor with AVX-512): a digest thread is
// far faster than a network, and a wide vector does the most per cycle.
// Each stream is one producer's: its messages follow one another, and only
// that producer calls Begin, Add and End for it. A stream keeps its lane, so
// no stream waits for one; a producer waits only while its stream has two
// pieces not yet digested, which keeps memory small and lets the network
// wait for the digest.
class Md5Streams {
  public:
    // What a message's digest is handed to, on a digest thread.
    using Done = std::function<void(const Md5Digest&)>;

    // `streams` producers at once. Throws std::system_error when the system
    // will not start a digest thread.
    explicit Md5Streams(int streams);
    // Digests what was given and waits for every Done.
    ~Md5Streams();
    Md5Streams(const Md5Streams&) = delete;
    Md5Streams& operator=(const Md5Streams&) = delete;

    // A new message on `stream`; the one before it must have had its End.
    void Begin(int stream);
    void Add(int stream, std::string_view bytes);
    // The message is complete: `done` hears its digest (none: it is dropped).
    void End(int stream, Done done);
    // Waits until every message ended so far has its digest handed over.
    void Wait();

  private:
    // 4096 blocks: the digest threads wake once per piece, not per network read.
    static constexpr std::size_t kPiece = 256 * 1024;
    struct Piece {
        std::unique_ptr<unsigned char[]> bytes;  // kPiece of them, not cleared
        std::size_t size = 0;
        bool first = false;
        bool last = false;
        Done done;
    };
    // The piece a lane digests where it lies, and how far it has been given.
    struct InLane {
        Piece piece;
        std::size_t given = 0;
        bool finished = true;  // given whole, its last bytes padded if it is the last
        Done running;          // of the message whose end is in the lane
    };
    struct Stream {
        int engine = 0;
        int lane = 0;
        Piece filling;  // the producer's
        InLane inLane;  // the digest thread's
        // Guarded by the engine's mutex:
        std::deque<Piece> queued;
        std::vector<std::unique_ptr<unsigned char[]>> spare;
        bool waiting = false;  // its producer waits for room
        std::condition_variable room;
    };
    struct Engine {
        Md5Lanes lanes;
        std::vector<int> streams;  // by lane
        std::mutex mutex;
        std::condition_variable work;  // a piece queued, or the end
        std::condition_variable idle;  // every message given has its digest
        bool sleeping = false;         // the digest thread waits for work
        std::size_t open = 0;          // messages given and not yet digested
        bool stopping = false;
        std::thread thread;
    };

    // Ends the digest threads that were started.
    void Stop();
    void Queue(Stream& stream, bool last, Done done);
    void Digest(Engine& engine);
    // Gives the lane the next bytes of its piece.
    static void GiveNext(Md5Lanes& lanes, int lane, InLane& inLane);

    std::vector<Stream> streams_;
    std::vector<std::unique_ptr<Engine>> engines_;
};

}  // namespace varo
