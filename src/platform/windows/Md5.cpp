#include "platform/Md5.h"

#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <vector>

namespace varo {
namespace {

// CNG: the provider is opened once for the process (its handle serves every
// thread); each digest gets its own hash object.
BCRYPT_ALG_HANDLE Md5Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (BCryptOpenAlgorithmProvider(&handle, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0) {
            return BCRYPT_ALG_HANDLE{nullptr};
        }
        return handle;
    }();
    return provider;
}

}  // namespace

struct Md5::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
    std::vector<unsigned char> object;
};

Md5::Md5() : state_(std::make_unique<State>()) {
    const BCRYPT_ALG_HANDLE provider = Md5Provider();
    if (provider == nullptr) {
        return;
    }
    DWORD objectSize = 0;
    ULONG written = 0;
    if (BCryptGetProperty(provider, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                          sizeof objectSize, &written, 0) != 0) {
        return;
    }
    state_->object.resize(objectSize);
    Restart();
}

bool Md5::Restart() {
    // A finished hash object cannot take data again: a new one in the same memory.
    if (state_->hash != nullptr) {
        BCryptDestroyHash(state_->hash);
        state_->hash = nullptr;
    }
    const BCRYPT_ALG_HANDLE provider = Md5Provider();
    if (provider == nullptr || state_->object.empty() ||
        BCryptCreateHash(provider, &state_->hash, state_->object.data(),
                         static_cast<ULONG>(state_->object.size()), nullptr, 0, 0) != 0) {
        state_->hash = nullptr;
        return false;
    }
    return true;
}

Md5::~Md5() {
    if (state_->hash != nullptr) {
        BCryptDestroyHash(state_->hash);
    }
}

bool Md5::Ok() const {
    return state_->hash != nullptr;
}

bool Md5::Update(const void* data, std::size_t size) {
    if (state_->hash == nullptr) {
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {  // CNG takes at most 4 GiB a call
        const ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        if (BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), piece, 0) != 0) {
            return false;
        }
        bytes += piece;
        size -= piece;
    }
    return true;
}

std::optional<Md5Digest> Md5::Finish() {
    Md5Digest digest{};
    if (state_->hash == nullptr ||
        BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0) != 0) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace varo
