#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <charconv>
#include <chrono>
#include <string>
#include <type_traits>

#include "platform/SharedLibrary.h"
#include "text/Ascii.h"

namespace varo {
namespace {

// libcurl's functions, bound when the first connection is made: a run that
// fetches nothing (every job but a verify of an address) does not load it and
// the thirty libraries it needs, which cost every start about 11 ms.
struct CurlApi {
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_easy_reset) easyReset = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_perform) easyPerform = nullptr;
    decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&curl_easy_strerror) easyStrerror = nullptr;
    decltype(&curl_slist_append) slistAppend = nullptr;
    decltype(&curl_slist_free_all) slistFreeAll = nullptr;
    bool ok = false;
};

constexpr const char* kCurlLibraryFileName = "libcurl.so.4";

const CurlApi& Curl() {
    static SharedLibrary library(kCurlLibraryFileName);
    static const CurlApi api = [] {
        CurlApi bound;
        const auto bind = [](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                library.TrySymbol(name));
            return function != nullptr;
        };
        decltype(&curl_global_init) globalInit = nullptr;
        bound.ok = bind(globalInit, "curl_global_init") && bind(bound.easyInit, "curl_easy_init") &&
                   bind(bound.easyCleanup, "curl_easy_cleanup") &&
                   bind(bound.easyReset, "curl_easy_reset") &&
                   bind(bound.easySetopt, "curl_easy_setopt") &&
                   bind(bound.easyPerform, "curl_easy_perform") &&
                   bind(bound.easyGetinfo, "curl_easy_getinfo") &&
                   bind(bound.easyStrerror, "curl_easy_strerror") &&
                   bind(bound.slistAppend, "curl_slist_append") &&
                   bind(bound.slistFreeAll, "curl_slist_free_all") &&
                   globalInit(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        return bound;
    }();
    return api;
}

// A header's value when `line` is that header ("Name: value\r\n"), else nothing.
std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':' ||
        AsciiLower(line.substr(0, name.size())) != AsciiLower(name)) {
        return std::nullopt;
    }
    std::string_view value = line.substr(name.size() + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
    }
    while (!value.empty() &&
           (value.back() == '\r' || value.back() == '\n' || value.back() == ' ')) {
        value.remove_suffix(1);
    }
    return value;
}

std::optional<std::uint64_t> Number(std::string_view digits) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

struct Transfer {
    const HttpRequest* request = nullptr;
    HttpResponse* response = nullptr;
    bool stopped = false;
    bool stalled = false;
    bool sized = false;  // ended once the headers gave the size
    int stallMilliseconds = 0;
    curl_off_t lastBytes = -1;
    std::chrono::steady_clock::time_point lastChange = std::chrono::steady_clock::now();
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    Transfer& transfer = *static_cast<Transfer*>(user);
    const std::string_view line(data, size * count);
    HttpResponse& response = *transfer.response;
    if (line.rfind("HTTP/", 0) == 0) {
        // A new response (after a 100 Continue, say): its headers only.
        response.contentLength.reset();
        response.rangeTotal.reset();
        response.location.clear();
    } else if (const auto length = HeaderValue(line, "Content-Length")) {
        response.contentLength = Number(*length);
    } else if (const auto range = HeaderValue(line, "Content-Range")) {
        const std::size_t slash = range->rfind('/');
        if (slash != std::string_view::npos) {
            response.rangeTotal = Number(range->substr(slash + 1));
        }
    } else if (const auto location = HeaderValue(line, "Location")) {
        response.location = std::string(*location);
    }
    return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    Transfer& transfer = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (transfer.request->sizeOnly &&
        (transfer.response->rangeTotal || transfer.response->contentLength)) {
        transfer.sized = true;
        return CURL_WRITEFUNC_ERROR;
    }
    transfer.response->bodyBytes += bytes;
    if (transfer.request->onBody && !transfer.request->onBody(std::string_view(data, bytes))) {
        transfer.stopped = true;
        return CURL_WRITEFUNC_ERROR;
    }
    return bytes;
}

