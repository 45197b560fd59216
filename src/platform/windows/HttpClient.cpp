#include "platform/HttpClient.h"

#include <windows.h>

#include <winhttp.h>

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/windows/WindowsText.h"

namespace varo {
namespace {

struct HandleCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// WinHTTP's own words for its error codes live in winhttp.dll.
std::string WinHttpMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
            FORMAT_MESSAGE_IGNORE_INSERTS,
        GetModuleHandleW(L"winhttp.dll"), code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) {
        return "WinHTTP error " + std::to_string(code);
    }
    std::wstring text(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return windows::Narrow(text);
}

HttpResponse Failure(DWORD code) {
    HttpResponse response;
    response.failure =
        code == ERROR_WINHTTP_TIMEOUT ? HttpResponse::Failure::TimedOut
        : code == ERROR_WINHTTP_NAME_NOT_RESOLVED || code == ERROR_WINHTTP_CANNOT_CONNECT
            ? HttpResponse::Failure::CannotConnect
            : HttpResponse::Failure::Failed;
    if (response.failure != HttpResponse::Failure::TimedOut) {
        response.reason = WinHttpMessage(code);
    }
    return response;
}

// A header of the response as text; empty when it has none.
std::wstring Header(HINTERNET request, DWORD which) {
    DWORD bytes = 0;
    WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &bytes, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) {
        return {};
    }
    std::wstring value(bytes / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    value.resize(bytes / sizeof(wchar_t));
    return value;
}

std::optional<std::uint64_t> Number(std::wstring_view digits) {
    const std::string narrow = windows::Narrow(digits);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    if (error != std::errc() || end != narrow.data() + narrow.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

struct HttpConnection::State {
    // Closes the request under way when its cancel turns true: WinHTTP ends
    // a synchronous call whose request handle another thread closes.
    void Watch() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            wake.wait_for(lock, std::chrono::milliseconds(100));
            if (current != nullptr && cancel != nullptr && cancel->load()) {
                WinHttpCloseHandle(current);
                current = nullptr;
                closed = true;
            }
        }
    }

    HttpTimeouts timeouts;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    HINTERNET current = nullptr;
    const std::atomic<bool>* cancel = nullptr;
    bool closed = false;
    std::thread watcher;
    Handle session;
    // The connection to the last server, reused while requests go there.
    Handle connection;
    std::wstring host;
    INTERNET_PORT port = 0;
};

HttpConnection::HttpConnection(const HttpTimeouts& timeouts) : state_(std::make_unique<State>()) {
    state_->timeouts = timeouts;
    state_->session.reset(WinHttpOpen(L"varo-cli", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!state_->session) {
        // Older systems know no automatic proxy: the default one.
        state_->session.reset(WinHttpOpen(L"varo-cli", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                          WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    }
    if (state_->session) {
        WinHttpSetTimeouts(state_->session.get(), timeouts.connectMilliseconds,
                           timeouts.connectMilliseconds, timeouts.stallMilliseconds,
                           timeouts.stallMilliseconds);
    }
}

HttpConnection::~HttpConnection() {
    if (state_->watcher.joinable()) {
        {
            std::lock_guard lock(state_->mutex);
            state_->stopping = true;
        }
        state_->wake.notify_all();
        state_->watcher.join();
    }
}

HttpResponse HttpConnection::Fetch(const HttpRequest& request) {
    if (!state_->session) {
        return Failure(GetLastError());
    }
    const std::wstring url = windows::Widen(request.url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
        return Failure(GetLastError());
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (!state_->connection || host != state_->host || parts.nPort != state_->port) {
        state_->connection.reset(
            WinHttpConnect(state_->session.get(), host.c_str(), parts.nPort, 0));
        if (!state_->connection) {
            return Failure(GetLastError());
        }
        state_->host = host;
        state_->port = parts.nPort;
    }
    // The path as given: it is percent-encoded already.
    DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) {
        flags |= WINHTTP_FLAG_SECURE;
    }
    Handle handle(WinHttpOpenRequest(state_->connection.get(), request.head ? L"HEAD" : L"GET",
                                     path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!handle) {
        return Failure(GetLastError());
    }
    if (request.cancel != nullptr && !state_->watcher.joinable()) {
        state_->watcher = std::thread([state = state_.get()] { state->Watch(); });
    }
    {
        std::lock_guard lock(state_->mutex);
        state_->current = handle.get();
        state_->cancel = request.cancel;
        state_->closed = false;
    }
    // Whatever way the request ends: the watcher lets it go, and a handle it
    // closed is not closed again.
    struct Release {
        State& state;
        Handle& handle;
        ~Release() {
            std::lock_guard lock(state.mutex);
            state.current = nullptr;
            state.cancel = nullptr;
            if (state.closed) {
                handle.release();
            }
        }
    } release{*state_, handle};
    const auto stopped = [&] {
        std::lock_guard lock(state_->mutex);
        return state_->closed;
    };
    DWORD disable = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
    // The wait for the answer's headers has a timeout of its own (90 s by default).
    DWORD stall = static_cast<DWORD>(state_->timeouts.stallMilliseconds);
    WinHttpSetTimeouts(handle.get(), state_->timeouts.connectMilliseconds,
                       state_->timeouts.connectMilliseconds, state_->timeouts.stallMilliseconds,
                       state_->timeouts.stallMilliseconds);
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &stall, sizeof stall);
    std::wstring headers;
    if (request.range) {
        headers += L"Range: bytes=" + std::to_wstring(request.range->first) + L"-" +
                   std::to_wstring(request.range->second) + L"\r\n";
    }
    if (request.noCache) {
        headers += L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
    }
    if (!WinHttpSendRequest(handle.get(),
                            headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                            static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(handle.get(), nullptr)) {
        HttpResponse failed = Failure(GetLastError());
        if (stopped()) {
            failed = {};
            failed.failure = HttpResponse::Failure::Stopped;
        }
        return failed;
    }
    HttpResponse response;
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    response.status = static_cast<int>(status);
    response.contentLength = Number(Header(handle.get(), WINHTTP_QUERY_CONTENT_LENGTH));
    const std::wstring range = Header(handle.get(), WINHTTP_QUERY_CONTENT_RANGE);
    if (const std::size_t slash = range.rfind(L'/'); slash != std::wstring::npos) {
        response.rangeTotal = Number(std::wstring_view(range).substr(slash + 1));
    }
    response.location = windows::Narrow(Header(handle.get(), WINHTTP_QUERY_LOCATION));
    if (request.head || (request.sizeOnly && (response.rangeTotal || response.contentLength))) {
        return response;
    }
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                             &read)) {
            HttpResponse failed = Failure(GetLastError());
            if (stopped()) {
                failed.failure = HttpResponse::Failure::Stopped;
            }
            failed.status = response.status;
            failed.bodyBytes = response.bodyBytes;
            return failed;
        }
        if (read == 0) {
            break;
        }
        response.bodyBytes += read;
        if (request.onBody && !request.onBody(std::string_view(buffer.data(), read))) {
            response.failure = HttpResponse::Failure::Stopped;
            break;
        }
    }
    return response;
}

}  // namespace varo
