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
// "Failed to <what>! \n <reason>" at critical level.
void LogFailure(const char* what, const char* reason);
// "TameWarden: Failed to <what>".
std::string FailureText(const char* what);
// The colours of a reply that tells a success or a failure, as tmwd.reload's.
extern const FLinearColor SucceededColor;
extern const FLinearColor FailedColor;

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

// Runs a command's work and answers as tmwd.reload does: `work`'s text, or when it fails, a
// critical line "Failed to <failure>! \n <error>" and the plugin's name with ": Failed to
// <failure>". `send` takes the text and whether the work succeeded.
template <typename Work, typename Send>
void RunAndAnswer(const char* command, const char* failure, Work work, Send send) {
    std::string error;
    try {
        const std::string text = work();
        AnswerContained(
            command, [&text] { return text; },
            [&send](const std::string& answer) { send(answer, true); });
        return;
    } catch (const std::exception& caught) {
        error = caught.what();
    } catch (...) {
        error = "unknown error";
    }
    LogFailure(failure, error.c_str());
    AnswerContained(
        command, [failure] { return FailureText(failure); },
        [&send](const std::string& answer) { send(answer, false); });
}

// The text cut to at most `longest` bytes, ending in "..." when it was cut, so a reply stays
// within what a console or an RCON client shows.
std::string Clipped(std::string text, size_t longest);

// A file's path cut from the left to at most `longest` bytes where it can be: "…/" and the
// last folders' names that fit, so the file's name always shows.
std::string PathWithin(const std::string& path, size_t longest);

// The words after the command's name in its text, trimmed; empty when there are none.
std::string CommandArgument(const FString* command);
