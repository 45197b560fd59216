#include "support/HttpTestServer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace varo::test {
namespace {

#ifdef _WIN32
using Socket = SOCKET;
void CloseSocket(std::intptr_t socket) {
    closesocket(static_cast<SOCKET>(socket));
}
struct Winsock {
    Winsock() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};
#else
using Socket = int;
void CloseSocket(std::intptr_t socket) {
    ::close(static_cast<int>(socket));
}
#endif

bool SendAll(std::intptr_t socket, std::string_view bytes) {
    while (!bytes.empty()) {
#ifdef MSG_NOSIGNAL
        const int flags = MSG_NOSIGNAL;  // a client gone is no reason to end the tests
#else
        const int flags = 0;
#endif
        const auto sent = ::send(static_cast<Socket>(socket), bytes.data(),
                                 static_cast<int>(bytes.size()), flags);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 206:
            return "Partial Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        default:
            return "Status";
    }
}

}  // namespace

std::string PercentDecoded(const std::string& text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

HttpTestServer::HttpTestServer(Handler handler) : handler_(std::move(handler)) {
#ifdef _WIN32
    static Winsock winsock;
#endif
    const Socket listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 64) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        CloseSocket(static_cast<std::intptr_t>(listener));
        throw std::runtime_error("the test server cannot listen on 127.0.0.1");
    }
    listener_ = static_cast<std::intptr_t>(listener);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
}

HttpTestServer::~HttpTestServer() {
    stopping_ = true;
    // A connection to ourselves wakes the acceptor on every system.
    {
        const Socket wake = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<unsigned short>(port_));
        ::connect(wake, reinterpret_cast<sockaddr*>(&address), sizeof address);
        CloseSocket(static_cast<std::intptr_t>(wake));
    }
    acceptor_.join();
    CloseSocket(listener_);
    {
        std::lock_guard lock(mutex_);
        for (const std::intptr_t socket : open_) {
            ::shutdown(static_cast<Socket>(socket), 2);  // both ways
        }
    }
    for (std::thread& thread : threads_) {
        thread.join();
    }
    for (const std::intptr_t socket : open_) {
        CloseSocket(socket);
    }
}

std::string HttpTestServer::Address() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<TestRequest> HttpTestServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void HttpTestServer::Accept() {
    for (;;) {
        const Socket client = ::accept(static_cast<Socket>(listener_), nullptr, nullptr);
        if (stopping_) {
            CloseSocket(static_cast<std::intptr_t>(client));
            return;
        }
#ifdef _WIN32
        if (client == INVALID_SOCKET) {
            continue;
        }
#else
        if (client < 0) {
            continue;
        }
#endif
        ++connections_;
        std::lock_guard lock(mutex_);
        open_.push_back(static_cast<std::intptr_t>(client));
        threads_.emplace_back([this, client] { Serve(static_cast<std::intptr_t>(client)); });
    }
}

void HttpTestServer::Serve(std::intptr_t socket) {
    std::string buffer;
    char chunk[4096];
    for (;;) {
        std::size_t end;
        while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
            // Waits a little at a time, so that the server can go while a
            // client keeps its connection open.
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(static_cast<Socket>(socket), &readable);
            timeval wait{0, 100000};
            const int ready =
                ::select(static_cast<int>(socket) + 1, &readable, nullptr, nullptr, &wait);
            if (stopping_ || ready < 0) {
                return;
            }
            if (ready == 0) {
                continue;
            }
            const auto received =
                ::recv(static_cast<Socket>(socket), chunk, static_cast<int>(sizeof chunk), 0);
            if (received <= 0) {
                return;  // closed when the server goes
            }
            buffer.append(chunk, static_cast<std::size_t>(received));
        }
        TestRequest request;
        const std::string head = buffer.substr(0, end);
        buffer.erase(0, end + 4);
        std::size_t lineEnd = head.find("\r\n");
        const std::string requestLine = head.substr(0, lineEnd);
        const std::size_t space = requestLine.find(' ');
        request.method = requestLine.substr(0, space);
        request.target = requestLine.substr(space + 1, requestLine.rfind(' ') - space - 1);
        while (lineEnd != std::string::npos) {
            const std::size_t start = lineEnd + 2;
            lineEnd = head.find("\r\n", start);
            const std::string line = head.substr(start, lineEnd - start);
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos) {
                request.headers[Lower(line.substr(0, colon))] =
                    line.substr(line.find_first_not_of(' ', colon + 1));
            }
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        TestResponse response = handler_(request);
        if (response.delayMilliseconds > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(response.delayMilliseconds));
        }
        std::string body = response.body;
        int status = response.status;
        std::string headers;
        const auto range = request.headers.find("range");
        if (status == 200 && response.ranges && !body.empty() && range != request.headers.end() &&
            range->second.rfind("bytes=", 0) == 0) {
            const std::string wanted = range->second.substr(6);
            const std::size_t first = std::stoul(wanted.substr(0, wanted.find('-')));
            const std::size_t last = std::min<std::size_t>(
                std::stoul(wanted.substr(wanted.find('-') + 1)), body.size() - 1);
            headers += "Content-Range: bytes " + std::to_string(first) + "-" +
                       std::to_string(last) + "/" + std::to_string(body.size()) + "\r\n";
            body = body.substr(first, last - first + 1);
            status = 206;
        }
        for (const auto& [name, value] : response.headers) {
            headers += name + ": " + value + "\r\n";
        }
        if (response.withoutLength) {
            headers += "Connection: close\r\n";
        } else if (!(response.headWithoutLength && request.method == "HEAD")) {
            headers += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        }
        const std::string answer = "HTTP/1.1 " + std::to_string(status) + " " +
                                   ReasonPhrase(status) + "\r\n" + headers + "\r\n" +
                                   (request.method == "HEAD" ? std::string() : body);
        if (!SendAll(socket, answer) || response.withoutLength) {
            ::shutdown(static_cast<Socket>(socket), 2);  // the end of the body
            return;
        }
    }
}

}  // namespace varo::test
