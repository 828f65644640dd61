// "tmwd.release": the operator's go-ahead to the destroy brake. The creatures it held are checked
// again at once, and it does not hold them again.
#pragma once

#include <string>

#include "host/EngineTypes.h"

// The reply: what the release did; throws when a check of a held creature fails.
std::string ReleaseText();

void ReleaseConsoleCommand(APlayerController* player, FString* command, bool writeToLog);
void ReleaseRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* world);
