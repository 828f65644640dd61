// Posts on Windows: a bounded queue served by worker threads with WinHTTP. Every WinHTTP call, its
// first use included (which loads libraries), is made on those threads: the first post comes from
// inside the plugin's DllMain, under the loader lock, where only queueing it and starting a thread
// that nobody waits for are allowed.
#include <windows.h>
// After <windows.h>, which it needs.
#include <winhttp.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "standin/HttpRequests.h"
#include "standin/PostRequest.h"
#include "standin/Text.h"

namespace standin {
namespace {

std::wstring Wide(std::string_view text) { return std::wstring(FromUtf8(text).View()); }

std::string Narrow(std::wstring_view text) {
    return ToUtf8(FString(static_cast<int32_t>(text.size()), text.data()));
}

// WinHTTP gives the final response's status line and headers, one per line.
Headers ParseHeaders(std::string_view raw) {
    Headers headers;
    for (size_t start = 0; start < raw.size();) {
        size_t end = raw.find('\n', start);
        if (end == std::string_view::npos) end = raw.size();
        const std::string_view line = raw.substr(start, end - start);
        start = end + 1;
        const auto colon = line.find(':');
        if (line.starts_with("HTTP/") || colon == std::string_view::npos) continue;
        headers[std::string(TrimBlanks(line.substr(0, colon)))] =
            std::string(TrimBlanks(line.substr(colon + 1)));
    }
    return headers;
}

std::string RawHeaders(HINTERNET request) {
    DWORD bytes = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &bytes, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return {};
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             text.data(), &bytes, WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(bytes / sizeof(wchar_t));
    return Narrow(text);
}

// A URL in WinHTTP's parts: host, port, path with query, and whether it is https.
struct Target {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
    bool secure = false;
};

std::optional<Target> Crack(const std::string& url) {
    const std::wstring wide = Wide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts))
        return std::nullopt;
    Target target;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    target.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.path.empty()) target.path = L"/";
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return target;
}

class RequestPool {
public:
    // False when the post is refused (stopping, or too many pending); `request` is then untouched.
    bool Submit(PostRequest& request);
    void Stop();

private:
    // The first worker starts the others, so a post that finds no workers costs its caller one
    // thread start only.
    void Serve(bool first);
    bool Send(HINTERNET session, const PostRequest& request, Response& response, HINTERNET& open);
    // Puts the request handle where a stop can close it, which aborts the call using it; false
    // when a stop came first. A handle a stop closed makes the worker's next call fail.
    bool Expose(HINTERNET& open, HINTERNET request);
    void CloseExposed(HINTERNET& open);

    std::mutex stopMutex;  // one stop at a time
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<PostRequest> queue;
    std::vector<std::thread> workers;
    // Each running worker's request handle in flight: closing it aborts the transfer at once on
    // Windows. Wine's WinHTTP finishes a blocked receive first, which its timeout bounds.
    std::set<HINTERNET*> exposed;
    std::size_t inFlight = 0;
    bool stopping = false;
};

bool RequestPool::Submit(PostRequest& request) {
    std::lock_guard lock(mutex);
    if (stopping || queue.size() + inFlight >= MaxPendingRequests) return false;
    if (workers.empty()) workers.emplace_back(&RequestPool::Serve, this, true);
    queue.push_back(std::move(request));
    wake.notify_one();
    return true;
}

void RequestPool::Stop() {
    std::lock_guard stopLock(stopMutex);
    std::deque<PostRequest> cancelled;
    std::vector<std::thread> stopped;
    {
        std::lock_guard lock(mutex);
        stopping = true;
        cancelled.swap(queue);
        stopped.swap(workers);
        for (HINTERNET* open : exposed) {
            if (*open != nullptr) WinHttpCloseHandle(*open);
            *open = nullptr;
        }
    }
    wake.notify_all();
    for (std::thread& worker : stopped) worker.join();
    for (PostRequest& request : cancelled) Complete(request.completion, false, {});
    cancelled.clear();
    std::lock_guard lock(mutex);
    stopping = false;
}

