#include "platform/Md5.h"

#include <openssl/evp.h>

#include <algorithm>

namespace varo {

namespace {

// The algorithm looked up once for the process, not once per digest.
const EVP_MD* Md5Algorithm() {
    static const EVP_MD* const algorithm = [] {
        const EVP_MD* fetched = EVP_MD_fetch(nullptr, "MD5", nullptr);
        return fetched != nullptr ? fetched : EVP_md5();
    }();
    return algorithm;
}

}  // namespace

struct Md5::State {
    EVP_MD_CTX* context = nullptr;
};

Md5::Md5() : state_(std::make_unique<State>()) {
    state_->context = EVP_MD_CTX_new();
    if (state_->context != nullptr &&
        EVP_DigestInit_ex(state_->context, Md5Algorithm(), nullptr) != 1) {
        EVP_MD_CTX_free(state_->context);
        state_->context = nullptr;
    }
}

Md5::~Md5() {
    EVP_MD_CTX_free(state_->context);
}

bool Md5::Ok() const {
    return state_->context != nullptr;
}

bool Md5::Update(const void* data, std::size_t size) {
    return state_->context != nullptr && EVP_DigestUpdate(state_->context, data, size) == 1;
}

bool Md5::Restart() {
    return state_->context != nullptr &&
           EVP_DigestInit_ex(state_->context, Md5Algorithm(), nullptr) == 1;
}

std::optional<Md5Digest> Md5::Finish() {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (state_->context == nullptr || EVP_DigestFinal_ex(state_->context, md, &length) != 1 ||
        length != 16) {
        return std::nullopt;
    }
    Md5Digest digest{};
    std::copy(md, md + 16, digest.begin());
    return digest;
}

}  // namespace varo
