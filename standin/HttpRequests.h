// The stand-in host's web-hook client: posts run with libcurl on a few worker threads, so the game
// thread never waits for a peer.
#pragma once

#include <cstddef>

namespace standin {

// Worker threads that send posts; each sends one at a time.
inline constexpr std::size_t RequestWorkers = 3;
// Posts queued or in flight at once; a post beyond this is refused and completes with failure.
inline constexpr std::size_t MaxPendingRequests = 256;
// Connection and whole-transfer limits, so a silent peer cannot hold a worker for long.
inline constexpr long RequestConnectTimeoutMs = 2000;
inline constexpr long RequestTotalTimeoutMs = 5000;

// Cancels queued posts and aborts those in flight, completes each with failure, destroys every
// completion it holds and joins the workers. The completions are code of the plugin library, so
// this runs before that library is unloaded. The next post starts the workers again.
void StopRequests();

}  // namespace standin