bool RequestPool::Expose(HINTERNET& open, HINTERNET request) {
    std::lock_guard lock(mutex);
    if (stopping) {
        WinHttpCloseHandle(request);
        return false;
    }
    open = request;
    return true;
}

void RequestPool::CloseExposed(HINTERNET& open) {
    std::lock_guard lock(mutex);
    if (open != nullptr) WinHttpCloseHandle(open);
    open = nullptr;
}

void RequestPool::Serve(bool first) {
    // No agent here: the plugin's own User-Agent line is the only one sent.
    HINTERNET session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (session != nullptr) {
        WinHttpSetTimeouts(session, static_cast<int>(RequestConnectTimeoutMs),
                           static_cast<int>(RequestConnectTimeoutMs),
                           static_cast<int>(RequestTotalTimeoutMs),
                           static_cast<int>(RequestTotalTimeoutMs));
        // The wait for the answer has a limit of its own, else Wine waits forever.
        DWORD answerTimeout = static_cast<DWORD>(RequestTotalTimeoutMs);
        WinHttpSetOption(session, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answerTimeout,
                         sizeof(answerTimeout));
    }
    HINTERNET open = nullptr;
    std::unique_lock lock(mutex);
    try {
        while (first && !stopping && workers.size() < RequestWorkers)
            workers.emplace_back(&RequestPool::Serve, this, false);
    } catch (const std::system_error&) {
        // Fewer workers still serve every post.
    }
    exposed.insert(&open);
    while (true) {
        wake.wait(lock, [this] { return stopping || !queue.empty(); });
        if (stopping) break;
        std::optional<PostRequest> request(std::move(queue.front()));
        queue.pop_front();
        ++inFlight;
        lock.unlock();
        Response response;
        const bool success = session != nullptr && Send(session, *request, response, open);
        Complete(request->completion, success, std::move(response));
        request.reset();  // the completion goes before the slot is given back
        lock.lock();
        --inFlight;
    }
    exposed.erase(&open);
    lock.unlock();
    if (session != nullptr) WinHttpCloseHandle(session);
}

bool RequestPool::Send(HINTERNET session, const PostRequest& post, Response& response,
                       HINTERNET& open) {
    const std::optional<Target> target = post.url.empty() ? std::nullopt : Crack(post.url);
    if (!target) return false;
    HINTERNET connection = WinHttpConnect(session, target->host.c_str(), target->port, 0);
    if (connection == nullptr) return false;
    HINTERNET request =
        WinHttpOpenRequest(connection, L"POST", target->path.c_str(), nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES, target->secure ? WINHTTP_FLAG_SECURE : 0);
    bool done = false;
    DWORD status = 0;
    if (request != nullptr && Expose(open, request)) {
        std::string headerText = "Content-Type: " + post.contentType + "\r\n";
        for (const std::string& line : post.headerLines) headerText += line + "\r\n";
        const std::wstring headers = Wide(headerText);
        const auto size = static_cast<DWORD>(post.body.size());
        DWORD statusSize = sizeof(status);
        done = WinHttpSendRequest(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                                  const_cast<char*>(post.body.data()), size, size, 0) &&
               WinHttpReceiveResponse(request, nullptr) &&
               WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                                   WINHTTP_NO_HEADER_INDEX);
        if (done) response.headers = ParseHeaders(RawHeaders(request));
        char buffer[4096];
        for (DWORD read = 0;
             done && WinHttpReadData(request, buffer, sizeof buffer, &read) && read > 0;)
            response.body.append(buffer, read);
        CloseExposed(open);
    }
    WinHttpCloseHandle(connection);
    return done && status >= 200 && status < 300;
}

// Never destroyed: at process exit the workers are already gone, and joining them under the
// loader lock could wait on a lock that an ended worker held.
RequestPool& Pool() {
    static RequestPool& pool = *new RequestPool;
    return pool;
}

}  // namespace

bool SubmitPost(PostRequest& request) { return Pool().Submit(request); }

void StopRequests() { Pool().Stop(); }

}  // namespace standin
