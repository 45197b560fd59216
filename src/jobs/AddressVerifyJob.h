#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "jobs/PublishJob.h"
#include "platform/HttpClient.h"

// What the clients will fetch: a manifest on a web server checked entry by
// entry as a client fetches it, from the manifest's own folder there.
namespace varo {

// True for an http:// or https:// address (in any letter case).
bool IsWebAddress(std::string_view text);

// The address of a manifest entry: `base` (ending in '/') then each
// '/'-separated part of `filename` percent-encoded as UTF-8.
std::string EntryAddress(std::string_view base, std::string_view filename);

// Where a redirect from `from` to `location` leads: an absolute address,
// or nothing when it leaves the scheme and server of `from`.
std::optional<std::string> RedirectWithinServer(std::string_view from, std::string_view location);

struct AddressVerifyProgress {
    std::size_t filesDone = 0;
    std::size_t files = 0;
    std::uint64_t bytes = 0;
    std::string slowestName;  // the entry that took longest so far
    double slowestSeconds = 0;
};

struct AddressVerifyRun {
    int connections = 8;  // fetches at once, each over a connection kept alive
    bool quick = false;   // sizes only: HEAD, or a ranged GET where the server gives no length
    HttpTimeouts timeouts;
    const std::atomic<bool>* cancel = nullptr;
    // From the fetching threads, one call at a time, a few times a second and at the end.
    std::function<void(const AddressVerifyProgress&)> onProgress;
};

// Fetches the manifest at `url` (update.json or 单json文件.json) twice: as a
// client does, and with a query and headers that pass every cache. Then
// every entry, from the manifest's folder on the server, against the
// server's own copy of the manifest: its bytes digested as they arrive,
// nothing written to disk. Redirects within the server are followed.
PublishVerification VerifyPublishedAddress(const std::string& url, const AddressVerifyRun& run);

}  // namespace varo
