// A TCP listener on 127.0.0.1 that reads each request and never answers: a post to it stays in
// flight until the client gives up or is stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

class SilentPeer {
public:
    SilentPeer();
    ~SilentPeer();
    SilentPeer(const SilentPeer&) = delete;
    SilentPeer& operator=(const SilentPeer&) = delete;

    std::string Url() const;
    // Requests whose header has fully arrived.
    int Received() const { return received; }

private:
    void Serve();

    uintptr_t listening;
    int port = 0;
    std::atomic<int> received = 0;
    std::atomic<bool> stopping = false;
    std::thread serving;
};
