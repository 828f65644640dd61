#include "standin/server/Options.h"

#include <cmath>
#include <functional>
#include <map>

namespace standin {
namespace {

double ParseNumber(const std::string& option, const std::string& text) {
    size_t used = 0;
    double number = 0;
    try {
        number = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || !std::isfinite(number))
        throw OptionsError(option + ": expected a number, got \"" + text + "\"");
    return number;
}

int ParsePort(const std::string& option, const std::string& text) {
    const double port = ParseNumber(option, text);
    if (port < 0 || port > 65535 || port != std::floor(port))
        throw OptionsError(option + ": expected a port from 0 to 65535, got \"" + text + "\"");
    return static_cast<int>(port);
}

}  // namespace

ServerOptions ParseOptions(const std::vector<std::string>& arguments) {
    ServerOptions options;
    using Setter = std::function<void(const std::string& option, const std::string& value)>;
    const std::map<std::string, Setter> valued = {
        {"--server-dir", [&](auto&, auto& value) { options.serverDir = value; }},
        {"--world", [&](auto&, auto& value) { options.worldFile = value; }},
        {"--seconds",
         [&](auto& option, auto& value) {
             options.seconds = ParseNumber(option, value);
             if (*options.seconds < 0) throw OptionsError(option + ": must not be negative");
         }},
        {"--tick-rate",
         [&](auto& option, auto& value) {
             options.tickRate = ParseNumber(option, value);
             if (options.tickRate <= 0 || options.tickRate > 1000)
                 throw OptionsError(option + ": expected ticks per second from above 0 to 1000");
         }},
        {"--rcon-port",
         [&](auto& option, auto& value) { options.rconPort = ParsePort(option, value); }},
        {"--rcon-password", [&](auto&, auto& value) { options.rconPassword = value; }},
        {"--webhook-listen",
         [&](auto& option, auto& value) { options.webhookListenPort = ParsePort(option, value); }},
        {"--events", [&](auto&, auto& value) { options.eventsFile = value; }},
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
            continue;
        }
        if (option == "--webhook-unlimited") {
            options.webhookUnlimited = true;
            continue;
        }
        std::optional<std::string> value;
        if (const auto equals = option.find('=');
            option.starts_with("--") && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
        }
        const auto setter = valued.find(option);
        if (setter == valued.end()) throw OptionsError(option + ": unknown option (see --help)");
        if (!value) {
            if (i + 1 >= arguments.size()) throw OptionsError(option + ": needs a value");
            value = arguments[++i];
        }
        setter->second(option, *value);
    }
    if (options.rconPort && options.rconPassword.empty() && !options.help)
        throw OptionsError("--rcon-port: needs --rcon-password as well");
    return options;
}

std::string UsageText(const std::string& program) {
    return "Usage: " + program + R"( [options]
Plays a dedicated game server with the TameWarden plugin loaded from
DIR/ArkApi/Plugins/TameWarden/TameWarden.so. Console commands are read from standard input,
one per line, as an online admin player; "quit", SIGINT or SIGTERM stops the server. The end
of input does not, so it can run in the background with its input closed.

Options:
  --server-dir DIR       the server's working directory (default: .)
  --world FILE           the world to play, a JSON world file (default: an empty world)
  --seconds S            run S seconds after the plugin loaded, then shut down
  --tick-rate HZ         game-loop ticks per second (default: 30)
  --rcon-port PORT       serve Source RCON on 127.0.0.1:PORT (0 picks a free port)
  --rcon-password PW     the RCON password (required with --rcon-port)
  --webhook-listen PORT  a chat stand-in on 127.0.0.1:PORT that shows the posts it receives;
                         like the chat service, it refuses content over 2000 characters, more
                         than 5 posts per 2 seconds per hook (429) and posts without a User-Agent
  --webhook-unlimited    the chat stand-in accepts every well-formed post at once
  --events FILE          write every host event as one JSON object per line
  --help                 show this text
)";
}

}  // namespace standin
