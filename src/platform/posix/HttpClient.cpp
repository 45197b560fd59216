#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <charconv>
#include <chrono>
#include <mutex>

#include "text/Ascii.h"

namespace varo {
namespace {

void InitializeCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
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
    InitializeCurlOnce();
    state_->timeouts = timeouts;
    state_->handle = curl_easy_init();
}

HttpConnection::~HttpConnection() {
    if (state_->handle != nullptr) {
        curl_easy_cleanup(state_->handle);
    }
}

HttpResponse HttpConnection::Fetch(const HttpRequest& request) {
    HttpResponse response;
    CURL* handle = state_->handle;
    if (handle == nullptr) {
        response.failure = HttpResponse::Failure::Failed;
        response.reason = "libcurl could not start a transfer";
        return response;
    }
    // The options of the last request go; its connection stays open.
    curl_easy_reset(handle);
    Transfer transfer;
    transfer.request = &request;
    transfer.response = &response;
    transfer.stallMilliseconds = state_->timeouts.stallMilliseconds;
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // Large pieces: fewer calls into the digest per file.
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, 256L * 1024);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(state_->timeouts.connectMilliseconds));
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    if (request.head) {
        curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    }
    std::string range;
    if (request.range) {
        range = std::to_string(request.range->first) + "-" + std::to_string(request.range->second);
        curl_easy_setopt(handle, CURLOPT_RANGE, range.c_str());
    }
    curl_slist* headers = nullptr;
    if (request.noCache) {
        headers = curl_slist_append(headers, "Cache-Control: no-cache");
        headers = curl_slist_append(headers, "Pragma: no-cache");
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    }
    const CURLcode code = curl_easy_perform(handle);
    curl_slist_free_all(headers);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
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
        response.reason = error[0] != '\0' ? error : curl_easy_strerror(code);
    }
    return response;
}

}  // namespace varo
