#include "tests/windows/SilentPeer.h"

// Winsock's header goes before <windows.h>, which others include.
#include <winsock2.h>

#include <stdexcept>
#include <vector>

SilentPeer::SilentPeer() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (socket == INVALID_SOCKET ||
        bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(socket, 16) != 0 ||
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    listening = socket;
    port = ntohs(address.sin_port);
    serving = std::thread(&SilentPeer::Serve, this);
}

SilentPeer::~SilentPeer() {
    stopping = true;
    serving.join();
    closesocket(listening);
    WSACleanup();
}

std::string SilentPeer::Url() const { return "http://127.0.0.1:" + std::to_string(port) + "/hook"; }

// Polls in short slices, so the destructor's stop is seen within one.
void SilentPeer::Serve() {
    std::vector<SOCKET> clients;
    std::vector<std::string> heads;
    while (!stopping) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listening, &readable);
        for (const SOCKET client : clients) FD_SET(client, &readable);
        timeval slice{0, 50 * 1000};
        if (select(0, &readable, nullptr, nullptr, &slice) <= 0) continue;
        if (FD_ISSET(listening, &readable)) {
            const SOCKET client = accept(listening, nullptr, nullptr);
            if (client != INVALID_SOCKET) {
                clients.push_back(client);
                heads.emplace_back();
            }
        }
        for (size_t index = 0; index < clients.size(); ++index) {
            if (!FD_ISSET(clients[index], &readable)) continue;
            char buffer[4096];
            const int count = recv(clients[index], buffer, sizeof buffer, 0);
            if (count <= 0) {  // the client gave up: forget it
                closesocket(clients[index]);
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(index));
                heads.erase(heads.begin() + static_cast<std::ptrdiff_t>(index));
                --index;
                continue;
            }
            const bool complete = heads[index].find("\r\n\r\n") != std::string::npos;
            heads[index].append(buffer, static_cast<size_t>(count));
            if (!complete && heads[index].find("\r\n\r\n") != std::string::npos) ++received;
        }
    }
    for (const SOCKET client : clients) closesocket(client);
}
