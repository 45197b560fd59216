#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Fetching from web servers (http and https) as a client does: libcurl on
// Linux (loaded by the first connection; without it a fetch fails with the
// reason), WinHTTP on Windows. One request at a time per connection; the
// connection is kept alive for the next request to the same server.
// Redirects are not followed here: the caller decides where a Location leads.
namespace varo {

struct HttpRequest {
    std::string url;       // absolute, percent-encoded where it must be
    bool head = false;     // HEAD instead of GET: the headers alone
    bool noCache = false;  // asks every cache on the way for the server's own copy
    // "bytes=first-last" when set: a part only.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> range;
    // The body as it arrives, piece by piece; false stops the transfer
    // (the result is then `Stopped`).
    std::function<bool(std::string_view bytes)> onBody;
    // The size is all that is wanted: the transfer ends, as a success, once
    // the answer's headers give it (Content-Length, or the total of a
    // Content-Range), so that a server that answers a part with the whole
    // file does not send all of it.
    bool sizeOnly = false;
    // True ends the request within a fraction of a second, also while it
    // waits for the server (the result is then `Stopped`).
    const std::atomic<bool>* cancel = nullptr;
};

struct HttpResponse {
    enum class Failure {
        None,
        Stopped,        // onBody said stop
        TimedOut,       // no connection, or no byte, within the connection's timeouts
        CannotConnect,  // the server's name is unknown, or it takes no connection
        Failed,         // no whole answer for another reason
    };
    Failure failure = Failure::None;
    std::string reason;  // of a failure, in the library's or the system's words
    int status = 0;      // 200, 404 …
    std::optional<std::uint64_t> contentLength;
    std::optional<std::uint64_t> rangeTotal;  // the whole size a Content-Range gives
    std::string location;                     // of a redirect, as the server gave it
    std::uint64_t bodyBytes = 0;              // what arrived
};

struct HttpTimeouts {
    int connectMilliseconds = 10000;
    // A transfer that receives nothing for this long ends as timed out.
    int stallMilliseconds = 30000;
};

class HttpConnection {
  public:
    explicit HttpConnection(const HttpTimeouts& timeouts = {});
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    HttpResponse Fetch(const HttpRequest& request);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace varo
