// A web server for the benchmark of `verify URL`: serves a folder over
// loopback as a static file server or CDN edge does, so that what is measured
// is the client, not the server:
//   varo-bench-serve DIR PORT_FILE
// listens on 127.0.0.1 at a port the system picks, writes that port to
// PORT_FILE and serves until killed. HTTP/1.1 GET and HEAD, connections kept
// alive, one thread per connection, bodies sent with sendfile. Linux only.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace {

bool SendAll(int socket, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

int HexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// The file a request path names below `root`, or "" for none.
std::string FilePath(const std::string& root, std::string target) {
    target = target.substr(0, target.find('?'));
    std::string path;
    for (std::size_t i = 0; i < target.size(); ++i) {
        if (target[i] == '%' && i + 2 < target.size() && HexValue(target[i + 1]) >= 0 &&
            HexValue(target[i + 2]) >= 0) {
            path.push_back(
                static_cast<char>(HexValue(target[i + 1]) * 16 + HexValue(target[i + 2])));
            i += 2;
        } else {
            path.push_back(target[i]);
        }
    }
    if (path.empty() || path.front() != '/' || path.find("/..") != std::string::npos) {
        return {};
    }
    return root + path;
}

// Answers requests on one connection until the client closes it.
void Serve(int socket, const std::string& root) {
    std::string pending;
    char buffer[16384];
    for (;;) {
        std::size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
            const ssize_t n = recv(socket, buffer, sizeof buffer, 0);
            if (n <= 0) {
                close(socket);
                return;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
        }
        const std::string head = pending.substr(0, end);
        pending.erase(0, end + 4);
        const std::size_t space = head.find(' ');
        const std::string method = head.substr(0, space);
        const std::string target = head.substr(space + 1, head.find(' ', space + 1) - space - 1);
        const std::string path = FilePath(root, target);
        const int file = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat status {};
        if (file < 0 || fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
            if (file >= 0) {
                close(file);
            }
            if (!SendAll(socket, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")) {
                break;
            }
            continue;
        }
        const bool sent = SendAll(socket,
                                  "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                  "Content-Length: " +
                                      std::to_string(status.st_size) + "\r\n\r\n");
        off_t offset = 0;
        bool whole = sent;
        while (whole && method == "GET" && offset < status.st_size) {
            const ssize_t n =
                sendfile(socket, file, &offset, static_cast<std::size_t>(status.st_size - offset));
            whole = n > 0 || (n < 0 && errno == EINTR);
        }
        close(file);
        if (!whole) {
            break;
        }
    }
    close(socket);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: varo-bench-serve DIR PORT_FILE\n");
        return 2;
    }
    const std::string root = argv[1];
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("varo-bench-serve");
        return 1;
    }
    std::ofstream(argv[2]) << ntohs(address.sin_port) << '\n';
    for (;;) {
        const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        const int on = 1;
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::thread(Serve, connection, root).detach();
    }
}
