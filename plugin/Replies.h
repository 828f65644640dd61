// How the plugin's commands answer: the console player through the plugin's messenger, an RCON
// request through its connection with the request's id.
#pragma once

#include <exception>
#include <string>

#include "host/EngineTypes.h"

// Sent to the player who typed the command; nothing is sent when there is none. The messenger is
// asked for on every reply, also without a player.
void SendConsoleReply(APlayerController* player, const std::string& text,
                      const FLinearColor& color);

void SendRconReply(RCONClientConnection* connection, const RCONPacket* packet,
                   const std::string& text);

// Logs at critical level that a command could not be answered, and why.
void LogFailedAnswer(const char* command, const char* reason);

// Answers a command with the text `make` gives through `send`. The host called the handler, so
// nothing may leave it: a failure is logged with the command's name.
template <typename Make, typename Send>
void AnswerContained(const char* command, Make make, Send send) {
    try {
        send(make());
    } catch (const std::exception& error) {
        LogFailedAnswer(command, error.what());
    } catch (...) {
        LogFailedAnswer(command, "unknown error");
    }
}

// The text cut to at most `longest` bytes, ending in "..." when it was cut, so a reply stays
// within what a console or an RCON client shows.
std::string Clipped(std::string text, size_t longest);

// A file's path cut from the left to at most `longest` bytes where it can be: "…/" and the
// last folders' names that fit, so the file's name always shows.
std::string PathWithin(const std::string& path, size_t longest);

// The words after the command's name in its text, trimmed; empty when there are none.
std::string CommandArgument(const FString* command);
