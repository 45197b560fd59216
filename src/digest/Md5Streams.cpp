#include "digest/Md5Streams.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace varo {

Md5Streams::Md5Streams(int streams) : streams_(static_cast<std::size_t>(std::max(streams, 1))) {
    // As few engines as hold every stream: the widest vectors, the least work.
    const int count = static_cast<int>(streams_.size());
    const int lanes = Md5Lanes().Lanes();
    const int engines = (count + lanes - 1) / lanes;
    for (int e = 0; e < engines; ++e) {
        engines_.push_back(std::make_unique<Engine>());
    }
    for (int s = 0; s < count; ++s) {
        Stream& stream = streams_[static_cast<std::size_t>(s)];
        stream.engine = s % engines;
        Engine& engine = *engines_[static_cast<std::size_t>(stream.engine)];
        stream.lane = static_cast<int>(engine.streams.size());
        engine.streams.push_back(s);
    }
    try {
        for (std::unique_ptr<Engine>& engine : engines_) {
            engine->thread = std::thread([this, &engine = *engine] { Digest(engine); });
        }
    } catch (...) {
        Stop();  // the system would start no more threads: none is left running
        throw;
    }
}

Md5Streams::~Md5Streams() {
    Wait();
    Stop();
}

void Md5Streams::Stop() {
    for (std::unique_ptr<Engine>& engine : engines_) {
        if (!engine->thread.joinable()) {
            continue;
        }
        {
            std::lock_guard lock(engine->mutex);
            engine->stopping = true;
        }
        engine->work.notify_one();
        engine->thread.join();
    }
}

void Md5Streams::Begin(int stream) {
    Piece& filling = streams_[static_cast<std::size_t>(stream)].filling;
    if (!filling.bytes) {
        filling.bytes.reset(new unsigned char[kPiece]);
    }
    filling.size = 0;
    filling.first = true;
}

void Md5Streams::Add(int stream, std::string_view bytes) {
    Stream& own = streams_[static_cast<std::size_t>(stream)];
    while (!bytes.empty()) {
        Piece& piece = own.filling;
        const std::size_t take = std::min(bytes.size(), kPiece - piece.size);
        std::memcpy(piece.bytes.get() + piece.size, bytes.data(), take);
        piece.size += take;
        bytes.remove_prefix(take);
        if (piece.size == kPiece) {
            Queue(own, false, nullptr);
        }
    }
}

void Md5Streams::End(int stream, Done done) {
    Queue(streams_[static_cast<std::size_t>(stream)], true, std::move(done));
}

void Md5Streams::Wait() {
    for (std::unique_ptr<Engine>& engine : engines_) {
        std::unique_lock lock(engine->mutex);
        engine->idle.wait(lock, [&engine] { return engine->open == 0; });
    }
}

void Md5Streams::Queue(Stream& stream, bool last, Done done) {
    Engine& engine = *engines_[static_cast<std::size_t>(stream.engine)];
    std::unique_lock lock(engine.mutex);
    while (stream.queued.size() >= 2) {
        stream.waiting = true;
        stream.room.wait(lock);
        stream.waiting = false;
    }
    stream.filling.last = last;
    stream.filling.done = std::move(done);
    stream.queued.push_back(std::move(stream.filling));
    engine.open += last ? 1 : 0;
    stream.filling = Piece();
    if (!stream.spare.empty()) {
        stream.filling.bytes = std::move(stream.spare.back());
        stream.spare.pop_back();
    }
    const bool wake = engine.sleeping;
    lock.unlock();
    if (wake) {
        engine.work.notify_one();
    }
    if (!stream.filling.bytes) {
        stream.filling.bytes.reset(new unsigned char[kPiece]);
    }
}

void Md5Streams::GiveNext(Md5Lanes& lanes, int lane, InLane& inLane) {
    Piece& piece = inLane.piece;
    if (piece.first && inLane.given == 0) {
        lanes.Open(lane);
    }
    const std::size_t rest = piece.size - inLane.given;
    const unsigned char* at = piece.bytes.get() + inLane.given;
    if (!piece.last || rest >= 64) {
        // Whole blocks, digested where they lie.
        const std::size_t whole = piece.last ? rest / 64 * 64 : rest;
        lanes.Lend(lane, at, whole);
        inLane.given += whole;
        inLane.finished = !piece.last;
        return;
    }
    // The message's last bytes, copied to be padded.
    unsigned char* room = lanes.Piece(lane, rest);
    if (rest > 0) {
        std::memcpy(room, at, rest);
    }
    lanes.Feed(lane, true);
    inLane.given = piece.size;
    inLane.finished = true;
    inLane.running = std::move(piece.done);
}

void Md5Streams::Digest(Engine& engine) {
    std::array<Md5Digest, Md5Lanes::kMaxLanes> digests{};
    std::vector<int> ready;
    Md5Lanes& lanes = engine.lanes;
    const int used = static_cast<int>(engine.streams.size());
    std::unique_lock lock(engine.mutex);
    for (;;) {
        // Every lane that has digested what it was given gets its next bytes:
        // the rest of its piece, or the next piece queued.
        ready.clear();
        for (int lane = 0; lane < used; ++lane) {
            if (!lanes.Free(lane) && !lanes.Hungry(lane)) {
                continue;
            }
            Stream& stream = streams_[static_cast<std::size_t>(engine.streams[lane])];
            InLane& inLane = stream.inLane;
            if (!inLane.finished) {
                ready.push_back(lane);
            } else if (!stream.queued.empty()) {
                if (inLane.piece.bytes) {
                    stream.spare.push_back(std::move(inLane.piece.bytes));
                }
                inLane.piece = std::move(stream.queued.front());
                stream.queued.pop_front();
                inLane.given = 0;
                inLane.finished = false;
                ready.push_back(lane);
                if (stream.waiting) {
                    stream.room.notify_one();
                }
            }
        }
        if (ready.empty() && !lanes.AnyRunning()) {
            if (engine.stopping) {
                return;
            }
            engine.sleeping = true;
            engine.work.wait(lock);
            engine.sleeping = false;
            continue;
        }
        lock.unlock();
        for (const int lane : ready) {
            GiveNext(lanes, lane, streams_[static_cast<std::size_t>(engine.streams[lane])].inLane);
        }
        const std::vector<int> done = lanes.Run(digests);
        for (const int lane : done) {
            Done& finished =
                streams_[static_cast<std::size_t>(engine.streams[lane])].inLane.running;
            if (finished) {
                finished(digests[static_cast<std::size_t>(lane)]);
            }
            finished = nullptr;
        }
        lock.lock();
        engine.open -= done.size();
        if (!done.empty() && engine.open == 0) {
            engine.idle.notify_all();
        }
    }
}

}  // namespace varo
