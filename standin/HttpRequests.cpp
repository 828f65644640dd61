// Posts on this machine: a bounded queue served by worker threads, each driving its own libcurl
// multi handle so that a stop can wake it and abort its transfer at once.
#include "standin/HttpRequests.h"

#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "standin/PostRequest.h"

namespace standin {
namespace {

size_t AppendBody(char* data, size_t size, size_t count, void* response) {
    static_cast<Response*>(response)->body.append(data, size * count);
    return size * count;
}

size_t AddHeader(char* data, size_t size, size_t count, void* response) {
    const std::string_view line(data, size * count);
    Headers& headers = static_cast<Response*>(response)->headers;
    // A status line starts a new response (after an interim "100 Continue"); keep the last one's.
    if (line.starts_with("HTTP/")) {
        headers.clear();
        return line.size();
    }
    const auto colon = line.find(':');
    if (colon != std::string_view::npos)
        headers[std::string(TrimBlanks(line.substr(0, colon)))] =
            std::string(TrimBlanks(line.substr(colon + 1)));
    return line.size();
}

int AbortWhenCancelled(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

class RequestPool {
public:
    RequestPool() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~RequestPool() {
        Stop();
        curl_global_cleanup();
    }

    // False when the post is refused (stopping, or too many pending); `request` is then untouched.
    bool Submit(PostRequest& request);
    void Stop();

private:
    // The first worker starts the others, so a post that finds no workers costs its caller one
    // thread start only.
    void Serve(bool first);
    bool Send(CURLM* multi, CURL* easy, const PostRequest& request, Response& response);

    std::mutex stopMutex;  // one stop at a time
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<PostRequest> queue;
    std::vector<std::thread> workers;
    std::vector<CURLM*> wakeable;  // the multi handles of running workers, to wake them for a stop
    std::size_t inFlight = 0;
    bool stopping = false;
    std::atomic<bool> cancel = false;
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
        cancel = true;
        cancelled.swap(queue);
        stopped.swap(workers);
        for (CURLM* multi : wakeable) curl_multi_wakeup(multi);
    }
    wake.notify_all();
    for (std::thread& worker : stopped) worker.join();
    for (PostRequest& request : cancelled) Complete(request.completion, false, {});
    cancelled.clear();
    std::lock_guard lock(mutex);
    stopping = false;
    cancel = false;
}

void RequestPool::Serve(bool first) {
    CURLM* multi = curl_multi_init();
    CURL* easy = curl_easy_init();
    std::unique_lock lock(mutex);
    try {
        while (first && !stopping && workers.size() < RequestWorkers)
            workers.emplace_back(&RequestPool::Serve, this, false);
    } catch (const std::system_error&) {
        // Fewer workers still serve every post.
    }
    if (multi != nullptr) wakeable.push_back(multi);
    while (true) {
        wake.wait(lock, [this] { return stopping || !queue.empty(); });
        if (stopping) break;
        std::optional<PostRequest> request(std::move(queue.front()));
        queue.pop_front();
        ++inFlight;
        lock.unlock();
        Response response;
        const bool success =
            multi != nullptr && easy != nullptr && Send(multi, easy, *request, response);
        Complete(request->completion, success, std::move(response));
        request.reset();  // the completion goes before the slot is given back
        lock.lock();
        --inFlight;
    }
    std::erase(wakeable, multi);
    lock.unlock();
    if (easy != nullptr) curl_easy_cleanup(easy);
    if (multi != nullptr) curl_multi_cleanup(multi);
}

bool RequestPool::Send(CURLM* multi, CURL* easy, const PostRequest& request, Response& response) {
    if (request.url.empty()) return false;
    curl_easy_reset(easy);
    curl_slist* headerList =
        curl_slist_append(nullptr, ("Content-Type: " + request.contentType).c_str());
    for (const std::string& line : request.headerLines)
        headerList = curl_slist_append(headerList, line.c_str());
    // Without this, a larger body waits up to a second for a "100 Continue" many peers never send.
    headerList = curl_slist_append(headerList, "Expect:");

    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, RequestConnectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, RequestTotalTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &AddHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &response);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &AbortWhenCancelled);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &cancel);

    bool done = false;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    if (curl_multi_add_handle(multi, easy) == CURLM_OK) {
        // Polls in short slices as well, so a stop is seen even if its wake-up is missed.
        while (!done && !cancel) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK) break;
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg != CURLMSG_DONE) continue;
                result = message->data.result;
                done = true;
            }
            if (!done) curl_multi_poll(multi, nullptr, 0, 100, nullptr);
        }
        curl_multi_remove_handle(multi, easy);
    }
    curl_slist_free_all(headerList);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    return done && result == CURLE_OK && status >= 200 && status < 300;
}

RequestPool& Pool() {
    static RequestPool pool;
    return pool;
}

}  // namespace

bool SubmitPost(PostRequest& request) { return Pool().Submit(request); }

void StopRequests() { Pool().Stop(); }

}  // namespace standin
