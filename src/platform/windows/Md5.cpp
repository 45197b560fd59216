#include "platform/Md5.h"

#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <vector>

namespace varo {

// CNG: the provider is opened once; each digest gets its own hash object.
struct Md5::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    std::vector<unsigned char> object;
};

Md5::Md5() : state_(std::make_unique<State>()) {
    if (BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0) {
        state_->algorithm = nullptr;
        return;
    }
    DWORD objectSize = 0;
    ULONG written = 0;
    if (BCryptGetProperty(state_->algorithm, BCRYPT_OBJECT_LENGTH,
                          reinterpret_cast<PUCHAR>(&objectSize), sizeof objectSize, &written,
                          0) != 0) {
        return;
    }
    state_->object.resize(objectSize);
    if (BCryptCreateHash(state_->algorithm, &state_->hash, state_->object.data(), objectSize,
                         nullptr, 0, 0) != 0) {
        state_->hash = nullptr;
    }
}

Md5::~Md5() {
    if (state_->hash != nullptr) {
        BCryptDestroyHash(state_->hash);
    }
    if (state_->algorithm != nullptr) {
        BCryptCloseAlgorithmProvider(state_->algorithm, 0);
    }
}

bool Md5::Ok() const {
    return state_->hash != nullptr;
}

void Md5::Update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {  // CNG takes at most 4 GiB a call
        const ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), piece, 0);
        bytes += piece;
        size -= piece;
    }
}

std::array<unsigned char, 16> Md5::Finish() {
    std::array<unsigned char, 16> digest{};
    BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    return digest;
}

}  // namespace varo
