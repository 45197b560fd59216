#include "jobs/AddressVerifyJob.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "digest/FileDigest.h"
#include "digest/Md5Streams.h"
#include "jobs/ParallelEach.h"
#include "manifest/Manifest.h"
#include "platform/FileIo.h"
#include "text/Ascii.h"
#include "text/Printable.h"

namespace varo {
namespace {

constexpr int kMostRedirects = 5;

// An address in its parts: "http", "host:8080", "/path?query".
struct AddressParts {
    std::string scheme;
    std::string server;
    std::string path;
};

std::optional<AddressParts> SplitAddress(std::string_view url) {
    const std::size_t colon = url.find("://");
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    AddressParts parts;
    parts.scheme = AsciiLower(url.substr(0, colon));
    if (parts.scheme != "http" && parts.scheme != "https") {
        return std::nullopt;
    }
    std::string_view rest = url.substr(colon + 3);
    rest = rest.substr(0, rest.find('#'));
    const std::size_t end = rest.find_first_of("/?");
    parts.server = AsciiLower(rest.substr(0, end));
    parts.path.push_back('/');
    if (end != std::string_view::npos) {
        std::string_view tail = rest.substr(end);
        if (tail.front() == '/') {
            tail.remove_prefix(1);
        }
        parts.path.append(tail);
    }
    // The scheme's own port is the same server written either way.
    const std::string_view defaultPort = parts.scheme == "http" ? ":80" : ":443";
    if (parts.server.size() > defaultPort.size() &&
        parts.server.compare(parts.server.size() - defaultPort.size(), defaultPort.size(),
                             defaultPort) == 0) {
        parts.server.resize(parts.server.size() - defaultPort.size());
    }
    if (parts.server.empty()) {
        return std::nullopt;
    }
    return parts;
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool IsSuccess(int status) {
    return status >= 200 && status < 300;
}

// A fetch that follows redirects within the server. `restart` runs before
// each answer's body, so that a redirect's own body is not taken for the
// file's. A redirect elsewhere, or one too many, is left as the answer.
HttpResponse FetchFollowing(HttpConnection& connection, HttpRequest request,
                            const std::function<void()>& restart) {
    for (int redirects = 0;; ++redirects) {
        if (restart) {
            restart();
        }
        HttpResponse response = connection.Fetch(request);
        if (response.failure != HttpResponse::Failure::None || !IsRedirect(response.status) ||
            redirects == kMostRedirects) {
            return response;
        }
        const std::optional<std::string> next =
            RedirectWithinServer(request.url, response.location);
        if (!next) {
            return response;
        }
        request.url = *next;
    }
}

// The problem an answer that is not the file gives, or nothing for a file.
std::optional<PublishedEntryProblem> AnswerProblem(const HttpResponse& response,
                                                   PublishedEntryProblem problem) {
    problem.status = response.status;
    if (response.failure != HttpResponse::Failure::None &&
        response.failure != HttpResponse::Failure::Stopped) {
        problem.kind = PublishedEntryProblem::Kind::Unfetched;
        problem.fetchFailure = response.failure;
        problem.reason = response.reason;
    } else if (IsRedirect(response.status)) {
        problem.kind = PublishedEntryProblem::Kind::RedirectedAway;
        problem.location = response.location;
    } else if (response.status == 404 || response.status == 410) {
        problem.kind = PublishedEntryProblem::Kind::Missing;
    } else if (!IsSuccess(response.status)) {
        problem.kind = PublishedEntryProblem::Kind::ServerStatus;
    } else {
        return std::nullopt;
    }
    return problem;
}

// Connections kept alive between the fetches of the threads.
class ConnectionPool {
  public:
    explicit ConnectionPool(const HttpTimeouts& timeouts) : timeouts_(timeouts) {}

    std::unique_ptr<HttpConnection> Take() {
        std::lock_guard lock(mutex_);
        if (free_.empty()) {
            return std::make_unique<HttpConnection>(timeouts_);
        }
        std::unique_ptr<HttpConnection> connection = std::move(free_.back());
        free_.pop_back();
        return connection;
    }

    void Give(std::unique_ptr<HttpConnection> connection) {
        std::lock_guard lock(mutex_);
        free_.push_back(std::move(connection));
    }

  private:
    HttpTimeouts timeouts_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<HttpConnection>> free_;
};

// The numbers 0 to count - 1, each held by one thread at a time.
class IdPool {
  public:
    explicit IdPool(int count) {
        for (int id = count - 1; id >= 0; --id) {
            free_.push_back(id);
        }
    }
    int Take() {
        std::lock_guard lock(mutex_);
        const int id = free_.back();
        free_.pop_back();
        return id;
    }
    void Give(int id) {
        std::lock_guard lock(mutex_);
        free_.push_back(id);
    }

  private:
    std::mutex mutex_;
    std::vector<int> free_;
};

struct FetchedText {
    HttpResponse response;
    std::string body;
    bool tooLarge = false;
};

FetchedText FetchText(HttpConnection& connection, const std::string& url, bool noCache,
                      std::uint64_t limit, const std::atomic<bool>* cancel) {
    FetchedText fetched;
    HttpRequest request;
    request.url = url;
    request.noCache = noCache;
    request.cancel = cancel;
    request.onBody = [&fetched, limit](std::string_view bytes) {
        if (fetched.body.size() + bytes.size() > limit) {
            fetched.tooLarge = true;
            return false;
        }
        fetched.body.append(bytes);
        return true;
    };
    fetched.response = FetchFollowing(connection, request, [&fetched] { fetched.body.clear(); });
    return fetched;
}

// The manifest's address with a query no cache has seen.
std::string CacheDefeating(const std::string& url) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const std::string stamp =
        std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    const std::string address = url.substr(0, url.find('#'));
    return address + (address.find('?') == std::string::npos ? "?t=" : "&t=") + stamp;
}

int HexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

std::string PercentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

}  // namespace

bool IsWebAddress(std::string_view text) {
    const std::string lower = AsciiLower(text.substr(0, 8));
    return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

std::string EntryAddress(std::string_view base, std::string_view filename) {
    std::string address(base);
    for (const char c : filename) {
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                                byte == '_' || byte == '~' || byte == '/';
        if (unreserved) {
            address += c;
        } else {
            address += '%';
            AppendHexByte(address, byte);
        }
    }
    return address;
}

std::optional<std::string> RedirectWithinServer(std::string_view from, std::string_view location) {
    const std::optional<AddressParts> origin = SplitAddress(from);
    if (!origin || location.empty()) {
        return std::nullopt;
    }
    std::string target;
    if (location.find("://") != std::string_view::npos) {
        target = std::string(location);
    } else if (location.rfind("//", 0) == 0) {
        target = origin->scheme + ":" + std::string(location);
    } else if (location.front() == '/') {
        target = origin->scheme + "://" + origin->server + std::string(location);
    } else {
        const std::string_view path =
            std::string_view(origin->path).substr(0, origin->path.find('?'));
        target = origin->scheme + "://" + origin->server +
                 std::string(path.substr(0, path.rfind('/') + 1)) + std::string(location);
    }
    const std::optional<AddressParts> to = SplitAddress(target);
    if (!to || to->scheme != origin->scheme || to->server != origin->server) {
        return std::nullopt;
    }
    return target;
}

PublishVerification VerifyPublishedAddress(const std::string& url, const AddressVerifyRun& run) {
    PublishVerification verification;
    verification.quick = run.quick;
    verification.sizeLimit = kLargestWholeFile;
    const std::string address = url.substr(0, url.find('#'));
    const std::string path = address.substr(0, address.find('?'));
    const std::string base = path.substr(0, path.rfind('/') + 1);
    verification.root = base;
    ConnectionPool pool(run.timeouts);

    // The manifest: as a client fetches it, then past every cache.
    std::unique_ptr<HttpConnection> first = pool.Take();
    const FetchedText asClient =
        FetchText(*first, address, false, verification.sizeLimit, run.cancel);
    const FetchedText fromServer =
        FetchText(*first, CacheDefeating(address), true, verification.sizeLimit, run.cancel);
    pool.Give(std::move(first));
    if (run.cancel != nullptr && run.cancel->load()) {
        verification.cancelled = true;
        return verification;
    }
    const FetchedText& manifest =
        AnswerProblem(fromServer.response, {}) || fromServer.tooLarge ? asClient : fromServer;
    if (manifest.tooLarge) {
        verification.problem = PublishVerification::Problem::Unreadable;
        verification.readError = ErrnoError(EFBIG);
        return verification;
    }
    PublishedEntryProblem fetched;
    fetched.filename = address;
    if (const std::optional<PublishedEntryProblem> problem =
            AnswerProblem(manifest.response, fetched)) {
        verification.problem = PublishVerification::Problem::Unfetched;
        verification.fetched = *problem;
        return verification;
    }
    verification.staleManifest = &manifest == &fromServer &&
                                 !AnswerProblem(asClient.response, {}) && !asClient.tooLarge &&
                                 asClient.body != fromServer.body;
    const std::string name = PercentDecoded(path.substr(path.rfind('/') + 1));
    verification.manifest = ParseAnyManifest(manifest.body, name == kSingleManifestFileName);
    if (!verification.manifest.ok) {
        verification.problem = PublishVerification::Problem::NotAManifest;
        return verification;
    }

    // Every entry, on the run's connections at once.
    const std::vector<ManifestEntry>& entries = verification.manifest.entries;
    std::vector<std::optional<PublishedEntryProblem>> found(entries.size());
    std::mutex progressMutex;
    AddressVerifyProgress progress;
    progress.files = entries.size();
    auto lastReport = std::chrono::steady_clock::now();
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<bool> cancelled{false};
    const auto stopped = [&] { return run.cancel != nullptr && run.cancel->load(); };
    const int connections = std::max(run.connections, 1);
    std::optional<Md5Streams> digests;
    if (!run.quick) {
        digests.emplace(connections);
    }
    IdPool streamIds(connections);
    const auto report = [&](std::size_t index, double seconds, bool last) {
        std::lock_guard lock(progressMutex);
        progress.filesDone += index < entries.size() ? 1 : 0;
        progress.bytes = bytes.load();
        if (index < entries.size() && seconds > progress.slowestSeconds) {
            progress.slowestSeconds = seconds;
            progress.slowestName = entries[index].filename;
        }
        const auto now = std::chrono::steady_clock::now();
        if (run.onProgress && (last || now - lastReport > std::chrono::milliseconds(200))) {
            lastReport = now;
            run.onProgress(progress);
        }
    };
    ParallelEach(
        entries.size(), connections,
        [&](std::size_t i) {
            const ManifestEntry& entry = entries[i];
            PublishedEntryProblem problem;
            problem.entry = i;
            problem.filename = entry.filename;
            problem.listedSize = entry.size;
            problem.listedMd5 = entry.md5;
            if (!StaysBelowRoot(entry.filename)) {
                problem.kind = PublishedEntryProblem::Kind::LeavesRoot;
                found[i] = std::move(problem);
                report(i, 0, false);
                return;
            }
            const auto started = std::chrono::steady_clock::now();
            std::unique_ptr<HttpConnection> connection = pool.Take();
            HttpRequest request;
            request.url = EntryAddress(base, entry.filename);
            request.cancel = run.cancel;
            std::uint64_t size = 0;
            bool sized = false;
            HttpResponse response;
            int stream = -1;
            if (run.quick) {
                request.head = true;
                response = FetchFollowing(*connection, request, nullptr);
                if (!AnswerProblem(response, {}) && response.contentLength) {
                    size = *response.contentLength;
                    sized = true;
                } else if (response.failure == HttpResponse::Failure::None &&
                           (IsSuccess(response.status) || response.status == 405 ||
                            response.status == 501)) {
                    // No length in the headers, or no HEAD: the first byte, and
                    // the whole size from its Content-Range.
                    request.head = false;
                    request.range = {{0, 0}};
                    request.sizeOnly = true;
                    request.onBody = [&](std::string_view piece) {
                        size += piece.size();
                        bytes += piece.size();
                        return !stopped();
                    };
                    response = FetchFollowing(*connection, request, [&size] { size = 0; });
                    if (response.status == 206 && response.rangeTotal) {
                        size = *response.rangeTotal;
                    } else if (response.status != 206 && response.contentLength) {
                        size = *response.contentLength;  // the whole file, not sent
                    }
                    sized = true;
                }
            } else {
                // The body digested as it arrives, beside the other fetches'.
                stream = streamIds.Take();
                request.onBody = [&](std::string_view piece) {
                    digests->Add(stream, piece);
                    size += piece.size();
                    bytes += piece.size();
                    return !stopped();
                };
                bool begun = false;
                response = FetchFollowing(*connection, request, [&] {
                    if (begun) {
                        digests->End(stream, nullptr);
                    }
                    digests->Begin(stream);
                    begun = true;
                    size = 0;
                });
                sized = true;
            }
            pool.Give(std::move(connection));
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            Md5Streams::Done compare;
            if (response.failure == HttpResponse::Failure::Stopped && stopped()) {
                cancelled = true;
            } else if (std::optional<PublishedEntryProblem> answer =
                           AnswerProblem(response, problem)) {
                found[i] = std::move(*answer);
            } else if (sized && std::to_string(size) != entry.size) {
                problem.kind = PublishedEntryProblem::Kind::SizeDiffers;
                problem.foundSize = size;
                found[i] = std::move(problem);
            } else if (!run.quick) {
                problem.foundSize = size;
                compare = [&found, i, problem](const Md5Digest& digest) mutable {
                    const std::string hex = Md5Hex(digest);
                    if (AsciiLower(problem.listedMd5) != hex) {
                        problem.kind = PublishedEntryProblem::Kind::Md5Differs;
                        problem.foundMd5 = hex;
                        found[i] = std::move(problem);
                    }
                };
            }
            if (stream >= 0) {
                digests->End(stream, std::move(compare));
                streamIds.Give(stream);
            }
            report(i, seconds, false);
        },
        run.cancel);
    digests.reset();  // every digest compared
    report(entries.size(), 0, true);
    verification.cancelled = cancelled.load() || stopped();
    verification.bytesRead = bytes.load();
    for (std::optional<PublishedEntryProblem>& problem : found) {
        if (problem) {
            verification.problems.push_back(std::move(*problem));
        }
    }
    return verification;
}

}  // namespace varo
