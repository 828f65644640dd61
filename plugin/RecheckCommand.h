// "tmwd.recheck": applies the config in force to every creature in the world now, as the start-up
// sweep does and through the destroy brake; a reload applies only to the checks after it.
#pragma once

#include <string>

#include "host/EngineTypes.h"

// The reply: what the pass destroyed and reported; throws where a check stopped it.
std::string RecheckText();

void RecheckConsoleCommand(APlayerController* player, FString* command, bool writeToLog);
void RecheckRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* world);
