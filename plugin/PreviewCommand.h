// "tmwd.preview [FILE]": what the rules would do to every creature in the world now, with the
// configuration in force or with FILE from the plugin's folder (which is read but not put in
// force), changing nothing.
#pragma once

#include <string>

#include "host/EngineTypes.h"

// The reply to a preview with this argument (empty: the configuration in force).
std::string PreviewText(const std::string& file);

void PreviewConsoleCommand(APlayerController* player, FString* command, bool writeToLog);
void PreviewRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* world);
