// Source RCON on 127.0.0.1: the network I/O runs on its own thread, the commands on the game
// thread. A misbehaving client loses its own connection and nothing else.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace standin {

class GameLoop;
class RconConnection;

struct RconLimits {
    size_t maxConnections = 16;
    std::chrono::seconds idle{60};
    // An unauthenticated connection must authenticate within this time.
    std::chrono::seconds authentication{10};
    size_t maxPendingOutput = 1 << 20;
};

class RconServer {
public:
    // Listens on 127.0.0.1:port (0 picks a free one); throws std::runtime_error if it cannot.
    RconServer(GameLoop& loop, std::string password, int port, RconLimits limits = {});
    ~RconServer();
    RconServer(const RconServer&) = delete;
    RconServer& operator=(const RconServer&) = delete;

    int Port() const { return port; }
    // Closes every connection and ends the network thread.
    void Stop();

private:
    void Serve();
    void Accept();
    void Receive(const std::shared_ptr<RconConnection>& connection);
    void Close(RconConnection& connection, const std::string& reason);

    GameLoop& loop;
    std::string password;
    RconLimits limits;
    int listenSocket = -1;
    int wakeRead = -1, wakeWrite = -1;
    int port = 0;
    int nextConnectionNumber = 1;
    std::atomic<bool> stopping{false};
    std::vector<std::shared_ptr<RconConnection>> connections;  // network thread only
    std::thread thread;
};

}  // namespace standin
