#include "digest/Md5Streams.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace varo {

Md5Streams::Md5Streams(int streams) : streams_(std::max(streams, 1)) {
    // As few engines as hold every stream: the widest vectors, the least work.
    const int count = static_cast<int>(streams_.size());
    const int lanes = Md5Lanes().Lanes();
    const int engines = (count + lanes - 1) / lanes;
    for (int e = 0; e < engines; ++e) {
        engines_.push_back(std::make_unique<Engine>(lanes));
    }
    for (int s = 0; s < count; ++s) {
        Stream& stream = streams_[static_cast<std::size_t>(s)];
        stream.engine = s % engines;
        Engine& engine = *engines_[static_cast<std::size_t>(stream.engine)];
        stream.lane = static_cast<int>(engine.streams.size());
        engine.streams.push_back(s);
    }
    for (std::unique_ptr<Engine>& engine : engines_) {
        engine->thread = std::thread([this, &engine = *engine] { Digest(engine); });
    }
}

Md5Streams::~Md5Streams() {
    Wait();
    for (std::unique_ptr<Engine>& engine : engines_) {
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
    filling.bytes.clear();
    filling.first = true;
}

void Md5Streams::Add(int stream, std::string_view bytes) {
    Stream& own = streams_[static_cast<std::size_t>(stream)];
    while (!bytes.empty()) {
        std::vector<unsigned char>& piece = own.filling.bytes;
        const std::size_t take = std::min(bytes.size(), kPiece - piece.size());
        const std::size_t had = piece.size();
        piece.resize(had + take);
        std::memcpy(piece.data() + had, bytes.data(), take);
        bytes.remove_prefix(take);
        if (piece.size() == kPiece) {
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
        engine->room.wait(lock, [&engine] { return engine->open == 0; });
    }
}

void Md5Streams::Queue(Stream& stream, bool last, Done done) {
    Engine& engine = *engines_[static_cast<std::size_t>(stream.engine)];
    std::unique_lock lock(engine.mutex);
    engine.room.wait(lock, [&stream] { return stream.queued.size() < 2; });
    stream.filling.last = last;
    stream.filling.done = std::move(done);
    stream.queued.push_back(std::move(stream.filling));
    engine.open += last ? 1 : 0;
    stream.filling = Piece();
    if (!stream.spare.empty()) {
        stream.filling.bytes = std::move(stream.spare.back());
        stream.spare.pop_back();
    }
    lock.unlock();
    engine.work.notify_one();
    stream.filling.bytes.reserve(kPiece);
}

void Md5Streams::Digest(Engine& engine) {
    std::array<Md5Digest, Md5Lanes::kMaxLanes> digests{};
    std::vector<std::pair<int, Piece>> taken;
    std::vector<int> done;
    Md5Lanes& lanes = engine.lanes;
    const int used = static_cast<int>(engine.streams.size());
    std::unique_lock lock(engine.mutex);
    for (;;) {
        // The next piece of every lane that has digested its last one.
        for (int lane = 0; lane < used; ++lane) {
            Stream& stream = streams_[static_cast<std::size_t>(engine.streams[lane])];
            if (!stream.queued.empty() && (lanes.Free(lane) || lanes.Hungry(lane))) {
                taken.emplace_back(lane, std::move(stream.queued.front()));
                stream.queued.pop_front();
            }
        }
        if (taken.empty() && !lanes.AnyRunning()) {
            if (engine.stopping) {
                return;
            }
            engine.work.wait(lock);
            continue;
        }
        lock.unlock();
        engine.room.notify_all();
        for (auto& [lane, piece] : taken) {
            if (piece.first) {
                lanes.Open(lane);
            }
            unsigned char* room = lanes.Piece(lane, piece.bytes.size());
            if (!piece.bytes.empty()) {
                std::memcpy(room, piece.bytes.data(), piece.bytes.size());
            }
            lanes.Feed(lane, piece.last);
            if (piece.last) {
                streams_[static_cast<std::size_t>(engine.streams[lane])].running =
                    std::move(piece.done);
            }
        }
        done = lanes.Run(digests);
        for (const int lane : done) {
            Done& finished = streams_[static_cast<std::size_t>(engine.streams[lane])].running;
            if (finished) {
                finished(digests[static_cast<std::size_t>(lane)]);
            }
            finished = nullptr;
        }
        lock.lock();
        for (auto& [lane, piece] : taken) {
            Stream& stream = streams_[static_cast<std::size_t>(engine.streams[lane])];
            piece.bytes.clear();
            stream.spare.push_back(std::move(piece.bytes));
        }
        taken.clear();
        engine.open -= done.size();
        if (!done.empty()) {
            engine.room.notify_all();
        }
    }
}

}  // namespace varo