// Called at least once a second while a transfer runs: one that receives
// nothing for the stall time ends.
int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
    Transfer& transfer = *static_cast<Transfer*>(user);
    if (transfer.request->cancel != nullptr && transfer.request->cancel->load()) {
        transfer.stopped = true;
        return 1;
    }
    const auto now = std::chrono::steady_clock::now();
    if (received != transfer.lastBytes) {
        transfer.lastBytes = received;
        transfer.lastChange = now;
        return 0;
    }
    if (now - transfer.lastChange > std::chrono::milliseconds(transfer.stallMilliseconds)) {
        transfer.stalled = true;
        return 1;
    }
    return 0;
}

}  // namespace

struct HttpConnection::State {
    HttpTimeouts timeouts;
    CURL* handle = nullptr;
};

HttpConnection::HttpConnection(const HttpTimeouts& timeouts) : state_(std::make_unique<State>()) {
    state_->timeouts = timeouts;
    if (Curl().ok) {
        state_->handle = Curl().easyInit();
    }
}

HttpConnection::~HttpConnection() {
    if (state_->handle != nullptr) {
        Curl().easyCleanup(state_->handle);
    }
}

HttpResponse HttpConnection::Fetch(const HttpRequest& request) {
    HttpResponse response;
    CURL* handle = state_->handle;
    if (handle == nullptr) {
        response.failure = HttpResponse::Failure::Failed;
        response.reason = Curl().ok ? std::string("libcurl could not start a transfer")
                                    : std::string(kCurlLibraryFileName) + " could not be loaded";
        return response;
    }
    const CurlApi& curl = Curl();
    // The options of the last request go; its connection stays open.
    curl.easyReset(handle);
    Transfer transfer;
    transfer.request = &request;
    transfer.response = &response;
    transfer.stallMilliseconds = state_->timeouts.stallMilliseconds;
    char error[CURL_ERROR_SIZE] = {};
    curl.easySetopt(handle, CURLOPT_URL, request.url.c_str());
    curl.easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    // Large pieces: fewer calls into the digest per file.
    curl.easySetopt(handle, CURLOPT_BUFFERSIZE, 256L * 1024);
    curl.easySetopt(handle, CURLOPT_ERRORBUFFER, error);
    curl.easySetopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl.easySetopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl.easySetopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                    static_cast<long>(state_->timeouts.connectMilliseconds));
    curl.easySetopt(handle, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl.easySetopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl.easySetopt(handle, CURLOPT_WRITEFUNCTION, &OnBody);
    curl.easySetopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl.easySetopt(handle, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl.easySetopt(handle, CURLOPT_XFERINFODATA, &transfer);
    curl.easySetopt(handle, CURLOPT_NOPROGRESS, 0L);
    if (request.head) {
        curl.easySetopt(handle, CURLOPT_NOBODY, 1L);
    }
    std::string range;
    if (request.range) {
        range = std::to_string(request.range->first) + "-" + std::to_string(request.range->second);
        curl.easySetopt(handle, CURLOPT_RANGE, range.c_str());
    }
    curl_slist* headers = nullptr;
    if (request.noCache) {
        headers = curl.slistAppend(headers, "Cache-Control: no-cache");
        headers = curl.slistAppend(headers, "Pragma: no-cache");
        curl.easySetopt(handle, CURLOPT_HTTPHEADER, headers);
    }
    const CURLcode code = curl.easyPerform(handle);
    curl.slistFreeAll(headers);
    long status = 0;
    curl.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    response.status = static_cast<int>(status);
    if (code == CURLE_OK || transfer.sized) {
        return response;
    }
    if (transfer.stopped) {
        response.failure = HttpResponse::Failure::Stopped;
    } else if (transfer.stalled || code == CURLE_OPERATION_TIMEDOUT) {
        response.failure = HttpResponse::Failure::TimedOut;
    } else {
        response.failure = code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT
                               ? HttpResponse::Failure::CannotConnect
                               : HttpResponse::Failure::Failed;
    }
    if (response.failure == HttpResponse::Failure::CannotConnect ||
        response.failure == HttpResponse::Failure::Failed) {
        response.reason = error[0] != '\0' ? error : curl.easyStrerror(code);
    }
    return response;
}

}  // namespace varo
