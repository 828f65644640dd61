#include "standin/Commands.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include "standin/Engine.h"
#include "standin/Host.h"
#include "standin/Text.h"

namespace standin {
namespace {

bool SameNameIgnoringCase(const std::string& left, const std::string& right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

template <typename Callback>
auto FindNamed(std::vector<std::pair<std::string, Callback>>& list, const std::string& name) {
    return std::find_if(list.begin(), list.end(),
                        [&](const auto& entry) { return SameNameIgnoringCase(entry.first, name); });
}

template <typename Callback>
bool EraseNamed(std::vector<std::pair<std::string, Callback>>& list, const std::string& name,
                const char* eventType) {
    const auto found = FindNamed(list, name);
    if (found == list.end()) return false;
    list.erase(found);
    Host::Get().events.Record({{"type", eventType}, {"name", name}});
    return true;
}

std::string FirstWord(const std::string& line) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    return line.substr(start, line.find_first_of(" \t", start) - start);
}

// A plugin's exception must not take the server down; the host reports it and carries on.
template <typename Call>
void CallPlugin(const std::string& where, Call&& call) {
    try {
        call();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "host: %s raised: %s\n", where.c_str(), error.what());
        Host::Get().events.Record({{"type", "uncaught"}, {"where", where}, {"what", error.what()}});
    } catch (...) {
        std::fprintf(stderr, "host: %s raised an unknown exception\n", where.c_str());
        Host::Get().events.Record({{"type", "uncaught"}, {"where", where}, {"what", "unknown"}});
    }
}

}  // namespace

void Commands::RegisterConsoleCommand(const FString& name,
                                      const AsaApi::ConsoleCommandCallback& callback) {
    STANDIN_HOST_OPERATION("ICommands::RegisterConsoleCommand");
    consoleCommands.emplace_back(ToUtf8(name), callback);
    Host::Get().events.Record({{"type", "consoleCommandRegistered"}, {"name", ToUtf8(name)}});
}

void Commands::RegisterRconCommand(const FString& name,
                                   const AsaApi::RconCommandCallback& callback) {
    STANDIN_HOST_OPERATION("ICommands::RegisterRconCommand");
    rconCommands.emplace_back(ToUtf8(name), callback);
    Host::Get().events.Record({{"type", "rconCommandRegistered"}, {"name", ToUtf8(name)}});
}

void Commands::RegisterUpdateCallback(const FString& id, const AsaApi::UpdateCallback& callback) {
    STANDIN_HOST_OPERATION("ICommands::RegisterUpdateCallback");
    Host::Get().ThrowIfFaulty("RegisterUpdateCallback");
    if (refuseUpdateCallbacks)
        throw std::runtime_error("update callback " + ToUtf8(id) + " refused");
    updateCallbacks.emplace_back(ToUtf8(id), callback);
    Host::Get().events.Record({{"type", "updateCallbackRegistered"}, {"name", ToUtf8(id)}});
}

bool Commands::UnregisterConsoleCommand(const FString& name) {
    if (STANDIN_REFUSABLE_HOST_OPERATION("ICommands::UnregisterConsoleCommand")) return false;
    return EraseNamed(consoleCommands, ToUtf8(name), "consoleCommandUnregistered");
}

bool Commands::UnregisterRconCommand(const FString& name) {
    if (STANDIN_REFUSABLE_HOST_OPERATION("ICommands::UnregisterRconCommand")) return false;
    return EraseNamed(rconCommands, ToUtf8(name), "rconCommandUnregistered");
}

bool Commands::UnregisterUpdateCallback(const FString& id) {
    if (STANDIN_REFUSABLE_HOST_OPERATION("ICommands::UnregisterUpdateCallback")) return false;
    return EraseNamed(updateCallbacks, ToUtf8(id), "updateCallbackUnregistered");
}

bool Commands::ExecuteConsole(const std::string& line, APlayerController* player) {
    const auto found = FindNamed(consoleCommands, FirstWord(line));
    if (found == consoleCommands.end()) return false;
    const auto callback = found->second;  // the handler may change the registry
    FString text = FromUtf8(line);
    CallPlugin("console command " + found->first, [&] { callback(player, &text, false); });
    return true;
}

bool Commands::ExecuteRcon(const std::string& line, RCONClientConnection* connection,
                           int32_t requestId) {
    const auto found = FindNamed(rconCommands, FirstWord(line));
    if (found == rconCommands.end()) return false;
    const auto callback = found->second;
    RCONPacket packet;
    packet.Length = static_cast<int32_t>(line.size()) + 10;
    packet.Id = requestId;
    packet.Type = 2;
    packet.Body = FromUtf8(line);
    UWorld* world = Host::Get().world ? Host::Get().world->EngineWorld() : nullptr;
    CallPlugin("RCON command " + found->first, [&] { callback(connection, &packet, world); });
    return true;
}

void Commands::RunUpdateCallbacks(float deltaSeconds) {
    for (size_t i = 0; i < updateCallbacks.size(); ++i) {
        const auto callback = updateCallbacks[i].second;  // it may unregister itself
        CallPlugin("update callback " + updateCallbacks[i].first, [&] { callback(deltaSeconds); });
    }
}

bool Commands::HasConsoleCommand(const std::string& name) const {
    return FindNamed(const_cast<Commands*>(this)->consoleCommands, name) != consoleCommands.end();
}

bool Commands::HasRconCommand(const std::string& name) const {
    return FindNamed(const_cast<Commands*>(this)->rconCommands, name) != rconCommands.end();
}

bool Commands::HasUpdateCallback(const std::string& id) const {
    return FindNamed(const_cast<Commands*>(this)->updateCallbacks, id) != updateCallbacks.end();
}

std::vector<std::string> Commands::Registered() const {
    std::vector<std::string> names;
    for (const auto& [name, callback] : consoleCommands) names.push_back("console " + name);
    for (const auto& [name, callback] : rconCommands) names.push_back("rcon " + name);
    for (const auto& [id, callback] : updateCallbacks) names.push_back("update " + id);
    return names;
}

void Commands::Abandon() {
    // Moved where they stay for the life of the process, so no destructor of the gone library runs.
    static auto* const keptConsole = new std::vector<Named<AsaApi::ConsoleCommandCallback>>();
    static auto* const keptRcon = new std::vector<Named<AsaApi::RconCommandCallback>>();
    static auto* const keptUpdate = new std::vector<Named<AsaApi::UpdateCallback>>();
    keptConsole->push_back(std::move(consoleCommands));
    keptRcon->push_back(std::move(rconCommands));
    keptUpdate->push_back(std::move(updateCallbacks));
    consoleCommands.clear();
    rconCommands.clear();
    updateCallbacks.clear();
}

void Commands::Clear() {
    consoleCommands.clear();
    rconCommands.clear();
    updateCallbacks.clear();
    refuseUpdateCallbacks = false;
}

}  // namespace standin
