#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP/1.1 server on 127.0.0.1 (a port the system picks) for the
// tests of fetching: each request is answered as `handler` says, over
// connections kept alive, with Range and HEAD as servers do them.
namespace varo::test {

struct TestRequest {
    std::string method;                          // GET, HEAD
    std::string target;                          // as sent: "/a%20b.wzl?t=1"
    std::map<std::string, std::string> headers;  // names in lower case
};

struct TestResponse {
    TestResponse(int status = 200, std::string body = {}) : status(status), body(std::move(body)) {}
    TestResponse& With(std::string name, std::string value) {
        headers.emplace_back(std::move(name), std::move(value));
        return *this;
    }
    TestResponse& Delayed(int milliseconds) {
        delayMilliseconds = milliseconds;
        return *this;
    }
    // No Content-Length: the body ends with the connection.
    TestResponse& WithoutLength() {
        withoutLength = true;
        return *this;
    }
    // HEAD answered without Content-Length, GET with it.
    TestResponse& HeadWithoutLength() {
        headWithoutLength = true;
        return *this;
    }
    // The whole body for a request of a part, as some servers and proxies do.
    TestResponse& IgnoringRanges() {
        ranges = false;
        return *this;
    }

    int status = 200;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    int delayMilliseconds = 0;  // before the answer
    bool withoutLength = false;
    bool headWithoutLength = false;
    bool ranges = true;  // answers "Range: bytes=a-b" with 206
};

class HttpTestServer {
  public:
    using Handler = std::function<TestResponse(const TestRequest&)>;

    explicit HttpTestServer(Handler handler);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // "http://127.0.0.1:PORT"
    std::string Address() const;
    // Every request so far, in the order they came.
    std::vector<TestRequest> Requests() const;
    int Connections() const { return connections_.load(); }

  private:
    void Accept();
    void Serve(std::intptr_t socket);

    Handler handler_;
    std::intptr_t listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<TestRequest> requests_;
    std::vector<std::intptr_t> open_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};

// "%20" and the like back to bytes.
std::string PercentDecoded(const std::string& text);

}  // namespace varo::test
